#include "serve/service.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "app/output_checks.h"
#include "serve/routes.h"

namespace serve {
namespace {

// The command line's exit statuses, as HTTP answers.
int StatusOf(const Resolved& resolved) {
    if (resolved.code == 0) return 302;
    if (resolved.refused || resolved.code == 5) return 503;
    switch (resolved.code) {
        case 2:
            return 404;  // not live, no such stream, every address expired
        case 3:
            return 400;
        case 4:
            return 502;  // the page did not load or answer, the browser could not run
        default:
            return 500;
    }
}

HttpResponse Text(int status, std::string body) {
    HttpResponse response;
    response.status = status;
    response.body = std::move(body) + "\n";
    response.headers.push_back({"Cache-Control", "no-store"});
    return response;
}

}  // namespace

Service::Service(Resolver& resolver, StreamCheck check, Metrics& metrics, ServiceSettings settings,
                 UnixClock clock, StateStore* store)
    : resolver_(resolver),
      check_(std::move(check)),
      metrics_(metrics),
      settings_(settings),
      clock_(std::move(clock)),
      store_(store),
      checks_(std::make_unique<WorkQueue>()) {
    if (store_) cache_ = store_->Answers();
}

void Service::Keep(const std::string& key, const KeptAnswer& answer) {
    cache_[key] = answer;
    if (store_) store_->Keep(key, answer);
}

void Service::Forget(const std::string& key) {
    if (cache_.erase(key) && store_) store_->Forget(key);
}

Service::~Service() {
    checks_.reset();
}

void Service::ForgetRoom(const std::vector<std::string>& links, const std::string& roomId) {
    std::vector<std::string> keys;
    std::lock_guard<std::mutex> hold(lock_);
    for (const auto& [key, kept] : cache_) {
        bool named = std::find(links.begin(), links.end(), LinkOfKey(key)) != links.end();
        if (named || (!roomId.empty() && kept.resolved.roomId == roomId)) keys.push_back(key);
    }
    for (const std::string& key : keys) Forget(key);
}

void Service::SetBackOff(BackOffState backOff) {
    backOffUntil_ = backOff.until;
    backOffSeconds_ = backOff.seconds;
}

Service::BackOffState Service::BackOff() const {
    return {backOffSeconds_.load(), backOffUntil_.load()};
}

void Service::Handle(HttpExchange exchange) {
    HttpReply reply = [this, reply = std::move(exchange.reply)](HttpResponse response) {
        metrics_.Answered(response.status);
        reply(std::move(response));
    };
    Route route = RouteOf(exchange.request);
    switch (route.kind) {
        case Route::Kind::kHealth:
            return reply(Text(200, "ok"));
        case Route::Kind::kMetrics: {
            HttpResponse response = Text(200, "");
            response.body = metrics_.Text();
            response.contentType = "text/plain; version=0.0.4; charset=utf-8";
            return reply(std::move(response));
        }
        case Route::Kind::kBadMethod: {
            HttpResponse response = Text(405, "only GET and HEAD");
            response.headers.push_back({"Allow", "GET, HEAD"});
            return reply(std::move(response));
        }
        case Route::Kind::kRooms:
        case Route::Kind::kPlaylist:
        case Route::Kind::kEvents:
            return Watched(route.kind, std::move(exchange), std::move(reply));
        case Route::Kind::kBadRequest:
            return reply(Text(400, route.error));
        case Route::Kind::kNotFound:
            return reply(Text(404, "not found"));
        case Route::Kind::kStream:
        case Route::Kind::kJson:
            break;
    }
    std::string key = CacheKey(route.request);
    Ask(key, route.request, {route.kind == Route::Kind::kJson, std::move(reply)});
}

void Service::Watched(Route::Kind kind, HttpExchange exchange, HttpReply reply) {
    if (!watch_)
        return reply(Text(404, "no rooms are watched: qirlen serve --rooms FILE watches some"));
    std::string host = exchange.request.header("Host");
    HttpResponse response = Text(200, "");
    if (kind == Route::Kind::kRooms) {
        response.contentType = "application/json";
        response.body = watch_->RoomsJson(host);
    } else if (kind == Route::Kind::kPlaylist) {
        response.contentType = "audio/x-mpegurl; charset=utf-8";
        response.body = watch_->Playlist(host);
    } else {
        response.contentType = "text/event-stream; charset=utf-8";
        response.headers.push_back({"X-Accel-Buffering", "no"});
        metrics_.Answered(200);
        if (auto stream = exchange.stream(std::move(response))) watch_->Subscribe(stream);
        return;
    }
    reply(std::move(response));
}

Service::Fresh Service::Cached(const std::string& key, int64_t now, Resolved& out) {
    auto it = cache_.find(key);
    if (it == cache_.end()) return Fresh::kNone;
    const Resolved& kept = it->second.resolved;
    if (kept.expiry && now >= *kept.expiry - settings_.expiryMargin.count()) {
        Forget(key);
        return Fresh::kNone;
    }
    out = kept;
    return now - it->second.confirmedAt < settings_.recheck.count() ? Fresh::kYes
                                                                    : Fresh::kToConfirm;
}

void Service::Ask(const std::string& key, ResolveRequest request, Waiter waiter) {
    Resolved cached;
    Fresh fresh;
    bool first;
    {
        std::lock_guard<std::mutex> hold(lock_);
        fresh = Cached(key, clock_(), cached);
        if (fresh != Fresh::kYes) {
            auto& queue = waiting_[key];
            first = queue.empty();
            queue.push_back(std::move(waiter));
        }
    }
    if (fresh == Fresh::kYes) {
        metrics_.CacheHit();
        return waiter.reply(Answer(cached, waiter.json));
    }
    if (!first) return;  // a resolve or a check for the same thing is under way
    if (fresh == Fresh::kToConfirm) return Confirm(key, std::move(request), std::move(cached));
    StartResolve(key, std::move(request));
}

// The CDN, not the platform, says whether an old answer still holds.
void Service::Confirm(const std::string& key, ResolveRequest request, Resolved cached) {
    checks_->Post([this, key, request = std::move(request), cached = std::move(cached)] {
        if (check_(cached.address)) {
            {
                std::lock_guard<std::mutex> hold(lock_);
                auto it = cache_.find(key);
                if (it != cache_.end()) Keep(key, {it->second.resolved, clock_()});
            }
            metrics_.CacheHit();
            return Finish(key, cached);
        }
        {
            std::lock_guard<std::mutex> hold(lock_);
            Forget(key);
        }
        StartResolve(key, request);
    });
}

void Service::StartResolve(const std::string& key, ResolveRequest request) {
    resolver_.Resolve(std::move(request), [this, key](Resolved resolved) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (resolved.code == 0 && app::IsPlainWebAddress(resolved.address))
                Keep(key, {resolved, clock_()});
            else
                Forget(key);
        }
        Finish(key, resolved);
    });
}

