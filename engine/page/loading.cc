#include "engine/page/loading.h"

#include <algorithm>

#include "engine/page/page.h"

namespace engine {

namespace {
constexpr const char* kCrashed = "the page crashed";
}  // namespace

void PageLoader::Begin(const std::string& address) {
    if (!load.finished) Finish(WKE_LOADING_CANCELED, "replaced by another load");
    if (crashed) {
        // Loading into the crashed page's target gives it a new renderer.
        crashed = false;
        page_.host().connection().ReopenSession(page_.session().id());
    }
    load = Load{};
    load.serial = ++serial;
    load.url = address;
    load.finished = false;
    loaded = complete = failed = false;
}

void PageLoader::Finish(wkeLoadingResult result, const std::string& reason) {
    if (load.finished) return;
    load.finished = true;
    complete = true;
    loaded = result == WKE_LOADING_SUCCEEDED;
    failed = result == WKE_LOADING_FAILED;
    std::string address = result == WKE_LOADING_SUCCEEDED && !url.empty() ? url : load.url;
    // Saved as the page answers: a page that spins once loaded delays nobody.
    if (result == WKE_LOADING_SUCCEEDED) page_.storage().Save(std::make_shared<int>(0));
    int loadSerial = load.serial;
    page_.Queue([address, result, reason, loadSerial](Page& p) {
        const auto& on = p.on().loadingFinish;
        if (!on) return;
        // The renderer may die just after the frame stopped loading (its death is what stopped
        // it): a crash that came before this report turns it into the failure it was.
        const PageLoader& loader = p.loader();
        bool crashedSince =
            result == WKE_LOADING_SUCCEEDED && loader.crashed && loader.load.serial == loadSerial;
        EngineString text(address), why(crashedSince ? kCrashed : reason);
        on.fn(p.handle(), on.param, text.handle(), crashedSince ? WKE_LOADING_FAILED : result,
              why.handle());
    });
}

void PageLoader::FinishUnlessCrashed(wkeLoadingResult result, const std::string& reason) {
    int loadSerial = load.serial;
    std::weak_ptr<Page> self = page_.weak_from_this();
    int sent =
        page_.host().connection().Post("Target.getTargetInfo", {{"targetId", page_.targetId()}}, "",
                                       [self, loadSerial, result, reason](const CallResult&) {
                                           auto p = self.lock();
                                           if (!p) return;
                                           PageLoader& loader = p->loader();
                                           if (loader.load.serial == loadSerial && !loader.crashed)
                                               loader.Finish(result, reason);
                                       });
    if (sent < 0 && !page_.host().browserDead()) Finish(result, reason);
}

// Nothing waits on a dead page: the calls waiting on it fail now, later ones at once, and a
// load in progress fails.
void PageLoader::OnCrashed() {
    crashed = true;
    page_.frames().contexts.clear();
    page_.host().connection().EndSession(page_.session().id(), kCrashed);
    Finish(WKE_LOADING_FAILED, kCrashed);
    loaded = false;
    failed = complete = true;
}

void PageLoader::Navigate(const std::string& address) {
    // A blank page about to be replaced need not be reloaded to take up the settings.
    if (!page_.attached()) reloadWhenAttached = false;
    page_.EnsureAttached();
    if (!page_.session().open()) {
        // No page to load into: the load fails at once, so nobody waits for it.
        Begin(address);
        Finish(WKE_LOADING_FAILED,
               page_.host().browserDead() ? "the browser is not running" : "the view has no page");
        return;
    }
    Begin(address);
    load.byHost = true;
    int loadSerial = load.serial;
    std::weak_ptr<Page> self = page_.weak_from_this();
    page_.session().Post(
        "Page.navigate", {{"url", address}}, [self, loadSerial](const CallResult& r) {
            auto p = self.lock();
            if (!p) return;
            PageLoader& loader = p->loader();
            Load& load = loader.load;
            if (load.serial != loadSerial || load.finished) return;
            load.navigateAnswered = true;
            load.loaderId = r.ok ? r.result.value("loaderId", "") : "";
            if (!load.loaderId.empty())
                load.committed = std::ranges::count(load.documentsBeforeAnswer, load.loaderId) > 0;
            std::string error = r.ok ? r.result.value("errorText", "") : r.error;
            FrameTree& frames = p->frames();
            if (!error.empty()) {
                bool aborted = error == "net::ERR_ABORTED";
                loader.FinishUnlessCrashed(aborted ? WKE_LOADING_CANCELED : WKE_LOADING_FAILED,
                                           error);
            } else if (r.ok && !r.result.contains("loaderId")) {
                loader.Finish(WKE_LOADING_SUCCEEDED, "");  // moved within the same document
            } else if (load.started && load.committed && frames.frames[frames.main].failed) {
                // (an uncommitted load would read the error page of the load before it)
                loader.FinishUnlessCrashed(WKE_LOADING_FAILED, "the page could not be loaded");
            } else if (load.stopped && (load.committed || load.documentsBeforeAnswer.empty())) {
                // it stopped before this answer came
                loader.FinishUnlessCrashed(WKE_LOADING_SUCCEEDED, "");
            } else {
                load.stopped = false;  // what stopped was another document's load
            }
        });
}

// A view that has loaded nothing yet reloads its blank document, so that it takes up the
// settings made since; that is no load of an address and is not reported. A view still
// waiting for its page does it when the page comes, without making the caller wait.
void PageLoader::Reload() {
    if (!page_.attached()) {
        reloadWhenAttached = true;
        return;
    }
    if (!page_.session().open()) return;
    if (serial == 0) {
        page_.session().Post("Page.reload");
        return;
    }
    Begin(url);
    load.navigateAnswered = true;  // no navigation answer comes for a reload
    page_.session().Post("Page.reload");
}

// The load's own document, unless the host's navigation is still unanswered and so cannot say
// which document is its.
void PageLoader::NoteTopDocument(const std::string& loaderId) {
    if (load.byHost && !load.navigateAnswered)
        load.documentsBeforeAnswer.push_back(loaderId);
    else if (load.loaderId.empty() || load.loaderId == loaderId)
        load.committed = true;
}

void PageLoader::Stop() {
    if (!page_.session().open()) return;
    page_.session().Post("Page.stopLoading");
    Finish(WKE_LOADING_CANCELED, "stopped");
}

void PageLoader::OnLoadEvent(const std::string& method, const nlohmann::json& params) {
    FrameTree& frames = page_.frames();
    std::string frame = params.value("frameId", "");
    if (frame != frames.main) return;
    if (method == "Page.frameRequestedNavigation") {
        // A load the page started itself (a link, a form, a script) is a load too.
        Begin(params.value("url", ""));
        load.navigateAnswered = true;
    } else if (method == "Page.frameStartedLoading") {
        if (!load.finished) load.started = true;
    } else if (method == "Page.frameStoppedLoading") {
        if (load.finished || !load.started) return;
        load.stopped = true;
        // A navigation refused or aborted stops without a new document; only its answer can
        // tell that from a load that succeeded, and it may come after the stop.
        if (!load.committed && !load.navigateAnswered) return;
        if (!frames.frames[frames.main].failed)
            FinishUnlessCrashed(WKE_LOADING_SUCCEEDED, "");
        else if (load.navigateAnswered)
            FinishUnlessCrashed(WKE_LOADING_FAILED, "the page could not be loaded");
        // otherwise the navigation's answer brings the reason
    }
}

}  // namespace engine
