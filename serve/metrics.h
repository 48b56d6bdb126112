#pragma once
// What the service counts, in Prometheus's text format.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace serve {

class Metrics {
  public:
    void Answered(int status);
    void CacheHit();
    void PageLoad(double seconds, bool refused);
    void BrowserRestart();
    void SetBackOff(double seconds);
    void SetRooms(size_t watched, size_t live);
    std::string Text() const;

    uint64_t pageLoads() const;
    uint64_t cacheHits() const;

  private:
    mutable std::mutex lock_;
    std::map<int, uint64_t> answers_;
    uint64_t cacheHits_ = 0, pageLoads_ = 0, refusals_ = 0, restarts_ = 0;
    size_t roomsWatched_ = 0, roomsLive_ = 0;
    double backOff_ = 0, resolveSum_ = 0;
    std::vector<uint64_t> buckets_ = std::vector<uint64_t>(kBounds.size(), 0);
    static inline const std::vector<double> kBounds = {0.5, 1, 2, 5, 10, 20, 30, 60};
};

}  // namespace serve
