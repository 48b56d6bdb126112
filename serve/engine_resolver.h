#pragma once
// The browser's side of the service: one browser kept between requests on a thread of its
// own (the engine is used from one thread only), every page load to the platform paced, a
// browser found dead or deaf replaced, one that could not start tried again later.
#include <chrono>
#include <functional>
#include <memory>

#include "serve/metrics.h"
#include "serve/pacer.h"
#include "serve/resolver.h"
#include "serve/work_queue.h"

namespace app {
class CliBrowser;
}

namespace serve {

class EngineResolver : public Resolver {
  public:
    // `backOff` hears of every change of the pacing's back-off.
    EngineResolver(std::chrono::milliseconds pace, std::chrono::seconds timeout, Metrics& metrics,
                   std::function<void(std::chrono::seconds)> backOff);
    ~EngineResolver() override;  // ends the browser, its profile removed

    void Resolve(ResolveRequest request, std::function<void(Resolved)> done) override;

  private:
    Resolved ResolveNow(const ResolveRequest& request);
    void WaitForTurn();

    std::chrono::seconds timeout_;
    Metrics& metrics_;
    std::function<void(std::chrono::seconds)> backOff_;
    Pacer pacer_;
    std::unique_ptr<app::CliBrowser> browser_;  // made, used and ended on the queue's thread
    int replacementsSeen_ = 0;
    std::unique_ptr<WorkQueue> queue_;  // last: its thread ends before the rest goes
};

}  // namespace serve
