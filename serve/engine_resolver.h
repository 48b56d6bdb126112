#pragma once
// The browser's side of the service: one browser kept between requests on a thread of its
// own (the engine is used from one thread only), every page load to the platform paced, a
// browser found dead or deaf replaced, one that could not start tried again later.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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
    // `browsers`: browsers elsewhere to attach to, the next one taken when one cannot be
    // reached (empty: one of our own).
    EngineResolver(std::chrono::milliseconds pace, std::chrono::seconds timeout,
                   std::vector<std::string> browsers, Metrics& metrics,
                   std::function<void(std::chrono::seconds)> backOff);
    ~EngineResolver() override;  // ends the browser, its profile removed

    void Resolve(ResolveRequest request, std::function<void(Resolved)> done) override;
    // Takes up the back-off of an earlier run: its length and how much of it is left.
    void ResumeBackOff(std::chrono::seconds backOff, std::chrono::seconds left);

  private:
    Resolved ResolveNow(const ResolveRequest& request);
    void WaitForTurn();
    bool BrowserReady();
    void UseBrowser(size_t index);

    std::chrono::seconds timeout_;
    std::vector<std::string> browsers_;
    size_t browserIndex_ = 0;
    Metrics& metrics_;
    std::function<void(std::chrono::seconds)> backOff_;
    Pacer pacer_;
    std::unique_ptr<app::CliBrowser> browser_;  // made, used and ended on the queue's thread
    int replacementsSeen_ = 0;
    int loadsInResolve_ = 0;  // page loads of the resolve under way
    std::atomic<bool> stopping_{false};
    std::unique_ptr<WorkQueue> queue_;  // last: its thread ends before the rest goes
};

}  // namespace serve
