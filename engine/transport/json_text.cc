#include "engine/transport/json_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <vector>

namespace engine {
namespace {

// The code unit of a \uXXXX escape starting at text[at], or -1.
long EscapedUnit(std::string_view text, size_t at) {
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return -1;
    long unit = 0;
    for (size_t i = at + 2; i < at + 6; ++i) {
        char c = text[i];
        int v = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
        if (v < 0) return -1;
        unit = unit * 16 + v;
    }
    return unit;
}

bool IsHigh(long unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLow(long unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::string ReplaceLoneSurrogates(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out.push_back(text[i]);
            continue;
        }
        long unit = EscapedUnit(text, i);
        if (IsHigh(unit) && IsLow(EscapedUnit(text, i + 6))) {
            out.append(text, i, 12);  // a proper pair
            i += 11;
        } else if (IsHigh(unit) || IsLow(unit)) {
            out += "\\ufffd";
            i += 5;
        } else {
            out.append(text, i, 2);  // any other escape, "\\\\" included, as it is
            ++i;
        }
    }
    return out;
}

// Strings this long are decoded here, not by the library's parser, which holds each string
// it reads twice (as read, for its error messages, and decoded): a page's long string costs
// its size once more than the text, not twice.
constexpr size_t kLongStringBytes = size_t{64} << 10;

// The end of the string literal whose opening quote is at text[open]: its closing quote, or
// text.size() when it has none.
size_t StringEnd(std::string_view text, size_t open) {
    size_t i = open + 1;
    while (true) {
        i = text.find_first_of("\"\\", i);
        if (i == std::string_view::npos) return text.size();
        if (text[i] == '"') return i;
        i += 2;
    }
}

bool IsMemberName(std::string_view text, size_t close) {
    size_t next = text.find_first_not_of(" \t\r\n", close + 1);
    return next != std::string_view::npos && text[next] == ':';
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The contents of a string literal (between its quotes) decoded, lone surrogates as U+FFFD;
// none when they are no JSON string.
std::optional<std::string> DecodeString(std::string_view body) {
    std::string out;
    out.reserve(body.size());
    for (size_t i = 0; i < body.size();) {
        size_t plain = body.find('\\', i);
        for (size_t k = i; k < std::min(plain, body.size()); ++k)
            if (static_cast<unsigned char>(body[k]) < 0x20) return std::nullopt;
        out.append(body.substr(i, plain == std::string_view::npos ? plain : plain - i));
        if (plain == std::string_view::npos) break;
        if (plain + 1 >= body.size()) return std::nullopt;
        char e = body[plain + 1];
        i = plain + 2;
        static constexpr std::string_view from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
        if (size_t k = from.find(e); k != std::string_view::npos) {
            out += to[k];
            continue;
        }
        long unit = e == 'u' ? EscapedUnit(body, plain) : -1;
        if (unit < 0) return std::nullopt;
        i = plain + 6;
        long low = IsHigh(unit) ? EscapedUnit(body, i) : -1;
        if (IsLow(low)) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
            i += 6;
        } else {
            AppendUtf8(out, IsHigh(unit) || IsLow(unit) ? 0xFFFD : static_cast<uint32_t>(unit));
        }
    }
    return out;
}

// The text with its long string values taken out, each replaced by a marker that names it.
struct Skeleton {
    std::string text;
    std::vector<std::string> strings;
};

const std::string& LongStringMarker() {
    static const std::string marker = [] {
        std::random_device random;
        return "\x01qirlen-long-" + std::to_string(random()) + std::to_string(random()) + "-";
    }();
    return marker;
}

bool HasLongString(std::string_view text) {
    for (size_t open = text.find('"'); open != std::string_view::npos;) {
        size_t close = StringEnd(text, open);
        if (close - open > kLongStringBytes) return true;
        open = close < text.size() ? text.find('"', close + 1) : std::string_view::npos;
    }
    return false;
}

std::optional<Skeleton> TakeOutLongStrings(std::string_view text) {
    Skeleton s;
    for (size_t i = 0; i < text.size();) {
        size_t open = text.find('"', i);
        s.text.append(text.substr(i, open == std::string_view::npos ? open : open - i));
        if (open == std::string_view::npos) break;
        size_t close = StringEnd(text, open);
        if (close == text.size()) return std::nullopt;  // unterminated: no JSON
        if (close - open > kLongStringBytes && !IsMemberName(text, close)) {
            auto decoded = DecodeString(text.substr(open + 1, close - open - 1));
            if (!decoded) return std::nullopt;
            s.strings.push_back(std::move(*decoded));
            s.text += "\"\\u0001" + LongStringMarker().substr(1) +
                      std::to_string(s.strings.size() - 1) + "\"";
        } else {
            s.text.append(text.substr(open, close + 1 - open));
        }
        i = close + 1;
    }
    return s;
}

// Puts the strings taken out back in place of their markers (without recursion: a page
// chooses how deep a value nests).
void PutBack(nlohmann::json& tree, std::vector<std::string>& strings) {
    const std::string& marker = LongStringMarker();
    std::vector<nlohmann::json*> todo{&tree};
    while (!todo.empty()) {
        nlohmann::json& j = *todo.back();
        todo.pop_back();
        if (j.is_structured()) {
            for (auto& child : j) todo.push_back(&child);
        } else if (j.is_string()) {
            auto& text = j.get_ref<std::string&>();
            if (text.rfind(marker, 0) != 0) continue;
            size_t k = std::strtoul(text.c_str() + marker.size(), nullptr, 10);
            if (k < strings.size()) text = std::move(strings[k]);
        }
    }
}

nlohmann::json ParseWhole(std::string_view text) {
    nlohmann::json parsed = nlohmann::json::parse(text, nullptr, false);
    if (!parsed.is_discarded() || text.find("\\u") == std::string_view::npos) return parsed;
    return nlohmann::json::parse(ReplaceLoneSurrogates(text), nullptr, false);
}

}  // namespace

std::string_view MethodAtHead(std::string_view text) {
    constexpr std::string_view head = "{\"method\":\"";
    if (text.substr(0, head.size()) != head) return {};
    size_t end = text.find('"', head.size());
    if (end == std::string_view::npos || end - head.size() > 128) return {};
    return text.substr(head.size(), end - head.size());
}

void StringCutter::Add(std::string_view piece, std::string& out) {
    for (size_t i = 0; i < piece.size(); ++i) {
        if (!inString_) {
            size_t quote = piece.find('"', i);
            out.append(piece.substr(i, quote == std::string_view::npos ? quote : quote + 1 - i));
            if (quote == std::string_view::npos) return;
            i = quote;
            inString_ = true;
            kept_ = 0;
            dropping_ = false;
            limit_ = std::min(maxBytes_, std::max(budget_, kNameBytes));
            continue;
        }
        if (dropping_ && !afterBackslash_ && hexLeft_ == 0) {
            // Nothing of the rest is kept: on to its next quote or escape.
            size_t next = piece.find_first_of("\"\\", i);
            if (next == std::string_view::npos) return;
            i = next;
        }
        char c = piece[i];
        bool starts = !afterBackslash_ && hexLeft_ == 0 && (c & 0xC0) != 0x80;
        if (starts && c == '"') {
            out += '"';
            inString_ = false;
            budget_ -= std::min(budget_, kept_);
            continue;
        }
        if (starts && kept_ >= limit_) dropping_ = true;
        if (afterBackslash_) {
            afterBackslash_ = false;
            hexLeft_ = c == 'u' ? 4 : 0;
        } else if (hexLeft_ > 0) {
            --hexLeft_;
        } else if (c == '\\') {
            afterBackslash_ = true;
        }
        if (!dropping_) {
            out += c;
            ++kept_;
        }
    }
}

std::string CutLongStrings(std::string_view text, size_t maxBytes) {
    std::string out;
    StringCutter(maxBytes).Add(text, out);
    return out;
}

nlohmann::json ParseLenient(std::string_view text) {
    if (!HasLongString(text)) return ParseWhole(text);
    auto skeleton = TakeOutLongStrings(text);
    if (!skeleton) return nlohmann::json::value_t::discarded;
    nlohmann::json parsed = ParseWhole(skeleton->text);
    if (!parsed.is_discarded()) PutBack(parsed, skeleton->strings);
    return parsed;
}

}  // namespace engine
