#include "app/link_resolver.h"

#include "app/cli.h"
#include "app/cli_output.h"
#include "app/run_guard.h"
#include "app/texts.h"
#include "hostctl/engine_library.h"

namespace app {
namespace {

using Clock = std::chrono::steady_clock;

struct FetchState {
    StreamWorkflow* workflow = nullptr;
    std::optional<std::string> message;
    bool loadFailed = false;
    bool crashed = false;  // the page died before it gave its answer
    std::string reason;
};

bool PageCrashed(wkeWebView view) {
    const hostctl::EngineEntries& e = hostctl::Engine();
    return view && e.wkeIsPageCrashed && e.wkeIsPageCrashed(view);
}

void OnFinished(wkeWebView view, void* param, const wkeString, wkeLoadingResult result,
                const wkeString reason) {
    auto* state = static_cast<FetchState*>(param);
    if (state->message || state->loadFailed) return;  // this link has its answer already
    // The streamer's current room could not be looked up: the shared broadcast has ended.
    if (result == WKE_LOADING_FAILED && state->workflow->lookingUpStreamer()) {
        state->message = state->workflow->AbandonStreamerLookup();
        return;
    }
    if (result == WKE_LOADING_FAILED) {
        state->loadFailed = true;
        state->reason =
            hostctl::Engine().wkeGetString ? hostctl::Engine().wkeGetString(reason) : "";
    }
    if (auto message = state->workflow->FinishFetch(result)) state->message = message;
    // A page that died while it was read holds nothing, whatever the reading said; one
    // that gave its address first has answered.
    bool answered = state->message && state->workflow->lastSucceeded();
    if ((state->message || state->loadFailed) && !answered && PageCrashed(view))
        state->crashed = true;
}

// What the page's answer says of the link: its exit status and, unless it is an address,
// the line that says why.
void Judge(const StreamWorkflow& workflow, const std::string& message, const CliOptions& o,
           LinkResult& result) {
    result.code = kCliFailureMessage;
    switch (workflow.lastOutcome()) {
        case FetchOutcome::kSuccess:
            result.code = kCliSuccess;
            break;
        case FetchOutcome::kVerification:
            result.code = kCliVerification;
            result.refused = true;
            result.line = Utf8(message);
            break;
        case FetchOutcome::kNoAnswer: {
            result.code = kCliLoadFailed;
            // A browser that failed under the read (a remote one that closed the connection,
            // say) is said for what it did, not blamed on the page.
            std::string why = hostctl::EngineFailure();
            result.line =
                !why.empty()
                    ? BrowserFailureLine(why)
                    : "qirlen: the page did not answer: its own script kept it busy or it broke "
                      "down, so the room could not be read";
            break;
        }
        case FetchOutcome::kRefused:
            result.code = kCliLoadFailed;
            result.refused = true;
            result.line =
                Utf8(message) + " (the platform answered with " + workflow.refusalCause() + ")";
            break;
        case FetchOutcome::kNoSuchQuality:
        case FetchOutcome::kNoSuchCodec:
        case FetchOutcome::kNoSuchFormat:
            result.line = NoStreamLine(workflow, o);
            break;
        default:
            result.line = Utf8(message);
            break;
    }
}

// One try at a link in the browser's view: until the page has answered, its load failed,
// the browser failed or, unless the guard keeps the time, the deadline passed.
void Attempt(CliPage& page, FetchState& state, const std::string& link, bool untilGuard,
             Clock::time_point deadline) {
    const hostctl::EngineEntries& e = hostctl::Engine();
    if (e.wkeOnLoadingFinish) e.wkeOnLoadingFinish(page.view, OnFinished, &state);
    state.workflow->StartFetch(link);
    while (!state.message && !state.loadFailed && hostctl::EngineFailure().empty() &&
           (untilGuard || Clock::now() < deadline))
        ServeEngine(200);
    if (e.wkeOnLoadingFinish) e.wkeOnLoadingFinish(page.view, nullptr, nullptr);
}

// How a link's last try ended: the page's answer, or why there is none.
void Outcome(const FetchState& state, const CliOptions& o, LinkResult& result) {
    result.code = kCliLoadFailed;
    if (state.crashed) {
        result.line = "qirlen: the page crashed";
    } else if (state.message) {
        Judge(*result.workflow, *state.message, o, result);
    } else if (std::string why = hostctl::EngineFailure(); !why.empty()) {
        result.line = BrowserFailureLine(why);
    } else if (state.loadFailed && IsPlatformRefusal(state.reason)) {
        result.refused = true;
        result.line = Utf8(texts::FailurePlatformRefused()) +
                      " (the page did not load: " + state.reason + ")";
    } else if (state.loadFailed) {
        result.line = "qirlen: the page did not load: " + state.reason;
    } else {
        result.line = TimeoutLine(o);
    }
}

}  // namespace

LinkResult ResolveInBrowser(CliBrowser& browser, const std::string& link, const CliOptions& o,
                            Clock::time_point deadline, bool untilGuard) {
    for (bool retried = false;; retried = true) {
        LinkResult result;
        if (!browser.Ready()) {
            run_guard::Settle();
            result.code = kCliLoadFailed;
            result.line = browser.failure();
            return result;
        }
        result.workflow = std::make_unique<StreamWorkflow>(browser.page());
        StreamWorkflow& workflow = *result.workflow;
        workflow.SetWish({o.quality, o.codec, o.flv});
        workflow.SetAlwaysReadRoom(o.list || o.json);
        FetchState state;
        state.workflow = &workflow;
        Attempt(browser.page(), state, link, untilGuard, deadline);
        // A browser killed under the link (while it loaded or was read) is no fault of the
        // link's: it gets one more try, in the new browser.
        if (!workflow.lastSucceeded() && !retried && browser.DiedAfterAnswering() &&
            (untilGuard || Clock::now() < deadline))
            continue;
        // A page that did not load, or did not answer in time, may have met a deaf browser.
        bool pageAnswered = state.message && workflow.lastOutcome() != FetchOutcome::kNoAnswer;
        if (!pageAnswered && !state.crashed) browser.Doubt();
        run_guard::Settle();
        Outcome(state, o, result);
        return result;
    }
}

std::string TimeoutLine(const CliOptions& o) {
    return "qirlen: no page arrived within " + std::to_string(o.timeoutSeconds) + " seconds";
}

}  // namespace app
