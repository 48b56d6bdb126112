#pragma once
// The DevTools protocol over a WebSocket, to a browser that runs elsewhere (started with
// --remote-debugging-port, or a browser service that hands out an endpoint). Everything runs
// on the calling thread, as over the pipe: the socket is read only when the connection asks.
// Its address is read in browser_address.h, its certificate judged in tls_peer.h.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "engine/transport/browser_address.h"
#include "engine/transport/transport.h"

namespace engine {

class WebSocketTransport : public Transport {
  public:
    WebSocketTransport();
    ~WebSocketTransport() override;
    WebSocketTransport(const WebSocketTransport&) = delete;
    WebSocketTransport& operator=(const WebSocketTransport&) = delete;

    // Finds the browser's WebSocket (through /json/version for an http address), connects and
    // completes the handshake within `timeoutMs`. On failure says why in *why. A message longer
    // than `maxMessageBytes` ends the connection.
    bool Connect(const std::string& url, int timeoutMs, std::string* why,
                 size_t maxMessageBytes = kDefaultMaxMessageBytes);

    bool Send(const std::string& message) override;
    bool ReadAvailable(std::vector<std::string>& out) override;
    bool WaitReadable(int timeoutMs) const override;
    int readFd() const override { return fd_.load(); }
    void Abandon(const std::string& why) override;
    bool GivenUpWhenSilent() const override { return true; }
    bool HasPending() const override;
    bool EndsOnStrayAnswers() const override { return true; }
    std::string Peer() const override;

    // Says goodbye with a close frame (a short while at most) and closes the socket. The
    // browser itself goes on.
    void Close();
    // Cuts the connection at once, from any thread or a signal handler: the browser ends
    // what this connection made (its contexts are disposed when it detaches).
    void Terminate();
    bool terminated() const { return terminated_.load(); }
    // After ReadAvailable returned false: how the connection ended.
    std::string ExitReason() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::atomic<int> fd_{-1};
    std::atomic<bool> terminated_{false};
};

}  // namespace engine
