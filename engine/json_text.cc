#include "engine/json_text.h"

namespace engine {
namespace {

// The code unit of a \uXXXX escape starting at text[at], or -1.
long EscapedUnit(const std::string& text, size_t at) {
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

std::string ReplaceLoneSurrogates(const std::string& text) {
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

}  // namespace

nlohmann::json ParseLenient(const std::string& text) {
    nlohmann::json parsed = nlohmann::json::parse(text, nullptr, false);
    if (!parsed.is_discarded() || text.find("\\u") == std::string::npos) return parsed;
    return nlohmann::json::parse(ReplaceLoneSurrogates(text), nullptr, false);
}

}  // namespace engine
