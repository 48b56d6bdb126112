#include "engine/page/key_names.h"

#include <map>

namespace engine {
namespace {

// Keys whose DOM key value and code are names, by virtual-key code.
const std::map<unsigned, KeyNames>& NamedKeys() {
    static const std::map<unsigned, KeyNames> keys = {
        {0x08, {"Backspace", "Backspace"}},
        {0x09, {"Tab", "Tab"}},
        {0x0D, {"Enter", "Enter"}},
        {0x10, {"Shift", "ShiftLeft"}},
        {0x11, {"Control", "ControlLeft"}},
        {0x12, {"Alt", "AltLeft"}},
        {0x13, {"Pause", "Pause"}},
        {0x14, {"CapsLock", "CapsLock"}},
        {0x1B, {"Escape", "Escape"}},
        {0x20, {" ", "Space"}},
        {0x21, {"PageUp", "PageUp"}},
        {0x22, {"PageDown", "PageDown"}},
        {0x23, {"End", "End"}},
        {0x24, {"Home", "Home"}},
        {0x25, {"ArrowLeft", "ArrowLeft"}},
        {0x26, {"ArrowUp", "ArrowUp"}},
        {0x27, {"ArrowRight", "ArrowRight"}},
        {0x28, {"ArrowDown", "ArrowDown"}},
        {0x2C, {"PrintScreen", "PrintScreen"}},
        {0x2D, {"Insert", "Insert"}},
        {0x2E, {"Delete", "Delete"}},
        {0x5B, {"Meta", "MetaLeft"}},
        {0x5D, {"ContextMenu", "ContextMenu"}},
        {0x90, {"NumLock", "NumLock"}},
        {0x91, {"ScrollLock", "ScrollLock"}},
    };
    return keys;
}

// The US layout's punctuation keys: unshifted and shifted value, and the code.
struct Punctuation {
    const char* plain;
    const char* shifted;
    const char* code;
};
const std::map<unsigned, Punctuation>& PunctuationKeys() {
    static const std::map<unsigned, Punctuation> keys = {
        {0xBA, {";", ":", "Semicolon"}},  {0xBB, {"=", "+", "Equal"}},
        {0xBC, {",", "<", "Comma"}},      {0xBD, {"-", "_", "Minus"}},
        {0xBE, {".", ">", "Period"}},     {0xBF, {"/", "?", "Slash"}},
        {0xC0, {"`", "~", "Backquote"}},  {0xDB, {"[", "{", "BracketLeft"}},
        {0xDC, {"\\", "|", "Backslash"}}, {0xDD, {"]", "}", "BracketRight"}},
        {0xDE, {"'", "\"", "Quote"}},
    };
    return keys;
}

}  // namespace

KeyNames DomKeyNames(unsigned vk, bool shift) {
    if (auto named = NamedKeys().find(vk); named != NamedKeys().end()) return named->second;
    if (vk >= 'A' && vk <= 'Z') {
        char letter = static_cast<char>(shift ? vk : vk - 'A' + 'a');
        return {std::string(1, letter), std::string("Key") + static_cast<char>(vk)};
    }
    if (vk >= '0' && vk <= '9') {
        static const char* shifted = ")!@#$%^&*(";
        char digit = static_cast<char>(vk);
        return {std::string(1, shift ? shifted[vk - '0'] : digit), std::string("Digit") + digit};
    }
    if (vk >= 0x60 && vk <= 0x69) {  // the numeric keypad's digits
        char digit = static_cast<char>('0' + vk - 0x60);
        return {std::string(1, digit), std::string("Numpad") + digit};
    }
    if (vk >= 0x70 && vk <= 0x87) {  // F1 to F24
        std::string name = "F" + std::to_string(vk - 0x6F);
        return {name, name};
    }
    if (auto p = PunctuationKeys().find(vk); p != PunctuationKeys().end())
        return {shift ? p->second.shifted : p->second.plain, p->second.code};
    return {"Unidentified", ""};
}

}  // namespace engine
