// How a browser's address is read: the forms a user or a browser service gives.
#include <gtest/gtest.h>

#include "engine/transport/websocket_transport.h"

using engine::ParseBrowserAddress;
using engine::SocketAddressFor;
using engine::SocketUrlFor;

TEST(BrowserAddress, KeepsTheTargetAndItsTokenAsGivenAndHidesTheTokenWhenShown) {
    auto a = ParseBrowserAddress("wss://fleet.example:9443/devtools/browser/ab-12?token=s3cret#x");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "fleet.example");
    EXPECT_EQ(a->port, "9443");
    EXPECT_EQ(a->target, "/devtools/browser/ab-12?token=s3cret");
    EXPECT_TRUE(a->tls());
    EXPECT_EQ(a->shown(), "wss://fleet.example:9443/devtools/browser/ab-12");
}

TEST(BrowserAddress, FillsInThePortAndPathAndTakesIpv6InBrackets) {
    auto plain = ParseBrowserAddress("HTTP://127.0.0.1");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->hostAndPort(), "127.0.0.1:80");
    EXPECT_EQ(plain->target, "/");
    EXPECT_TRUE(plain->http());
    auto v6 = ParseBrowserAddress("https://[::1]:9222?t=1");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "::1");
    EXPECT_EQ(v6->hostAndPort(), "[::1]:9222");
    EXPECT_EQ(v6->target, "/?t=1");
    EXPECT_EQ(ParseBrowserAddress("wss://h")->port, "443");
}

TEST(BrowserAddress, RefusesWhatNamesNoBrowser) {
    for (const char* url : {"", "127.0.0.1:9222", "ftp://h/", "ws://:9222/", "ws://h:0/",
                            "ws://h:99999/", "ws://h:x/", "ws://user:pw@h:1/", "ws://[::1/"})
        EXPECT_FALSE(ParseBrowserAddress(url)) << url;
}

// Behind a TLS proxy the browser names a ws:// socket: asked through https, it is opened over
// TLS, on TLS's default port when none is named; asked through http, it is taken as named.
TEST(BrowserAddress, TheSocketNamedBehindAnHttpsAddressKeepsTls) {
    auto https = *ParseBrowserAddress("https://fleet.example");
    auto socket = ParseBrowserAddress(SocketUrlFor(https, "ws://fleet.example/devtools/browser/1"));
    ASSERT_TRUE(socket);
    EXPECT_EQ(socket->scheme, "wss");
    EXPECT_EQ(socket->port, "443");
    EXPECT_EQ(SocketUrlFor(https, "WS://h:9/x?t=1"), "wss://h:9/x?t=1");
    EXPECT_EQ(SocketUrlFor(https, "wss://h:9/x"), "wss://h:9/x");
    auto http = *ParseBrowserAddress("http://127.0.0.1:9222");
    EXPECT_EQ(SocketUrlFor(http, "ws://127.0.0.1:9222/x"), "ws://127.0.0.1:9222/x");
    EXPECT_EQ(SocketUrlFor(http, "wss://h/x"), "wss://h/x");
}

// Whatever host and port /json/version names, the socket goes to the address that was asked,
// with the path (and query) that the answer names.
TEST(BrowserAddress, TheSocketNamedIsOpenedOnlyAtTheAddressAsked) {
    auto asked = *ParseBrowserAddress("http://127.0.0.1:9222");
    for (const char* named :
         {"ws://127.0.0.1:9222/devtools/browser/1?t=2", "ws://10.0.0.7:80/devtools/browser/1?t=2",
          "ws://localhost/devtools/browser/1?t=2"}) {
        auto socket = SocketAddressFor(asked, named);
        ASSERT_TRUE(socket) << named;
        EXPECT_EQ(socket->hostAndPort(), "127.0.0.1:9222") << named;
        EXPECT_EQ(socket->target, "/devtools/browser/1?t=2") << named;
    }
    auto tls = SocketAddressFor(*ParseBrowserAddress("https://fleet.example"), "ws://x:1/d");
    ASSERT_TRUE(tls);
    EXPECT_EQ(tls->scheme + "://" + tls->hostAndPort(), "wss://fleet.example:443");
    EXPECT_FALSE(SocketAddressFor(asked, "http://127.0.0.1:9222/"));
    EXPECT_FALSE(SocketAddressFor(asked, "no address"));
}
