#pragma once
// The DevTools protocol over a WebSocket, to a browser that runs elsewhere (started with
// --remote-debugging-port, or a browser service that hands out an endpoint). Everything runs
// on the calling thread, as over the pipe: the socket is read only when the connection asks.
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/transport/transport.h"

namespace engine {

// A browser's address as the user gives it: ws://host:port/devtools/browser/<id> (wss://
// too), or http(s)://host:port, whose /json/version names the WebSocket.
struct BrowserAddress {
    std::string scheme;  // ws, wss, http or https
    std::string host;    // an IPv6 address without its brackets
    std::string port;
    std::string target = "/";  // path and query, kept as they are (a service's token, say)

    bool tls() const { return scheme == "wss" || scheme == "https"; }
    bool http() const { return scheme == "http" || scheme == "https"; }
    std::string hostAndPort() const;
    // The address to show in messages: without the query, which may hold a secret.
    std::string shown() const;
};
std::optional<BrowserAddress> ParseBrowserAddress(const std::string& url);
// The socket to open for the webSocketDebuggerUrl `named` that the /json/version of `asked`
// gave: over TLS when `asked` was.
std::string SocketUrlFor(const BrowserAddress& asked, const std::string& named);
// The same as an address: the path (and query) `named` gives, at the host and port of `asked`,
// since an answer may name any host, and only the one asked is reached. None when `named` is
// no WebSocket address.
std::optional<BrowserAddress> SocketAddressFor(const BrowserAddress& asked,
                                               const std::string& named);

class WebSocketTransport : public Transport {
  public:
    WebSocketTransport();
    ~WebSocketTransport() override;
    WebSocketTransport(const WebSocketTransport&) = delete;
    WebSocketTransport& operator=(const WebSocketTransport&) = delete;

    // Finds the browser's WebSocket (through /json/version for an http address), connects and
    // completes the handshake within `timeoutMs`. On failure says why in *why.
    bool Connect(const std::string& url, int timeoutMs, std::string* why);

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

// The browser to attach to instead of starting one: $QIRLEN_BROWSER_URL; empty for none.
std::string RemoteBrowserUrl();

}  // namespace engine
