#include "platform/script_literal.h"

#include <cstdio>

#include "platform/codepage.h"
#include "platform/text_encoding.h"

namespace platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The escape of one character that must not stand in a literal as it is; nothing for the
// others.
const char* EscapeOf(char16_t c) {
    switch (c) {
        case u'\\':
            return "\\\\";
        case u'\'':
            return "\\'";
        case u'"':
            return "\\\"";
        case u'\r':
            return "\\r";
        case u'\n':
            return "\\n";
        case u'\0':
            return "\\x00";  // the engine takes scripts NUL-terminated
        case kReplacement:
            return "\\uFFFD";
        default:
            return nullptr;
    }
}

bool StartsScriptEnd(std::u16string_view chars, size_t i) {
    return chars.substr(i, 8) == u"</script";
}

// Characters outside ASCII go back into the program's encoding when they come back from it as
// themselves (all of them, as a rule, and always under UTF-8 but for unpaired surrogates); any
// other is written as a \u escape, so that the page still receives exactly what the decoder
// made of the caller's bytes.
void AppendWide(std::u16string_view run, std::string& out) {
    std::string text = Utf16ToText(run);
    if (TextToUtf16(text) == run) {
        out += text;
        return;
    }
    for (char16_t c : run) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
        out += escape;
    }
}

}  // namespace

std::string EscapeForScriptLiteral(std::string_view text) {
    std::u16string chars = TextToUtf16(text);
    std::string out;
    out.reserve(text.size() + 8);
    size_t wideFrom = std::u16string::npos;  // start of the current run of other characters
    auto endWide = [&](size_t at) {
        if (wideFrom == std::u16string::npos) return;
        AppendWide(std::u16string_view(chars).substr(wideFrom, at - wideFrom), out);
        wideFrom = std::u16string::npos;
    };
    for (size_t i = 0; i < chars.size(); ++i) {
        char16_t c = chars[i];
        const char* escape = EscapeOf(c);
        if (!escape && c >= 0x80) {
            if (wideFrom == std::u16string::npos) wideFrom = i;
            continue;
        }
        endWide(i);
        if (escape) {
            out += escape;
        } else if (c == u'<' && StartsScriptEnd(chars, i)) {
            // "</script" would end an inline script element if the text ever lands in one.
            out += "<\\/";
            ++i;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    endWide(chars.size());
    return out;
}

}  // namespace platform
