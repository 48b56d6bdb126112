// A page's events: frames, loads, dialogs, new windows, file chooser, pictures, and requests
// held for the host's hooks.
#include <dlfcn.h>

#include "engine/page/page.h"
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

void Page::OnPageEvent(const std::string& method, const nlohmann::json& params) {
    if (method == "Page.frameAttached" || method == "Page.frameDetached" ||
        method == "Page.frameNavigated" || method == "Page.navigatedWithinDocument") {
        OnFrameEvent(method, params);
    } else if (method == "Page.frameRequestedNavigation") {
        frames_.navigationReason[params.value("frameId", "")] = params.value("reason", "");
        loader_.OnLoadEvent(method, params);
    } else if (method == "Page.frameStartedLoading" || method == "Page.frameStoppedLoading") {
        loader_.OnLoadEvent(method, params);
    } else if (method == "Page.lifecycleEvent") {
        if (params.value("name", "") != "DOMContentLoaded") return;
        std::string frame = params.value("frameId", "");
        Queue([frame](Page& p) {
            const auto& on = p.on().documentReady;
            if (on) on.fn(p.handle(), on.param, p.frames().HandleOf(frame));
        });
    } else if (method == "Page.javascriptDialogOpening") {
        OnDialog(params);
    } else if (method == "Page.windowOpen") {
        OnWindowOpen(params);
    } else if (method == "Page.fileChooserOpened") {
        OnFileChooser(params);
    } else if (method == "Page.screencastFrame") {
        OnScreencastFrame(params);
    }
}

void Page::OnScreencastFrame(const nlohmann::json& params) {
    session_.Post("Page.screencastFrameAck", {{"sessionId", params.value("sessionId", 0)}});
    std::string png = platform::DecodeBase64(params.value("data", ""));
    int w = params["metadata"].value("deviceWidth", 0),
        h = params["metadata"].value("deviceHeight", 0);
    Queue([png, w, h](Page& p) {
        const auto& on = p.on().paint;
        if (!on || !p.settings().shown) return;
        wkeRect dirty{0, 0, w, h};
        on.fn(p.handle(), on.param, png.data(), png.size(), &dirty, w, h);
    });
}

void Page::QueueUrlChanged(const std::string& frame, const std::string& url) {
    Queue([frame, url](Page& p) {
        const auto& on = p.on().urlChanged;
        if (!on) return;
        EngineString text(url);
        on.fn(p.handle(), on.param, p.frames().HandleOf(frame), text.handle());
    });
}

void Page::OnFrameEvent(const std::string& method, const nlohmann::json& params) {
    if (method == "Page.frameAttached") {
        frames_.OnAttached(params.value("frameId", ""), params.value("parentFrameId", ""));
    } else if (method == "Page.frameDetached") {
        if (params.value("reason", "") == "swap") return;  // the same frame, in another process
        frames_.OnDetached(params.value("frameId", ""));
    } else if (method == "Page.frameNavigated") {
        const auto& f = params["frame"];
        std::string id = f.value("id", "");
        std::string parent = f.value("parentId", "");
        if (parent.empty() && id != frames_.main) {
            frames_.frames.clear();
            frames_.main = id;
        }
        if (parent.empty() && !loader_.load.finished)
            loader_.NoteTopDocument(f.value("loaderId", ""));
        // A new document in a frame: the frames of its old document are gone.
        frames_.RemoveDescendants(id);
        Frame& frame = frames_.frames[id];
        frame.parent = parent;
        frame.url = f.value("url", "");
        frame.failed = f.contains("unreachableUrl");
        if (parent.empty()) loader_.url = frame.failed ? f.value("unreachableUrl", "") : frame.url;
        frame.origin = f.value("securityOrigin", "");
        storage_.NotePartition(id);
        QueueUrlChanged(id, frame.url);
    } else if (method == "Page.navigatedWithinDocument") {
        std::string id = params.value("frameId", "");
        std::string url = params.value("url", "");
        if (id == frames_.main) loader_.url = url;
        QueueUrlChanged(id, url);
    }
}

