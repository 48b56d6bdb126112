#pragma once
// A TLS-terminating proxy on loopback, as a browser service puts in front of a browser's
// DevTools port: it accepts TLS on a port of its own and relays the plain bytes to the
// browser's port, both ways, on a thread of its own.
#include <memory>
#include <string>

#include "tests/support/test_pki.h"

namespace testsupport {

class TlsProxy {
  public:
    // Listens on 127.0.0.1 (a free port) with `identity`; ok() tells whether it does.
    TlsProxy(int upstreamPort, const ServerIdentity& identity);
    ~TlsProxy();
    TlsProxy(const TlsProxy&) = delete;
    TlsProxy& operator=(const TlsProxy&) = delete;

    bool ok() const { return port_ > 0; }
    int port() const { return port_; }
    // Connections whose TLS handshake completed: proof that the traffic went through TLS.
    int handshakes() const;
    // Connections whose TLS handshake the client broke off (it refused the certificate, say).
    int failedHandshakes() const;
    // Waits (a bounded while) until more than `seen` handshakes have failed: the proxy learns
    // of a client's refusal after the client has moved on.
    bool WaitForFailedHandshakes(int seen, int timeoutMs = 5000) const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
    int port_ = 0;
};

}  // namespace testsupport
