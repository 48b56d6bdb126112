// Mouse input with the Windows message numbers and MK_* flags.
#include "engine/engine.h"

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

int Modifiers(unsigned flags) {
    return (flags & WKE_CONTROL ? 2 : 0) | (flags & WKE_SHIFT ? 8 : 0);
}

int Buttons(unsigned flags) {
    return (flags & WKE_LBUTTON ? 1 : 0) | (flags & WKE_RBUTTON ? 2 : 0) |
           (flags & WKE_MBUTTON ? 4 : 0);
}

}  // namespace

bool Engine::FireMouse(View& view, unsigned message, int x, int y, unsigned flags) {
    MouseAction action;
    if (!Translate(message, action) || !EnsureAttached(view)) return false;
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
    return Call(view, "Input.dispatchMouseEvent", params).ok;
}

}  // namespace engine
