// tls_front UPSTREAM_PORT: puts a TLS-terminating proxy on loopback in front of a browser's
// DevTools port, for the tests that drive programs from the shell. It makes a throwaway
// authority and a certificate for 127.0.0.1 and localhost, prints one line
// "PORT CA_FILE", and relays until its standard input closes; the files go with it.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/test_pki.h"
#include "tests/support/tls_proxy.h"

int main(int argc, char** argv) {
    int upstream = argc == 2 ? std::atoi(argv[1]) : 0;
    if (upstream <= 0) {
        std::fprintf(stderr, "usage: tls_front UPSTREAM_PORT\n");
        return 64;
    }
    testsupport::TestAuthority authority("qirlen test authority");
    testsupport::TlsProxy proxy(upstream, authority.Issue("IP:127.0.0.1,DNS:localhost"));
    std::string caFile = authority.CertificateFile();
    if (!proxy.ok() || caFile.empty()) {
        std::fprintf(stderr, "tls_front: cannot make the certificates or listen\n");
        return 1;
    }
    std::printf("%d %s\n", proxy.port(), caFile.c_str());
    std::fflush(stdout);
    char drained[256];
    while (read(0, drained, sizeof drained) > 0) {
    }
    return 0;
}
