#include "engine/browser/download_names.h"

#include <algorithm>
#include <string_view>

namespace engine {
namespace {

constexpr size_t kMaxNameBytes = 200;
// An extension longer than this is part of the name: it is cut like the rest.
constexpr size_t kMaxExtensionBytes = 32;

// The UTF-8 length of the character that starts with `lead` (1 for a stray byte).
size_t CharacterBytes(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// C0 and C1 controls, DEL, and the bidirectional controls (U+061C, U+200E-U+200F,
// U+202A-U+202E, U+2066-U+2069): a name must show what the file is, and "txt.exe" written
// backwards after U+202E shows as "exe.txt".
bool Unprintable(std::string_view c) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(c[i]); };
    if (c.size() == 1) return byte(0) < 0x20 || byte(0) == 0x7f;
    if (c.size() == 2)
        return (byte(0) == 0xC2 && byte(1) < 0xA0) || (byte(0) == 0xD8 && byte(1) == 0x9C);
    if (c.size() != 3 || byte(0) != 0xE2) return false;
    unsigned code = (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);  // the code point less U+2000
    return code == 0x00E || code == 0x00F || (code >= 0x02A && code <= 0x02E) ||
           (code >= 0x066 && code <= 0x069);
}

// At most `bytes` bytes of whole UTF-8 characters of the start of `text`.
std::string CutToBytes(const std::string& text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t cut = bytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut);
}

}  // namespace

// The page's name, made harmless: no directories (either separator), no leading dots, dashes,
// tildes, blanks or the underscores Chromium puts for separators ("../.bashrc" comes as
// "_.._.bashrc"), no control characters, at most 200 bytes of whole UTF-8 characters, cut
// from the stem so that the extension stays.
std::string SafeDownloadName(const std::string& suggested) {
    std::string name = suggested;
    for (char& c : name)
        if (c == '\\') c = '/';
    if (auto slash = name.find_last_of('/'); slash != std::string::npos)
        name = name.substr(slash + 1);
    std::string clean;
    for (size_t i = 0; i < name.size();) {
        size_t n = std::min(CharacterBytes(static_cast<unsigned char>(name[i])), name.size() - i);
        std::string_view c(name.data() + i, n);
        if (!Unprintable(c)) clean.append(c);
        i += n;
    }
    size_t start = clean.find_first_not_of("._-~ ");
    clean = start == std::string::npos ? "" : clean.substr(start);
    if (clean.size() > kMaxNameBytes) {
        size_t dot = clean.find_last_of('.');
        size_t extension = dot == std::string::npos ? 0 : clean.size() - dot;
        if (extension > kMaxExtensionBytes) extension = 0;
        clean = CutToBytes(clean.substr(0, clean.size() - extension), kMaxNameBytes - extension) +
                clean.substr(clean.size() - extension);
    }
    return clean.empty() ? "download" : clean;
}

// "name.ext", then "name (1).ext", "name (2).ext" ...
std::string NumberedDownloadName(const std::string& name, int n) {
    if (n == 0) return name;
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) dot = name.size();
    return name.substr(0, dot) + " (" + std::to_string(n) + ")" + name.substr(dot);
}

}  // namespace engine
