// Scripts the host runs for itself in an isolated world of a frame's document: the document
// is shared with the page, its script globals and built-ins are not.
#include "engine/page/page.h"

namespace engine {

std::optional<nlohmann::json> PageScripts::RunInHostWorld(wkeWebFrameHandle frame,
                                                          const std::string& utf8, bool inClosure) {
    std::optional<std::string> frameId = FrameToRunIn(frame);
    if (!frameId) return std::nullopt;
    // The same name gives the same world of that document each time. A page whose script
    // never yields holds this back as long as it would hold a script: the read fails in the
    // time a script may take, not in the protocol's long default.
    CallResult world = page_.session().Call(
        "Page.createIsolatedWorld", {{"frameId", *frameId}, {"worldName", kHostReaderWorld}},
        page_.host().scriptTimeoutMs() + 3000);
    int context = world.ok ? world.result.value("executionContextId", 0) : 0;
    if (!context) return std::nullopt;
    nlohmann::json params = {
        {"expression", inClosure ? "(function(){\n" + utf8 + "\n})()" : utf8},
        {"contextId", context},
        {"returnByValue", true},
    };
    // No page's bound calls are served meanwhile (no page is the running one): they wait.
    CallResult r = Evaluate(params, 0);
    return Answer(r);
}

}  // namespace engine
