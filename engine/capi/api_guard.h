#pragma once
// Every entry point runs its body through Guard: nothing thrown inside the engine
// crosses into the host program; the entry point then returns its empty result.
#include <utility>

#include "engine/browser/browser.h"
#include "engine/capi/api_nesting.h"
#include "engine/protocol/protocol_log.h"

namespace engine {

// Counts the entry point while it runs (api_nesting.h).
struct ApiCall {
    ApiCall() { ApiNesting::Get().Enter(); }
    ~ApiCall() { ApiNesting::Get().Leave(); }
};

template <typename R, typename F>
R Guard(R fallback, F&& body) {
    ApiCall call;
    try {
        return body();
    } catch (...) {
        TraceCaught("an entry point");
        return fallback;
    }
}

template <typename F>
void Guard(F&& body) {
    ApiCall call;
    try {
        body();
    } catch (...) {
        TraceCaught("an entry point");
    }
}

// Runs `body` with the page when the handle names a live view.
template <typename F>
void WithPage(wkeWebView handle, F&& body) {
    Guard([&] {
        if (Page* page = Browser::Get().Find(handle)) body(*page);
    });
}

template <typename R, typename F>
R WithPage(wkeWebView handle, R fallback, F&& body) {
    return Guard(fallback, [&]() -> R {
        Page* page = Browser::Get().Find(handle);
        return page ? body(*page) : fallback;
    });
}

}  // namespace engine
