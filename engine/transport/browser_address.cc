#include "engine/transport/browser_address.h"

#include <cstdlib>

#include "platform/ascii_text.h"

namespace engine {
namespace {

using platform::AsciiLower;

bool IsPort(const std::string& text) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    int port = std::atoi(text.c_str());
    return port > 0 && port < 65536;
}

}  // namespace

std::string VersionTarget(const std::string& target) {
    size_t query = target.find('?');
    std::string path = target.substr(0, query);
    while (!path.empty() && path.back() == '/') path.pop_back();
    return path + "/json/version" + (query == std::string::npos ? "" : target.substr(query));
}

std::string BrowserAddress::hostAndPort() const {
    return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + port;
}

std::string BrowserAddress::shown() const {
    return scheme + "://" + hostAndPort() + target.substr(0, target.find('?'));
}

std::optional<BrowserAddress> ParseBrowserAddress(const std::string& url) {
    size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos) return std::nullopt;
    BrowserAddress a;
    a.scheme = AsciiLower(url.substr(0, schemeEnd));
    if (a.scheme != "ws" && a.scheme != "wss" && a.scheme != "http" && a.scheme != "https")
        return std::nullopt;
    std::string rest = url.substr(schemeEnd + 3);
    size_t authorityEnd = rest.find_first_of("/?#");
    std::string authority = rest.substr(0, authorityEnd);
    if (authorityEnd != std::string::npos) a.target = rest.substr(authorityEnd);
    a.target = a.target.substr(0, a.target.find('#'));
    if (a.target.empty() || a.target[0] != '/') a.target = "/" + a.target;
    if (authority.find('@') != std::string::npos) return std::nullopt;  // no credentials here
    std::string port;
    if (!authority.empty() && authority[0] == '[') {
        size_t close = authority.find(']');
        if (close == std::string::npos) return std::nullopt;
        a.host = authority.substr(1, close - 1);
        std::string after = authority.substr(close + 1);
        if (!after.empty() && after[0] != ':') return std::nullopt;
        if (!after.empty()) port = after.substr(1);
    } else {
        size_t colon = authority.rfind(':');
        a.host = authority.substr(0, colon);
        if (colon != std::string::npos) port = authority.substr(colon + 1);
    }
    if (a.host.empty()) return std::nullopt;
    a.port = port.empty() ? (a.tls() ? "443" : "80") : port;
    if (!IsPort(a.port)) return std::nullopt;
    return a;
}

// The browser names its socket after the Host it was asked under and knows nothing of a TLS
// proxy in front of it: it says ws:// there too. The socket keeps the TLS that the address
// asked for (its default port included); a connection that may carry a token is never
// downgraded.
std::string SocketUrlFor(const BrowserAddress& asked, const std::string& named) {
    if (asked.tls() && AsciiLower(named.substr(0, 5)) == "ws://") return "wss" + named.substr(2);
    return named;
}

std::optional<BrowserAddress> SocketAddressFor(const BrowserAddress& asked,
                                               const std::string& named) {
    auto socket = ParseBrowserAddress(SocketUrlFor(asked, named));
    if (!socket || socket->http()) return std::nullopt;
    socket->host = asked.host;
    socket->port = asked.port;
    return socket;
}

}  // namespace engine
