#include "hostctl/virtual_keys.h"

#include <map>

namespace hostctl {
namespace {

const std::map<int, int>& NamedKeys() {
    static const std::map<int, int> keys = {
        {Qt::Key_Backspace, 0x08},  {Qt::Key_Tab, 0x09},      {Qt::Key_Backtab, 0x09},
        {Qt::Key_Return, 0x0D},     {Qt::Key_Enter, 0x0D},    {Qt::Key_Shift, 0x10},
        {Qt::Key_Control, 0x11},    {Qt::Key_Alt, 0x12},      {Qt::Key_AltGr, 0x12},
        {Qt::Key_Pause, 0x13},      {Qt::Key_CapsLock, 0x14}, {Qt::Key_Escape, 0x1B},
        {Qt::Key_Space, 0x20},      {Qt::Key_PageUp, 0x21},   {Qt::Key_PageDown, 0x22},
        {Qt::Key_End, 0x23},        {Qt::Key_Home, 0x24},     {Qt::Key_Left, 0x25},
        {Qt::Key_Up, 0x26},         {Qt::Key_Right, 0x27},    {Qt::Key_Down, 0x28},
        {Qt::Key_Print, 0x2C},      {Qt::Key_Insert, 0x2D},   {Qt::Key_Delete, 0x2E},
        {Qt::Key_Meta, 0x5B},       {Qt::Key_Menu, 0x5D},     {Qt::Key_NumLock, 0x90},
        {Qt::Key_ScrollLock, 0x91},
    };
    return keys;
}

// Characters of the US layout by the virtual key they are typed with.
const std::map<int, int>& CharacterKeys() {
    static const std::map<int, int> keys = {
        {';', 0xBA}, {':', 0xBA}, {'=', 0xBB},  {'+', 0xBB}, {',', 0xBC}, {'<', 0xBC}, {'-', 0xBD},
        {'_', 0xBD}, {'.', 0xBE}, {'>', 0xBE},  {'/', 0xBF}, {'?', 0xBF}, {'`', 0xC0}, {'~', 0xC0},
        {'[', 0xDB}, {'{', 0xDB}, {'\\', 0xDC}, {'|', 0xDC}, {']', 0xDD}, {'}', 0xDD}, {'\'', 0xDE},
        {'"', 0xDE}, {')', '0'},  {'!', '1'},   {'@', '2'},  {'#', '3'},  {'$', '4'},  {'%', '5'},
        {'^', '6'},  {'&', '7'},  {'*', '8'},   {'(', '9'},
    };
    return keys;
}

// The keypad's own codes: digits 0x60-0x69, then * + (separator) - . /
int KeypadKey(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return 0x60 + (qtKey - Qt::Key_0);
    static const std::map<int, int> keys = {{Qt::Key_Asterisk, 0x6A}, {Qt::Key_Plus, 0x6B},
                                            {Qt::Key_Minus, 0x6D},    {Qt::Key_Period, 0x6E},
                                            {Qt::Key_Slash, 0x6F},    {Qt::Key_Enter, 0x0D}};
    auto it = keys.find(qtKey);
    return it == keys.end() ? 0 : it->second;
}

}  // namespace

int WindowsVirtualKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::KeypadModifier) {
        if (int keypad = KeypadKey(qtKey)) return keypad;
    }
    if (auto named = NamedKeys().find(qtKey); named != NamedKeys().end()) return named->second;
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return '0' + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 0x70 + (qtKey - Qt::Key_F1);
    if (auto c = CharacterKeys().find(qtKey); c != CharacterKeys().end()) return c->second;
    return 0;
}

}  // namespace hostctl
