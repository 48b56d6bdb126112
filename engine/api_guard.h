#pragma once
// Every entry point runs its body through Guard: nothing thrown inside the engine
// crosses into the host program; the entry point then returns its empty result.
#include <utility>

#include "engine/engine.h"

namespace engine {

template <typename R, typename F>
R Guard(R fallback, F&& body) {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

template <typename F>
void Guard(F&& body) {
    try {
        body();
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
