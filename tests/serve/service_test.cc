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
    Resolved answer;
    bool held = false;
    std::vector<std::string> links;

  private:
    std::mutex lock_;
    std::vector<std::function<void(Resolved)>> pending_;
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

}  // namespace
