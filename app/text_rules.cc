#include "app/text_rules.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "app/texts.h"
#include "platform/ascii_text.h"

namespace app {
namespace {

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

// Characters that may stand in an address; the first other one ends it.
bool InAddress(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("-._~:/?#[]@!$&'()*+,;=%", c) != nullptr;
}

// An address ends before punctuation that closes the sentence around it; a ")" belongs to
// it only when it closes a "(" inside it.
std::string WithoutTrailingPunctuation(std::string address) {
    while (!address.empty()) {
        char last = address.back();
        if (last == ')') {
            auto opened = std::count(address.begin(), address.end(), '(');
            auto closed = std::count(address.begin(), address.end(), ')');
            if (closed <= opened) break;
        } else if (!std::strchr(",;'!*.:?", last)) {
            break;
        }
        address.pop_back();
    }
    return address;
}

// The host of "scheme://host[:port][/...]" or of "host[:port][/...]", lower case.
std::string HostOf(const std::string& address) {
    size_t start = address.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    size_t end = address.find_first_of(":/?#", start);
    return platform::AsciiLower(
        address.substr(start, end == std::string::npos ? end : end - start));
}

// A share link names its room: something after the host's first "/".
bool HasPath(const std::string& address) {
    size_t start = address.find("://");
    size_t slash = address.find('/', start == std::string::npos ? 0 : start + 3);
    return slash != std::string::npos && slash + 1 < address.size();
}

bool StartsWithNoCase(const std::string& text, size_t at, const std::string& prefix) {
    if (text.size() - at < prefix.size()) return false;
    for (size_t k = 0; k < prefix.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(text[at + k])) != prefix[k]) return false;
    return true;
}

// The value of the attribute that starts at "src=" (1-based `s`): up to its closing quote,
// or up to the end of the first "m3u8" (`m`) when it has none.
std::string AttributeValue(const std::string& page, int s, int m) {
    char quote = s > 0 && static_cast<size_t>(s) + 4 <= page.size() ? page[s + 3] : 0;
    if ((quote == '"' || quote == '\'') && m > s) {
        size_t close = page.find(quote, static_cast<size_t>(s) + 4);
        if (close != std::string::npos && close >= static_cast<size_t>(m) + 3)
            return page.substr(static_cast<size_t>(s) + 4, close - s - 4);
    }
    return Part(page, s + 5, m - s - 1);
}

// The path of an address, without its query or fragment.
std::string PathOf(const std::string& address) {
    size_t start = address.find("://");
    size_t slash = address.find('/', start == std::string::npos ? 0 : start + 3);
    if (slash == std::string::npos) return {};
    return address.substr(slash, address.find_first_of("?#", slash) - slash);
}

// "/<web id>" or "/<web id>/" after `prefix`: the room of a streamer on the web site.
bool IsWebIdPath(const std::string& path, const std::string& prefix) {
    if (path.compare(0, prefix.size(), prefix) != 0) return false;
    std::string id = path.substr(prefix.size());
    if (!id.empty() && id.back() == '/') id.pop_back();
    return !id.empty() && id.size() <= 32 &&
           std::all_of(id.begin(), id.end(), [](unsigned char c) { return std::isalnum(c); });
}

// A link to a room: any share link, live.douyin.com/<web id>, or
// www.douyin.com/follow/live/<web id> and www.douyin.com/root/live/<web id>.
bool IsRoomLink(const std::string& address) {
    std::string host = HostOf(address);
    if (host == texts::ShareLinkHost()) return HasPath(address);
    std::string path = PathOf(address);
    if (host == texts::LiveRoomHost()) return IsWebIdPath(path, "/");
    if (host == texts::WebSiteHost())
        return IsWebIdPath(path, "/follow/live/") || IsWebIdPath(path, "/root/live/");
    return false;
}

constexpr const std::string& (*kRoomHosts[])() = {texts::ShareLinkHost, texts::LiveRoomHost,
                                                  texts::WebSiteHost};

}  // namespace

int Find(const std::string& text, const std::string& pattern) {
    if (pattern.empty() || pattern.size() > text.size()) return -1;
    for (size_t i = 0; i + pattern.size() <= text.size();) {
        if (text.compare(i, pattern.size(), pattern) == 0) return static_cast<int>(i) + 1;
        i += IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    }
    return -1;
}

std::string Part(const std::string& text, int position, int length) {
    if (position < 1 || static_cast<size_t>(position) > text.size() || length <= 0) return {};
    return text.substr(static_cast<size_t>(position) - 1, static_cast<size_t>(length));
}

int TextEquals(const std::string& a, const std::string& b) {
    const char* x = a.c_str();
    const char* y = b.c_str();
    for (;; ++x, ++y) {
        unsigned char ca = static_cast<unsigned char>(*x), cb = static_cast<unsigned char>(*y);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

std::optional<std::string> LinkToLoad(const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        bool scheme =
            StartsWithNoCase(text, at, "http://") || StartsWithNoCase(text, at, "https://");
        bool bare = !scheme && (at == 0 || !InAddress(text[at - 1])) &&
                    std::any_of(std::begin(kRoomHosts), std::end(kRoomHosts),
                                [&](auto host) { return StartsWithNoCase(text, at, host()); });
        if (scheme || bare) {
            size_t end = at;
            while (end < text.size() && InAddress(text[end])) ++end;
            std::string address = WithoutTrailingPunctuation(text.substr(at, end - at));
            if (IsRoomLink(address)) return scheme ? address : "https://" + address;
        }
        at += IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
    }
    return std::nullopt;
}

Extraction ExtractStream(const std::string& page) {
    if (page == texts::MissingElementAnswer())
        return {texts::FailureElementMissing(), {}, false, true};
    if (Find(page, texts::LiveEndedMarker()) != -1) return {texts::FailureLiveEnded(), {}, false};
    int s = Find(page, "src=");
    int m = Find(page, "m3u8");
    std::string address = DecodeCharacterReferences(AttributeValue(page, s, m));
    if (address.empty()) return {texts::FailureElementMissing(), {}, false, true};
    return {address + texts::SuccessSuffix(), address, true};
}

std::string DecodeCharacterReferences(const std::string& html) {
    static const std::pair<const char*, char> named[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t i = 0; i < html.size(); ++i) {
        if (html[i] != '&') {
            out.push_back(html[i]);
            continue;
        }
        bool replaced = false;
        for (const auto& [name, c] : named) {
            if (html.compare(i, std::strlen(name), name) == 0) {
                out.push_back(c);
                i += std::strlen(name) - 1;
                replaced = true;
                break;
            }
        }
        size_t semicolon = html.find(';', i);
        if (!replaced && html.compare(i, 2, "&#") == 0 && semicolon != std::string::npos &&
            semicolon - i <= 8) {
            bool hex = i + 2 < html.size() && (html[i + 2] == 'x' || html[i + 2] == 'X');
            std::string digits = html.substr(i + (hex ? 3 : 2), semicolon - i - (hex ? 3 : 2));
            char* end = nullptr;
            long code = digits.empty() ? -1 : std::strtol(digits.c_str(), &end, hex ? 16 : 10);
            if (code > 0 && code < 128 && end && *end == '\0') {
                out.push_back(static_cast<char>(code));
                i = semicolon;
                replaced = true;
            }
        }
        if (!replaced) out.push_back('&');
    }
    return out;
}

std::string EncodeQueryValue(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (plain || c == '-' || c == '.' || c == '_' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

}  // namespace app
