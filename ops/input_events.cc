// Synthetic DOM events dispatched on one located element, so that the page's own
// handlers run as if a person had clicked, typed or touched.
#include "ops/element_call.h"
#include "ops/element_operations.h"

extern "C" const char ops_keyboard_init_js[];

namespace ops {
namespace {

constexpr char kDispatch[] = "\r\nl_Object.dispatchEvent(l_obj);";
constexpr char kKeyboardEvent[] = "\r\nvar l_obj = document.createEvent(\"KeyboardEvent\");";

bool Dispatch(ElementOperations& web, const locate::Locator& at, const std::string& fragments,
              const std::string& before = "") {
    return Act(web, at, fragments + kDispatch, before);
}

// Redefines one key property of l_obj as the code of the key's first character.
std::string KeyProperty(const char* property, const std::string& key) {
    return std::string("\r\ndelete l_obj.") + property + "; \r\nObject.defineProperty(l_obj,\"" +
           property + "\",{value:'" + Quoted(key) + "'.charCodeAt()}); ";
}

}  // namespace

bool ElementOperations::DispatchMouseEvent(const std::string& kind, const std::string& text,
                                           const std::string& type, bool bubbles, bool cancelable,
                                           int32_t screenX, int32_t screenY, int32_t clientX,
                                           int32_t clientY, int32_t index, FrameId frame) {
    auto n = [](int32_t v) { return std::to_string(v); };
    return Dispatch(*this, {kind, text, index, frame},
                    "\r\nvar l_obj = document.createEvent(\"MouseEvents\"); "
                    "\r\nl_obj.initMouseEvent(\"" +
                        Quoted(type) + "\", " + Word(bubbles) + ", " + Word(cancelable) +
                        ", document.defaultView, 0 ," + n(screenX) + ", " + n(screenY) + ", " +
                        n(clientX) + ", " + n(clientY) + ",false, false, false, false, 0, null);");
}

bool ElementOperations::DispatchKeyDown(const std::string& kind, const std::string& text,
                                        const std::optional<std::string>& key, int32_t index,
                                        FrameId frame) {
    std::string fragments =
        std::string(kKeyboardEvent) + "\r\nl_obj.initMouseEvent(\"keydown\",true,false);";
    if (key) fragments += KeyProperty("keyCode", *key);
    return Dispatch(*this, {kind, text, index, frame}, fragments, ops_keyboard_init_js);
}

bool ElementOperations::DispatchKeyPress(const std::string& kind, const std::string& text,
                                         const std::optional<std::string>& key, int32_t index,
                                         FrameId frame) {
    std::string fragments =
        std::string(kKeyboardEvent) + "\r\nl_obj.initKeyboardEvent('keypress',true,false);";
    if (key) fragments += KeyProperty("keyCode", *key) + KeyProperty("which", *key);
    return Dispatch(*this, {kind, text, index, frame}, fragments);
}

bool ElementOperations::DispatchKeyUp(const std::string& kind, const std::string& text,
                                      int32_t index, FrameId frame) {
    return Dispatch(*this, {kind, text, index, frame},
                    std::string(kKeyboardEvent) + "\r\nl_obj.initMouseEvent(\"keyup\",true,false);",
                    ops_keyboard_init_js);
}

// The initialiser is a method name, never script.
bool ElementOperations::DispatchInputEvent(const std::string& kind, const std::string& text,
                                           int32_t index, FrameId frame,
                                           const std::string& initialiser) {
    if (!IsMethodName(initialiser)) return false;
    return Dispatch(
        *this, {kind, text, index, frame},
        std::string(kKeyboardEvent) + "\r\nl_obj." + initialiser + "(\"input\",true,false);",
        ops_keyboard_init_js);
}

bool ElementOperations::DispatchTouchEvent(const std::string& kind, const std::string& text,
                                           const std::string& type, bool bubbles, bool cancelable,
                                           int32_t index, FrameId frame) {
    return Dispatch(*this, {kind, text, index, frame},
                    "\r\nvar l_obj = document.createEvent(\"TouchEvent\");\r\nl_obj.initEvent(\"" +
                        Quoted(type) + "\"," + Word(bubbles) + "," + Word(cancelable) + ");");
}

bool ElementOperations::DispatchEvent(const std::string& kind, const std::string& text,
                                      const std::string& type, bool bubbles, bool cancelable,
                                      int32_t index, FrameId frame) {
    return Dispatch(*this, {kind, text, index, frame},
                    "\r\nvar l_obj = document.createEvent('Events');\r\nl_obj.initEvent('" +
                        Quoted(type) + "'," + Word(bubbles) + "," + Word(cancelable) + ");");
}

}  // namespace ops
