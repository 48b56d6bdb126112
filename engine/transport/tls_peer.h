#pragma once
// What a browser elsewhere must prove over TLS: that its certificate is for the host asked,
// from an authority the system (or SSL_CERT_FILE, SSL_CERT_DIR) trusts.
#include <openssl/ssl.h>

#include <string>

#include "engine/transport/browser_address.h"

namespace engine {

// The peer must prove it is `host`: OpenSSL checks the certificate's names (or addresses)
// while it verifies the chain, so a mismatch is told apart from an unknown authority. A name
// is also sent as the server name; an address never is.
void ExpectPeer(SSL* ssl, const std::string& host);

// Why the peer's certificate was refused (OpenSSL's `verdict`), in one line, with what a user
// can do about it.
std::string CertificateRefusal(const BrowserAddress& a, long verdict);

}  // namespace engine
