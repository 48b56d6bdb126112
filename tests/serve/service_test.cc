// The service's HTTP face and its cache, without a browser: redirects kept until their
// signature ends and across a restart, one resolve for many clients, failures, hostile
// clients and a drain.
#include "serve/service.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "tests/serve/service_fixture.h"

namespace {

using servetest::kAddress;
using servetest::ServiceTest;

TEST_F(ServiceTest, ARedirectThatPlayersFollowAndThatIsKeptUntilItsSignatureEnds) {
    std::string first = Curl("-i '" + Url("/douyin/81234567") + "'");
    EXPECT_NE(first.find("HTTP/1.1 302 Found"), std::string::npos) << first;
    EXPECT_NE(first.find(std::string("Location: ") + kAddress), std::string::npos) << first;
    EXPECT_NE(first.find("Cache-Control: no-store"), std::string::npos) << first;
    // HEAD answers as GET without a body; two requests on one kept-alive connection.
    std::string head = Curl("-v -I '" + Url("/douyin/81234567") + "' '" + Url("/healthz") + "'");
    EXPECT_NE(head.find("Re-using existing connection"), std::string::npos) << head;
    EXPECT_EQ(head.find("\r\n\r\nhttps://"), std::string::npos) << head;
    EXPECT_EQ(resolver_.calls(), 1u);
    EXPECT_EQ(metrics_.cacheHits(), 1u);
    // Too close to its end, the address is resolved anew.
    now_ = 2000000000 - 30;
    EXPECT_EQ(Status("/douyin/81234567"), "302");
    EXPECT_EQ(resolver_.calls(), 2u);
    // Other options are another answer.
    EXPECT_EQ(Status("/douyin/81234567.flv"), "302");
    EXPECT_EQ(resolver_.calls(), 3u);
    EXPECT_NE(Curl("'" + Url("/metrics") + "'").find("qirlen_requests_total{status=\"302\"} 4"),
              std::string::npos);
}

TEST_F(ServiceTest, KeptAnswersOutliveARestart) {
    std::string path = ::testing::TempDir() + "qirlen-state-" + std::to_string(getpid()) + "/a.db";
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
    {
        serve::StateStore store(path);
        ASSERT_TRUE(store.open()) << store.error();
        Restart(&store);
        EXPECT_EQ(Status("/douyin/5"), "302");
        EXPECT_EQ(Status("/douyin/6"), "302");
        now_ = 2000000000;  // 6's address ends: it is forgotten, in the file too
        resolver_.answer = {2, false, "ended"};
        EXPECT_EQ(Status("/douyin/6"), "404");
        now_ = 1700000000;
        Restart(nullptr);
    }
    serve::StateStore again(path);
    Restart(&again);
    EXPECT_EQ(Curl("-o /dev/null -w '%{http_code} %{redirect_url}' '" + Url("/douyin/5") + "'"),
              std::string("302 ") + kAddress);
    EXPECT_EQ(resolver_.calls(), 3u);
    EXPECT_EQ(Status("/douyin/6"), "404");
    EXPECT_EQ(resolver_.calls(), 4u);
    Restart(nullptr);
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}

TEST_F(ServiceTest, AnOldAnswerIsConfirmedWithTheCdnNotThePlatform) {
    EXPECT_EQ(Status("/douyin/1"), "302");
    now_ += 61;  // past --recheck: the CDN is asked, and it still serves the stream
    EXPECT_EQ(Status("/douyin/1"), "302");
    EXPECT_EQ(checks_, 1);
    EXPECT_EQ(resolver_.calls(), 1u);
    EXPECT_EQ(Status("/douyin/1"), "302");  // just confirmed
    EXPECT_EQ(checks_, 1);
    now_ += 61;
    cdnAnswers_ = false;  // the broadcast ended: the CDN answers 404
    EXPECT_EQ(Status("/douyin/1"), "302");
    EXPECT_EQ(checks_, 2);
    EXPECT_EQ(resolver_.calls(), 2u);
}

TEST_F(ServiceTest, ManyClientsAtOnceShareOneResolve) {
    resolver_.held = true;
    std::string urls;
    for (int i = 0; i < 200; ++i) urls += " '" + Url("/douyin/42") + "'";
    std::string codes;
    std::thread client([&] {
        codes = Curl(
            "--parallel --parallel-immediate --parallel-max 200 -o /dev/null -w '%{http_code}\\n'" +
            urls);
    });
    // Every request has arrived and waits for the one resolve.
    while (server_->openConnections() < 200) std::this_thread::yield();
    resolver_.Release();
    client.join();
    EXPECT_EQ(resolver_.calls(), 1u);
    size_t redirects = 0;
    for (size_t at = 0; (at = codes.find("302", at)) != std::string::npos; at += 3) ++redirects;
    EXPECT_EQ(redirects, 200u) << codes.substr(0, 200);
}

TEST_F(ServiceTest, FailuresSayWhyWithTheirStatus) {
    struct Case {
        int code;
        bool refused;
        const char* status;
        const char* message;
    };
    const Case cases[] = {{2, false, "404", "获取失败，直播已结束。"},
                          {5, false, "503", "获取失败，平台要求验证"},
                          {4, true, "503", "获取失败，平台拒绝了请求"},
                          {4, false, "502", "qirlen: the page did not load"}};
    int room = 100;
    for (const Case& c : cases) {
        resolver_.answer = {c.code, c.refused, c.message};
        std::string out = Curl("-i '" + Url("/douyin/" + std::to_string(++room)) + "'");
        EXPECT_NE(out.find(std::string("HTTP/1.1 ") + c.status), std::string::npos) << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        EXPECT_EQ(out.find("Retry-After: 60") != std::string::npos, c.status == std::string("503"))
            << out;
    }
    // Failures are not kept; JSON says the exit status.
    resolver_.answer = {2, false, "获取失败，直播已结束。"};
    EXPECT_NE(Curl("'" + Url("/douyin/101.json") + "'").find(R"("exit":2)"), std::string::npos);
    EXPECT_EQ(resolver_.calls(), 5u);
    // No platform link: refused before any resolve.
    EXPECT_EQ(Status("/douyin?url=http%3A%2F%2F127.0.0.1%2F"), "400");
    EXPECT_EQ(resolver_.calls(), 5u);
}

TEST_F(ServiceTest, HostileClientsAreCutOffAndTheServiceKeepsAnswering) {
    // A request line of 1 MB, and headers that never end: refused once past the bound.
    for (bool line : {true, false}) {
        int fd = Connect();
        std::string start =
            line ? "GET /" + std::string(1 << 20, 'a') + " HTTP/1.1\r\n" : "GET / HTTP/1.1\r\n";
        if (!line)
            for (int i = 0; i < 2000; ++i) start += "X-" + std::to_string(i) + ": yyyyyyyy\r\n";
        (void)!send(fd, start.data(), start.size(), MSG_NOSIGNAL);
        EXPECT_EQ(ReadToEnd(fd).substr(0, 12), "HTTP/1.1 431") << line;
    }
    // A slow client: its connection ends when the request's time is up, unanswered.
    int slow = Connect();
    (void)!send(slow, "GET /healthz HTTP/1.1\r\nHo", 25, 0);
    EXPECT_EQ(ReadToEnd(slow), "");
    EXPECT_EQ(Status("/healthz"), "200");
}

TEST_F(ServiceTest, ADrainAnswersWhatIsUnderWayThenEnds) {
    resolver_.held = true;
    std::string code;
    std::thread client([&] { code = Status("/douyin/7"); });
    while (resolver_.calls() == 0) std::this_thread::yield();
    int idle = Connect();  // a kept-alive client between requests goes at once
    while (server_->openConnections() < 2) std::this_thread::yield();
    std::string health = Url("/healthz");
    std::atomic<bool> drained{false};
    server_->Drain([&] { drained = true; });
    EXPECT_EQ(ReadToEnd(idle), "");
    EXPECT_FALSE(drained);
    resolver_.Release();
    client.join();
    EXPECT_EQ(code, "302");
    while (!drained) std::this_thread::yield();
    std::string after = Curl("-o /dev/null -w '%{http_code}' '" + health + "'");
    EXPECT_EQ(after.substr(after.size() - 3), "000") << after;  // no longer listening
}

}  // namespace
