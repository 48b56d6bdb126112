#pragma once
// A loopback site, reached under the share host, whose pages can hold a load open: a request
// for a path under /stall gets no answer until the test releases it (or the server goes).
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "tests/support/http_server.h"

namespace testsupport {

class StallingServer {
  public:
    StallingServer()
        : server_([state = state_](const HttpRequest& r) { return Answer(*state, r); }) {}
    ~StallingServer() { Release(); }

    void Serve(const std::string& path, const std::string& html) {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->pages[path] = html;
    }
    // A page whose load stays open: a frame that never arrives (the resolver fetches no
    // pictures, but frames it does).
    static std::string StallingPage() {
        return "<body>loading<iframe src='/stall.html'></iframe></body>";
    }

    // Whether a request under /stall has arrived (the page is loading).
    bool Stalled() {
        std::lock_guard<std::mutex> lock(state_->mutex);
        return state_->stalled > 0;
    }
    // Waits for it, blocking: for a page loaded by another process.
    bool WaitForStall(std::chrono::milliseconds bound = std::chrono::seconds(60)) {
        std::unique_lock<std::mutex> lock(state_->mutex);
        return state_->changed.wait_for(lock, bound, [&] { return state_->stalled > 0; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->released = true;
        state_->changed.notify_all();
    }
    int Hits(const std::string& path) {
        std::lock_guard<std::mutex> lock(state_->mutex);
        return state_->hits[path];
    }
    std::string Url(const std::string& path) const {
        return "http://v.douyin.com:" + std::to_string(server_.port()) + path;
    }

  private:
    // Shared with the server's connection threads, which may outlive this object.
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::map<std::string, std::string> pages;
        std::map<std::string, int> hits;
        int stalled = 0;
        bool released = false;
    };

    static HttpResponse Answer(State& s, const HttpRequest& request) {
        std::unique_lock<std::mutex> lock(s.mutex);
        ++s.hits[request.path];
        HttpResponse response;
        if (request.path.rfind("/stall", 0) == 0) {
            ++s.stalled;
            s.changed.notify_all();
            s.changed.wait_for(lock, std::chrono::minutes(2), [&] { return s.released; });
            response.status = 404;
            return response;
        }
        auto page = s.pages.find(request.path);
        if (page == s.pages.end())
            response.status = 404;
        else
            response.body = page->second;
        return response;
    }

    std::shared_ptr<State> state_ = std::make_shared<State>();
    HttpServer server_;
};

}  // namespace testsupport
