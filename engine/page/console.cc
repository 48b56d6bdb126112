// Console messages and uncaught exceptions of a page, handed to the host's console callback:
// the head of each text, read out of a message only when a callback wants it.
#include "engine/page/bounds.h"
#include "engine/page/page.h"

namespace engine {
namespace {

wkeConsoleLevel ConsoleLevel(const std::string& type) {
    if (type == "warning") return wkeLevelWarning;
    if (type == "error" || type == "assert") return wkeLevelError;
    if (type == "info") return wkeLevelInfo;
    if (type == "debug") return wkeLevelDebug;
    return wkeLevelLog;
}

// A string member of a protocol object, read in place (it may be as long as a page made it).
std::string_view Member(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string()
               ? std::string_view(it->get_ref<const std::string&>())
               : std::string_view();
}

// An array member of a protocol object, in place; the empty array when there is none.
const nlohmann::json& ArrayMember(const nlohmann::json& object, const char* key) {
    static const nlohmann::json none = nlohmann::json::array();
    auto it = object.find(key);
    return it != object.end() && it->is_array() ? *it : none;
}

// How a console argument reads, at most `maxBytes` of it.
std::string RemoteText(const nlohmann::json& remote, size_t maxBytes) {
    auto value = remote.find("value");
    if (value != remote.end())
        return value->is_string() ? CutUtf8(Member(remote, "value"), maxBytes)
                                  : CutUtf8(value->dump(), maxBytes);
    if (remote.contains("unserializableValue"))
        return CutUtf8(Member(remote, "unserializableValue"), maxBytes);
    if (Member(remote, "type") == "undefined") return "undefined";
    return CutUtf8(Member(remote, "description"), maxBytes);
}

}  // namespace

// A page decides how much it logs: the host is handed the head of each text, and nothing is
// read out of a message unless a callback wants it.
void Page::OnConsole(const std::string& method, const nlohmann::json& params) {
    if (!on_.console) return;
    wkeConsoleLevel level = wkeLevelError;
    std::string message, source, stack;
    unsigned line = 0;
    const nlohmann::json* trace = nullptr;
    if (method == "Runtime.consoleAPICalled") {
        level = ConsoleLevel(params.value("type", "log"));
        for (const auto& arg : ArrayMember(params, "args")) {
            if (message.size() >= kMaxConsoleMessageBytes) break;
            if (!message.empty()) message += ' ';
            message += RemoteText(arg, kMaxConsoleMessageBytes - message.size());
        }
        if (params.contains("stackTrace")) trace = &params["stackTrace"];
    } else {
        const auto& details = params["exceptionDetails"];
        message = details.contains("exception")
                      ? RemoteText(details["exception"], kMaxConsoleMessageBytes)
                      : CutUtf8(Member(details, "text"), kMaxConsoleMessageBytes);
        source = CutUtf8(Member(details, "url"), kMaxConsoleSourceBytes);
        line = details.value("lineNumber", 0) + 1;
        if (details.contains("stackTrace")) trace = &details["stackTrace"];
    }
    if (trace) {
        size_t frames = 0;
        for (const auto& f : ArrayMember(*trace, "callFrames")) {
            std::string url = CutUtf8(Member(f, "url"), kMaxConsoleSourceBytes);
            if (source.empty()) {
                source = url;
                line = f.value("lineNumber", 0) + 1;
            }
            if (++frames > kMaxConsoleFrames) break;
            stack += CutUtf8(Member(f, "functionName"), kMaxConsoleSourceBytes) + "@" + url + ":" +
                     std::to_string(f.value("lineNumber", 0) + 1) + "\n";
        }
    }
    Queue([level, message = std::move(message), source = std::move(source), line,
           stack = std::move(stack)](Page& p) {
        const auto& on = p.on().console;
        if (!on) return;
        EngineString m(message), s(source), st(stack);
        on.fn(p.handle(), on.param, level, m.handle(), s.handle(), line, st.handle());
    });
}

}  // namespace engine
