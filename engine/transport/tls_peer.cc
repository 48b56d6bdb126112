#include "engine/transport/tls_peer.h"

#include <boost/asio/ip/address.hpp>

namespace engine {
namespace {

bool IsIpAddress(const std::string& host) {
    boost::system::error_code ec;
    boost::asio::ip::make_address(host, ec);
    return !ec;
}

}  // namespace

void ExpectPeer(SSL* ssl, const std::string& host) {
    if (IsIpAddress(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str());
        return;
    }
    SSL_set_tlsext_host_name(ssl, host.c_str());
    SSL_set1_host(ssl, host.c_str());
}

std::string CertificateRefusal(const BrowserAddress& a, long verdict) {
    std::string reason = X509_verify_cert_error_string(verdict);
    if (verdict == X509_V_ERR_HOSTNAME_MISMATCH || verdict == X509_V_ERR_IP_ADDRESS_MISMATCH)
        return "the TLS certificate of " + a.hostAndPort() + " is not for " + a.host + " (" +
               reason + ")";
    return "the TLS certificate of " + a.hostAndPort() + " is not trusted (" + reason +
           "); a private authority is trusted through SSL_CERT_FILE or SSL_CERT_DIR";
}

}  // namespace engine
