#pragma once
// The host's event loop for tests that reach the engine the way the program does, through
// the module it loaded (hostctl::Engine()): wait on the engine's descriptor, then wake it.
#include <poll.h>

#include <chrono>
#include <functional>

#include "hostctl/engine_library.h"

namespace testsupport {

// Dispatches notifications until `done` holds or `timeoutMs` passes; whether `done` held.
inline bool PumpHostLoop(const std::function<bool()>& done, int timeoutMs = 10000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        pollfd pfd{hostctl::Engine().wkeGetEventFd(), POLLIN, 0};
        poll(&pfd, 1, 20);
        hostctl::Engine().wkeWake(nullptr);
    }
    return true;
}

}  // namespace testsupport
