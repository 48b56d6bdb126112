#pragma once
// The address of a browser elsewhere, as the user gives it, and the WebSocket it leads to.
#include <optional>
#include <string>

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
// The target of the /json/version beside the path given (a proxy may serve the browser under
// a prefix), with the query kept (it may carry the service's token).
std::string VersionTarget(const std::string& target);

}  // namespace engine
