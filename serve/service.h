#pragma once
// The resolver as a service: answers each request from the cache where it can, confirms an
// old answer with the CDN instead of the platform, and resolves through the browser where it
// must, with one resolve for every request that asks for the same thing at once.
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serve/http_server.h"
#include "serve/metrics.h"
#include "serve/resolver.h"
#include "serve/routes.h"
#include "serve/state_store.h"
#include "serve/work_queue.h"

namespace serve {

struct ServiceSettings {
    std::chrono::seconds recheck{60};       // an answer older than this is confirmed first
    std::chrono::seconds expiryMargin{60};  // an address is not handed out this close to its end
    std::chrono::seconds retryAfter{60};    // told to clients after a refusal, at the least
};

// Whether the CDN still serves the stream at this address (its playlist answers 200).
using StreamCheck = std::function<bool(const std::string& address)>;
// Unix time now.
using UnixClock = std::function<int64_t()>;

// The pages of the watched rooms, where the service watches any.
class WatchPages {
  public:
    virtual ~WatchPages() = default;
    // `host` is the request's Host header, for the stable links.
    virtual std::string RoomsJson(const std::string& host) = 0;
    virtual std::string Playlist(const std::string& host) = 0;
    // From now on the stream hears of every change of a watched room.
    virtual void Subscribe(std::shared_ptr<HttpStream> stream) = 0;
};

class Service {
  public:
    // With a store, the answers kept by an earlier run are taken up and every change is
    // written through.
    Service(Resolver& resolver, StreamCheck check, Metrics& metrics, ServiceSettings settings,
            UnixClock clock, StateStore* store = nullptr);
    ~Service();

    void Handle(HttpExchange exchange);
    // The back-off the browser's side is in (its length, and the Unix time until which page
    // loads wait), for Retry-After and /rooms.
    struct BackOffState {
        int64_t seconds = 0, until = 0;
    };
    void SetBackOff(BackOffState backOff);
    BackOffState BackOff() const;
    // The service is ending: every client still waiting for a resolve is answered 503 now,
    // rather than after a back-off of minutes.
    void Abandon();
    // Answers /rooms, /playlist.m3u and /events from now on (before any request comes).
    void SetWatch(WatchPages* watch) { watch_ = watch; }
    // Drops every kept answer for any of `links` (whatever its options) or from the room
    // (broadcast) `roomId`: a room seen offline, or live in another room, has none left.
    void ForgetRoom(const std::vector<std::string>& links, const std::string& roomId);

  private:
    struct Waiter {
        bool json = false;
        HttpReply reply;
    };
    enum class Fresh { kNone, kYes, kToConfirm };

    Fresh Cached(const std::string& key, int64_t now, Resolved& out);
    void Ask(const std::string& key, ResolveRequest request, Waiter waiter);
    void Confirm(const std::string& key, ResolveRequest request, Resolved cached);
    void StartResolve(const std::string& key, ResolveRequest request);
    void Finish(const std::string& key, const Resolved& resolved);
    void Keep(const std::string& key, const KeptAnswer& answer);
    void Forget(const std::string& key);
    HttpResponse Answer(const Resolved& resolved, bool json) const;
    void Watched(Route::Kind kind, HttpExchange exchange, HttpReply reply);

    Resolver& resolver_;
    StreamCheck check_;
    Metrics& metrics_;
    ServiceSettings settings_;
    UnixClock clock_;
    std::mutex lock_;
    StateStore* store_;
    std::map<std::string, KeptAnswer> cache_;
    std::map<std::string, std::vector<Waiter>> waiting_;
    std::atomic<int64_t> backOffSeconds_{0}, backOffUntil_{0};
    WatchPages* watch_ = nullptr;
    std::unique_ptr<WorkQueue> checks_;  // last: its thread ends before the rest goes
};

}  // namespace serve
