// The session: the engine's life, one view, and loads that are waited for.
#include "qirlen/session.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "automation/script_bridge.h"
#include "platform/text_encoding.h"
#include "sdk/engine_module.h"

namespace qirlen {
namespace {

using Clock = std::chrono::steady_clock;

const engine_loader::EntryPoints* entries = nullptr;  // while a session lives

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

void SetTextEncoding(TextEncoding encoding) {
    platform::SetTextEncoding(encoding == TextEncoding::Utf8 ? platform::TextEncoding::Utf8
                                                             : platform::TextEncoding::Gbk);
}

TextEncoding GetTextEncoding() {
    return platform::CurrentTextEncoding() == platform::TextEncoding::Utf8 ? TextEncoding::Utf8
                                                                           : TextEncoding::Gbk;
}

Session::Session() {
    std::string why;
    const engine_loader::EntryPoints* acquired = detail::AcquireEngine(why);
    if (!acquired) {
        Fail(why);
        return;
    }
    entries = acquired;
    view_ = entries->wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 800, 600);
    if (!view_) {
        std::string failure = engine_loader::EngineFailure(*entries);
        Fail("the engine made no view" + (failure.empty() ? "" : ": " + failure));
        detail::ReleaseEngine();
        return;
    }
    entries->wkeOnLoadingFinish(view_, OnLoadingFinished, this);
    // A window the page opens needs a host that makes one (wkeOnCreateView on View()); the
    // engine would otherwise load it in this view, and every later operation would answer
    // for the page's choice instead of the page the program loaded.
    entries->wkeSetNavigationToNewWindowEnable(view_, true);
    automation_.BindView(view_);
}

Session::~Session() {
    if (!view_) return;
    entries->wkeDestroyWebWindow(view_);
    detail::ReleaseEngine();
}

bool Session::Fail(const std::string& utf8Reason) {
    error_ = platform::Utf8ToText(utf8Reason);
    return false;
}

void Session::OnLoadingFinished(wkeWebView, void* param, const wkeString, wkeLoadingResult result,
                                const wkeString reason) {
    auto* self = static_cast<Session*>(param);
    // A load replaced by a newer one is not the answer anybody waits for.
    if (result == WKE_LOADING_CANCELED) return;
    ++self->finishedLoads_;
    if (result == WKE_LOADING_SUCCEEDED) ++self->pagesLoaded_;
    self->lastResult_ = result;
    const char* text = reason ? entries->wkeGetString(reason) : nullptr;
    self->lastReason_ = text ? text : "";
}

bool Session::Load(const std::string& url, int timeoutMs) {
    if (!view_) return false;  // Error() still says why the session did not start
    error_.clear();
    auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    // What the last page still had queued must not be taken for this load's end.
    Pump(0);
    int before = finishedLoads_;
    entries->wkeLoadURLW(view_, platform::TextToUtf16(url).c_str());
    auto ended = [&] {
        return finishedLoads_ > before || !engine_loader::EngineFailure(*entries).empty();
    };
    if (!PumpUntil(ended, MillisecondsLeft(deadline))) {
        return Fail("the page did not load within " + std::to_string(timeoutMs) + " ms");
    }
    if (finishedLoads_ == before)
        return Fail("the browser stopped: " + engine_loader::EngineFailure(*entries));
    if (lastResult_ != WKE_LOADING_SUCCEEDED)
        return Fail("the page failed to load" + (lastReason_.empty() ? "" : ": " + lastReason_));
    if (!WaitForFrames(MillisecondsLeft(deadline)))
        return Fail("the page's frames did not finish loading within " + std::to_string(timeoutMs) +
                    " ms");
    return true;
}

// The main frame's end says little about frames made by its script: every frame the page
// counts must answer, each with its document complete. The count slot keeps what the last
// count said, so it is emptied first: a count this page did not give (its walk over its
// frames failed) is none, never the page before's.
bool Session::WaitForFrames(int timeoutMs) {
    auto allComplete = [&] {
        std::vector<int32_t> frames;
        automation::Bridge().frameTotalReply = 0;
        int32_t count = automation_.GetFrameIds(frames);
        if (count < 1 || static_cast<int32_t>(frames.size()) != count) return false;
        for (int32_t frame : frames)
            if (automation_.GetReadyState(frame) != "complete") return false;
        return true;
    };
    return PumpUntil(allComplete, timeoutMs);
}

void Session::Pump(int ms) {
    PumpUntil([] { return false; }, ms);
}

bool Session::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        if (done()) return true;
        if (!entries) return false;
        int left = MillisecondsLeft(deadline);
        // Waits on the engine's descriptor, so an idle wait costs nothing; the step bounds how
        // late a condition that no notification announces is seen.
        pollfd pfd{entries->wkeGetEventFd(), POLLIN, 0};
        poll(&pfd, 1, std::min(left, 20));
        entries->wkeWake(nullptr);
        if (left == 0) return done();
    }
}

}  // namespace qirlen
