#pragma once
// The browser the engine works in: a Chromium of its own, started here, or a browser that
// runs elsewhere (options.browserUrl), attached to over its DevTools WebSocket and left running
// when the engine is done. Either way it is a transport for the connection.
#include <string>
#include <vector>

#include "engine/options.h"
#include "engine/process/chromium_process.h"
#include "engine/transport/websocket_transport.h"

namespace engine {

class BrowserProcess {
  public:
    // Starts Chromium, or attaches to the browser elsewhere. On failure says why in *why.
    bool Start(const EngineOptions& options, std::string* why);
    // Ends a Chromium of our own with its profile; says goodbye to one elsewhere.
    void Stop();
    // From any thread or a signal handler: ends ours at once, cuts the connection to one
    // elsewhere. Nothing starts again afterwards.
    void Terminate();
    bool terminated() const { return own_.terminated() || remote_.terminated(); }
    // After the transport ended: how the browser went.
    std::string ExitReason();
    // Gives up on a browser that broke the protocol; `why` is then how it ended.
    void Abandon(const std::string& why) { transport().Abandon(why); }

    Transport& transport() { return attached_ ? static_cast<Transport&>(remote_) : own_; }
    bool attached() const { return attached_; }
    // Of a Chromium of our own; empty for one elsewhere.
    const std::vector<std::string>& switches() const { return own_.switches(); }
    const std::string& profileDir() const { return own_.profileDir(); }

  private:
    ChromiumProcess own_;
    WebSocketTransport remote_;
    bool attached_ = false;
};

}  // namespace engine
