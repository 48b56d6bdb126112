#pragma once
// Caller texts inside page scripts. Texts are GBK.
#include <string>
#include <string_view>

#include "platform/script_literal.h"

namespace locate {

using platform::EscapeForScriptLiteral;

// Whether `text` is one JavaScript numeric literal, optionally signed and surrounded by
// blanks: decimal with fraction and exponent, or hexadecimal.
bool IsScriptNumber(std::string_view text);

// Replaces every occurrence of `placeholder` (byte for byte) in `text` by `value`.
std::string ReplaceAll(std::string text, std::string_view placeholder, std::string_view value);

}  // namespace locate
