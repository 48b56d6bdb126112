// The service's HTTP face and its cache, without a browser: a resolver that answers as the
// test says, real clients (curl) for what players do, raw sockets for what hostile clients do.
#include "serve/service.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/asio/io_context.hpp>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "serve/http_server.h"
#include "serve/routes.h"
#include "serve/watch_text.h"
#include "serve/watcher.h"

namespace {

using serve::Resolved;

// Answers every resolve with `answer`, once the test lets it (held: until Release).
class FakeResolver : public serve::Resolver {
  public:
    void Resolve(serve::ResolveRequest request, std::function<void(Resolved)> done) override {
        std::unique_lock<std::mutex> hold(lock_);
        links.push_back(request.link);
        if (held) {
            pending_.push_back(std::move(done));
            return;
        }
        Resolved answer = this->answer;
        hold.unlock();
        done(answer);
    }
    void Release() {
        std::vector<std::function<void(Resolved)>> pending;
        {
            std::lock_guard<std::mutex> hold(lock_);
            held = false;
            pending.swap(pending_);
        }
        for (auto& done : pending) done(answer);
    }
    size_t calls() {
        std::lock_guard<std::mutex> hold(lock_);
        return links.size();
    }
    void SetAnswer(Resolved answer) {
        std::lock_guard<std::mutex> hold(lock_);
        this->answer = std::move(answer);
    }
    Resolved answer;
    bool held = false;
    std::vector<std::string> links;

  private:
    std::mutex lock_;
    std::vector<std::function<void(Resolved)>> pending_;
};

// Until `done` holds, or false after `seconds`.
template <typename Done>
bool Until(Done done, int seconds = 10) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A client that listens to a stream (curl -N) and keeps what it heard.
class StreamClient {
  public:
    explicit StreamClient(const std::string& url, int seconds = 30)
        : pipe_(
              popen(("curl -s -N --max-time " + std::to_string(seconds) + " '" + url + "'").c_str(),
                    "r")),
          reader_([this] {
              char buffer[4096];
              for (size_t n; (n = fread(buffer, 1, 1, pipe_)) > 0;) {
                  std::lock_guard<std::mutex> hold(lock_);
                  heard_.append(buffer, n);
              }
              ended_ = true;
          }) {}
    ~StreamClient() {
        reader_.join();
        pclose(pipe_);
    }
    std::string heard() {
        std::lock_guard<std::mutex> hold(lock_);
        return heard_;
    }
    bool Heard(const std::string& text) {
        return Until([&] { return heard().find(text) != std::string::npos; });
    }
    // The events' names, in order, space-separated.
    std::string Events() {
        std::string names, text = heard();
        for (size_t at = 0; (at = text.find("event: ", at)) != std::string::npos; at += 7)
            names += (names.empty() ? "" : " ") + text.substr(at + 7, text.find('\n', at) - at - 7);
        return names;
    }
    std::atomic<bool> ended_{false};

  private:
    FILE* pipe_;
    std::mutex lock_;
    std::string heard_;
    std::thread reader_;
};

constexpr const char* kAddress = "https://pull.cdn.invalid/stage/stream-1.m3u8?expire=2000000000";

Resolved Live(int64_t expiry = 2000000000) {
    Resolved r;
    r.address = kAddress;
    r.expiry = expiry;
    r.json = R"({"roomId":"1","address":"x"})";
    return r;
}

class ServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resolver_.answer = Live();
        service_ = std::make_unique<serve::Service>(
            resolver_,
            [this](const std::string&) {
                ++checks_;
                return cdnAnswers_.load();
            },
            metrics_, serve::ServiceSettings{}, [this] { return now_.load(); });
        serve::HttpLimits limits;
        limits.requestTime = std::chrono::milliseconds(800);
        limits.connections = 300;
        server_ = std::make_unique<serve::HttpServer>(
            io_, [this](serve::HttpExchange e) { service_->Handle(std::move(e)); }, limits);
        std::string error;
        ASSERT_TRUE(server_->Listen("127.0.0.1", 0, error)) << error;
        for (auto& t : threads_) t = std::thread([this] { io_.run(); });
    }
    // A new service in place of the old one, as after a restart.
    void Restart(serve::StateStore* store) {
        service_ = std::make_unique<serve::Service>(
            resolver_,
            [this](const std::string&) {
                ++checks_;
                return cdnAnswers_.load();
            },
            metrics_, serve::ServiceSettings{}, [this] { return now_.load(); }, store);
    }
    void TearDown() override {
        io_.stop();
        for (auto& t : threads_) t.join();
    }

    std::string Url(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(server_->port()) + path;
    }
    // curl's status line, headers and body, or with `format` what its --write-out gives.
    std::string Curl(const std::string& args) {
        std::string out;
        FILE* pipe = popen(("curl -s -S --max-time 20 " + args + " 2>&1").c_str(), "r");
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        pclose(pipe);
        return out;
    }
    std::string Status(const std::string& path) {
        return Curl("-o /dev/null -w '%{http_code}' '" + Url(path) + "'");
    }

    // A raw connection: what it sends, and all it reads until the server closes it.
    int Connect() {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(server_->port());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        return fd;
    }
    static std::string ReadToEnd(int fd) {
        std::string in;
        char buffer[4096];
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) in.append(buffer, n);
        close(fd);
        return in;
    }

    FakeResolver resolver_;
    serve::Metrics metrics_;
    std::atomic<int64_t> now_{1700000000};
    std::atomic<int> checks_{0};
    std::atomic<bool> cdnAnswers_{true};
    boost::asio::io_context io_;
    std::unique_ptr<serve::Service> service_;
    std::unique_ptr<serve::HttpServer> server_;
    std::unique_ptr<serve::Watcher> watcher_;  // after the service, which it tells
    std::thread threads_[2];
};

