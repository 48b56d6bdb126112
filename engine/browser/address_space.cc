#include "engine/browser/address_space.h"

#include <arpa/inet.h>
#include <fnmatch.h>
#include <netdb.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "platform/ascii_text.h"

namespace engine {
namespace {

using platform::AsciiLower;
using platform::TrimBlanks;

constexpr size_t kMaxRemembered = 256;
constexpr auto kRememberFor = std::chrono::seconds(30);

AddressSpace OfIpv4(const in_addr& address) {
    uint32_t a = ntohl(address.s_addr);
    auto in = [a](uint32_t net, int bits) { return (a >> (32 - bits)) == (net >> (32 - bits)); };
    if (in(0x7F000000, 8) || in(0x00000000, 8)) return AddressSpace::kLoopback;  // 0.0.0.0 too
    if (in(0x0A000000, 8) || in(0xAC100000, 12) || in(0xC0A80000, 16) || in(0xA9FE0000, 16) ||
        in(0x64400000, 10))
        return AddressSpace::kLocal;
    return AddressSpace::kPublic;
}

AddressSpace OfIpv6(const in6_addr& address) {
    const uint8_t* b = address.s6_addr;
    static const uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(b, kMapped, 12) == 0) {
        in_addr v4;
        std::memcpy(&v4.s_addr, b + 12, 4);
        return OfIpv4(v4);
    }
    bool zeroPrefix = std::all_of(b, b + 15, [](uint8_t x) { return x == 0; });
    if (zeroPrefix && (b[15] == 1 || b[15] == 0)) return AddressSpace::kLoopback;  // ::1, ::
    if ((b[0] & 0xFE) == 0xFC || (b[0] == 0xFE && (b[1] & 0xC0) == 0x80))
        return AddressSpace::kLocal;  // unique local, link local
    return AddressSpace::kPublic;
}

// The address's network by its number alone; false when `ip` is no address.
bool ParseAddress(const std::string& ip, AddressSpace* space, std::string* canonical) {
    in_addr v4;
    in6_addr v6;
    char text[INET6_ADDRSTRLEN];
    if (inet_pton(AF_INET, ip.c_str(), &v4) == 1) {
        *space = OfIpv4(v4);
        *canonical = inet_ntop(AF_INET, &v4, text, sizeof text);
        return true;
    }
    if (inet_pton(AF_INET6, ip.c_str(), &v6) == 1) {
        *space = OfIpv6(v6);
        *canonical = std::string("[") + inet_ntop(AF_INET6, &v6, text, sizeof text) + "]";
        return true;
    }
    return false;
}

AddressSpace SpaceNamed(const std::string& name) {
    std::string n = AsciiLower(name);
    if (n == "public") return AddressSpace::kPublic;
    if (n == "loopback") return AddressSpace::kLoopback;
    return AddressSpace::kLocal;  // "local", "private"
}

AddressSpace LeastPublic(AddressSpace a, AddressSpace b) {
    return static_cast<int>(a) < static_cast<int>(b) ? a : b;
}

// "host:port" or "[v6]:port" or a bare host; port 0 when none is given.
void SplitEndpoint(const std::string& text, std::string* host, int* port) {
    *port = 0;
    if (!text.empty() && text[0] == '[') {
        size_t close = text.find(']');
        *host = text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        if (close != std::string::npos && close + 1 < text.size() && text[close + 1] == ':')
            *port = std::atoi(text.c_str() + close + 2);
        return;
    }
    size_t colon = text.rfind(':');
    if (colon != std::string::npos && text.find(':') == colon) {
        *host = text.substr(0, colon);
        *port = std::atoi(text.c_str() + colon + 1);
    } else {
        *host = text;
    }
}

}  // namespace

bool SplitHostPort(const std::string& url, std::string* host, int* port) {
    size_t colon = url.find(':');
    if (colon == std::string::npos || url.compare(colon, 3, "://") != 0) return false;
    std::string scheme = AsciiLower(url.substr(0, colon));
    size_t start = colon + 3;
    size_t end = url.find_first_of("/?#", start);
    std::string authority =
        url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (size_t at = authority.rfind('@'); at != std::string::npos)
        authority = authority.substr(at + 1);
    SplitEndpoint(authority, host, port);
    *host = AsciiLower(*host);
    if (*port == 0) *port = scheme == "https" || scheme == "wss" ? 443 : 80;
    return !host->empty();
}

