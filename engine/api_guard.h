#pragma once
// Every entry point runs its body through Guard: nothing thrown inside the engine
// crosses into the host program; the entry point then returns its empty result.
#include <utility>

#include "engine/engine.h"

namespace engine {

// Messages that a call read but left unhandled must still wake the host's event loop.
template <typename R, typename F>
R Guard(R fallback, F&& body) {
    try {
        R result = body();
        Engine::Get().SignalIfUnhandled();
        return result;
    } catch (...) {
        return fallback;
    }
}

template <typename F>
void Guard(F&& body) {
    try {
        body();
        Engine::Get().SignalIfUnhandled();
    } catch (...) {
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
