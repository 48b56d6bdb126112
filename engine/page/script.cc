// Running scripts in frames, and calls from page script into bound native functions.
#include <cstdio>
#include <cstdlib>
#include <random>

#include "engine/page/bounds.h"
#include "engine/browser/engine.h"
#include "engine/transport/json_text.h"

extern "C" const char engine_bridge_js[];

namespace engine {

// How long a script may run before it is stopped (the time spent in bound native
// functions does not count).
int ScriptTimeoutMs() {
    static int ms = [] {
        const char* text = std::getenv("QIRLEN_SCRIPT_TIMEOUT_MS");
        int v = text ? std::atoi(text) : 0;
        return v > 0 ? v : 6000;
    }();
    return ms;
}

namespace {

constexpr const char* kBridgeBinding = "__qirlenCall";
constexpr const char* kBridgeFunction = "__qirlenBridgeCall";
constexpr intptr_t kCallStateBase = 1 << 20;

// The bridge's own script carries this name; every other script, the page's and the host's
// alike, is skipped by the debugger, so that only the bridge's pause ever stops a page. A
// page that stops itself (anti-debugging loops of `debugger;`) would otherwise run our
// scripts inside its own pause, where no second pause can happen and answers are lost.
// The name carries a number of this process, so that a page cannot take it on.
const std::string& BridgeUrl() {
    static const std::string url = [] {
        std::random_device random;
        char text[48];
        std::snprintf(text, sizeof text, "qirlen-bridge-%08x%08x", random(), random());
        return std::string(text);
    }();
    return url;
}

const std::string& RunScriptSuffix() {
    static const std::string suffix = "\n//# sourceURL=" + BridgeUrl() + "\n";
    return suffix;
}

std::string RandomHex() {
    static std::mt19937_64 random = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    char text[40];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(random()),
                  static_cast<unsigned long long>(random()));
    return text;
}

// What reconfigures a document's bridge when functions are bound later; pages never see it.
const std::string& BridgeSecret() {
    static const std::string secret = RandomHex();
    return secret;
}

std::string BridgeScript(const std::vector<Binding>& bindings) {
    nlohmann::json names = nlohmann::json::array(), replyOnly = nlohmann::json::array(),
                   runOnly = nlohmann::json::array();
    for (const auto& b : bindings) {
        names.push_back(b.name);
        if (b.replyOnly) replyOnly.push_back(b.name);
        if (b.runOnly) runOnly.push_back(b.name);
    }
    auto text = [](const nlohmann::json& j) {
        return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    };
    return std::string("(") + engine_bridge_js + ")(" + text(names) + "," + text(replyOnly) + "," +
           text(runOnly) + "," + text(BridgeSecret()) + "," + std::to_string(kMaxBoundCallChars) +
           ");" + RunScriptSuffix();
}

// Hands the run's token to the bridge of the frame and of the top window (where scripts
// reach the bound functions), on the script's first line so that line numbers stay.
std::string RunPrefix(const std::string& token) {
    std::string call = ".__qirlenBridge.run('" + BridgeSecret() + "','" + token + "')}catch(e){}";
    return "try{window" + call + "try{window.top" + call;
}

// A call as the bridge sends it: [token, name, [type, text]...].
struct BridgeCall {
    std::string token, name;
    nlohmann::json args = nlohmann::json::array();
};

std::optional<BridgeCall> ReadCall(const nlohmann::json& payload) {
    if (!payload.is_array() || payload.size() < 2 || !payload[0].is_string() ||
        !payload[1].is_string())
        return std::nullopt;
    BridgeCall call{payload[0].get<std::string>(), payload[1].get<std::string>()};
    for (size_t i = 2; i < payload.size(); ++i) call.args.push_back(payload[i]);
    return call;
}

// The closure scope of the bridge, where `answer` lives.
int AnswerScope(const nlohmann::json& frame) {
    const auto& scopes = frame.value("scopeChain", nlohmann::json::array());
    for (size_t i = 0; i < scopes.size(); ++i)
        if (scopes[i].value("type", "") == "closure") return static_cast<int>(i);
    return -1;
}

// The token and name at the head of a call ([token, name, ...] as the bridge writes them),
// read without parsing the rest; none for anything else, or names with escapes in them.
std::optional<std::pair<std::string_view, std::string_view>> CallHead(std::string_view payload) {
    auto text = [&](size_t open) {
        size_t close = open < payload.size() && payload[open] == '"' ? payload.find('"', open + 1)
                                                                     : std::string_view::npos;
        std::string_view s = close == std::string_view::npos
                                 ? std::string_view()
                                 : payload.substr(open + 1, close - open - 1);
        return s.find('\\') == std::string_view::npos ? s : std::string_view();
    };
    if (payload.substr(0, 1) != "[") return std::nullopt;
    std::string_view token = text(1);
    size_t comma = 1 + token.size() + 2;
    if (token.data() == nullptr || payload.substr(comma, 1) != ",") return std::nullopt;
    std::string_view name = text(comma + 1);
    if (name.data() == nullptr) return std::nullopt;
    return std::make_pair(token, name);
}

// The bridge refuses such a call in the page; only a page that reached for the protocol
// binding itself sends one. It is dropped unread.
void RefuseOversizedCall(size_t bytes) {
    static bool told = false;
    if (told) return;
    told = true;
    std::fprintf(stderr,
                 "qirlen engine: a page sent a bound call of %zu bytes, more than a call may "
                 "carry; it was dropped\n",
                 bytes);
}

}  // namespace

