#include "app/text_rules.h"

#include <cstring>

#include "app/texts.h"

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

std::string LinkToLoad(const std::string& text) {
    for (size_t from = 0;;) {
        int found = Find(text.substr(from), "http");
        if (found < 0) return text;
        size_t start = from + found - 1;
        size_t end = start;
        while (end < text.size() && InAddress(text[end])) ++end;
        std::string address = text.substr(start, end - start);
        bool scheme = address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0;
        if (scheme && address.find(texts::ShareLinkHost()) != std::string::npos) return address;
        from = start + 4;
    }
}

Extraction ExtractStream(const std::string& page) {
    if (page == texts::MissingElementAnswer()) return {texts::FailureElementMissing(), {}, false};
    if (Find(page, texts::LiveEndedMarker()) != -1) return {texts::FailureLiveEnded(), {}, false};
    int s = Find(page, "src=");
    int m = Find(page, "m3u8");
    // From the byte after the opening quote up to the last byte of the first "m3u8".
    std::string address = Part(page, s + 5, m - s - 1);
    return {address + texts::SuccessSuffix(), address, true};
}

}  // namespace app
