// Calls from page script into bound native functions: the bridge's messages, the pause in
// which a call waits for its answer, and who may call what when.
#include <cstdio>

#include "engine/page/bounds.h"
#include "engine/page/bridge_script.h"
#include "engine/page/page.h"
#include "engine/transport/json_text.h"

namespace engine {
namespace {

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

void PageScripts::DeliverHeldBridgeMessages() {
    while (deferredBridgeMessages > 0) {
        Notification next = page_.host().notifications().TakeHeld(page_.id());
        if (!next) break;
        next(page_);
    }
}

// A reply-only call goes on at once; the native function runs when its message arrives,
// still in order with every other call and before the run that made it returns. Any other
// call waits for the pause that follows it.
void PageScripts::OnBridgeMessage(std::string_view payload) {
    if (payload.size() > kMaxBridgeMessageBytes) {
        RefuseOversizedCall(payload.size());
        return CountDropped();
    }
    // A call still parked never paused: its page was inside another page's pause.
    if (!pendingBridgePayload_.empty()) DeliverUnansweredCall();
    const BoundFunctions& bound = page_.host().boundFunctions();
    // A call is judged by its head before anything is made of the rest: one to no function,
    // or one its function refuses (a page's own, between runs), is dropped unread.
    if (auto head = CallHead(payload)) {
        const Binding* b = bound.Find(head->second);
        if (!b) return CountDropped();
        if (!Accepts(*b, head->first)) return;
    }
    nlohmann::json message = ParseLenient(payload);
    // Reply-only calls come gathered: [[call, call, ...]].
    if (message.is_array() && message.size() == 1 && message[0].is_array()) {
        for (const auto& one : message[0]) CallBound(one);
        return;
    }
    std::optional<BridgeCall> call = ReadCall(message);
    if (!call) return CountDropped();  // not a call: nothing will pause for it
    const Binding* b = bound.Find(call->name);
    if (b && b->replyOnly) {
        CallBound(message);
        return;
    }
    // A refused call is dropped now: parked, it would count against the run in progress.
    if (b && !Accepts(*b, call->token)) return;
    pendingBridgePayload_ = std::string(payload);
}

void PageScripts::OnDebuggerPaused(const nlohmann::json& params) {
    Connection& connection = page_.host().connection();
    std::string session = page_.session().id();
    const auto& frames = params["callFrames"];
    bool ours = frames.is_array() && !frames.empty() &&
                frames[0].value("functionName", "") == kBridgeFunction;
    if (!ours) {
        // A debugger statement of the page's own: nobody is debugging, so go on.
        connection.Post("Debugger.resume", {}, session);
        return;
    }
    std::string callFrame = frames[0].value("callFrameId", "");
    nlohmann::json payload = ParseLenient(pendingBridgePayload_);
    pendingBridgePayload_.clear();
    std::optional<nlohmann::json> answer = CallBound(payload);
    int scope = AnswerScope(frames[0]);
    // The answer must be in place before the page goes on, and the protocol may handle a
    // resume ahead of a command sent just before it: so wait for this one.
    if (answer && scope >= 0)
        connection.Call("Debugger.setVariableValue",
                        {{"scopeNumber", scope},
                         {"variableName", "answer"},
                         {"newValue", *answer},
                         {"callFrameId", callFrame}},
                        session, 10000);
    connection.Post("Debugger.resume", {}, session);
}

// A call that could not pause still reaches its native function, in its place in line; only
// its answer cannot reach the page. That happens when another page on the same renderer
// sits in a pause while this view's script starts: the renderer runs the script inside
// that pause, where no second pause can happen.
void PageScripts::DeliverUnansweredCall() {
    static bool told = false;
    if (!told) {
        told = true;
        std::fprintf(stderr,
                     "qirlen engine: a call into a bound function came without its pause (its "
                     "page ran inside another page's pause, or called the bridge itself); its "
                     "answer could not reach the page\n");
    }
    nlohmann::json payload = ParseLenient(pendingBridgePayload_);
    pendingBridgePayload_.clear();
    CallBound(payload);
}

// Run-only functions take the calls of the view's run in progress (made under its token),
// and, while the host asks for them, the page's calls between runs.
bool PageScripts::Accepts(const Binding& binding, std::string_view token) {
    if (!binding.runOnly) return true;
    if (acceptBetweenRuns) return true;
    if (!runToken_.empty() && token == runToken_) return true;
    CountDropped();
    return false;
}

// Calls a page made that reach no function: refused, malformed, or too large to read.
void PageScripts::CountDropped() {
    ++droppedCalls;
    page_.host().boundFunctions().CountDropped();
}

std::optional<nlohmann::json> PageScripts::CallBound(const nlohmann::json& payload) {
    std::optional<BridgeCall> call = ReadCall(payload);
    if (!call) return std::nullopt;
    const Binding* binding = page_.host().boundFunctions().Find(call->name);
    if (!binding || !binding->call) return std::nullopt;
    if (!Accepts(*binding, call->token)) return std::nullopt;
    BoundCall bound = binding->call;  // the list may change while the function runs
    return bound(page_.id(), call->args);
}

}  // namespace engine
