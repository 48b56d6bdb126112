// Loads of the main frame and their one loading-finished notification each.
#include <algorithm>

#include "engine/browser/engine.h"

namespace engine {

namespace {
constexpr const char* kCrashed = "the page crashed";
}  // namespace

void Engine::BeginLoad(View& view, const std::string& url) {
    if (!view.load.finished) FinishLoad(view, WKE_LOADING_CANCELED, "replaced by another load");
    if (view.crashed) {
        // Loading into the crashed page's target gives it a new renderer.
        view.crashed = false;
        connection_.ReopenSession(view.session);
    }
    view.load = Load{};
    view.load.serial = ++view.loadSerial;
    view.load.url = url;
    view.load.finished = false;
    view.loaded = view.loadComplete = view.loadFailed = false;
}

void Engine::FinishLoad(View& view, wkeLoadingResult result, const std::string& reason) {
    if (view.load.finished) return;
    view.load.finished = true;
    view.loadComplete = true;
    view.loaded = result == WKE_LOADING_SUCCEEDED;
    view.loadFailed = result == WKE_LOADING_FAILED;
    std::string url =
        result == WKE_LOADING_SUCCEEDED && !view.url.empty() ? view.url : view.load.url;
    // Saved as the page answers: a page that spins once loaded delays nobody.
    if (result == WKE_LOADING_SUCCEEDED) SaveStorage(view, std::make_shared<int>(0));
    int serial = view.load.serial;
    Queue(view, [url, result, reason, serial](View& v) {
        if (!v.on.loadingFinish) return;
        // The renderer may die just after the frame stopped loading (its death is what stopped
        // it): a crash that came before this report turns it into the failure it was.
        bool crashedSince = result == WKE_LOADING_SUCCEEDED && v.crashed && v.load.serial == serial;
        EngineString address(url), why(crashedSince ? kCrashed : reason);
        v.on.loadingFinish.fn(HandleOf(v), v.on.loadingFinish.param, address.handle(),
                              crashedSince ? WKE_LOADING_FAILED : result, why.handle());
    });
}

// A renderer's death also ends its navigation and stops its frame, and the browser tells of
// the crash only a moment later: such an ending is reported once a round trip through the
// browser has come back without a crash.
void Engine::FinishLoadUnlessCrashed(View& view, wkeLoadingResult result,
                                     const std::string& reason) {
    int viewId = view.id, serial = view.load.serial;
    int sent = connection_.Post("Target.getTargetInfo", {{"targetId", view.targetId}}, "",
                                [this, viewId, serial, result, reason](const CallResult&) {
                                    auto it = views_.find(viewId);
                                    if (it == views_.end()) return;
                                    View& v = *it->second;
                                    if (v.load.serial == serial && !v.crashed)
                                        FinishLoad(v, result, reason);
                                });
    if (sent < 0 && !dead_) FinishLoad(view, result, reason);
}

// Nothing waits on a dead page: the calls waiting on it fail now, later ones at once, and a
// load in progress fails.
void Engine::OnPageCrashed(View& view) {
    view.crashed = true;
    view.contexts.clear();
    connection_.EndSession(view.session, kCrashed);
    FinishLoad(view, WKE_LOADING_FAILED, kCrashed);
    view.loaded = false;
    view.loadFailed = view.loadComplete = true;
}

void Engine::Navigate(View& view, const std::string& url) {
    // A blank page about to be replaced need not be reloaded to take up the settings.
    if (!view.attached) view.reloadWhenAttached = false;
    EnsureAttached(view);
    if (view.session.empty()) {
        // No page to load into: the load fails at once, so nobody waits for it.
        BeginLoad(view, url);
        FinishLoad(view, WKE_LOADING_FAILED,
                   dead_ ? "the browser is not running" : "the view has no page");
        return;
    }
    BeginLoad(view, url);
    view.load.byHost = true;
    int viewId = view.id, serial = view.load.serial;
    connection_.Post(
        "Page.navigate", {{"url", url}}, view.session, [this, viewId, serial](const CallResult& r) {
            auto it = views_.find(viewId);
            if (it == views_.end()) return;
            View& v = *it->second;
            if (v.load.serial != serial || v.load.finished) return;
            v.load.navigateAnswered = true;
            v.load.loaderId = r.ok ? r.result.value("loaderId", "") : "";
            if (!v.load.loaderId.empty())
                v.load.committed =
                    std::ranges::count(v.load.documentsBeforeAnswer, v.load.loaderId) > 0;
            std::string error = r.ok ? r.result.value("errorText", "") : r.error;
            if (!error.empty()) {
                bool aborted = error == "net::ERR_ABORTED";
                FinishLoadUnlessCrashed(v, aborted ? WKE_LOADING_CANCELED : WKE_LOADING_FAILED,
                                        error);
            } else if (r.ok && !r.result.contains("loaderId")) {
                FinishLoad(v, WKE_LOADING_SUCCEEDED, "");  // moved within the same document
            } else if (v.load.started && v.load.committed && v.frames[v.mainFrame].failed) {
                // (an uncommitted load would read the error page of the load before it)
                FinishLoadUnlessCrashed(v, WKE_LOADING_FAILED, "the page could not be loaded");
            } else if (v.load.stopped &&
                       (v.load.committed || v.load.documentsBeforeAnswer.empty())) {
                // it stopped before this answer came
                FinishLoadUnlessCrashed(v, WKE_LOADING_SUCCEEDED, "");
            } else {
                v.load.stopped = false;  // what stopped was another document's load
            }
        });
}

// A view that has loaded nothing yet reloads its blank document, so that it takes up the
// settings made since; that is no load of an address and is not reported. A view still
// waiting for its page does it when the page comes, without making the caller wait.
void Engine::Reload(View& view) {
    if (!view.attached) {
        view.reloadWhenAttached = true;
        return;
    }
    if (view.session.empty()) return;
    if (view.loadSerial == 0) {
        Post(view, "Page.reload");
        return;
    }
    BeginLoad(view, view.url);
    view.load.navigateAnswered = true;  // no navigation answer comes for a reload
    Post(view, "Page.reload");
}

// A document of the main frame during a load: the load's own, unless the host's navigation
// is still unanswered and so cannot say which document is its.
void Engine::NoteTopDocument(View& view, const std::string& loaderId) {
    Load& load = view.load;
    if (load.byHost && !load.navigateAnswered)
        load.documentsBeforeAnswer.push_back(loaderId);
    else if (load.loaderId.empty() || load.loaderId == loaderId)
        load.committed = true;
}

void Engine::StopLoading(View& view) {
    if (view.session.empty()) return;
    Post(view, "Page.stopLoading");
    FinishLoad(view, WKE_LOADING_CANCELED, "stopped");
}

void Engine::OnLoadEvent(View& view, const std::string& method, const nlohmann::json& params) {
    std::string frame = params.value("frameId", "");
    if (frame != view.mainFrame) return;
    if (method == "Page.frameRequestedNavigation") {
        // A load the page started itself (a link, a form, a script) is a load too.
        BeginLoad(view, params.value("url", ""));
        view.load.navigateAnswered = true;
    } else if (method == "Page.frameStartedLoading") {
        if (!view.load.finished) view.load.started = true;
    } else if (method == "Page.frameStoppedLoading") {
        if (view.load.finished || !view.load.started) return;
        view.load.stopped = true;
        // A navigation refused or aborted stops without a new document; only its answer can
        // tell that from a load that succeeded, and it may come after the stop.
        if (!view.load.committed && !view.load.navigateAnswered) return;
        if (!view.frames[view.mainFrame].failed)
            FinishLoadUnlessCrashed(view, WKE_LOADING_SUCCEEDED, "");
        else if (view.load.navigateAnswered)
            FinishLoadUnlessCrashed(view, WKE_LOADING_FAILED, "the page could not be loaded");
        // otherwise the navigation's answer brings the reason
    }
}

}  // namespace engine
