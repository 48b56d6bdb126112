#include "locate/script_literal.h"

#include <regex>

namespace locate {

std::string EscapeForScriptLiteral(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x81 && c <= 0xFE && i + 1 < text.size()) {  // a GBK character: both bytes
            out.push_back(text[i]);
            out.push_back(text[++i]);
            continue;
        }
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\'':
                out += "\\'";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '<':
                // "</script" would end an inline script element if the text ever lands in one.
                if (text.substr(i, 8) == "</script") {
                    out += "<\\/";
                    ++i;
                } else {
                    out += '<';
                }
                break;
            default:
                out.push_back(text[i]);
        }
    }
    return out;
}

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
