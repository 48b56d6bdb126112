#include "engine/page/input.h"

#include "engine/page/key_names.h"
#include "engine/page/page.h"
#include "platform/codepage.h"

namespace engine {
namespace {

struct MouseAction {
    const char* type;
    const char* button;
    int clickCount;
};

bool Translate(unsigned message, MouseAction& a) {
    switch (message) {
        case WKE_MSG_MOUSEMOVE:
            a = {"mouseMoved", "none", 0};
            return true;
        case WKE_MSG_LBUTTONDOWN:
            a = {"mousePressed", "left", 1};
            return true;
        case WKE_MSG_LBUTTONUP:
            a = {"mouseReleased", "left", 1};
            return true;
        case WKE_MSG_LBUTTONDBLCLK:
            a = {"mousePressed", "left", 2};
            return true;
        case WKE_MSG_RBUTTONDOWN:
            a = {"mousePressed", "right", 1};
            return true;
        case WKE_MSG_RBUTTONUP:
            a = {"mouseReleased", "right", 1};
            return true;
        case WKE_MSG_RBUTTONDBLCLK:
            a = {"mousePressed", "right", 2};
            return true;
        case WKE_MSG_MBUTTONDOWN:
            a = {"mousePressed", "middle", 1};
            return true;
        case WKE_MSG_MBUTTONUP:
            a = {"mouseReleased", "middle", 1};
            return true;
        case WKE_MSG_MBUTTONDBLCLK:
            a = {"mousePressed", "middle", 2};
            return true;
        case WKE_MSG_MOUSEWHEEL:
            a = {"mouseWheel", "none", 0};
            return true;
        default:
            return false;
    }
}

// The protocol's modifier bits: Alt 1, Ctrl 2, Meta 4, Shift 8.
int Modifiers(unsigned flags) {
    return (flags & WKE_ALT ? 1 : 0) | (flags & WKE_CONTROL ? 2 : 0) | (flags & WKE_SHIFT ? 8 : 0);
}

int Buttons(unsigned flags) {
    return (flags & WKE_LBUTTON ? 1 : 0) | (flags & WKE_RBUTTON ? 2 : 0) |
           (flags & WKE_MBUTTON ? 4 : 0);
}

}  // namespace

bool PageInput::FireMouse(unsigned message, int x, int y, unsigned flags) {
    MouseAction action;
    if (!Translate(message, action) || !page_.EnsureAttached()) return false;
    nlohmann::json params = {{"type", action.type},
                             {"x", x},
                             {"y", y},
                             {"button", action.button},
                             {"buttons", Buttons(flags)},
                             {"modifiers", Modifiers(flags)},
                             {"clickCount", action.clickCount}};
    if (message == WKE_MSG_MOUSEWHEEL) {
        // The wheel distance rides in the high word, as in the Windows message.
        int delta = static_cast<int16_t>(flags >> 16);
        params["deltaX"] = 0;
        params["deltaY"] = -(delta ? delta : 120);
    }
    return page_.session().Call("Input.dispatchMouseEvent", params).ok;
}

bool PageInput::FireWheel(int x, int y, int delta, unsigned flags) {
    if (!page_.EnsureAttached()) return false;
    return page_.session()
        .Call("Input.dispatchMouseEvent", {{"type", "mouseWheel"},
                                           {"x", x},
                                           {"y", y},
                                           {"deltaX", 0},
                                           {"deltaY", -delta},
                                           {"modifiers", Modifiers(flags)},
                                           {"buttons", Buttons(flags)}})
        .ok;
}

// Down and up carry the key; a press carries one UTF-16 unit of the typed text, and a high
// surrogate waits for its low half.
bool PageInput::FireKey(KeyAction action, unsigned code, unsigned flags, bool systemKey) {
    if (!page_.EnsureAttached()) return false;
    if (systemKey) flags |= WKE_ALT;
    nlohmann::json params = {{"modifiers", Modifiers(flags)},
                             {"isSystemKey", systemKey},
                             {"autoRepeat", (flags & WKE_REPEAT) != 0}};
    if (action == KeyAction::kPress) {
        char16_t unit = static_cast<char16_t>(code);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            pendingHighSurrogate_ = unit;
            return true;
        }
        std::u16string text;
        if (unit >= 0xDC00 && unit <= 0xDFFF && pendingHighSurrogate_)
            text += pendingHighSurrogate_;
        pendingHighSurrogate_ = 0;
        text += unit;
        std::string utf8 = platform::Utf16ToUtf8(text);
        params["type"] = "char";
        params["text"] = utf8;
        params["unmodifiedText"] = utf8;
        params["key"] = utf8;
        return page_.session().Call("Input.dispatchKeyEvent", params).ok;
    }
    KeyNames names = DomKeyNames(code, flags & WKE_SHIFT);
    params["type"] = action == KeyAction::kDown ? "rawKeyDown" : "keyUp";
    params["windowsVirtualKeyCode"] = code;
    params["nativeVirtualKeyCode"] = code;
    params["key"] = names.key;
    params["code"] = names.code;
    if (code >= 0x60 && code <= 0x6F) params["location"] = 3;  // the numeric keypad
    return page_.session().Call("Input.dispatchKeyEvent", params).ok;
}

void PageInput::SetFocus(bool focused) {
    if (!page_.EnsureAttached()) return;
    page_.session().Call("Emulation.setFocusEmulationEnabled", {{"enabled", focused}});
}

}  // namespace engine
