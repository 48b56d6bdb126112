#include "app/output_checks.h"

#include <cctype>
#include <cstring>

namespace app {
namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    size_t n = std::strlen(prefix);
    if (text.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

// Printable ASCII without the characters RFC 3986 leaves out of URLs.
bool UrlCharacter(char c) {
    return c > 0x20 && c < 0x7F && !std::strchr("\"<>\\^`{|}", c);
}

// userinfo@host:port: the host must be there.
bool HasHost(const std::string& authority) {
    size_t at = authority.rfind('@');
    std::string hostPort = at == std::string::npos ? authority : authority.substr(at + 1);
    size_t colon = hostPort.back() == ']' ? std::string::npos : hostPort.rfind(':');
    std::string host = hostPort.substr(0, colon);
    if (colon != std::string::npos) {
        std::string port = hostPort.substr(colon + 1);
        for (char c : port)
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return !host.empty();
}

}  // namespace

bool IsPlainWebAddress(const std::string& address) {
    size_t start = StartsWithNoCase(address, "https://")  ? 8
                   : StartsWithNoCase(address, "http://") ? 7
                                                          : 0;
    if (start == 0) return false;
    for (char c : address)
        if (!UrlCharacter(c)) return false;
    size_t end = address.find_first_of("/?#", start);
    std::string authority = address.substr(start, end == std::string::npos ? end : end - start);
    return !authority.empty() && HasHost(authority);
}

std::string WithoutControlCharacters(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) continue;
        // U+0080..U+009F
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            ++i;
            continue;
        }
        out.push_back(static_cast<char>(c));
    }
    return out;
}

}  // namespace app
