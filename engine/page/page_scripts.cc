#include "engine/page/page_scripts.h"

#include "engine/page/bridge_script.h"
#include "engine/page/page.h"

namespace engine {

std::optional<std::string> PageScripts::FrameToRunIn(wkeWebFrameHandle frame) {
    lastRunFailed = true;  // until it has run to its end
    PageHost& host = page_.host();
    BoundFunctions& bound = host.boundFunctions();
    if (!page_.EnsureAttached() || !page_.session().open() || host.browserDead() ||
        page_.loader().crashed)
        return std::nullopt;
    if (bound.running()) return std::nullopt;  // bound functions do not run scripts
    bound.RunStarts();
    const FrameTree& frames = page_.frames();
    std::string frameId = frames.OfHandle(frame);
    if (frameId.empty() || !frames.contexts.count(frameId)) return std::nullopt;
    return frameId;
}

CallResult PageScripts::Evaluate(const nlohmann::json& params, int runningPage) {
    PageHost& host = page_.host();
    Connection& connection = host.connection();
    std::string session = page_.session().id();
    int timeoutMs = host.scriptTimeoutMs();
    host.boundFunctions().BeginRun(runningPage);
    CallResult r = connection.Call(
        "Runtime.evaluate", params, session, timeoutMs + 3000, timeoutMs,
        [&connection, session] { connection.Post("Runtime.terminateExecution", {}, session); });
    host.boundFunctions().EndRun();
    return r;
}

std::optional<nlohmann::json> PageScripts::Answer(CallResult& r) {
    if (!r.ok || r.result.contains("exceptionDetails")) return std::nullopt;
    lastRunFailed = false;
    return std::move(r.result["result"]);
}

std::optional<nlohmann::json> PageScripts::Run(wkeWebFrameHandle frame, const std::string& utf8,
                                               bool inClosure) {
    std::optional<std::string> frameId = FrameToRunIn(frame);
    if (!frameId) return std::nullopt;
    int contextId = page_.frames().contexts[*frameId];
    // The page's own earlier calls, held while another page's script ran, go first: its
    // page may even be waiting at a pause for one of them.
    DeliverHeldBridgeMessages();
    runToken_ = NewRunToken();
    nlohmann::json params = {
        // Named as the bridge is, so that the debugger does not skip the bridge's pause when
        // the optimiser has inlined the bridge into this script.
        {"expression", RunPrefix(runToken_) +
                           (inClosure ? "(function(){\n" + utf8 + "\n})()" : utf8) +
                           RunScriptSuffix()},
        {"contextId", contextId},
        {"returnByValue", true},
        {"userGesture", true},
    };
    CallResult r = Evaluate(params, page_.id());
    if (!r.ok && !page_.host().browserDead()) {
        // A script stopped by force may not have run its microtasks, where gathered reply-only
        // calls go out: send them now rather than leave them waiting for the next task.
        page_.host().connection().Post(
            "Runtime.evaluate",
            {{"expression", "window.__qirlenBridge && window.__qirlenBridge.flush()"},
             {"contextId", contextId}},
            page_.session().id());
    }
    bool unanswered = !pendingBridgePayload_.empty();
    if (unanswered) DeliverUnansweredCall();
    runToken_.clear();
    if (unanswered) return std::nullopt;  // the script went on without an answer: it failed
    return Answer(r);
}

void PageScripts::EnableBridge() {
    if (!page_.session().open()) return;  // done when the page attaches
    const Session& session = page_.session();
    if (!debuggerOn_) {
        session.Post("Debugger.enable");
        session.Post("Debugger.setBlackboxPatterns",
                     {{"patterns", {"^(?!" + BridgeUrl() + "$)"}}, {"skipAnonymous", true}});
        session.Post("Runtime.addBinding", {{"name", kBridgeBinding}});
        debuggerOn_ = true;
    }
    Install(bridgeScriptId_, BridgeScript(page_.host().boundFunctions().all()), true);
}

void PageScripts::AddEngineBinding(const char* name) {
    page_.session().Post("Runtime.addBinding",
                         {{"name", name}, {"executionContextName", kEngineWorld}});
}

void PageScripts::Install(std::string& scriptId, const std::string& source, bool runNow,
                          const char* world) {
    const Session& session = page_.session();
    if (!scriptId.empty())
        session.Post("Page.removeScriptToEvaluateOnNewDocument", {{"identifier", scriptId}});
    scriptId.clear();
    if (source.empty()) return;
    nlohmann::json params = {{"source", source}};
    if (world) params["worldName"] = world;
    // The identifier is kept by page and script, for a page gone before the answer came.
    std::weak_ptr<Page> self = page_.weak_from_this();
    std::string* idSlot = &scriptId;
    page_.settings().Send("Page.addScriptToEvaluateOnNewDocument", params,
                          [self, idSlot](const CallResult& added) {
                              if (added.ok && self.lock())
                                  *idSlot = added.result.value("identifier", "");
                          });
    if (!runNow) return;
    for (const auto& [frame, pageContext] : page_.frames().contexts) {
        int context = pageContext;
        if (world) {
            CallResult made = session.Call("Page.createIsolatedWorld",
                                           {{"frameId", frame}, {"worldName", world}});
            if (!made.ok) continue;
            context = made.result.value("executionContextId", 0);
        }
        session.Post("Runtime.evaluate", {{"expression", source}, {"contextId", context}});
    }
}

}  // namespace engine
