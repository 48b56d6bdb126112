// A DevTools endpoint that lies (fake_devtools.h): the engine reads no more of it
// than its limits, reaches no address but the one it was given, and says at once what the
// endpoint did wrong.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <nlohmann/json.hpp>

#include "tests/engine/transport/fake_devtools.h"
#include "tests/support/engine_copy.h"
#include "tests/support/peak_growth.h"

using testsupport::EngineCopy;
using testsupport::FakeDevTools;
using testsupport::FakePeer;
using testsupport::ServerFrame;

namespace {

using Clock = std::chrono::steady_clock;
constexpr long long kMb = 1 << 20;

long SecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count();
}

class LyingBrowser : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("QIRLEN_ENGINE_QUIET", "1", 1);
        ASSERT_TRUE(engine.ok());
    }
    void TearDown() override { engine.wkeShutdown(); }

    // Attaches to `url` and asks for a page, which waits for the browser's answers: the
    // engine's failure, or "" when it has none.
    std::string Attach(const std::string& url) {
        setenv("QIRLEN_BROWSER_URL", url.c_str(), 1);
        engine.wkeInitializeEx(nullptr);
        if (wkeWebView view = engine.NewView()) engine.Eval(view, "return 1;");
        return engine.failure();
    }

    EngineCopy engine{NODE_MODULE};
};

void Silent(FakePeer& peer) {
    while (!peer.ReadMessage().empty()) {
    }
}

// However the answer to /json/version goes on, no more than its limit is read of it.
TEST_F(LyingBrowser, AVersionAnswerIsReadNoFurtherThanItsLimit) {
    const std::string ok = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
    const std::string json = "{\"webSocketDebuggerUrl\":\"ws://127.0.0.1:1/x\",\"pad\":\"";
    const std::string heads[] = {
        ok + "Content-Length: 600000000\r\n\r\n" + json,
        ok + "Connection: close\r\n\r\n" + json,
        ok + "Transfer-Encoding: chunked\r\n\r\n23C34600\r\n" + json,
        ok + "Transfer-Encoding: chunked\r\n\r\n10;ext=",
        ok + "Transfer-Encoding: chunked\r\n\r\n1\r\n{\r\n0\r\nTrailer: ",
        ok + "X-Endless: ",
    };
    for (const auto& head : heads) {
        SCOPED_TRACE(head);
        FakeDevTools fake(Silent,
                          [&](FakePeer& peer) { testsupport::Flood(peer, head, 256 * kMb); });
        auto start = Clock::now();
        std::string failure = Attach(fake.httpUrl());
        EXPECT_NE(failure.find("its answer to /json/version is too long"), std::string::npos)
            << failure;
        // The limit, and what the kernel's buffers took in the meantime.
        EXPECT_LT(fake.sent(), 24 * kMb);
        EXPECT_LE(SecondsSince(start), 5);
        engine.wkeShutdown();
    }
}

// The socket is opened where the address was asked, with the path the answer names: a host
// or port named there is never reached.
TEST_F(LyingBrowser, OnlyTheAskedHostAndPortAreReached) {
    FakeDevTools elsewhere(Silent);
    for (const std::string& host : {"127.0.0.1:" + std::to_string(elsewhere.port()),
                                    std::string("127.0.0.2:1"), std::string("example.invalid")}) {
        SCOPED_TRACE(host);
        std::string named = "ws://" + host + "/devtools/browser/fake";
        FakeDevTools asked(
            [](FakePeer&) {},
            [&](FakePeer& peer) { peer.SendRaw(testsupport::VersionAnswer(named)); });
        std::string failure = Attach(asked.httpUrl());
        EXPECT_EQ(asked.handshakes(), 1) << failure;
        EXPECT_NE(failure.find("closed the connection"), std::string::npos) << failure;
        engine.wkeShutdown();
    }
    EXPECT_EQ(elsewhere.connections(), 0);
}

// What the endpoint did is said, as the remote browser's doing, and nothing waits for an
// answer that cannot come.
TEST_F(LyingBrowser, WhatItDidWrongIsSaidAtOnce) {
    struct Case {
        FakeDevTools::Script answer;  // to the engine's first command; then it waits
        std::string says;
    } cases[] = {
        {nullptr, "closed the connection"},
        {[](FakePeer& p) { p.SendRaw(ServerFrame(true, 1, "{\"id\":1,\"result\":{}}", 0x40)); },
         "sent a malformed frame"},
        {[](FakePeer& p) { p.SendRaw(ServerFrame(true, 3, "{}")); }, "sent a malformed frame"},
        {[](FakePeer& p) { p.SendText("not json"); }, "sent something that is not the protocol"},
        {[](FakePeer& p) { p.SendText("{\"id\":1001,\"result\":{}}"); },
         "answered with an id never asked (1001)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        FakeDevTools fake([&](FakePeer& peer) {
            peer.ReadMessage();
            if (!c.answer) return;
            c.answer(peer);
            Silent(peer);
        });
        auto start = Clock::now();
        std::string failure = Attach(fake.wsUrl());
        EXPECT_NE(failure.find("the remote browser at " + fake.wsUrl() + " " + c.says),
                  std::string::npos)
            << failure;
        EXPECT_LE(SecondsSince(start), 5);
        engine.wkeShutdown();
    }
}

// A message sent in fragments without end is refused once it passes the limit, having held
// about the limit and not twice it: here its first fragment fills all but a little of the
// limit, and the next one of a few bytes would make a buffer that doubles take twice that.
TEST_F(LyingBrowser, AnEndlessMessageIsRefusedAtTheLimit) {
    const long long limit = 128 * kMb;
    setenv("QIRLEN_MAX_MESSAGE_BYTES", std::to_string(limit).c_str(), 1);
    FakeDevTools fake([&](FakePeer& peer) {
        peer.ReadMessage();
        const std::string block(kMb, 'x');
        if (!peer.SendRaw(testsupport::ServerFrameHead(false, 1, limit - 1000))) return;
        for (long long left = limit - 1000; left > 0; left -= kMb)
            if (!peer.SendRaw(left >= kMb ? block : block.substr(0, left))) return;
        for (int i = 0; i < 512 && peer.SendRaw(ServerFrame(false, 0, block.substr(0, 100)));) ++i;
    });
    testsupport::PeakGrowth growth;
    std::string failure = Attach(fake.wsUrl());
    unsetenv("QIRLEN_MAX_MESSAGE_BYTES");
    EXPECT_NE(failure.find("longer than " + std::to_string(limit) + " bytes"), std::string::npos)
        << failure;
    EXPECT_LT(growth.Mb(), limit * 3 / 2 / kMb);
}

}  // namespace