void Service::Abandon() {
    std::map<std::string, std::vector<Waiter>> waiting;
    {
        std::lock_guard<std::mutex> hold(lock_);
        waiting.swap(waiting_);
    }
    Resolved stopping;
    stopping.code = 4;
    stopping.refused = true;  // come back later
    stopping.message = "qirlen serve: the service is stopping";
    for (auto& [key, waiters] : waiting)
        for (Waiter& waiter : waiters) waiter.reply(Answer(stopping, waiter.json));
}

void Service::Finish(const std::string& key, const Resolved& resolved) {
    std::vector<Waiter> waiters;
    {
        std::lock_guard<std::mutex> hold(lock_);
        waiters = std::move(waiting_[key]);
        waiting_.erase(key);
    }
    for (Waiter& waiter : waiters) waiter.reply(Answer(resolved, waiter.json));
}

HttpResponse Service::Answer(const Resolved& resolved, bool json) const {
    int status = StatusOf(resolved);
    // Only an address that passed the checks is ever a redirect.
    if (status == 302 && !app::IsPlainWebAddress(resolved.address))
        return Text(502, "the room gave no usable address");
    HttpResponse response;
    if (json) {
        response = Text(status == 302 ? 200 : status, "");
        response.contentType = "application/json";
        response.body =
            (status == 302
                 ? resolved.json
                 : nlohmann::json{{"error", resolved.message}, {"exit", resolved.code}}.dump(
                       -1, ' ', false, nlohmann::json::error_handler_t::replace)) +
            "\n";
    } else if (status == 302) {
        response = Text(302, resolved.address);
        response.headers.push_back({"Location", resolved.address});
    } else {
        response = Text(status, resolved.message);
    }
    if (status == 503) {
        long long wait = std::max<long long>(settings_.retryAfter.count(), backOffSeconds_.load());
        response.headers.push_back({"Retry-After", std::to_string(wait)});
    }
    return response;
}

}  // namespace serve
