// Scripts the host runs for itself in an isolated world of a frame's document: the document
// is shared with the page, its script globals and built-ins are not.
#include "engine/capi/api_guard.h"

namespace engine {

jsValue Engine::RunInHostWorld(View& view, wkeWebFrameHandle frame, const std::string& utf8,
                               bool inClosure) {
    view.lastRunFailed = true;  // until it has run to its end
    if (!EnsureAttached(view) || view.session.empty() || dead_ || view.crashed)
        return values_.Undefined();
    if (runDepth_ > 0) return values_.Undefined();  // bound functions do not run scripts
    values_.Recycle();
    std::string frameId = FrameOfHandle(view, frame);
    if (frameId.empty() || !view.contexts.count(frameId)) return values_.Undefined();
    // The same name gives the same world of that document each time. A page whose script
    // never yields holds this back as long as it would hold a script: the read fails in the
    // time a script may take, not in the protocol's long default.
    CallResult world =
        Call(view, "Page.createIsolatedWorld",
             {{"frameId", frameId}, {"worldName", kHostReaderWorld}}, ScriptTimeoutMs() + 3000);
    int context = world.ok ? world.result.value("executionContextId", 0) : 0;
    if (!context) return values_.Undefined();
    nlohmann::json params = {
        {"expression", inClosure ? "(function(){\n" + utf8 + "\n})()" : utf8},
        {"contextId", context},
        {"returnByValue", true},
    };
    std::string session = view.session;
    // No page's bound calls are served meanwhile (no view is the running one): they wait.
    ++runDepth_;
    runView_ = 0;
    CallResult r = connection_.Call(
        "Runtime.evaluate", params, session, ScriptTimeoutMs() + 3000, ScriptTimeoutMs(),
        [this, session] { connection_.Post("Runtime.terminateExecution", {}, session); });
    --runDepth_;
    if (!r.ok || r.result.contains("exceptionDetails")) return values_.Undefined();
    view.lastRunFailed = false;
    return values_.FromRemote(r.result["result"]);
}

}  // namespace engine

using engine::Engine;
using engine::View;

extern "C" jsValue wkeRunJsInIsolatedWorld(wkeWebView handle, wkeWebFrameHandle frame,
                                           const char* script, bool isInClosure) {
    Engine& e = Engine::Get();
    return engine::WithView(handle, e.values().Undefined(), [&](View& v) {
        return e.RunInHostWorld(v, frame, engine::Utf8Text(script), isInClosure);
    });
}