jsValue Engine::Run(View& view, wkeWebFrameHandle frame, const std::string& utf8, bool inClosure) {
    view.lastRunFailed = true;  // until it has run to its end
    if (!EnsureAttached(view) || view.session.empty() || dead_ || view.crashed)
        return values_.Undefined();
    if (runDepth_ > 0) return values_.Undefined();  // bound functions do not run scripts
    values_.Recycle();
    std::string frameId = FrameOfHandle(view, frame);
    auto context = view.contexts.find(frameId);
    if (frameId.empty() || context == view.contexts.end()) return values_.Undefined();
    // The view's own earlier calls, held while another view's script ran, go first: its
    // page may even be waiting at a pause for one of them.
    DeliverHeldBridgeMessages(view);
    std::string token = RandomHex();
    nlohmann::json params = {
        // Named as the bridge is, so that the debugger does not skip the bridge's pause when
        // the optimiser has inlined the bridge into this script.
        {"expression", RunPrefix(token) + (inClosure ? "(function(){\n" + utf8 + "\n})()" : utf8) +
                           RunScriptSuffix()},
        {"contextId", context->second},
        {"returnByValue", true},
        {"userGesture", true},
    };
    std::string session = view.session;
    ++runDepth_;
    runView_ = view.id;
    view.runToken = token;
    CallResult r = connection_.Call(
        "Runtime.evaluate", params, session, ScriptTimeoutMs() + 3000, ScriptTimeoutMs(),
        [this, session] { connection_.Post("Runtime.terminateExecution", {}, session); });
    --runDepth_;
    if (!r.ok && !dead_) {
        // A script stopped by force may not have run its microtasks, where gathered reply-only
        // calls go out: send them now rather than leave them waiting for the next task.
        connection_.Post("Runtime.evaluate",
                         {{"expression", "window.__qirlenBridge && window.__qirlenBridge.flush()"},
                          {"contextId", context->second}},
                         session);
    }
    if (!view.pendingBridgePayload.empty()) {
        DeliverUnansweredCall(view);
        view.runToken.clear();
        return values_.Undefined();  // the script went on without an answer: it failed
    }
    view.runToken.clear();
    if (!r.ok || r.result.contains("exceptionDetails")) return values_.Undefined();
    view.lastRunFailed = false;
    return values_.FromRemote(r.result["result"]);
}

void Engine::DeliverHeldBridgeMessages(View& view) {
    while (view.deferredBridgeMessages > 0) {
        auto held = std::find_if(pending_.begin(), pending_.end(), [&](const Pending& p) {
            return p.view == view.id && p.heldBridgeMessage;
        });
        if (held == pending_.end()) break;
        Pending next = std::move(*held);
        pending_.erase(held);
        next.fn(view);
    }
}

// A reply-only call goes on at once; the native function runs when its message arrives,
// still in order with every other call and before the run that made it returns. Any other
// call waits for the pause that follows it.
void Engine::OnBridgeMessage(View& view, std::string_view payload) {
    // A call still parked never paused: its page was inside another page's pause.
    if (!view.pendingBridgePayload.empty()) DeliverUnansweredCall(view);
    // A call is judged by its head before anything is made of the rest: one to no function,
    // or one its function refuses (a page's own, between runs), is dropped unread.
    if (auto head = CallHead(payload)) {
        auto b = std::find_if(bindings_.begin(), bindings_.end(),
                              [&](const Binding& x) { return x.name == head->second; });
        if (b == bindings_.end()) return CountDropped(view);
        if (!Accepts(view, *b, head->first)) return;
    }
    nlohmann::json message = ParseLenient(payload);
    // Reply-only calls come gathered: [[call, call, ...]].
    if (message.is_array() && message.size() == 1 && message[0].is_array()) {
        for (const auto& one : message[0]) CallBound(view, one);
        return;
    }
    std::optional<BridgeCall> call = ReadCall(message);
    if (!call) return CountDropped(view);  // not a call: nothing will pause for it
    auto b = std::find_if(bindings_.begin(), bindings_.end(),
                          [&](const Binding& x) { return x.name == call->name; });
    if (b != bindings_.end() && b->replyOnly) {
        CallBound(view, message);
        return;
    }
    // A refused call is dropped now: parked, it would count against the run in progress.
    if (b != bindings_.end() && !Accepts(view, *b, call->token)) return;
    view.pendingBridgePayload = std::string(payload);
}

