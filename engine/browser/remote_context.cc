// The browser when it runs elsewhere (QIRLEN_BROWSER_URL): the engine works in a browser
// context of its own, and leaves everything else of the browser alone, the browser itself
// included.
#include "engine/browser/browser.h"

namespace engine {
namespace {

constexpr int kDisposeTimeoutMs = 3000;

}  // namespace

// Disposed by the browser when this connection ends, whatever way it ends: a host that is
// killed leaves no page behind in a browser that others share.
void Browser::OpenOwnContext(std::function<void()> then) {
    nlohmann::json params = {{"disposeOnDetach", true}};
    if (!options_.proxy.empty()) params["proxyServer"] = options_.proxy;
    connection_.Post("Target.createBrowserContext", params, "", [this, then](const CallResult& r) {
        std::string id = r.ok ? r.result.value("browserContextId", "") : "";
        if (id.empty()) {
            process_.Abandon("the remote browser gave no browser context (" +
                             (r.ok ? std::string("no id") : r.error) + ")");
            return;
        }
        browserContext_ = id;
        then();
    });
}

// The browser would dispose of our context anyway once we disconnect, but asked first, the
// host that shuts down knows it is gone before it goes on.
void Browser::DisposeOwnContext() {
    if (!browserContext_.empty() && !connection_.dead() && !process_.terminated())
        connection_.Call("Target.disposeBrowserContext", {{"browserContextId", browserContext_}},
                         "", kDisposeTimeoutMs);
    browserContext_.clear();
}

// The browser reports every new page to every client that watches for them, and holds it
// for each: another client's page is let run at once and not looked at again.
bool Browser::ReleasedForeignTarget(const nlohmann::json& attachedParams) {
    if (!process_.attached()) return false;
    const auto info = attachedParams.value("targetInfo", nlohmann::json::object());
    if (!browserContext_.empty() && info.value("browserContextId", "") == browserContext_)
        return false;
    std::string session = attachedParams.value("sessionId", "");
    if (attachedParams.value("waitingForDebugger", false))
        connection_.Post("Runtime.runIfWaitingForDebugger", nlohmann::json::object(), session);
    connection_.Post("Target.detachFromTarget", {{"sessionId", session}}, "");
    return true;
}

void Browser::DenyDownloads() {
    connection_.Post("Browser.setDownloadBehavior",
                     {{"behavior", "deny"}, {"browserContextId", browserContext_}}, "");
}

}  // namespace engine
