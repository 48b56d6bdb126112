#pragma once
// Helpers for tests that drive the engine: waiting on its event descriptor the way a host
// does, loading pages, and running scripts.
#include <chrono>
#include <functional>
#include <string>

#include "engine/capi/wke.h"

namespace testsupport {

// Dispatches notifications (as a host's event loop would) until `done` holds or
// `timeoutMs` passes. Returns whether `done` held.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// Runs the event loop for a while, for things that must not happen.
void PumpFor(int ms);

struct LoadOutcome {
    int count = 0;  // loading-finished notifications seen
    int result = -1;
    std::string url, reason;
};

// Watches the view's loading-finished notifications.
class LoadWatcher {
  public:
    explicit LoadWatcher(wkeWebView view);
    ~LoadWatcher();
    // Waits for the next notification; the outcome of the last one.
    LoadOutcome Wait(int timeoutMs = 15000);
    const std::vector<LoadOutcome>& all() const { return all_; }

  private:
    static void OnFinish(wkeWebView, void* self, const wkeString url, wkeLoadingResult result,
                         const wkeString reason);
    wkeWebView view_;
    std::vector<LoadOutcome> all_;
};

// Loads `url` and waits for its notification; the result code (-1 when none came).
int LoadAndWait(wkeWebView view, const std::string& url);

// Runs a script and gives the result as text ("undefined" when it failed).
std::string Eval(wkeWebView view, const std::string& script, wkeWebFrameHandle frame = 1,
                 bool inClosure = true);

}  // namespace testsupport