// The page waits for the answer, so the host is asked at once, even inside a script run.
void Page::OnDialog(const nlohmann::json& params) {
    std::string type = params.value("type", "alert");
    EngineString message(params.value("message", "")),
        defaultText(params.value("defaultPrompt", ""));
    EngineString answer;
    bool accept = type == "alert" || type == "beforeunload";
    wkeWebView handle = this->handle();
    Callbacks on = on_;
    std::string session = session_.id();
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
    host_.connection().Post("Page.handleJavaScriptDialog", reply, session);
}

// A new window a page asks for. Chromium's own window for it was closed before it ran (see
// Browser::OnNewPage); the address goes where the host says, and only a web address goes anywhere:
// a page must not make the engine load a local file, a data: or browser page, or a script.
void Page::OnWindowOpen(const nlohmann::json& params) {
    std::string url = params.value("url", "");
    if (!IsWebAddress(url)) return;
    wkeNavigationType type = params.value("userGesture", false) ? WKE_NAVIGATION_TYPE_LINKCLICK
                                                                : WKE_NAVIGATION_TYPE_OTHER;
    Queue([url, type](Page& p) {
        if (const auto& on = p.on().createView) {
            // A host that returns no view opens nothing.
            EngineString address(url);
            wkeWindowFeatures features{};
            wkeWebView target = on.fn(p.handle(), on.param, type, address.handle(), &features);
            if (Page* other = target ? p.host().Find(target) : nullptr)
                other->loader().Navigate(url);
            return;
        }
        // Without a host for new windows, the address opens where the page is.
        if (!p.settings().newWindowNavigation) p.loader().Navigate(url);
    });
}

void Page::OnFileChooser(const nlohmann::json& params) {
    int node = params.value("backendNodeId", 0);
    bool multiple = params.value("mode", "") == "selectMultiple";
    Queue([node, multiple](Page& p) {
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
        p.session().Call("DOM.setFileInputFiles", {{"files", files}, {"backendNodeId", node}});
    });
}

// Requests held for the host's hooks; the page waits, so they are answered at once.
void Page::OnRequestPaused(const nlohmann::json& params, const std::function<bool()>& refused) {
    static intptr_t nextJob = 1;
    std::string id = params.value("requestId", "");
    std::string url = params["request"].value("url", "");
    std::string type = params.value("resourceType", "");
    std::string session = session_.id();
    wkeWebView handle = this->handle();
    Callbacks on = on_;
    Connection& connection = host_.connection();
    void* job = reinterpret_cast<void*>(nextJob++);
    auto fail = [&](const char* reason) {
        connection.Post("Fetch.failRequest", {{"requestId", id}, {"errorReason", reason}}, session);
    };
    if (params.contains("responseStatusCode") || params.contains("responseErrorReason")) {
        if (on.loadUrlEnd) {
            CallResult body =
                connection.Call("Fetch.getResponseBody", {{"requestId", id}}, session, 10000);
            std::string bytes = body.ok ? body.result.value("body", "") : "";
            if (body.ok && body.result.value("base64Encoded", false))
                bytes = platform::DecodeBase64(bytes);
            on.loadUrlEnd.fn(handle, on.loadUrlEnd.param, url.c_str(), job, bytes.data(),
                             static_cast<int>(bytes.size()));
        }
        connection.Post("Fetch.continueResponse", {{"requestId", id}}, session);
        return;
    }
    if (refused()) return fail("AccessDenied");
    if ((type == "Image" && settings_.imagesBlocked) || settings_.blockedTypes.count(type))
        return fail("BlockedByClient");
    if (type == "Document" && on.navigation) {
        EngineString address(url);
        auto reason = frames_.navigationReason[params.value("frameId", "")];
        if (!on.navigation.fn(handle, on.navigation.param, NavigationType(reason),
                              address.handle()))
            return fail("Aborted");
    }
    if (on.loadUrlBegin && on.loadUrlBegin.fn(handle, on.loadUrlBegin.param, url.c_str(), job))
        return fail("BlockedByClient");
    connection.Post("Fetch.continueRequest", {{"requestId", id}}, session);
}

}  // namespace engine
