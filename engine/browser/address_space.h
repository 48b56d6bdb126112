#pragma once
// Which network an address is on, as Chromium sees it: loopback, the local network, or the
// public internet. Chromium's own checks of requests from public pages to the other two are
// off with the same-origin policy; the engine makes them itself.
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace engine {

enum class AddressSpace { kLoopback, kLocal, kPublic };

class AddressSpaces {
  public:
    // Takes the host-resolver MAP rules and the address-space overrides from the switches
    // Chromium was started with, so that names and addresses are judged as Chromium will.
    void Configure(const std::vector<std::string>& switches);

    // An address Chromium connected to (IPv4 or IPv6 text) and its port.
    AddressSpace OfAddress(const std::string& ip, int port) const;
    // Where a request for `url` will go: literal addresses directly, names through
    // Chromium's resolver rules and then the system's resolver (remembered for a little
    // while). A name that does not resolve counts as local: it cannot be shown to be public.
    AddressSpace OfUrl(const std::string& url);

  private:
    AddressSpace OfName(const std::string& host, int port, int depth);
    AddressSpace Resolve(const std::string& host, int port);

    struct MapRule {
        std::string pattern, replacement;  // an empty replacement: EXCLUDE
    };
    std::vector<MapRule> rules_;
    std::map<std::string, AddressSpace> overrides_;  // "ip:port" (IPv6 in brackets)
    struct Resolved {
        AddressSpace space;
        std::chrono::steady_clock::time_point until;
    };
    std::map<std::string, Resolved> resolved_;
};

// The URL's host (lower case, IPv6 without brackets) and port (the scheme's by default).
bool SplitHostPort(const std::string& url, std::string* host, int* port);

}  // namespace engine