TEST(Routes, OnlyThePlatformsLinksAndRoomIds) {
    struct Case {
        const char* method;
        const char* path;
        const char* query;
        serve::Route::Kind kind;
        const char* link;
    };
    using K = serve::Route::Kind;
    const Case cases[] = {
        {"GET", "/douyin/81234567", "", K::kStream, "https://live.douyin.com/81234567"},
        {"HEAD", "/douyin/81234567.flv", "", K::kStream, "https://live.douyin.com/81234567"},
        {"GET", "/douyin/81234567.json", "", K::kJson, "https://live.douyin.com/81234567"},
        {"GET", "/douyin", "url=https%3A%2F%2Fv.douyin.com%2Fab12%2F", K::kStream,
         "https://v.douyin.com/ab12/"},
        {"GET", "/douyin", "url=%E7%9C%8B+https://v.douyin.com/ab12/+%E5%A4%8D%E5%88%B6",
         K::kStream, "https://v.douyin.com/ab12/"},
        {"GET", "/douyin", "url=http://127.0.0.1:8090/x", K::kBadRequest, ""},
        {"GET", "/douyin", "url=file:///etc/passwd", K::kBadRequest, ""},
        {"GET", "/douyin", "url=%zz", K::kBadRequest, ""},
        {"GET", "/douyin", "", K::kBadRequest, ""},
        {"GET", "/douyin/8123%2e4567", "", K::kBadRequest, ""},
        {"GET", "/douyin/..%2f..%2fetc", "", K::kNotFound, ""},
        {"GET", "/douyin/81234567/x", "", K::kBadRequest, ""},
        {"GET", "/douyin/1.mp4", "", K::kNotFound, ""},
        {"GET", "/douyin/81234567", "codec=vp9", K::kBadRequest, ""},
        {"GET", "/douyin/81234567", "format=mp4", K::kBadRequest, ""},
        {"POST", "/douyin/81234567", "", K::kBadMethod, ""},
        {"GET", "/healthz", "", K::kHealth, ""},
        {"GET", "/rooms", "", K::kRooms, ""},
        {"HEAD", "/playlist.m3u", "", K::kPlaylist, ""},
        {"GET", "/events", "", K::kEvents, ""},
        {"GET", "/elsewhere", "", K::kNotFound, ""},
    };
    for (const Case& c : cases) {
        serve::HttpRequest request{c.method, c.path, c.query, {}};
        serve::Route route = serve::RouteOf(request);
        EXPECT_EQ(route.kind, c.kind) << c.path << "?" << c.query;
        EXPECT_EQ(route.request.link, c.link) << c.path << "?" << c.query;
    }
    serve::Route flv = serve::RouteOf({"GET", "/douyin/1.flv", "quality=%E5%8E%9F%E7%94%BB", {}});
    EXPECT_TRUE(flv.request.wish.flv);
    EXPECT_EQ(flv.request.wish.quality, "\xd4\xad\xbb\xad");  // 原画 in GBK
}

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

