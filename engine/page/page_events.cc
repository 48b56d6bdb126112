// Page events: frames, loads, dialogs, new windows, file choosers, pictures, console.
#include <dlfcn.h>

#include "engine/page/bounds.h"
#include "engine/browser/engine.h"
#include "platform/ascii_text.h"
#include "platform/base64.h"
#include "platform/codepage.h"
#include "platform/file_dialog.h"

namespace engine {
namespace {

wkeNavigationType NavigationType(const std::string& reason) {
    if (reason == "anchorClick") return WKE_NAVIGATION_TYPE_LINKCLICK;
    if (reason == "formSubmissionGet" || reason == "formSubmissionPost")
        return WKE_NAVIGATION_TYPE_FORMSUBMITTE;
    if (reason == "reload") return WKE_NAVIGATION_TYPE_RELOAD;
    return WKE_NAVIGATION_TYPE_OTHER;
}

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

// The open-file dialog's answer: one path, or a directory followed by file names.
std::vector<std::string> ChosenFiles(const char16_t* buffer, size_t size) {
    std::vector<std::u16string> parts;
    size_t i = 0;
    while (i < size && buffer[i]) {
        size_t start = i;
        while (i < size && buffer[i]) ++i;
        parts.emplace_back(buffer + start, i - start);
        ++i;
    }
    std::vector<std::string> files;
    if (parts.size() == 1) files.push_back(platform::Utf16ToUtf8(parts[0]));
    for (size_t k = 1; k < parts.size(); ++k) {
        std::string dir = platform::Utf16ToUtf8(parts[0]);
        bool separated = !dir.empty() && (dir.back() == '/' || dir.back() == '\\');
        files.push_back(dir + (separated ? "" : "/") + platform::Utf16ToUtf8(parts[k]));
    }
    return files;
}

}  // namespace

bool IsWebAddress(const std::string& url) {
    std::string scheme = platform::AsciiLower(url.substr(0, url.find(':')));
    return url.find(':') != std::string::npos && (scheme == "http" || scheme == "https");
}

void Engine::OnPageEvent(View& view, const std::string& method, const nlohmann::json& params) {
    if (method == "Page.frameAttached" || method == "Page.frameDetached" ||
        method == "Page.frameNavigated" || method == "Page.navigatedWithinDocument") {
        OnFrameEvent(view, method, params);
    } else if (method == "Page.frameRequestedNavigation") {
        view.navigationReason[params.value("frameId", "")] = params.value("reason", "");
        OnLoadEvent(view, method, params);
    } else if (method == "Page.frameStartedLoading" || method == "Page.frameStoppedLoading") {
        OnLoadEvent(view, method, params);
    } else if (method == "Page.lifecycleEvent") {
        if (params.value("name", "") != "DOMContentLoaded") return;
        std::string frame = params.value("frameId", "");
        Queue(view, [this, frame](View& v) {
            if (v.on.documentReady)
                v.on.documentReady.fn(HandleOf(v), v.on.documentReady.param,
                                      HandleOfFrame(v, frame));
        });
    } else if (method == "Page.javascriptDialogOpening") {
        OnDialog(view, params);
    } else if (method == "Page.windowOpen") {
        OnWindowOpen(view, params);
    } else if (method == "Page.fileChooserOpened") {
        OnFileChooser(view, params);
    } else if (method == "Page.screencastFrame") {
        Post(view, "Page.screencastFrameAck", {{"sessionId", params.value("sessionId", 0)}});
        std::string png = platform::DecodeBase64(params.value("data", ""));
        int w = params["metadata"].value("deviceWidth", 0),
            h = params["metadata"].value("deviceHeight", 0);
        Queue(view, [png, w, h](View& v) {
            if (!v.on.paint || !v.shown) return;
            wkeRect dirty{0, 0, w, h};
            v.on.paint.fn(HandleOf(v), v.on.paint.param, png.data(), png.size(), &dirty, w, h);
        });
    }
}

// The page waits for the answer, so the host is asked at once, even inside a script run.
void Engine::OnDialog(View& view, const nlohmann::json& params) {
    std::string type = params.value("type", "alert");
    EngineString message(params.value("message", "")),
        defaultText(params.value("defaultPrompt", ""));
    EngineString answer;
    bool accept = type == "alert" || type == "beforeunload";
    wkeWebView handle = HandleOf(view);
    Callbacks on = view.on;
    std::string session = view.session;
    if (type == "alert" && on.alert) {
        on.alert.fn(handle, on.alert.param, message.handle());
    } else if (type == "confirm" && on.confirm) {
        accept = on.confirm.fn(handle, on.confirm.param, message.handle());
    } else if (type == "prompt" && on.prompt) {
        accept = on.prompt.fn(handle, on.prompt.param, message.handle(), defaultText.handle(),
                              answer.handle());
    }
    nlohmann::json reply = {{"accept", accept}};
    if (type == "prompt" && accept) reply["promptText"] = answer.utf8();
    connection_.Post("Page.handleJavaScriptDialog", reply, session);
}

// A new window a page asks for. Chromium's own window for it was closed before it ran (see
// OnNewPage); the address goes where the host says, and only a web address goes anywhere: a
// page must not make the engine load a local file, a data: or browser page, or a script.
void Engine::OnWindowOpen(View& view, const nlohmann::json& params) {
    std::string url = params.value("url", "");
    if (!IsWebAddress(url)) return;
    wkeNavigationType type = params.value("userGesture", false) ? WKE_NAVIGATION_TYPE_LINKCLICK
                                                                : WKE_NAVIGATION_TYPE_OTHER;
    Queue(view, [this, url, type](View& v) {
        if (v.on.createView) {
            // A host that returns no view opens nothing.
            EngineString address(url);
            wkeWindowFeatures features{};
            wkeWebView target = v.on.createView.fn(HandleOf(v), v.on.createView.param, type,
                                                   address.handle(), &features);
            if (View* other = target ? Find(target) : nullptr) Navigate(*other, url);
            return;
        }
        // Without a host for new windows, the address opens where the page is.
        if (!v.newWindowNavigation) Navigate(v, url);
    });
}

void Engine::OnFileChooser(View& view, const nlohmann::json& params) {
    int node = params.value("backendNodeId", 0);
    bool multiple = params.value("mode", "") == "selectMultiple";
    Queue(view, [this, node, multiple](View& v) {
        // The program's open-file dialog, found in the process like a system function.
        auto dialog =
            reinterpret_cast<OpenFileDialogFunction>(dlsym(RTLD_DEFAULT, "GetOpenFileNameW"));
        if (!dialog || !node) return;
        std::u16string buffer(32768, u'\0');
        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.lpstrFile = buffer.data();
        ofn.nMaxFile = static_cast<uint32_t>(buffer.size());
        ofn.Flags = multiple ? OFN_ALLOWMULTISELECT : 0;
        if (!dialog(&ofn)) return;  // cancelled: the input keeps what it had
        buffer.back() = u'\0';
        auto files = ChosenFiles(buffer.data(), buffer.size());
        if (files.empty()) return;
        Call(v, "DOM.setFileInputFiles", {{"files", files}, {"backendNodeId", node}});
    });
}

// A page decides how much it logs: the host is handed the head of each text, and nothing is
// read out of a message unless a callback wants it.
void Engine::OnConsole(View& view, const std::string& method, const nlohmann::json& params) {
    if (!view.on.console) return;
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
    Queue(view, [level, message = std::move(message), source = std::move(source), line,
                 stack = std::move(stack)](View& v) {
        if (!v.on.console) return;
        EngineString m(message), s(source), st(stack);
        v.on.console.fn(HandleOf(v), v.on.console.param, level, m.handle(), s.handle(), line,
                        st.handle());
    });
}

// Requests held for the host's hooks; the page waits, so they are answered at once.
void Engine::OnRequestPaused(View& view, const nlohmann::json& params) {
    static intptr_t nextJob = 1;
    std::string id = params.value("requestId", "");
    std::string url = params["request"].value("url", "");
    std::string type = params.value("resourceType", "");
    std::string session = view.session;
    wkeWebView handle = HandleOf(view);
    Callbacks on = view.on;
    void* job = reinterpret_cast<void*>(nextJob++);
    auto fail = [&](const char* reason) {
        connection_.Post("Fetch.failRequest", {{"requestId", id}, {"errorReason", reason}},
                         session);
    };
    if (params.contains("responseStatusCode") || params.contains("responseErrorReason")) {
        if (on.loadUrlEnd) {
            CallResult body =
                connection_.Call("Fetch.getResponseBody", {{"requestId", id}}, session, 10000);
            std::string bytes = body.ok ? body.result.value("body", "") : "";
            if (body.ok && body.result.value("base64Encoded", false))
                bytes = platform::DecodeBase64(bytes);
            on.loadUrlEnd.fn(handle, on.loadUrlEnd.param, url.c_str(), job, bytes.data(),
                             static_cast<int>(bytes.size()));
        }
        connection_.Post("Fetch.continueResponse", {{"requestId", id}}, session);
        return;
    }
    if (RefusedForTopPage(view, params)) return fail("AccessDenied");
    if (type == "Image" && view.imagesBlocked) return fail("BlockedByClient");
    if (type == "Document" && on.navigation) {
        EngineString address(url);
        auto reason = view.navigationReason[params.value("frameId", "")];
        if (!on.navigation.fn(handle, on.navigation.param, NavigationType(reason),
                              address.handle()))
            return fail("Aborted");
    }
    if (on.loadUrlBegin && on.loadUrlBegin.fn(handle, on.loadUrlBegin.param, url.c_str(), job))
        return fail("BlockedByClient");
    connection_.Post("Fetch.continueRequest", {{"requestId", id}}, session);
}

}  // namespace engine
