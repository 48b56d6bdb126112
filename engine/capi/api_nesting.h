#pragma once
// Entry points called from inside others (from a bound function or a notification): every
// entry point is counted while it runs, and what cannot be done inside another (shut the
// engine down, destroy a view) is done when the outermost call returns.
#include <vector>

#include "engine/capi/wke.h"

namespace engine {

class ApiNesting {
  public:
    static ApiNesting& Get();

    void Enter() { ++depth_; }
    // At the end of the outermost call: what was deferred is done, messages that a call read
    // but left unhandled wake the host's event loop, and its descriptor follows the browser.
    void Leave();
    bool Nested() const { return depth_ > 1; }

    // Shutting down or destroying a view from inside a bound function or a notification would
    // pull the ground from under the call that is still running: it waits until that call
    // has returned.
    void ShutdownWhenOutside();
    void DestroyWhenOutside(wkeWebView handle) { destroyDeferred_.push_back(handle); }

  private:
    int depth_ = 0;
    bool shutdownDeferred_ = false;
    std::vector<wkeWebView> destroyDeferred_;
};

// Ends the browser and forgets every view; `keepValues` leaves the script values readable
// (the answer of the run in which a bound function asked for the shut-down is still to be
// read).
void ShutdownEngine(bool keepValues);

}  // namespace engine
