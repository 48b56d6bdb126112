// Reads and writes of one located element: actions, attributes, properties, markup and
// text, and the forms that repeat an operation in every frame.
#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "automation/web_automation.h"
#include "ops/element_call.h"

namespace automation {
namespace {

using ops::Act;
using ops::Quoted;
using ops::ReadBack;
using ops::ReadProperty;
using ops::ReadText;

std::string AttributeFragment(const std::string& name) {
    return ReadBack("l_Object.getAttribute('" + Quoted(name) + "')");
}

// Accessors write when given a value and read otherwise; both empty the reply first.
bool Accessor(WebAutomation& web, const locate::Locator& at, std::optional<bool> value,
              const std::string& property, const std::string& written,
              const std::string& expected) {
    if (!web.GetView()) return false;
    Bridge().attributeReply.clear();
    if (!value) return ReadProperty(web, at, ReadBack("l_Object." + property), expected);
    bool done = Act(web, at, "\r\nl_Object." + property + "=" + written + ";");
    if (done) Bridge().attributeReply = expected;
    return done;
}

std::string Block(bool visible) {
    return visible ? "'block'" : "'none'";
}

}  // namespace

bool WebAutomation::ClickElement(const std::string& kind, const std::string& text, int32_t index,
                                 FrameId frame) {
    return Act(*this, {kind, text, index, frame}, "\r\nl_Object.click();");
}

bool WebAutomation::FocusElement(const std::string& kind, const std::string& text, int32_t index,
                                 FrameId frame) {
    return Act(*this, {kind, text, index, frame}, "\r\nl_Object.focus();");
}

bool WebAutomation::BlurElement(const std::string& kind, const std::string& text, int32_t index,
                                FrameId frame) {
    return Act(*this, {kind, text, index, frame}, "\r\nl_Object.blur();");
}

bool WebAutomation::SelectElement(const std::string& kind, const std::string& text, int32_t index,
                                  FrameId frame) {
    return Act(*this, {kind, text, index, frame}, "");
}

bool WebAutomation::ReleaseElement(FrameId frame) {
    if (!view_ || !Api().wkeRunJsByFrame) return false;
    return RunScript(view_, frame, "var l_Object=null;", false);
}

// The argument text is script by design; the method name must be a name, never script.
bool WebAutomation::CallElementMethod(const std::string& kind, const std::string& text,
                                      const std::string& method, const std::string& arguments,
                                      int32_t index, FrameId frame) {
    if (!ops::IsMethodName(method)) return false;
    return Act(*this, {kind, text, index, frame},
               "\r\nl_Object." + method + "(" + arguments + ");");
}

std::string WebAutomation::GetElementAttribute(const std::string& kind, const std::string& text,
                                               int32_t index, const std::string& name,
                                               FrameId frame) {
    return ReadText(*this, {kind, text, index, frame}, AttributeFragment(name));
}

std::string WebAutomation::GetElementAttribute(const std::string& kind, const std::string& text,
                                               const std::string& name) {
    return GetElementAttribute(kind, text, 0, name);
}

bool WebAutomation::SetElementAttribute(const std::string& kind, const std::string& text,
                                        int32_t index, const std::string& name,
                                        const std::string& value, FrameId frame) {
    return Act(*this, {kind, text, index, frame},
               "\r\nl_Object.setAttribute('" + Quoted(name) + "','" + Quoted(value) + "');");
}

bool WebAutomation::SetElementAttribute(const std::string& kind, const std::string& text,
                                        const std::string& name, const std::string& value) {
    return SetElementAttribute(kind, text, 0, name, value);
}

bool WebAutomation::RemoveElementAttribute(const std::string& kind, const std::string& text,
                                           int32_t index, const std::string& name, FrameId frame) {
    return Act(*this, {kind, text, index, frame},
               "\r\nl_Object.removeAttribute('" + Quoted(name) + "');");
}

bool WebAutomation::RemoveElementAttribute(const std::string& kind, const std::string& text,
                                           const std::string& name) {
    return RemoveElementAttribute(kind, text, 0, name);
}

std::string WebAutomation::GetElementSrc(const std::string& kind, const std::string& text,
                                         int32_t index, FrameId frame) {
    return GetElementAttribute(kind, text, index, "src", frame);
}

std::string WebAutomation::GetElementHref(const std::string& kind, const std::string& text,
                                          int32_t index, FrameId frame) {
    return GetElementAttribute(kind, text, index, "href", frame);
}

bool WebAutomation::GetElementChecked(const std::string& kind, const std::string& text,
                                      int32_t index, FrameId frame) {
    return ReadProperty(*this, {kind, text, index, frame}, ReadBack("l_Object.checked"), "true");
}

bool WebAutomation::SetElementChecked(const std::string& kind, const std::string& text,
                                      bool checked, int32_t index, FrameId frame) {
    return Act(*this, {kind, text, index, frame},
               "\r\nl_Object.checked=" + ops::Word(checked) + ";");
}

bool WebAutomation::SetElementValue(const std::string& kind, const std::string& text,
                                    const std::string& value, int32_t index, FrameId frame) {
    return ops::Supply(*this, {kind, text, index, frame}, "value", value);
}

bool WebAutomation::ElementVisible(const std::string& kind, const std::string& text,
                                   std::optional<bool> visible, int32_t index, FrameId frame) {
    return Accessor(*this, {kind, text, index, frame}, visible, "style.display",
                    Block(visible.value_or(false)), "block");
}

bool WebAutomation::ElementDisabled(const std::string& kind, const std::string& text,
                                    std::optional<bool> disabled, int32_t index, FrameId frame) {
    return Accessor(*this, {kind, text, index, frame}, disabled, "disabled",
                    ops::Word(disabled.value_or(false)), "true");
}

bool WebAutomation::SetFormAction(const std::string& kind, const std::string& text,
                                  const std::string& action, int32_t index, FrameId frame) {
    return Act(*this, {kind, text, index, frame}, "\r\nl_Object.action='" + Quoted(action) + "';");
}

// The plain readers: one property of the element, handed back as text.
#define QIRLEN_PROPERTY_READER(Operation, property)                                         \
    std::string WebAutomation::Operation(const std::string& kind, const std::string& text,  \
                                         int32_t index, FrameId frame) {                    \
        return ReadText(*this, {kind, text, index, frame}, ReadBack("l_Object." property)); \
    }
QIRLEN_PROPERTY_READER(GetElementValue, "value")
QIRLEN_PROPERTY_READER(GetFormAction, "action")
QIRLEN_PROPERTY_READER(GetElementId, "id")
QIRLEN_PROPERTY_READER(GetElementTagName, "tagName")
QIRLEN_PROPERTY_READER(GetElementName, "name")
QIRLEN_PROPERTY_READER(GetElementClassName, "className")
QIRLEN_PROPERTY_READER(GetElementInnerHTML, "innerHTML")
QIRLEN_PROPERTY_READER(GetElementInnerText, "innerText")
QIRLEN_PROPERTY_READER(GetElementOuterText, "outerText")
QIRLEN_PROPERTY_READER(GetElementOuterHTML, "outerHTML")
#undef QIRLEN_PROPERTY_READER

#define QIRLEN_PROPERTY_SETTER(Operation, property)                                         \
    bool WebAutomation::Operation(const std::string& kind, const std::string& text,         \
                                  const std::string& value, int32_t index, FrameId frame) { \
        return ops::Supply(*this, {kind, text, index, frame}, property, value);             \
    }
QIRLEN_PROPERTY_SETTER(SetElementInnerHTML, "innerHTML")
QIRLEN_PROPERTY_SETTER(SetElementInnerText, "innerText")
QIRLEN_PROPERTY_SETTER(SetElementOuterText, "outerText")
QIRLEN_PROPERTY_SETTER(SetElementOuterHTML, "outerHTML")
#undef QIRLEN_PROPERTY_SETTER

}  // namespace automation
