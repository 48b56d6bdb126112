#pragma once
// The service's test fixture: the service on loopback with a resolver that answers as the
// test says and a clock the test sets, and the clients the tests talk to it with (curl for
// what players do, raw sockets for what hostile clients do, a listener to a stream).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serve/http_server.h"
#include "serve/service.h"
#include "serve/watcher.h"

namespace servetest {

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

inline constexpr const char* kAddress =
    "https://pull.cdn.invalid/stage/stream-1.m3u8?expire=2000000000";

inline Resolved Live(int64_t expiry = 2000000000) {
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

}  // namespace servetest
