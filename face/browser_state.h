#pragma once
// The engine as the modern face reaches it: its share of the process's engine, the entries of
// wke.h and qirlen_protocol.h it needs, and the wait that runs the browser's events.
#include <chrono>
#include <functional>
#include <string>

#include "engine/capi/qirlen_protocol.h"
#include "engine/capi/wke.h"

namespace qirlen::detail {

struct ProtocolEntries {
    decltype(&::wkeCreateWebWindow) createView = nullptr;
    decltype(&::wkeDestroyWebWindow) destroyView = nullptr;
    decltype(&::qirlenProtocolCall) call = nullptr;
    decltype(&::qirlenProtocolListen) listen = nullptr;
    decltype(&::qirlenProtocolPump) pump = nullptr;
};

struct BrowserState {
    BrowserState(const std::string& browserUrl, int width, int height);
    ~BrowserState();
    BrowserState(const BrowserState&) = delete;
    BrowserState& operator=(const BrowserState&) = delete;

    bool running() const { return error.empty(); }

    ProtocolEntries engine;
    std::string error;  // why there is no browser
    int width = 0, height = 0;

  private:
    bool acquired_ = false;
};

using Clock = std::chrono::steady_clock;

// Runs the browser's events until `done` holds or `timeoutMs` passes; whether it held.
// False at once when the browser stops running.
bool RunUntil(const ProtocolEntries& engine, const std::function<bool()>& done, int timeoutMs);

}  // namespace qirlen::detail
