// The protocol's events: the browser's own, and those of each page's session, routed to the
// page, past the network guard, or held back while another page's script runs.
#include "engine/browser/browser.h"

namespace engine {

void Browser::OnEvent(const nlohmann::json& message) {
    std::string method = message.value("method", "");
    const nlohmann::json& params = message.contains("params") && message["params"].is_object()
                                       ? message["params"]
                                       : nlohmann::json::object();
    auto session = message.find("sessionId");
    if (session == message.end() || !session->is_string()) {
        OnBrowserEvent(method, params);
        return;
    }
    Page* page = FindBySession(session->get<std::string>());
    if (!page) {
        if (method == "Fetch.requestPaused")
            guard_.OnWorkerRequest(connection_, session->get<std::string>(), params);
        return;
    }
    if (HoldsBackBridgeMessage(*page, method, params)) {
        // Delivered from the event loop once the running script's answers have been read,
        // in the order they came, behind any held back before.
        ++page->scripts().deferredBridgeMessages;
        notifications_.Queue(
            page->id(),
            [this, method, params](Page& p) {
                --p.scripts().deferredBridgeMessages;
                OnPageEvent(p, method, params);
            },
            true);
        return;
    }
    OnPageEvent(*page, method, params);
}

// While one page's script runs, the bridge messages of another page wait: their native
// functions would write into the reply slots the running operation reads.
bool Browser::HoldsBackBridgeMessage(Page& page, const std::string& method,
                                     const nlohmann::json& params) {
    bool bridge = method == "Debugger.paused" ||
                  (method == "Runtime.bindingCalled" && params.value("name", "") == "__qirlenCall");
    if (!bridge) return false;
    if (page.scripts().deferredBridgeMessages > 0) return true;
    return bound_.running() && page.id() != bound_.runningPage();
}

// Hands the event to the page's protocol listener, if it has one; true when the listener
// answers it instead of the engine (a dialog).
bool Browser::ForwardToListener(Page& page, const std::string& method,
                                const nlohmann::json& params) {
    Callbacks::Slot<qirlenProtocolEvent> listener = page.on().protocolEvent;  // may replace itself
    if (!listener) return false;
    bool answers = page.on().protocolAnswersDialogs;
    std::string text = params.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    listener.fn(listener.param, method.c_str(), text.data(), text.size());
    return answers && method == "Page.javascriptDialogOpening";
}

// The network guard sees a page's answers and requests before the page does, and each new
// document of its main frame after.
void Browser::OnPageEvent(Page& page, const std::string& method, const nlohmann::json& params) {
    if (ForwardToListener(page, method, params)) return;  // its listener answers it
    if (method == "Network.responseReceived") {
        guard_.OnResponseReceived(page, params);
        return;
    }
    if (method == "Fetch.requestPaused") {
        page.OnRequestPaused(params, [&] { return guard_.RefusedForTopPage(page, params); });
        return;
    }
    page.OnEvent(method, params);
    if (method == "Page.frameNavigated") {
        const auto& frame = params["frame"];
        if (frame.value("parentId", "").empty())
            guard_.OnTopDocument(page, frame.value("loaderId", ""), frame.value("url", ""));
    }
}

void Browser::OnBrowserEvent(const std::string& method, const nlohmann::json& params) {
    if (method == "Target.targetCreated" && !started_ && !process_.attached()) {
        // Before the browser has answered, the only page is the one it opened with.
        const auto& info = params.value("targetInfo", nlohmann::json::object());
        if (info.value("type", "") == "page") startupTab_ = info.value("targetId", "");
    } else if (method == "Target.attachedToTarget") {
        if (ReleasedForeignTarget(params)) return;
        const auto& info = params.value("targetInfo", nlohmann::json::object());
        if (info.value("type", "") == "page")
            OnNewPage(info.value("targetId", ""), params.value("sessionId", ""),
                      params.value("waitingForDebugger", false));
        else
            guard_.GuardWorker(connection_, params.value("sessionId", ""), info.value("url", ""),
                               pages_);
    } else if (method == "Target.detachedFromTarget") {
        guard_.ForgetWorker(params.value("sessionId", ""));
        if (Page* page = FindBySession(params.value("sessionId", "")))
            page->OnSessionGone("the page was closed");
    } else if (method == "Browser.downloadWillBegin" || method == "Browser.downloadProgress") {
        downloads_.OnEvent(method, params);
    }
}

}  // namespace engine
