#pragma once
// Case and blanks of protocol texts (schemes, hosts, header and cookie attribute names), which
// are ASCII whatever the locale: bytes outside A-Z are left as they are.
#include <string>
#include <string_view>

namespace platform {

std::string AsciiLower(std::string text);
// Without the spaces and tabs at either end.
std::string TrimBlanks(std::string_view text);

}  // namespace platform
