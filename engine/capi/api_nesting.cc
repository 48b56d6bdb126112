#include "engine/capi/api_nesting.h"

#include "engine/browser/browser.h"
#include "engine/capi/event_loop.h"
#include "engine/capi/script_calls.h"

namespace engine {

ApiNesting& ApiNesting::Get() {
    static ApiNesting* nesting = new ApiNesting();  // lives until the process ends
    return *nesting;
}

void ApiNesting::ShutdownWhenOutside() {
    if (Nested())
        shutdownDeferred_ = true;
    else
        ShutdownEngine(false);
}

void ApiNesting::Leave() {
    if (--depth_ > 0) return;
    std::vector<wkeWebView> doomed = std::move(destroyDeferred_);
    destroyDeferred_.clear();
    for (wkeWebView handle : doomed) wkeDestroyWebWindow(handle);
    if (shutdownDeferred_) {
        shutdownDeferred_ = false;
        ShutdownEngine(true);
    }
    Browser& browser = Browser::Get();
    browser.SignalIfUnread();
    EventLoop::Get().Follow(browser);
}

void ShutdownEngine(bool keepValues) {
    Browser& browser = Browser::Get();
    if (!browser.initialized()) return;
    browser.Shutdown();
    ScriptCalls::Get().Reset(keepValues);
}

}  // namespace engine
