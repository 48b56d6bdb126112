#pragma once
// Throwaway certificates for TLS on loopback, made when a test runs: an authority of the
// test's own and server certificates it signs, all in memory and in a temporary directory.
#include <memory>
#include <string>

namespace testsupport {

struct ServerIdentity {
    std::string certificatePem;  // the server's certificate, then its authority's
    std::string keyPem;
};

class TestAuthority {
  public:
    // A new authority named `name`; ok() tells whether it was made.
    explicit TestAuthority(const std::string& name);
    ~TestAuthority();
    TestAuthority(const TestAuthority&) = delete;
    TestAuthority& operator=(const TestAuthority&) = delete;

    bool ok() const;
    // A server certificate for `altNames` ("IP:127.0.0.1,DNS:localhost"), signed here.
    ServerIdentity Issue(const std::string& altNames);
    // The authority's own certificate, written once to a file in a temporary directory that
    // goes with this object: what SSL_CERT_FILE names to trust it.
    std::string CertificateFile();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace testsupport
