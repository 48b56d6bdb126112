#include "face/keys.h"

#include <cctype>
#include <map>

namespace qirlen::detail {
namespace {

struct Named {
    const char* code;
    int keyCode;
    const char* text;
};

const std::map<std::string, Named>& NamedKeys() {
    static const std::map<std::string, Named> keys = {
        {"Enter", {"Enter", 13, "\r"}},
        {"Tab", {"Tab", 9, ""}},
        {"Backspace", {"Backspace", 8, ""}},
        {"Delete", {"Delete", 46, ""}},
        {"Escape", {"Escape", 27, ""}},
        {"Space", {"Space", 32, " "}},
        {"ArrowLeft", {"ArrowLeft", 37, ""}},
        {"ArrowUp", {"ArrowUp", 38, ""}},
        {"ArrowRight", {"ArrowRight", 39, ""}},
        {"ArrowDown", {"ArrowDown", 40, ""}},
        {"Home", {"Home", 36, ""}},
        {"End", {"End", 35, ""}},
        {"PageUp", {"PageUp", 33, ""}},
        {"PageDown", {"PageDown", 34, ""}},
    };
    return keys;
}

const std::map<std::string, int>& ModifierBits() {
    static const std::map<std::string, int> bits = {
        {"Alt", 1}, {"Control", 2}, {"Meta", 4}, {"Shift", 8}};
    return bits;
}

}  // namespace

std::optional<KeyStroke> ParseKey(const std::string& name) {
    KeyStroke stroke;
    std::string rest = name;
    // "Control+Shift+a"; a last "+" is the plus key itself.
    for (auto plus = rest.find('+'); plus != std::string::npos && plus + 1 < rest.size();
         plus = rest.find('+')) {
        auto bit = ModifierBits().find(rest.substr(0, plus));
        if (bit == ModifierBits().end()) return std::nullopt;
        stroke.modifiers |= bit->second;
        rest = rest.substr(plus + 1);
    }
    if (auto named = NamedKeys().find(rest); named != NamedKeys().end()) {
        stroke.key = rest == "Space" ? " " : rest;
        stroke.code = named->second.code;
        stroke.keyCode = named->second.keyCode;
        stroke.text = named->second.text;
    } else if (rest.size() == 1 && std::isprint(static_cast<unsigned char>(rest[0]))) {
        char c = rest[0];
        char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        stroke.key = stroke.text = rest;
        if (std::isalpha(static_cast<unsigned char>(c))) {
            stroke.code = std::string("Key") + upper;
            stroke.keyCode = upper;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            stroke.code = std::string("Digit") + c;
            stroke.keyCode = c;
        }
    } else {
        return std::nullopt;
    }
    // With Control, Alt or Meta held a key types nothing: it is a shortcut.
    if (stroke.modifiers & (1 | 2 | 4)) stroke.text.clear();
    return stroke;
}

}  // namespace qirlen::detail