void Engine::Bind(const std::string& name, jsNativeFunction fn, void* param, unsigned argCount,
                  bool replyOnly, bool runOnly) {
    std::erase_if(bindings_, [&](const Binding& b) { return b.name == name; });
    bindings_.push_back({name, fn, param, argCount, replyOnly, runOnly});
    for (auto& [id, view] : views_) EnableBridge(*view);
}

// Makes every bound name callable in every frame of the view, now and after navigations.
void Engine::EnableBridge(View& view) {
    if (view.session.empty()) return;  // done when the view attaches
    if (!view.debuggerOn) {
        Post(view, "Debugger.enable");
        Post(view, "Debugger.setBlackboxPatterns",
             {{"patterns", {"^(?!" + BridgeUrl() + "$)"}}, {"skipAnonymous", true}});
        Post(view, "Runtime.addBinding", {{"name", kBridgeBinding}});
        view.debuggerOn = true;
    }
    InstallPageScript(view, view.bridgeScriptId, BridgeScript(bindings_), true);
}

void Engine::AddEngineBinding(View& view, const char* name) {
    Post(view, "Runtime.addBinding", {{"name", name}, {"executionContextName", kEngineWorld}});
}

void Engine::InstallPageScript(View& view, std::string& scriptId, const std::string& source,
                               bool runNow, const char* world) {
    if (!scriptId.empty())
        Post(view, "Page.removeScriptToEvaluateOnNewDocument", {{"identifier", scriptId}});
    scriptId.clear();
    if (source.empty()) return;
    nlohmann::json params = {{"source", source}};
    if (world) params["worldName"] = world;
    // The identifier is kept by view and script, for a view gone before the answer came.
    int viewId = view.id;
    std::string* idSlot = &scriptId;
    SendSetting(view, "Page.addScriptToEvaluateOnNewDocument", params,
                [this, viewId, idSlot](const CallResult& added) {
                    if (added.ok && views_.count(viewId))
                        *idSlot = added.result.value("identifier", "");
                });
    if (!runNow) return;
    for (const auto& [frame, pageContext] : view.contexts) {
        int context = pageContext;
        if (world) {
            CallResult made =
                Call(view, "Page.createIsolatedWorld", {{"frameId", frame}, {"worldName", world}});
            if (!made.ok) continue;
            context = made.result.value("executionContextId", 0);
        }
        Post(view, "Runtime.evaluate", {{"expression", source}, {"contextId", context}});
    }
}

void Engine::OnDebuggerPaused(View& view, const nlohmann::json& params) {
    std::string session = view.session;
    const auto& frames = params["callFrames"];
    bool ours = frames.is_array() && !frames.empty() &&
                frames[0].value("functionName", "") == kBridgeFunction;
    if (!ours) {
        // A debugger statement of the page's own: nobody is debugging, so go on.
        connection_.Post("Debugger.resume", {}, session);
        return;
    }
    std::string callFrame = frames[0].value("callFrameId", "");
    nlohmann::json payload = ParseLenient(view.pendingBridgePayload);
    view.pendingBridgePayload.clear();
    std::optional<nlohmann::json> answer = CallBound(view, payload);
    int scope = AnswerScope(frames[0]);
    // The answer must be in place before the page goes on, and the protocol may handle a
    // resume ahead of a command sent just before it: so wait for this one.
    if (answer && scope >= 0)
        connection_.Call("Debugger.setVariableValue",
                         {{"scopeNumber", scope},
                          {"variableName", "answer"},
                          {"newValue", *answer},
                          {"callFrameId", callFrame}},
                         session, 10000);
    connection_.Post("Debugger.resume", {}, session);
}

// A call that could not pause still reaches its native function, in its place in line; only
// its answer cannot reach the page. That happens when another page on the same renderer
// sits in a pause while this view's script starts: the renderer runs the script inside
// that pause, where no second pause can happen.
void Engine::DeliverUnansweredCall(View& view) {
    static bool told = false;
    if (!told) {
        told = true;
        std::fprintf(stderr,
                     "qirlen engine: a call into a bound function came without its pause (its "
                     "page ran inside another page's pause, or called the bridge itself); its "
                     "answer could not reach the page\n");
    }
    nlohmann::json payload = ParseLenient(view.pendingBridgePayload);
    view.pendingBridgePayload.clear();
    CallBound(view, payload);
}

