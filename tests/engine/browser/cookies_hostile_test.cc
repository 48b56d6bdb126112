// The platform's cookies, kept across runs and HttpOnly among them, belong to the platform's
// pages: a page of another site that the view loads later neither sends them along with its
// own requests to the platform nor reads an answer that was made for them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/support/hostile_site.h"
#include "tests/support/page_view.h"

namespace {

using hostile::kShareHost;
using hostile::Local;

constexpr const char* kSecret = "PLATFORM-SECRET";

// Asks `target` for its echo every way a page can, credentials included, and reports what
// each read in the title, "done" last.
std::string Asker(const std::string& target) {
    return "<p>asker</p><script>(async function(){var target='" + target +
           "', out={};"
           "try{out.fetch=await (await fetch(target,{credentials:'include'})).text()}"
           "catch(e){out.fetch='refused'}"
           "try{var x=new XMLHttpRequest();x.open('GET',target+'?xhr',false);"
           "x.withCredentials=true;x.send();out.xhr=x.responseText}catch(e){out.xhr='refused'}"
           "out.frame=await new Promise(function(done){var f=document.createElement('iframe');"
           "f.onload=function(){try{done(f.contentDocument.body.innerText)}catch(e){"
           "done('unreadable')}};f.src=target+'?frame';document.body.appendChild(f)});"
           "document.title='done '+JSON.stringify(out)})()</script>";
}

class PlatformCookies : public testsupport::PageView {
  protected:
    void SetUp() override {
        PageView::SetUp();
        testsupport::HttpResponse login;
        login.body = "<p>room</p>";
        login.headers.push_back({"Set-Cookie", std::string("sessionid=") + kSecret +
                                                   "; Path=/; Secure; HttpOnly; SameSite=None"});
        login.headers.push_back({"Set-Cookie",
                                 "ttwid=PLATFORM-TTWID; Path=/; Secure; "
                                 "SameSite=None; Max-Age=3600"});
        Local().Serve("/r1/room", login);
        for (const char* path : {"/r1/echo", "/r1/echo?xhr", "/r1/echo?frame"})
            Local().EchoCookies(path);
        // The platform's room page leaves its cookies in the browser's jar.
        LoadUrl(Platform("/r1/room"));
    }
    std::string Platform(const std::string& path) {
        return "https://" + std::string(kShareHost) + ":" + std::to_string(Local().port()) + path;
    }
    // Loads the asker under `host` and waits for its report.
    std::string Ask(const std::string& pageUrl) {
        EXPECT_TRUE(session_.Load(pageUrl, 10000)) << session_.Error();
        std::string title;
        testsupport::PumpHostLoop([&] {
            title = hostctl::Engine().wkeGetTitle(view_);
            return title.rfind("done ", 0) == 0;
        });
        return title;
    }
};

TEST_F(PlatformCookies, AnotherSitesPageNeitherSendsNorReadsThem) {
    Local().Serve("/r1/asker", Asker(Platform("/r1/echo")));
    std::string report = Ask(Local().Url("hostile.test", "/r1/asker"));
    ASSERT_EQ(report.rfind("done ", 0), 0u) << report;
    EXPECT_EQ(report.find("PLATFORM-"), std::string::npos) << report;
    for (const char* path : {"/r1/echo", "/r1/echo?xhr", "/r1/echo?frame"}) {
        EXPECT_GT(Local().Hits(path), 0) << path;
        EXPECT_EQ(Local().LastHeader(path, "cookie").find("PLATFORM-"), std::string::npos) << path;
    }
}

// A service worker of another site runs apart from any page, and asks in its own name.
TEST_F(PlatformCookies, AnotherSitesServiceWorkerNeitherSendsNorReadsThem) {
    testsupport::HttpResponse script;
    script.contentType = "text/javascript";
    script.body =
        "self.addEventListener('message', function (e) {"
        " fetch(e.data, {credentials: 'include'}).then(function (r) { return r.text(); })"
        " .then(function (t) { e.source.postMessage(t); },"
        " function () { e.source.postMessage('refused'); }); });";
    Local().Serve("/r1/sw.js", script);
    Local().EchoCookies("/r1/echo?worker");
    Local().Serve("/r1/sw-page",
                  "<p>sw</p><script>navigator.serviceWorker.register('/r1/sw.js')"
                  ".then(function () { return navigator.serviceWorker.ready; })"
                  ".then(function (reg) { navigator.serviceWorker.onmessage = function (e) {"
                  " document.title = 'done ' + e.data; }; reg.active.postMessage('" +
                      Platform("/r1/echo?worker") +
                      "'); }).catch(function (e) { document.title = 'done no worker ' + e; "
                      "});</script>");
    // A secure page, as service workers need.
    std::string report =
        Ask("https://hostile.test:" + std::to_string(Local().port()) + "/r1/sw-page");
    EXPECT_EQ(report, "done (none)");
    EXPECT_EQ(Local().LastHeader("/r1/echo?worker", "cookie"), "(none)");
}

// The platform's own pages, and its frames within them, go on using them.
TEST_F(PlatformCookies, ThePlatformsOwnPagesStillUseThem) {
    Local().Serve("/r1/own", Asker(Platform("/r1/echo")));
    std::string report = Ask(Platform("/r1/own"));
    ASSERT_EQ(report.rfind("done ", 0), 0u) << report;
    nlohmann::json read = nlohmann::json::parse(report.substr(5), nullptr, false);
    for (const char* way : {"fetch", "xhr", "frame"})
        EXPECT_NE(read.value(way, "").find(std::string("sessionid=") + kSecret), std::string::npos)
            << way << ": " << report;
}

}  // namespace
