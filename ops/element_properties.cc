// Reads and writes of one located element: actions, attributes, properties, markup and
// text, and the forms that repeat an operation in every frame.
#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "ops/element_call.h"
#include "ops/element_operations.h"

namespace ops {
namespace {

using automation::Api;
using automation::Bridge;
using automation::RunScript;

std::string AttributeFragment(const std::string& name) {
    return ReadBack("l_Object.getAttribute('" + Quoted(name) + "')");
}

// Accessors write when given a value and read otherwise; both empty the reply first.
bool Accessor(ElementOperations& web, const locate::Locator& at, std::optional<bool> value,
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

bool ElementOperations::ClickElement(const std::string& kind, const std::string& text,
                                     int32_t index, FrameId frame) {
    return Act(*this, {kind, text, index, frame}, "\r\nl_Object.click();");
}

bool ElementOperations::FocusElement(const std::string& kind, const std::string& text,
                                     int32_t index, FrameId frame) {
    return Act(*this, {kind, text, index, frame}, "\r\nl_Object.focus();");
}

bool ElementOperations::BlurElement(const std::string& kind, const std::string& text, int32_t index,
                                    FrameId frame) {
    return Act(*this, {kind, text, index, frame}, "\r\nl_Object.blur();");
}

bool ElementOperations::SelectElement(const std::string& kind, const std::string& text,
                                      int32_t index, FrameId frame) {
    return Act(*this, {kind, text, index, frame}, "");
}

bool ElementOperations::ReleaseElement(FrameId frame) {
    if (!GetView() || !Api().wkeRunJsByFrame) return false;
    return RunScript(GetView(), frame, "var l_Object=null;", false);
}

// The argument text is script by design; the method name must be a name, never script.
bool ElementOperations::CallElementMethod(const std::string& kind, const std::string& text,
                                          const std::string& method, const std::string& arguments,
                                          int32_t index, FrameId frame) {
    if (!IsMethodName(method)) return false;
    return Act(*this, {kind, text, index, frame},
               "\r\nl_Object." + method + "(" + arguments + ");");
}

std::string ElementOperations::GetElementAttribute(const std::string& kind, const std::string& text,
                                                   int32_t index, const std::string& name,
                                                   FrameId frame) {
    return ReadText(*this, {kind, text, index, frame}, AttributeFragment(name));
}

std::string ElementOperations::GetElementAttribute(const std::string& kind, const std::string& text,
                                                   const std::string& name) {
    return GetElementAttribute(kind, text, 0, name);
}

bool ElementOperations::SetElementAttribute(const std::string& kind, const std::string& text,
                                            int32_t index, const std::string& name,
                                            const std::string& value, FrameId frame) {
    return Act(*this, {kind, text, index, frame},
               "\r\nl_Object.setAttribute('" + Quoted(name) + "','" + Quoted(value) + "');");
}

bool ElementOperations::SetElementAttribute(const std::string& kind, const std::string& text,
                                            const std::string& name, const std::string& value) {
    return SetElementAttribute(kind, text, 0, name, value);
}

bool ElementOperations::RemoveElementAttribute(const std::string& kind, const std::string& text,
                                               int32_t index, const std::string& name,
                                               FrameId frame) {
    return Act(*this, {kind, text, index, frame},
               "\r\nl_Object.removeAttribute('" + Quoted(name) + "');");
}

bool ElementOperations::RemoveElementAttribute(const std::string& kind, const std::string& text,
                                               const std::string& name) {
    return RemoveElementAttribute(kind, text, 0, name);
}

std::string ElementOperations::GetElementSrc(const std::string& kind, const std::string& text,
                                             int32_t index, FrameId frame) {
    return GetElementAttribute(kind, text, index, "src", frame);
}

std::string ElementOperations::GetElementHref(const std::string& kind, const std::string& text,
                                              int32_t index, FrameId frame) {
    return GetElementAttribute(kind, text, index, "href", frame);
}

bool ElementOperations::GetElementChecked(const std::string& kind, const std::string& text,
                                          int32_t index, FrameId frame) {
    return ReadProperty(*this, {kind, text, index, frame}, ReadBack("l_Object.checked"), "true");
}

bool ElementOperations::SetElementChecked(const std::string& kind, const std::string& text,
                                          bool checked, int32_t index, FrameId frame) {
    return Act(*this, {kind, text, index, frame}, "\r\nl_Object.checked=" + Word(checked) + ";");
}

bool ElementOperations::SetElementValue(const std::string& kind, const std::string& text,
                                        const std::string& value, int32_t index, FrameId frame) {
    return Supply(*this, {kind, text, index, frame}, "value", value);
}

bool ElementOperations::ElementVisible(const std::string& kind, const std::string& text,
                                       std::optional<bool> visible, int32_t index, FrameId frame) {
    return Accessor(*this, {kind, text, index, frame}, visible, "style.display",
                    Block(visible.value_or(false)), "block");
}

bool ElementOperations::ElementDisabled(const std::string& kind, const std::string& text,
                                        std::optional<bool> disabled, int32_t index,
                                        FrameId frame) {
    return Accessor(*this, {kind, text, index, frame}, disabled, "disabled",
                    Word(disabled.value_or(false)), "true");
}

bool ElementOperations::SetFormAction(const std::string& kind, const std::string& text,
                                      const std::string& action, int32_t index, FrameId frame) {
    return Act(*this, {kind, text, index, frame}, "\r\nl_Object.action='" + Quoted(action) + "';");
}

// The plain readers: one property of the element, handed back as text.
#define QIRLEN_PROPERTY_READER(Operation, property)                                            \
    std::string ElementOperations::Operation(const std::string& kind, const std::string& text, \
                                             int32_t index, FrameId frame) {                   \
        return ReadText(*this, {kind, text, index, frame}, ReadBack("l_Object." property));    \
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

#define QIRLEN_PROPERTY_SETTER(Operation, property)                                             \
    bool ElementOperations::Operation(const std::string& kind, const std::string& text,         \
                                      const std::string& value, int32_t index, FrameId frame) { \
        return Supply(*this, {kind, text, index, frame}, property, value);                      \
    }
QIRLEN_PROPERTY_SETTER(SetElementInnerHTML, "innerHTML")
QIRLEN_PROPERTY_SETTER(SetElementInnerText, "innerText")
QIRLEN_PROPERTY_SETTER(SetElementOuterText, "outerText")
QIRLEN_PROPERTY_SETTER(SetElementOuterHTML, "outerHTML")
#undef QIRLEN_PROPERTY_SETTER

}  // namespace ops
