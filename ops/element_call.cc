#include "ops/element_call.h"

#include <cstdint>

#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "locate/script_literal.h"

namespace ops {

std::string ReadBack(std::string_view expression) {
    return "\r\nwindow.top.GetAttributeBack(" + std::string(expression) + ");";
}

std::string Quoted(std::string_view text) {
    return locate::EscapeForScriptLiteral(text);
}

bool IsMethodName(std::string_view name) {
    auto start = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
    };
    if (name.empty() || !start(name[0])) return false;
    for (char c : name)
        if (!start(c) && !(c >= '0' && c <= '9')) return false;
    return true;
}

std::string ViewNumber(const automation::ViewAutomation& web) {
    return std::to_string(reinterpret_cast<intptr_t>(web.GetView()));
}

std::string Word(bool value) {
    return value ? "true" : "false";
}

std::string ReadText(ElementFinder& web, const Locator& locator, const std::string& fragment) {
    return locate::TextResult(locate::RunElementOperation(web, locator, {"", fragment, true}));
}

bool ReadProperty(ElementFinder& web, const Locator& locator, const std::string& fragment,
                  std::string_view expected) {
    locate::Outcome outcome = locate::RunElementOperation(web, locator, {"", fragment, true});
    return outcome == locate::Outcome::kDone && automation::Bridge().attributeReply == expected;
}

bool Act(ElementFinder& web, const Locator& locator, const std::string& fragment,
         const std::string& before) {
    return locate::ActionResult(
        locate::RunElementOperation(web, locator, {before, fragment, false}));
}

bool Supply(ElementFinder& web, const Locator& locator, const std::string& property,
            const std::string& value) {
    if (!web.GetView() || !automation::Api().wkeRunJsByFrame) return false;
    automation::SuppliedValue supplied(web.GetView(), value);
    return Act(web, locator,
               "\r\nl_Object." + property + "=window.top.Getvalue(" + ViewNumber(web) + ");");
}

}  // namespace ops
