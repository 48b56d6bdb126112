#include "app/cli_browser.h"

#include <poll.h>

#include <cstdlib>
#include <utility>

#include "app/cli_output.h"
#include "app/run_guard.h"

namespace app {
namespace {

// The command line judges the page it loaded: a window the page opens is never made.
wkeWebView RefuseNewWindow(wkeWebView, void*, wkeNavigationType, const wkeString,
                           const wkeWindowFeatures*) {
    return nullptr;
}

constexpr const char* kBlankPage = "about:blank";

// The blank page's own load, not the end of one it replaced (cancelled) or of the page's own.
void OnBlank(wkeWebView, void* param, const wkeString url, wkeLoadingResult result,
             const wkeString) {
    const hostctl::EngineEntries& e = hostctl::Engine();
    if (result == WKE_LOADING_SUCCEEDED && e.wkeGetString &&
        std::string(e.wkeGetString(url)) == kBlankPage)
        *static_cast<bool*>(param) = true;
}

// A browser that works shows a blank page in a fraction of this, however busy the machine.
constexpr auto kBlankPageWithin = std::chrono::seconds(3);

bool EverAnswered() {
    const hostctl::EngineEntries& e = hostctl::Engine();
    return e.wkeEngineEverAnswered && e.wkeEngineEverAnswered();
}

}  // namespace

void CliPage::SetTouchEnabled(intptr_t v, bool enabled) {
    if (hostctl::Engine().wkeSetTouchEnabled)
        hostctl::Engine().wkeSetTouchEnabled(reinterpret_cast<wkeWebView>(v), enabled);
}

void CliPage::SetUserAgentProperty(const std::string& ua) {
    const hostctl::EngineEntries& e = hostctl::Engine();
    if (!view || !e.wkeSetUserAgent || !e.wkeReload) return;
    e.wkeSetUserAgent(view, ua.c_str());
    e.wkeReload(view);
}

void CliPage::Load(const std::string& address) {
    if (beforeLoad && address != kBlankPage) beforeLoad();
    if (view && hostctl::Engine().wkeLoadURL) hostctl::Engine().wkeLoadURL(view, address.c_str());
}

// A browser that never answered did not start, whenever its end was noticed.
std::string BrowserFailureLine(const std::string& why) {
    return std::string("qirlen: the browser ") +
           (EverAnswered() ? "stopped: " : "could not be started: ") + why;
}

bool ServeEngine(int ms, int fd) {
    const hostctl::EngineEntries& e = hostctl::Engine();
    pollfd watched[2] = {{e.wkeGetEventFd ? e.wkeGetEventFd() : -1, POLLIN, 0}, {fd, POLLIN, 0}};
    int ready = poll(watched, 2, ms);  // a descriptor of -1 is not watched
    if (e.wkeWake) e.wkeWake(nullptr);
    return ready > 0 && watched[1].revents != 0;
}

bool CliBrowser::Ready() {
    if (!failure_.empty()) return false;
    if (!page_.view) return Start();
    if (std::string why = hostctl::EngineFailure(); !why.empty()) {
        if (EverAnswered()) return Replace("stopped: " + why);
        failure_ = BrowserFailureLine(why);
        return false;
    }
    if (deaf_) return Replace("did not answer");
    return true;
}

// Nothing here waits on the browser itself (the blank page is only asked for), so the wait
// is bounded without the run's guard.
void CliBrowser::SettleDoubt() {
    if (!std::exchange(doubted_, false) || !page_.view || !hostctl::EngineFailure().empty()) return;
    if (!ShowsBlankPage(Clock::now() + kBlankPageWithin) && hostctl::EngineFailure().empty())
        deaf_ = true;
}

bool CliBrowser::ShowsBlankPage(Clock::time_point deadline) {
    const hostctl::EngineEntries& e = hostctl::Engine();
    bool blank = false;
    if (e.wkeOnLoadingFinish) e.wkeOnLoadingFinish(page_.view, OnBlank, &blank);
    page_.Load(kBlankPage);
    while (!blank && hostctl::EngineFailure().empty() && Clock::now() < deadline) ServeEngine(200);
    if (e.wkeOnLoadingFinish) e.wkeOnLoadingFinish(page_.view, nullptr, nullptr);
    return blank;
}

bool CliBrowser::DiedAfterAnswering() const {
    return failure_.empty() && page_.view && !hostctl::EngineFailure().empty() && EverAnswered();
}

void CliBrowser::Shutdown() {
    const hostctl::EngineEntries& e = hostctl::Engine();
    if (page_.view && e.wkeShutdown) e.wkeShutdown();
    page_.view = nullptr;
}

void CliBrowser::Forgive() {
    if (failure_.empty()) return;
    failure_.clear();
    doubted_ = deaf_ = false;
    page_.view = nullptr;
    hostctl::EngineLibrary::Restart();
}

bool CliBrowser::Start() {
    setenv("QIRLEN_ENGINE_QUIET", "1", 1);  // the one line about a missing browser is ours
    if (!hostctl::EngineLibrary::Load()) {
        failure_ = "qirlen: the browser could not be started: the engine module node.so is missing";
        return false;
    }
    const hostctl::EngineEntries& e = hostctl::Engine();
    run_guard::SetBrowserTerminator(e.wkeTerminateBrowser);
    if (std::string why = hostctl::EngineFailure(); !why.empty()) {
        failure_ = BrowserFailureLine(why);
        return false;
    }
    page_.view = e.wkeCreateWebWindow
                     ? e.wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 600, 510)
                     : nullptr;
    if (!page_.view) {
        // Making the view is where a browser that has just exited is noticed.
        std::string why = hostctl::EngineFailure();
        failure_ = why.empty() ? "qirlen: the browser could not be started: no view"
                               : BrowserFailureLine(why);
        return false;
    }
    if (e.wkeOnCreateView) e.wkeOnCreateView(page_.view, RefuseNewWindow, nullptr);
    RunStartupSequence(page_);
    return true;
}

// The old browser's whole process group is killed and its profile removed before the new
// one starts.
bool CliBrowser::Replace(const std::string& why) {
    Say("qirlen: a new browser is started: the last one " + why);
    ++replacements_;
    doubted_ = deaf_ = false;
    page_.view = nullptr;
    hostctl::EngineLibrary::Restart();
    return Start();
}

}  // namespace app