void AddressSpaces::Configure(const std::vector<std::string>& switches) {
    rules_.clear();
    overrides_.clear();
    resolved_.clear();
    auto value = [](const std::string& s, const char* name) -> std::optional<std::string> {
        std::string prefix = std::string("--") + name + "=";
        if (s.rfind(prefix, 0) != 0) return std::nullopt;
        return s.substr(prefix.size());
    };
    for (const auto& s : switches) {
        if (auto rules = value(s, "host-resolver-rules")) {
            std::stringstream list(*rules);
            std::string rule;
            while (std::getline(list, rule, ',')) {
                std::stringstream words(TrimBlanks(rule));
                std::string verb, pattern, replacement;
                words >> verb >> pattern >> replacement;
                verb = AsciiLower(verb);
                if (verb == "map" && !replacement.empty())
                    rules_.push_back({AsciiLower(pattern), replacement});
                else if (verb == "exclude" && !pattern.empty())
                    rules_.push_back({AsciiLower(pattern), ""});
            }
        } else if (auto overrides = value(s, "ip-address-space-overrides")) {
            std::stringstream list(*overrides);
            std::string item;
            while (std::getline(list, item, ',')) {
                size_t eq = item.rfind('=');
                if (eq == std::string::npos) continue;
                std::string host;
                int port = 0;
                SplitEndpoint(TrimBlanks(item.substr(0, eq)), &host, &port);
                AddressSpace ignored;
                std::string canonical;
                if (ParseAddress(host, &ignored, &canonical))
                    overrides_[canonical + ":" + std::to_string(port)] =
                        SpaceNamed(TrimBlanks(item.substr(eq + 1)));
            }
        }
    }
}

AddressSpace AddressSpaces::OfAddress(const std::string& ip, int port) const {
    AddressSpace space;
    std::string canonical;
    if (!ParseAddress(ip, &space, &canonical)) return AddressSpace::kLocal;
    auto it = overrides_.find(canonical + ":" + std::to_string(port));
    return it == overrides_.end() ? space : it->second;
}

AddressSpace AddressSpaces::OfUrl(const std::string& url) {
    std::string host;
    int port = 0;
    if (!SplitHostPort(url, &host, &port)) return AddressSpace::kPublic;  // no network address
    return OfName(host, port, 0);
}

AddressSpace AddressSpaces::OfName(const std::string& host, int port, int depth) {
    AddressSpace space;
    std::string canonical;
    if (ParseAddress(host, &space, &canonical)) return OfAddress(host, port);
    std::string name = host;
    if (!name.empty() && name.back() == '.') name.pop_back();
    if (name == "localhost" || (name.size() > 10 && name.ends_with(".localhost")))
        return AddressSpace::kLoopback;
    for (const auto& rule : rules_) {
        if (fnmatch(rule.pattern.c_str(), name.c_str(), 0) != 0) continue;
        if (rule.replacement.empty()) break;  // EXCLUDE: the system resolves it
        if (rule.replacement[0] == '~' || depth > 2) return AddressSpace::kLocal;  // ~NOTFOUND
        std::string target;
        int targetPort = 0;
        SplitEndpoint(rule.replacement, &target, &targetPort);
        return OfName(AsciiLower(target), targetPort ? targetPort : port, depth + 1);
    }
    return Resolve(name, port);
}

// Every address the name has counts: one that is not public makes the name not public.
AddressSpace AddressSpaces::Resolve(const std::string& host, int port) {
    std::string key = host + ":" + std::to_string(port);
    auto now = std::chrono::steady_clock::now();
    if (auto it = resolved_.find(key); it != resolved_.end() && it->second.until > now)
        return it->second.space;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    AddressSpace space = AddressSpace::kLocal;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0) {
        space = AddressSpace::kPublic;
        for (addrinfo* a = found; a; a = a->ai_next) {
            char text[INET6_ADDRSTRLEN] = "";
            if (a->ai_family == AF_INET)
                inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr, text,
                          sizeof text);
            else if (a->ai_family == AF_INET6)
                inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr, text,
                          sizeof text);
            space = LeastPublic(space, OfAddress(text, port));
        }
        freeaddrinfo(found);
    }
    if (resolved_.size() >= kMaxRemembered) resolved_.clear();
    resolved_[key] = {space, now + kRememberFor};
    return space;
}

}  // namespace engine