TEST(RoomsFile, OneLinkPerLineWithTheOptionsAfterIt) {
    struct Case {
        const char* line;
        const char* link;  // empty: the line is left out, for `error`
        const char* quality;
        const char* codec;
        bool flv;
        const char* webRid;
        const char* error;
    };
    const Case cases[] = {
        {"https://live.douyin.com/81234567", "https://live.douyin.com/81234567", "", "", false,
         "81234567", ""},
        {"81234567 quality=原画 codec=h265 format=flv", "https://live.douyin.com/81234567",
         "\xd4\xad\xbb\xad", "h265", true, "81234567", ""},
        {"  www.douyin.com/root/live/5550001/  # the second channel",
         "https://www.douyin.com/root/live/5550001/", "", "", false, "5550001", ""},
        {"看 https://v.douyin.com/ab12/ 复制 quality=hd", "https://v.douyin.com/ab12/", "hd", "",
         false, "", ""},
        {"https://live.douyin.com/1 codec=vp9", "", "", "", false, "",
         "line 1: codec takes h264 or h265"},
        {"https://live.douyin.com/1 speed=2", "", "", "", false, "",
         "line 1: no option speed (quality=, codec=, format=)"},
        {"quality=hd", "", "", "", false, "", "line 1: no link before the options"},
        {"http://127.0.0.1:8090/douyin/1", "", "", "", false, "", "line 1: holds no room link"},
        {"https://live.douyin.com/\xff\xfe", "", "", "", false, "", "line 1: not UTF-8"},
    };
    for (const Case& c : cases) {
        serve::RoomsList list = serve::ParseRooms(c.line);
        if (*c.link == '\0') {
            EXPECT_TRUE(list.rooms.empty()) << c.line;
            EXPECT_EQ(list.errors, std::vector<std::string>{c.error}) << c.line;
            continue;
        }
        ASSERT_EQ(list.rooms.size(), 1u) << c.line;
        const serve::WatchedRoom& room = list.rooms[0];
        EXPECT_EQ(room.request.link, c.link) << c.line;
        EXPECT_EQ(room.request.wish.quality, c.quality) << c.line;
        EXPECT_EQ(room.request.wish.codec, c.codec) << c.line;
        EXPECT_EQ(room.request.wish.flv, c.flv) << c.line;
        EXPECT_EQ(room.webRid, c.webRid) << c.line;
    }
    // Comments and blank lines are no rooms; a room twice with the same options is one.
    serve::RoomsList list = serve::ParseRooms(
        "# rooms\n\n81234567\r\nhttps://live.douyin.com/81234567\n81234567 format=flv\n");
    EXPECT_EQ(list.rooms.size(), 2u);
    EXPECT_EQ(list.errors,
              std::vector<std::string>{"line 4: the same room and options as a line before"});
}

TEST(WatchText, APlaylistOfStableLinksThatNoPageTextBreaks) {
    const std::pair<const char*, const char*> texts[] = {
        {"今晚\"聊天\",局", "今晚聊天局"},
        {"a\x1b[31m\r\n#EXTINF:-1,b", "a[31m#EXTINF:-1b"},
        {"\xc2\x85x\x7f", "x"},  // C1 and DEL
    };
    for (const auto& [text, shown] : texts) EXPECT_EQ(serve::M3uText(text), shown) << text;
    const std::pair<const char*, const char*> hosts[] = {
        {"tv.example:8090", "tv.example:8090"},
        {"[::1]:8090", "[::1]:8090"},
        {"a\" tvg-logo=\"x", "127.0.0.1:8090"},
        {"a/b?c", "127.0.0.1:8090"},
        {"", "127.0.0.1:8090"},
    };
    for (const auto& [host, used] : hosts)
        EXPECT_EQ(serve::HostOrDefault(host, "127.0.0.1:8090"), used) << host;

    std::vector<serve::RoomState> rooms(3);
    rooms[0].room = serve::ParseRooms("81234567").rooms[0];
    rooms[0].webRid = "81234567";
    rooms[0].live = true;
    rooms[0].owner = "主播\"七\"";
    rooms[0].title = "今晚, 聊天";
    rooms[0].avatar = "https://p3.cdn.invalid/a.jpeg?x=1";
    rooms[1].room =
        serve::ParseRooms("https://v.douyin.com/ab12/ quality=原画 format=flv").rooms[0];
    rooms[1].live = false;
    rooms[1].title = "已下播";
    rooms[1].avatar = "javascript:alert(1)\" x=\"";
    rooms[2].room = serve::ParseRooms("看看 v.douyin.com/cd34/, codec=h265").rooms[0];
    EXPECT_EQ(serve::PlaylistText(rooms, "tv.example:8090"),
              "#EXTM3U\n"
              "#EXTINF:-1 tvg-logo=\"https://p3.cdn.invalid/a.jpeg?x=1\" group-title=\"直播中\","
              "主播七 - 今晚 聊天\n"
              "http://tv.example:8090/douyin/81234567\n"
              "#EXTINF:-1 group-title=\"未开播\",已下播\n"
              "http://tv.example:8090/douyin?url=https%3A%2F%2Fv.douyin.com%2Fab12%2F"
              "&quality=%E5%8E%9F%E7%94%BB&format=flv\n"
              "#EXTINF:-1 group-title=\"未开播\",看看 v.douyin.com/cd34/\n"
              "http://tv.example:8090/douyin?url=https%3A%2F%2Fv.douyin.com%2Fcd34%2F"
              "&codec=h265\n");
}

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