// Run-only functions take the calls of the view's run in progress (made under its token),
// and, while the host asks for them, the page's calls between runs.
bool Engine::Accepts(View& view, const Binding& binding, std::string_view token) {
    if (!binding.runOnly) return true;
    if (view.acceptBetweenRuns) return true;
    if (!view.runToken.empty() && token == view.runToken) return true;
    CountDropped(view);
    return false;
}

// Calls a page made that reach no function: refused, malformed, or too large to read.
void Engine::CountDropped(View& view) {
    ++view.droppedCalls;
    ++droppedCalls_;
}

int64_t Engine::DroppedCalls(const View* view) const {
    return view ? view->droppedCalls : droppedCalls_;
}

std::optional<nlohmann::json> Engine::CallBound(View& view, const nlohmann::json& payload) {
    std::optional<BridgeCall> call = ReadCall(payload);
    if (!call) return std::nullopt;
    auto binding = std::find_if(bindings_.begin(), bindings_.end(),
                                [&](const Binding& b) { return b.name == call->name; });
    if (binding == bindings_.end() || !binding->fn) return std::nullopt;
    if (!Accepts(view, *binding, call->token)) return std::nullopt;
    size_t mark = values_.Mark();
    ExecState state{view.id, {}};
    for (const auto& arg : call->args) state.args.push_back(values_.FromBridge(arg));
    callStack_.push_back(std::move(state));
    auto es = reinterpret_cast<jsExecState>(kCallStateBase +
                                            static_cast<intptr_t>(callStack_.size() - 1));
    Binding bound = *binding;  // the list may change while the function runs
    jsValue answer = bound.fn(es, bound.param);
    callStack_.pop_back();
    std::optional<nlohmann::json> argument;
    if (values_.Get(answer).type != JSTYPE_UNDEFINED) argument = values_.ToArgument(answer);
    values_.Release(mark);
    return argument;
}

jsExecState Engine::GlobalExec(const View& view) {
    return reinterpret_cast<jsExecState>(static_cast<intptr_t>(view.id));
}

ExecState* Engine::State(jsExecState es) {
    static ExecState global;
    intptr_t raw = reinterpret_cast<intptr_t>(es);
    if (raw >= kCallStateBase) {
        size_t index = static_cast<size_t>(raw - kCallStateBase);
        return index < callStack_.size() ? &callStack_[index] : nullptr;
    }
    if (raw > 0 && views_.count(static_cast<int>(raw))) {
        global = ExecState{static_cast<int>(raw), {}};
        return &global;
    }
    return nullptr;
}

void Engine::OnTitle(View& view, const std::string& title) {
    if (title == view.title) return;
    view.title = title;
    Queue(view, [title](View& v) {
        if (!v.on.titleChanged) return;
        EngineString text(title);
        v.on.titleChanged.fn(HandleOf(v), v.on.titleChanged.param, text.handle());
    });
}

void Engine::OnRuntimeEvent(View& view, const std::string& method, const nlohmann::json& params) {
    if (method == "Runtime.executionContextCreated") {
        const auto& context = params["context"];
        const auto& aux = context.value("auxData", nlohmann::json::object());
        if (aux.value("isDefault", false))
            view.contexts[aux.value("frameId", "")] = context.value("id", 0);
    } else if (method == "Runtime.executionContextDestroyed") {
        int id = params.value("executionContextId", 0);
        std::erase_if(view.contexts, [id](const auto& entry) { return entry.second == id; });
    } else if (method == "Runtime.executionContextsCleared") {
        view.contexts.clear();
    } else if (method == "Runtime.bindingCalled") {
        std::string name = params.value("name", "");
        // Read in place: a payload is as long as the page made it.
        auto field = params.find("payload");
        std::string_view payload = field != params.end() && field->is_string()
                                       ? std::string_view(field->get_ref<const std::string&>())
                                       : std::string_view();
        if (name == kBridgeBinding) {
            if (payload.size() > kMaxBridgeMessageBytes) {
                RefuseOversizedCall(payload.size());
                CountDropped(view);
            } else {
                OnBridgeMessage(view, payload);
            }
        } else if (name == "__qirlenTitle") {
            // The watcher cuts it already; what comes on the binding is cut all the same.
            OnTitle(view, CutUtf8(payload, 3 * kMaxTitleChars));
        } else if (name == "__qirlenRestored") {
            OnStorageRestored(view, std::string(payload));
        } else if (name == "__qirlenHover") {
            std::string url = CutUtf8(payload, kMaxHoverUrlBytes);
            Queue(view, [url](View& v) {
                if (!v.on.mouseOverUrl) return;
                EngineString text(url);
                v.on.mouseOverUrl.fn(HandleOf(v), v.on.mouseOverUrl.param, text.handle());
            });
        }
    } else if (method == "Runtime.consoleAPICalled" || method == "Runtime.exceptionThrown") {
        OnConsole(view, method, params);
    }
}

}  // namespace engine
