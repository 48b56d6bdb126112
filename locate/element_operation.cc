#include "locate/element_operation.h"

#include "automation/engine_binding.h"
#include "automation/script_bridge.h"

namespace locate {

Outcome RunElementOperation(ElementFinder& web, const Locator& locator,
                            const ElementOperation& operation, const RunStyle& style) {
    if (!web.GetView() || !automation::Api().wkeRunJsByFrame) return Outcome::kNoView;
    automation::ScriptBridge& bridge = automation::Bridge();
    if (operation.readsValue) bridge.attributeReply.clear();
    std::string expression = web.BuildLocatorExpression(locator.kind, locator.text, locator.index);
    bool ran = automation::RunScript(web.GetView(), locator.frameId,
                                     operation.before + expression + operation.after,
                                     style.inClosure, style.utf8Before);
    if (bridge.elementMissing) return Outcome::kMissing;
    return ran ? Outcome::kDone : Outcome::kFailed;
}

bool ActionResult(Outcome outcome) {
    return outcome == Outcome::kDone;
}

std::string TextResult(Outcome outcome) {
    switch (outcome) {
        case Outcome::kDone:
            return automation::Bridge().attributeReply;
        case Outcome::kMissing:
            return "undefined";
        default:
            return {};
    }
}

}  // namespace locate
