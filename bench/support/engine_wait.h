#pragma once
// Waiting for a view's load in the engine benchmarks, pumping the engine's loop meanwhile.
#include <poll.h>

#include <chrono>

#include "engine/capi/wke.h"

namespace bench {

inline bool WaitLoaded(wkeWebView view, int timeoutMs) {
    static bool loaded;
    loaded = false;
    wkeOnLoadingFinish(
        view,
        [](wkeWebView, void*, const wkeString, wkeLoadingResult r, const wkeString) {
            loaded = r == WKE_LOADING_SUCCEEDED;
        },
        nullptr);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!loaded && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{wkeGetEventFd(), POLLIN, 0};
        poll(&pfd, 1, 50);
        wkeWake(nullptr);
    }
    return loaded;
}

}  // namespace bench
