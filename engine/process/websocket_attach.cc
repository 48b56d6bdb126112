// The engine's start and end when the browser is elsewhere (QIRLEN_BROWSER_URL): it attaches
// over the DevTools WebSocket, works in a browser context of its own, and leaves everything
// else of the browser alone, the browser itself included.
#include "engine/browser/engine.h"

namespace engine {
namespace {

// The usual start-up bound of a browser of our own covers connecting to one elsewhere too.
constexpr int kAttachTimeoutMs = 20000;
constexpr int kDisposeTimeoutMs = 3000;

}  // namespace

bool Engine::StartOrAttach(std::string* why) {
    std::string url = RemoteBrowserUrl();
    attached_ = !url.empty();
    browserContext_.clear();
    if (!attached_) {
        connection_.Use(process_);
        return process_.Start(why);
    }
    connection_.Use(remote_);
    return remote_.Connect(url, kAttachTimeoutMs, why);
}

// A browser of our own ends with its profile. One elsewhere goes on: only our context goes,
// and with it our views; the browser would dispose of it anyway once we disconnect, but
// asked first, the host that shuts down knows it is gone before it goes on.
void Engine::StopBrowser() {
    if (!attached_) {
        process_.Stop();
        return;
    }
    if (!browserContext_.empty() && !connection_.dead() && !remote_.terminated())
        connection_.Call("Target.disposeBrowserContext", {{"browserContextId", browserContext_}},
                         "", kDisposeTimeoutMs);
    remote_.Close();
    browserContext_.clear();
}

std::string Engine::BrowserExitReason() {
    return attached_ ? remote_.ExitReason() : process_.ExitReason();
}

bool Engine::BrowserTerminated() const {
    return process_.terminated() || remote_.terminated();
}

// Disposed by the browser when this connection ends, whatever way it ends: a host that is
// killed leaves no page behind in a browser that others share.
void Engine::OpenOwnContext(std::function<void()> then) {
    connection_.Post("Target.createBrowserContext", {{"disposeOnDetach", true}}, "",
                     [this, then](const CallResult& r) {
                         std::string id = r.ok ? r.result.value("browserContextId", "") : "";
                         if (id.empty()) {
                             remote_.Abandon("the remote browser gave no browser context (" +
                                             (r.ok ? std::string("no id") : r.error) + ")");
                             return;
                         }
                         browserContext_ = id;
                         then();
                     });
}

// The browser reports every new page to every client that watches for them, and holds it
// for each: another client's page is let run at once and not looked at again.
bool Engine::ReleasedForeignTarget(const nlohmann::json& attachedParams) {
    if (!attached_) return false;
    const auto info = attachedParams.value("targetInfo", nlohmann::json::object());
    if (!browserContext_.empty() && info.value("browserContextId", "") == browserContext_)
        return false;
    std::string session = attachedParams.value("sessionId", "");
    if (attachedParams.value("waitingForDebugger", false))
        connection_.Post("Runtime.runIfWaitingForDebugger", nlohmann::json::object(), session);
    connection_.Post("Target.detachFromTarget", {{"sessionId", session}}, "");
    return true;
}

void Engine::DenyDownloads() {
    connection_.Post("Browser.setDownloadBehavior",
                     {{"behavior", "deny"}, {"browserContextId", browserContext_}}, "");
}

}  // namespace engine
