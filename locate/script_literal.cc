#include "locate/script_literal.h"

#include <regex>

namespace locate {

bool IsScriptNumber(std::string_view text) {
    static const std::regex number(
        R"(\s*[+-]?(0[xX][0-9a-fA-F]+|([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?)\s*)");
    return std::regex_match(text.begin(), text.end(), number);
}

std::string ReplaceAll(std::string text, std::string_view placeholder, std::string_view value) {
    if (placeholder.empty()) return text;
    for (size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
    return text;
}

}  // namespace locate
