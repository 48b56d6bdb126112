// The service's streams and watched rooms, without a browser: a stream open at once and
// ended by a drain, and a watched room's changes heard as events on /events.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "serve/watcher.h"
#include "tests/serve/service_fixture.h"

namespace {

using serve::Resolved;
using servetest::Live;
using servetest::ServiceTest;
using servetest::StreamClient;
using servetest::Until;

TEST_F(ServiceTest, AStreamIsOpenAtOnceHeardAsItGoesAndEndedByADrain) {
    std::mutex lock;
    std::vector<std::shared_ptr<serve::HttpStream>> streams;
    std::atomic<int> openAtOnce{0};
    serve::HttpServer server(io_, [&](serve::HttpExchange e) {
        serve::HttpResponse head;
        head.contentType = "text/event-stream";
        auto stream = e.stream(head);
        openAtOnce += stream->open();
        stream->Send("data: one\n\n");
        std::lock_guard<std::mutex> hold(lock);
        streams.push_back(stream);
    });
    std::string error;
    ASSERT_TRUE(server.Listen("127.0.0.1", 0, error)) << error;
    std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
    auto stream = [&](size_t i) {
        std::lock_guard<std::mutex> hold(lock);
        return i < streams.size() ? streams[i] : nullptr;
    };
    {
        StreamClient leaving(url, 1);  // goes after a second
        EXPECT_TRUE(leaving.Heard("data: one"));
        stream(0)->Send("data: two\n\n");
        EXPECT_TRUE(leaving.Heard("data: two"));
        EXPECT_TRUE(Until([&] { return !stream(0)->open(); }));
    }
    StreamClient staying(url);
    EXPECT_TRUE(staying.Heard("data: one"));
    EXPECT_EQ(openAtOnce, 2);
    std::atomic<bool> drained{false};
    server.Drain([&] { drained = true; });
    EXPECT_TRUE(Until([&] { return drained.load(); }, 5));
    EXPECT_TRUE(Until([&] { return staying.ended_.load(); }, 5));
}

TEST_F(ServiceTest, AWatchedRoomsChangesAreEventsAndOneSeenOfflineKeepsNoAnswer) {
    Resolved offline{2, false, "获取失败，直播已结束。"};
    offline.title = "已下播";
    offline.webRid = "5";
    resolver_.SetAnswer(offline);
    serve::WatchSettings settings{std::chrono::milliseconds(100), "", "127.0.0.1:1"};
    watcher_ = std::make_unique<serve::Watcher>(
        io_, resolver_, *service_, settings, [this] { return now_.load(); }, metrics_, nullptr);
    service_->SetWatch(watcher_.get());
    StreamClient events(Url("/events"));
    ASSERT_TRUE(events.Heard(": watching"));
    watcher_->SetRooms(serve::ParseRooms("https://live.douyin.com/5").rooms);
    auto checks = [&](size_t more) {
        size_t until = resolver_.calls() + more;
        return Until([&] { return resolver_.calls() >= until; });
    };
    ASSERT_TRUE(checks(2));  // offline when first seen: no change
    Resolved live = Live();
    live.roomId = "7380000000000000001";
    live.title = "一";
    live.webRid = "5";
    resolver_.SetAnswer(live);
    ASSERT_TRUE(events.Heard("event: live"));
    EXPECT_EQ(Status("/douyin/5"), "302");  // kept
    live.title = "二";
    resolver_.SetAnswer(live);
    ASSERT_TRUE(events.Heard("event: title"));
    resolver_.SetAnswer({4, false, "qirlen: the page did not load"});
    ASSERT_TRUE(events.Heard("event: failed"));
    ASSERT_TRUE(checks(3));  // the same failure again is no change
    std::string rooms = Curl("'" + Url("/rooms") + "'");
    EXPECT_NE(rooms.find(R"("live":true)"), std::string::npos) << rooms;
    EXPECT_NE(rooms.find(R"("lastError":"qirlen: the page did not load")"), std::string::npos);
    resolver_.SetAnswer(offline);
    ASSERT_TRUE(events.Heard("event: offline"));
    EXPECT_EQ(Status("/douyin/5"), "404");  // resolved anew, not the kept address
    EXPECT_EQ(events.Events(), "live title failed offline");
    server_->Drain([] {});  // which ends the stream
}

}  // namespace
