#include "engine/browser/browser.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "engine/protocol/protocol_log.h"

namespace engine {

namespace {
constexpr int kStartTimeoutMs = 20000;
}  // namespace

Browser& Browser::Get() {
    static Browser* browser = new Browser();  // lives until the process ends
    return *browser;
}

// A host that tells its user itself (through wkeEngineFailure) sets QIRLEN_ENGINE_QUIET.
void Browser::Report(const std::string& why) {
    failure_ = why;
    if (options_.quiet) return;
    std::fprintf(stderr, "qirlen engine: %s; web views have no page.\n", why.c_str());
}

void Browser::Initialize(const wkeSettings* settings) {
    hostSettings_ = settings ? *settings : wkeSettings{};
    Initialize();
}

void Browser::Initialize() {
    if (initialized_) return;
    initialized_ = true;
    failure_.clear();  // a new start after the browser died
    // Read at every start: a host may point the engine elsewhere (QIRLEN_BROWSER_URL, say)
    // before it starts a new browser after a shutdown.
    options_ = ReadEngineOptions(&hostSettings_);
    SetProtocolLog(options_.protocolLog);
    // A host that never calls wkeShutdown still leaves no browser profile behind, and its
    // views' cookies and storage are kept. After wkeTerminateBrowser there is nothing left to
    // end, and the exiting thread may not be the engine's.
    static bool exitHandler = std::atexit([] {
                                  if (!Get().process_.terminated()) Get().Shutdown();
                              }) == 0;
    (void)exitHandler;
    notifications_.Open();
    connection_.SetEventHandler([this](const nlohmann::json& m) { OnEvent(m); });
    connection_.SetDeathHandler([this] { OnDeath(); });
    std::string why;
    if (!StartOrAttach(&why)) {
        dead_ = true;
        Report(why);
        return;
    }
    guard_.Configure(process_.attached() ? std::vector<std::string>{} : process_.switches());
    AskWhetherStarted();
}

bool Browser::StartOrAttach(std::string* why) {
    ++starts_;
    browserContext_.clear();
    bool started = process_.Start(options_, why);
    connection_.Use(process_.transport());
    return started;
}

// A browser of our own ends with its profile. One elsewhere goes on: only our context goes,
// and with it our pages.
void Browser::StopBrowser() {
    if (process_.attached()) DisposeOwnContext();
    process_.Stop();
}

bool Browser::Ready() {
    if (!initialized_) Initialize();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (!dead_ && !started_ && std::chrono::steady_clock::now() < deadline)
        connection_.Pump(100);
    if (!started_ && !dead_) {
        dead_ = true;
        Report(process_.attached() ? "the remote browser did not answer in time"
                                   : "Chromium did not answer in time");
        StopBrowser();
    }
    return started_ && !dead_;
}

void Browser::Shutdown() {
    if (!initialized_) return;
    auto unanswered = std::make_shared<int>(0);
    for (auto& [id, page] : pages_) page->storage().Save(unanswered);
    WaitForSaves(*this, unanswered);
    pages_.clear();
    notifications_.Clear();
    StopBrowser();
    connection_.Reset();
    notifications_.Drain();  // nothing is pending any more
    initialized_ = started_ = dead_ = false;
    creatingTargets_ = 0;
    heldTargets_.clear();
    startupTab_.clear();
    guard_.Clear();
}

void Browser::OnDeath() {
    bool wasAlive = !dead_;
    dead_ = true;
    std::string why = process_.ExitReason();
    // A host that ended the browser itself is on its way out and knows why.
    if (wasAlive && process_.terminated())
        failure_ = why;
    else if (wasAlive)
        Report(why);
    for (auto& [id, page] : pages_) page->OnSessionGone(why);
}

int Browser::connectionFd() const {
    return initialized_ && !dead_ ? connection_.readFd() : -1;
}

void Browser::SignalIfUnread() {
    if (!dead_ && HasUnread()) notifications_.Signal();
}

Page* Browser::FindById(int id) {
    auto it = pages_.find(id);
    return it == pages_.end() ? nullptr : it->second.get();
}

Page* Browser::FindBySession(const std::string& session) {
    for (auto& [id, page] : pages_)
        if (page->session().id() == session) return page.get();
    return nullptr;
}

Page* Browser::FindByTarget(const std::string& targetId) {
    for (auto& [id, page] : pages_)
        if (page->targetId() == targetId) return page.get();
    return nullptr;
}

wkeWebView Browser::CreatePage(int width, int height) {
    if (!initialized_) Initialize();
    if (!dead_) connection_.Pump(0);  // learn of a browser that already exited
    if (dead_) return nullptr;
    int id = nextPage_++;
    auto page =
        std::make_shared<Page>(*this, id, width > 0 ? width : 800, height > 0 ? height : 600);
    pages_[id] = page;
    if (started_) {
        AttachWhenReady(*page);
        if (!page->attached()) {
            pages_.erase(id);
            return nullptr;
        }
    }
    return page->handle();
}

void Browser::DestroyPage(Page& page) {
    int id = page.id();
    page.Close();
    notifications_.Forget(id);
    guard_.Forget(id);
    pages_.erase(id);
}

void Browser::Bind(Binding binding) {
    bound_.Bind(std::move(binding));
    for (auto& [id, page] : pages_) page->scripts().EnableBridge();
}

}  // namespace engine
