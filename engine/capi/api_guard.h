#pragma once
// Every entry point runs its body through Guard: nothing thrown inside the engine
// crosses into the host program; the entry point then returns its empty result.
#include <utility>

#include "engine/browser/engine.h"
#include "engine/protocol/protocol_log.h"

namespace engine {

// Every entry point is counted while it runs: one called from inside another (from a bound
// function or a notification) is nested, and what it cannot do there (shut the engine
// down, destroy a view) is done when the outermost call returns. Messages that a call read
// but left unhandled still wake the host's event loop then.
struct ApiCall {
    ApiCall() { Engine::Get().EnterApi(); }
    ~ApiCall() { Engine::Get().LeaveApi(); }
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

// Runs `body` with the view when the handle names a live view.
template <typename F>
void WithView(wkeWebView handle, F&& body) {
    Guard([&] {
        if (View* view = Engine::Get().Find(handle)) body(*view);
    });
}

template <typename R, typename F>
R WithView(wkeWebView handle, R fallback, F&& body) {
    return Guard(fallback, [&]() -> R {
        View* view = Engine::Get().Find(handle);
        return view ? body(*view) : fallback;
    });
}

}  // namespace engine
