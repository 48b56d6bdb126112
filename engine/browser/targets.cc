// The browser's targets: the engine's own pages, made or taken over and attached, and every
// other page, which a page opened and which is closed before it runs.
#include "engine/browser/browser.h"
#include "engine/protocol/protocol_log.h"

namespace engine {

// The browser is asked at once whether it is up, without waiting for the answer: pages can be
// made and set up meanwhile, and attach when it comes.
void Browser::AskWhetherStarted() {
    // The same command asks the browser to report new targets (for popups).
    connection_.Post("Target.setDiscoverTargets", {{"discover", true}}, "",
                     [this](const CallResult& r) {
                         if (!r.ok) return;
                         if (process_.attached())
                             OpenOwnContext([this] { OnBrowserAnswered(); });
                         else
                             OnBrowserAnswered();
                     });
}

void Browser::OnBrowserAnswered() {
    started_ = true;
    // Every new page and service or shared worker is held before it runs: a page
    // that a page opened (window.open, a link to a new window) is closed before it
    // loads anything, a worker's requests are guarded (OnNewPage, GuardWorker), and
    // the engine's own pages are let go.
    connection_.Post(
        "Target.setAutoAttach",
        {{"autoAttach", true},
         {"waitForDebuggerOnStart", true},
         {"flatten", true},
         {"filter",
          {{{"type", "page"}}, {{"type", "service_worker"}}, {{"type", "shared_worker"}}}}},
        "");
    // Files arrive in the profile under their download ids, and move to the
    // download directory only once the host accepted them.
    if (process_.attached())
        DenyDownloads();
    else
        connection_.Post("Browser.setDownloadBehavior",
                         {{"behavior", "allowAndName"},
                          {"downloadPath", process_.profileDir() + "/downloads"},
                          {"eventsEnabled", true}},
                         "");
    for (auto& [id, page] : pages_)
        if (!page->attached()) AttachWhenReady(*page);
}

void Browser::AttachWhenReady(Page& page) {
    bool attached = false;
    try {
        attached = AttachPage(page);
    } catch (...) {
        TraceCaught("attaching a view");
    }
    if (!attached) page.session().Close();
}

// The browser's first tab goes to the first page: its renderer has been starting since the
// browser did. Its window takes the page's size, as a created one has.
bool Browser::AdoptStartupTab(Page& page) {
    if (startupTab_.empty()) return false;
    page.SetTarget(std::exchange(startupTab_, ""));
    int width = page.settings().width, height = page.settings().height;
    connection_.Post("Browser.getWindowForTarget", {{"targetId", page.targetId()}}, "",
                     [this, width, height](const CallResult& window) {
                         if (!window.ok) return;
                         connection_.Post("Browser.setWindowBounds",
                                          {{"windowId", window.result.value("windowId", 0)},
                                           {"bounds", {{"width", width}, {"height", height}}}},
                                          "");
                     });
    return true;
}

bool Browser::CreateTarget(Page& page) {
    ++creatingTargets_;
    CallResult created;
    try {
        nlohmann::json target = {{"url", "about:blank"},
                                 {"newWindow", true},
                                 {"width", page.settings().width},
                                 {"height", page.settings().height}};
        if (!browserContext_.empty()) target["browserContextId"] = browserContext_;
        created = connection_.Call("Target.createTarget", target, "");
    } catch (...) {
        TraceCaught("creating a page");
    }
    --creatingTargets_;
    if (created.ok) page.SetTarget(created.result.value("targetId", ""));
    SettleHeldTargets();
    return created.ok;
}

bool Browser::AttachPage(Page& page) {
    bool adopted = AdoptStartupTab(page);
    if (!adopted && !CreateTarget(page)) return false;
    auto attach = [&] {
        return connection_.Call("Target.attachToTarget",
                                {{"targetId", page.targetId()}, {"flatten", true}}, "");
    };
    CallResult attached = attach();
    // The first tab may be gone by now (closed from elsewhere): a new one does as well.
    if (!attached.ok && adopted && !dead_ && CreateTarget(page)) attached = attach();
    if (!attached.ok) return false;
    page.Open(attached.result.value("sessionId", ""));
    NetworkGuard::KeepCookiesFirstParty(page.session());
    return page.Attach();
}

// A page that was held before it ran. The engine's own pages go on; any other page was opened
// by a page (the host decides through its create-view callback where such an address goes),
// and is closed before it has loaded anything. Its opener waits inside window.open until the
// page runs, so it is let run with every request it could make held, unanswered, and closed
// at once. While a page of the engine is being made, pages wait for the verdict until its
// target is known.
void Browser::OnNewPage(const std::string& targetId, const std::string& session, bool waiting) {
    if (targetId == startupTab_) {
        // kept for the first page, which attaches on its own
        connection_.Post("Target.detachFromTarget", {{"sessionId", session}}, "");
    } else if (FindByTarget(targetId)) {
        if (!waiting) return;  // the page's own session, attached on purpose
        connection_.Post("Runtime.runIfWaitingForDebugger", nlohmann::json::object(), session);
        connection_.Post("Target.detachFromTarget", {{"sessionId", session}}, "");
    } else if (creatingTargets_ > 0) {
        heldTargets_.push_back({targetId, session, waiting});
    } else {
        ++closedPopups_;
        connection_.Post("Fetch.enable", {{"patterns", {{{"urlPattern", "*"}}}}}, session);
        connection_.Post("Runtime.runIfWaitingForDebugger", nlohmann::json::object(), session);
        connection_.Post("Target.closeTarget", {{"targetId", targetId}}, "");
    }
}

void Browser::SettleHeldTargets() {
    if (creatingTargets_ > 0) return;
    auto held = std::move(heldTargets_);
    heldTargets_.clear();
    for (const auto& page : held) OnNewPage(page.targetId, page.session, page.waiting);
}

}  // namespace engine
