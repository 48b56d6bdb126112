#include "serve/engine_resolver.h"

#include <thread>

#include "app/cli_browser.h"
#include "app/cli_output.h"
#include "app/link_resolver.h"

namespace serve {

EngineResolver::EngineResolver(std::chrono::milliseconds pace, std::chrono::seconds timeout,
                               std::vector<std::string> browsers, Metrics& metrics,
                               std::function<void(std::chrono::seconds)> backOff)
    : timeout_(timeout),
      browsers_(std::move(browsers)),
      metrics_(metrics),
      backOff_(std::move(backOff)),
      pacer_(pace),
      queue_(std::make_unique<WorkQueue>()) {}

EngineResolver::~EngineResolver() {
    stopping_ = true;
    queue_->DropWaiting();  // the resolve under way ends; the clients of the rest are gone
    queue_->Post([this] {
        if (browser_) browser_->Shutdown();
        browser_.reset();
    });
    queue_.reset();
}

void EngineResolver::Resolve(ResolveRequest request, std::function<void(Resolved)> done) {
    queue_->Post([this, request = std::move(request), done = std::move(done)] {
        done(ResolveNow(request));
    });
}

void EngineResolver::ResumeBackOff(std::chrono::seconds backOff, std::chrono::seconds left) {
    queue_->Post([this, backOff, left] {
        pacer_.Resume(Pacer::Clock::now(), backOff, left);
        metrics_.SetBackOff(static_cast<double>(backOff.count()));
    });
}

// Until the pacing lets the next page load start. It runs as the page is loaded, maybe from
// inside the engine's events (the streamer's current room is looked up from there), so it
// only sleeps.
void EngineResolver::WaitForTurn() {
    // A second load of one resolve (the streamer's current room) comes once the first page
    // is in.
    if (loadsInResolve_++ > 0) pacer_.Answered(Pacer::Clock::now());
    Pacer::Clock::time_point start = pacer_.NextLoad(Pacer::Clock::now());
    // A service that is ending does not wait out a back-off of minutes first.
    while (!stopping_ && Pacer::Clock::now() < start)
        std::this_thread::sleep_for(std::min<Pacer::Clock::duration>(
            start - Pacer::Clock::now(), std::chrono::milliseconds(100)));
}

// The engine attaches to the browser QIRLEN_BROWSER_URL names when it starts one.
void EngineResolver::UseBrowser(size_t index) {
    if (browsers_.empty()) return;
    browserIndex_ = index % browsers_.size();
    setenv("QIRLEN_BROWSER_URL", browsers_[browserIndex_].c_str(), 1);
}

// A browser that could not start is tried again for each request; of several elsewhere, the
// next ones are tried in turn first, so that one that is down costs no answer.
bool EngineResolver::BrowserReady() {
    for (size_t tried = 0; tried <= browsers_.size(); ++tried) {
        browser_->Forgive();
        if (browser_->Ready()) return true;
        if (browsers_.size() < 2) return false;
        UseBrowser(browserIndex_ + 1);
    }
    return false;
}

Resolved EngineResolver::ResolveNow(const ResolveRequest& request) {
    if (!browser_) {
        UseBrowser(0);
        browser_ = std::make_unique<app::CliBrowser>();
        browser_->page().beforeLoad = [this] { WaitForTurn(); };
    }
    BrowserReady();
    app::CliOptions options;
    options.quality = request.wish.quality;
    options.codec = request.wish.codec;
    options.flv = request.wish.flv;
    options.json = true;  // the room is read whatever the element holds
    options.timeoutSeconds = static_cast<int>(timeout_.count());
    auto began = Pacer::Clock::now();
    loadsInResolve_ = 0;
    app::LinkResult result =
        app::ResolveInBrowser(*browser_, request.link, options, began + timeout_, false);
    if (loadsInResolve_ > 0) pacer_.Answered(Pacer::Clock::now());
    std::chrono::duration<double> took = Pacer::Clock::now() - began;
    Resolved out;
    out.code = result.code;
    out.refused = result.refused;
    out.message = result.line;
    if (result.code == 0 && result.workflow) {
        const app::StreamWorkflow& workflow = *result.workflow;
        out.address = workflow.streamAddress();
        out.expiry = workflow.streamExpiry();
        out.json = app::RoomJson(workflow, options, "");
    }
    if (result.workflow) {
        const app::RoomData& room = result.workflow->room();
        out.roomId = room.roomId;
        out.title = app::Utf8(room.title);
        out.owner = app::Utf8(room.owner);
        out.avatar = room.avatar;
        out.webRid = room.webRid;
    }
    metrics_.PageLoad(took.count(), result.refused);
    for (; replacementsSeen_ < browser_->replacements(); ++replacementsSeen_)
        metrics_.BrowserRestart();
    if (result.refused)
        pacer_.Refused(Pacer::Clock::now());
    else if (result.code == 0)
        pacer_.Succeeded();
    auto backOff = std::chrono::duration_cast<std::chrono::seconds>(pacer_.backOff());
    metrics_.SetBackOff(static_cast<double>(backOff.count()));
    if (backOff_) backOff_(backOff);
    return out;
}

}  // namespace serve
