#pragma once
// Caller texts that go inside a quoted string literal of a page script. Texts are GBK.
#include <string>
#include <string_view>

namespace locate {

// Escapes `text` for a JavaScript string literal in either quote, so that the page
// receives it exactly as given: backslash, both quotes, CR, LF and "</script" are
// escaped; the two bytes of a GBK character are never split (a trail byte may be 0x5C).
// A text without those characters comes back unchanged.
std::string EscapeForScriptLiteral(std::string_view text);

// Whether `text` is one JavaScript numeric literal, optionally signed and surrounded by
// blanks: decimal with fraction and exponent, or hexadecimal.
bool IsScriptNumber(std::string_view text);

// Replaces every occurrence of `placeholder` (byte for byte) in `text` by `value`.
std::string ReplaceAll(std::string text, std::string_view placeholder, std::string_view value);

}  // namespace locate
