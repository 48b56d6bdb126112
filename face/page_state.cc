#include "face/page_state.h"

extern "C" const char face_element_js[];

namespace qirlen::detail {
namespace {

struct Answer {
    int outcome = QIRLEN_PROTOCOL_NO_PAGE;
    std::string text;
};

void Keep(void* param, int outcome, const char* text, size_t length) {
    auto* answer = static_cast<Answer*>(param);
    answer->outcome = outcome;
    answer->text.assign(text, length);
}

void Listen(void* param, const char* method, const char* params, size_t length) {
    json parsed = json::parse(std::string_view(params, length), nullptr, false);
    if (parsed.is_object()) static_cast<PageState*>(param)->OnEvent(method, parsed);
}

Error FromOutcome(int outcome, const std::string& method, const std::string& text) {
    switch (outcome) {
        case QIRLEN_PROTOCOL_TIMEOUT:
            return {ErrorKind::Timeout, "the page did not answer " + method + " in time"};
        case QIRLEN_PROTOCOL_CRASHED:
            return {ErrorKind::Crashed, "the page crashed"};
        case QIRLEN_PROTOCOL_GONE:
            return {ErrorKind::BrowserGone, "the browser is not running: " + text};
        case QIRLEN_PROTOCOL_NO_PAGE:
            return {ErrorKind::Crashed, "the page is gone: " + text};
        default:
            return {ErrorKind::InvalidArgument, method + ": " + text};
    }
}

// What the console shows for one argument.
std::string ConsoleText(const json& arg) {
    if (auto value = arg.find("value"); value != arg.end())
        return value->is_string() ? value->get<std::string>() : value->dump();
    if (auto plain = arg.find("unserializableValue"); plain != arg.end())
        return plain->get<std::string>();
    return arg.value("description", arg.value("type", ""));
}

}  // namespace

std::string ExceptionText(const json& details) {
    std::string text = details.value("exception", json::object()).value("description", "");
    if (text.empty()) text = details.value("text", "the script threw");
    auto line = text.find('\n');
    return line == std::string::npos ? text : text.substr(0, line);
}

PageState::PageState(std::shared_ptr<BrowserState> b, wkeWebView v)
    : browser(std::move(b)), view(v) {
    browser->engine.listen(view, &Listen, this, 1);
}

PageState::~PageState() {
    browser->engine.listen(view, nullptr, nullptr, 0);
    browser->engine.destroyView(view);
}

std::optional<Error> PageState::Unusable() const {
    if (callbacksRunning > 0)
        return Error{ErrorKind::InvalidArgument, "a page cannot be used from its own callbacks"};
    if (crashed) return Error{ErrorKind::Crashed, "the page crashed"};
    if (closed) return Error{ErrorKind::Crashed, "the page was closed"};
    return std::nullopt;
}

Result<json> PageState::Call(const std::string& method, const json& params, int timeoutMs) {
    if (auto why = Unusable()) return *why;
    Answer answer;
    std::string text = params.dump(-1, ' ', false, json::error_handler_t::replace);
    browser->engine.call(view, method.c_str(), text.c_str(), std::max(timeoutMs, 1), &Keep,
                         &answer);
    if (answer.outcome != QIRLEN_PROTOCOL_OK) {
        if (answer.outcome == QIRLEN_PROTOCOL_CRASHED) crashed = true;
        return FromOutcome(answer.outcome, method, answer.text);
    }
    json result = json::parse(answer.text, nullptr, false);
    if (result.is_discarded()) return Error{ErrorKind::BrowserGone, method + ": unreadable answer"};
    return result;
}

void PageState::Post(const std::string& method, const json& params) {
    std::string text = params.dump(-1, ' ', false, json::error_handler_t::replace);
    browser->engine.call(view, method.c_str(), text.c_str(), 0, nullptr, nullptr);
}

Result<void> PageState::Wait(const std::function<bool()>& done, int timeoutMs,
                             const std::string& waitingFor) {
    if (auto why = Unusable()) return *why;
    bool held = RunUntil(
        browser->engine, [&] { return done() || crashed || closed; }, timeoutMs);
    if (auto why = Unusable()) return *why;
    if (held) return {};
    if (!held && !browser->engine.pump(0))
        return Error{ErrorKind::BrowserGone, "the browser ended while waiting for " + waitingFor};
    return Error{ErrorKind::Timeout,
                 "waited " + std::to_string(timeoutMs) + " ms for " + waitingFor + " in vain"};
}

Result<int> PageState::WorldOf(const std::string& frameId) {
    if (auto known = worlds.find(frameId); known != worlds.end()) return known->second;
    auto world = Call("Page.createIsolatedWorld", {{"frameId", frameId}, {"worldName", kFaceWorld}},
                      kDefaultTimeoutMs);
    if (!world) return world.error();
    int context = world.value().value("executionContextId", 0);
    if (!context) return Error{ErrorKind::NotFound, "the frame has no document"};
    static const std::string install =
        "globalThis.qirlenFace = (\n" + std::string(face_element_js) + "\n), undefined";
    auto installed = Call("Runtime.evaluate", {{"expression", install}, {"contextId", context}},
                          kDefaultTimeoutMs);
    if (!installed) return installed.error();
    if (auto thrown = installed.value().find("exceptionDetails"); thrown != installed.value().end())
        return Error{ErrorKind::ScriptError, "the face's operations: " + ExceptionText(*thrown)};
    worlds[frameId] = context;
    return context;
}

void PageState::OnEvent(const std::string& method, const json& params) {
    ++eventsSeen;
    if (method == "Page.frameNavigated") {
        const json& frame = params.value("frame", json::object());
        std::string id = frame.value("id", "");
        worlds.erase(id);
        if (frame.contains("parentId")) return;
        mainFrame = id;
        loader = frame.value("loaderId", "");
        url = frame.value("url", "") + frame.value("urlFragment", "");
        loaded = false;
    } else if (method == "Page.navigatedWithinDocument") {
        if (params.value("frameId", "") == mainFrame) url = params.value("url", url);
    } else if (method == "Page.loadEventFired") {
        loaded = true;
    } else if (method == "Runtime.executionContextsCleared") {
        worlds.clear();
    } else if (method == "Runtime.executionContextDestroyed") {
        int id = params.value("executionContextId", 0);
        std::erase_if(worlds, [id](const auto& entry) { return entry.second == id; });
    } else if (method == "Page.frameDetached") {
        worlds.erase(params.value("frameId", ""));
    } else if (method == "Network.responseReceived") {
        if (params.value("type", "") != "Document" || params.value("frameId", "") != mainFrame)
            return;
        if (statusOfLoader.size() > 64) statusOfLoader.clear();  // only recent ones are asked
        statusOfLoader[params.value("loaderId", "")] =
            params.value("response", json::object()).value("status", 0);
    } else if (method == "Inspector.targetCrashed") {
        crashed = true;
    } else if (method == "Page.javascriptDialogOpening") {
        Dialog dialog{params.value("type", "alert"), params.value("message", ""),
                      params.value("defaultPrompt", "")};
        DialogAnswer answer;
        ++callbacksRunning;
        if (onDialog) answer = onDialog(dialog);
        --callbacksRunning;
        json reply = {{"accept", answer.accept}};
        if (answer.accept && dialog.type == "prompt") reply["promptText"] = answer.promptText;
        Post("Page.handleJavaScriptDialog", reply);
    } else if (method == "Runtime.consoleAPICalled" && onConsole) {
        ConsoleMessage message{params.value("type", "log"), ""};
        for (const json& arg : params.value("args", json::array()))
            message.text += (message.text.empty() ? "" : " ") + ConsoleText(arg);
        ++callbacksRunning;
        onConsole(message);
        --callbacksRunning;
    }
}

}  // namespace qirlen::detail
