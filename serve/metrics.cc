#include "serve/metrics.h"

#include <cstdio>

namespace serve {
namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string Counter(const char* name, const char* help, uint64_t value) {
    return std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " counter\n" + name +
           " " + std::to_string(value) + "\n";
}

std::string Gauge(const char* name, const char* help, double value) {
    return std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n" + name +
           " " + Number(value) + "\n";
}

}  // namespace

void Metrics::Answered(int status) {
    std::lock_guard<std::mutex> hold(lock_);
    ++answers_[status];
}

void Metrics::CacheHit() {
    std::lock_guard<std::mutex> hold(lock_);
    ++cacheHits_;
}

void Metrics::PageLoad(double seconds, bool refused) {
    std::lock_guard<std::mutex> hold(lock_);
    ++pageLoads_;
    if (refused) ++refusals_;
    resolveSum_ += seconds;
    for (size_t i = 0; i < kBounds.size(); ++i)
        if (seconds <= kBounds[i]) ++buckets_[i];
}

void Metrics::BrowserRestart() {
    std::lock_guard<std::mutex> hold(lock_);
    ++restarts_;
}

void Metrics::SetBackOff(double seconds) {
    std::lock_guard<std::mutex> hold(lock_);
    backOff_ = seconds;
}

void Metrics::SetRooms(size_t watched, size_t live) {
    std::lock_guard<std::mutex> hold(lock_);
    roomsWatched_ = watched;
    roomsLive_ = live;
}

uint64_t Metrics::pageLoads() const {
    std::lock_guard<std::mutex> hold(lock_);
    return pageLoads_;
}

uint64_t Metrics::cacheHits() const {
    std::lock_guard<std::mutex> hold(lock_);
    return cacheHits_;
}

std::string Metrics::Text() const {
    std::lock_guard<std::mutex> hold(lock_);
    std::string out =
        "# HELP qirlen_requests_total HTTP requests answered, by status.\n"
        "# TYPE qirlen_requests_total counter\n";
    for (const auto& [status, count] : answers_)
        out += "qirlen_requests_total{status=\"" + std::to_string(status) + "\"} " +
               std::to_string(count) + "\n";
    out += Counter("qirlen_cache_hits_total", "Answers given from the cache.", cacheHits_);
    out += Counter("qirlen_page_loads_total", "Room pages loaded from the platform.", pageLoads_);
    out +=
        Counter("qirlen_refusals_total",
                "Page loads the platform refused or answered with a verification page.", refusals_);
    out += Counter("qirlen_browser_restarts_total", "Browsers found dead or deaf and replaced.",
                   restarts_);
    out += Gauge("qirlen_backoff_seconds", "How long page loads wait after refusals.", backOff_);
    out += Gauge("qirlen_rooms_watched", "Rooms the service watches.",
                 static_cast<double>(roomsWatched_));
    out += Gauge("qirlen_rooms_live", "Watched rooms live at their last check.",
                 static_cast<double>(roomsLive_));
    out +=
        "# HELP qirlen_resolve_seconds Time of one resolve through the browser.\n"
        "# TYPE qirlen_resolve_seconds histogram\n";
    for (size_t i = 0; i < kBounds.size(); ++i)
        out += "qirlen_resolve_seconds_bucket{le=\"" + Number(kBounds[i]) + "\"} " +
               std::to_string(buckets_[i]) + "\n";
    out += "qirlen_resolve_seconds_bucket{le=\"+Inf\"} " + std::to_string(pageLoads_) + "\n";
    out += "qirlen_resolve_seconds_sum " + Number(resolveSum_) + "\n";
    out += "qirlen_resolve_seconds_count " + std::to_string(pageLoads_) + "\n";
    return out;
}

}  // namespace serve
