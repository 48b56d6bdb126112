#include "engine/browser/engine.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "engine/page/bounds.h"
#include "engine/protocol/protocol_log.h"
#include "platform/codepage.h"

extern "C" const char engine_title_js[];

namespace engine {

namespace {
constexpr int kStartTimeoutMs = 20000;

}  // namespace

// A host that tells its user itself (through wkeEngineFailure) sets QIRLEN_ENGINE_QUIET.
void Engine::Report(const std::string& why) {
    failure_ = why;
    const char* quiet = std::getenv("QIRLEN_ENGINE_QUIET");
    if (quiet && *quiet && *quiet != '0') return;
    std::fprintf(stderr, "qirlen engine: %s; web views have no page.\n", why.c_str());
}

std::string HostText(const char* text) {
    return text ? platform::GbkToUtf8(text) : std::string();
}

std::string Utf8Text(const char* text) {
    return text ? platform::Utf16ToUtf8(platform::Utf8ToUtf16(text)) : std::string();
}

Engine& Engine::Get() {
    static Engine* engine = new Engine();  // lives until the process ends
    return *engine;
}

void Engine::Initialize() {
    if (initialized_) return;
    initialized_ = true;
    failure_.clear();  // a new start after the browser died
    // A host that never calls wkeShutdown still leaves no browser profile behind, and its
    // views' cookies and storage are kept. After wkeTerminateBrowser there is nothing left to
    // end, and the exiting thread may not be the engine's.
    static bool exitHandler = std::atexit([] {
                                  if (!Get().BrowserTerminated()) Get().Shutdown();
                              }) == 0;
    (void)exitHandler;
    OpenEventFd();
    epoll_event ev{};
    ev.events = EPOLLIN;

    connection_.SetEventHandler([this](const nlohmann::json& m) { OnEvent(m); });
    connection_.SetDeathHandler([this] { OnDeath(); });
    std::string why;
    if (!StartOrAttach(&why)) {
        dead_ = true;
        Report(why);
        return;
    }
    addressSpaces_.Configure(attached_ ? std::vector<std::string>{} : process_.switches());
    ev.data.fd = connection_.readFd();
    epoll_ctl(epollFd_, EPOLL_CTL_ADD, connection_.readFd(), &ev);
    AskWhetherStarted();
}

// The host watches one descriptor for the engine's whole life: a new browser after
// wkeShutdown is watched through the same one.
void Engine::OpenEventFd() {
    if (epollFd_ >= 0) return;
    epollFd_ = epoll_create1(EPOLL_CLOEXEC);
    signalFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = signalFd_;
    epoll_ctl(epollFd_, EPOLL_CTL_ADD, signalFd_, &ev);
}

// Chromium is asked at once whether it is up, without waiting for the answer: views can be
// made and set up meanwhile, and attach when it comes.
void Engine::AskWhetherStarted() {
    // The same command asks Chromium to report new targets (for popups).
    connection_.Post("Target.setDiscoverTargets", {{"discover", true}}, "",
                     [this](const CallResult& r) {
                         if (!r.ok) return;
                         if (attached_)
                             OpenOwnContext([this] { OnBrowserAnswered(); });
                         else
                             OnBrowserAnswered();
                     });
}

void Engine::OnBrowserAnswered() {
    started_ = true;
    // Every new page and service or shared worker is held before it runs: a page
    // that a page opened (window.open, a link to a new window) is closed before it
    // loads anything, a worker's requests are guarded (OnNewPage, GuardWorker), and
    // the engine's own views are let go.
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
    if (attached_)
        DenyDownloads();
    else
        connection_.Post("Browser.setDownloadBehavior",
                         {{"behavior", "allowAndName"},
                          {"downloadPath", process_.profileDir() + "/downloads"},
                          {"eventsEnabled", true}},
                         "");
    for (auto& [id, view] : views_)
        if (!view->attached) AttachWhenReady(*view);
}

bool Engine::Ready() {
    if (!initialized_) Initialize();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (!dead_ && !started_ && std::chrono::steady_clock::now() < deadline)
        connection_.Pump(100);
    if (!started_ && !dead_) {
        dead_ = true;
        Report(attached_ ? "the remote browser did not answer in time"
                         : "Chromium did not answer in time");
        StopBrowser();
    }
    return started_ && !dead_;
}

bool Engine::EnsureAttached(View& view) {
    if (!view.attached && !dead_) Ready();  // attaches the waiting views
    return view.attached;
}

void Engine::AttachWhenReady(View& view) {
    bool attached = false;
    try {
        attached = AttachView(view);
    } catch (...) {
        TraceCaught("attaching a view");
    }
    if (!attached) {
        view.session.clear();
    }
}

// Ends Chromium and forgets every view; a later call that needs the browser starts a new
// one. Bound functions stay bound.
void Engine::Shutdown(bool keepValues) {
    if (!initialized_) return;
    auto unanswered = std::make_shared<int>(0);
    for (auto& [id, view] : views_) SaveStorage(*view, unanswered);
    WaitForSaves(unanswered);
    views_.clear();
    pending_.clear();
    callStack_.clear();
    if (!keepValues) values_.Clear();
    if (connection_.readFd() >= 0)
        epoll_ctl(epollFd_, EPOLL_CTL_DEL, connection_.readFd(), nullptr);
    StopBrowser();
    connection_.Reset();
    if (signalFd_ >= 0) {  // nothing is pending any more
        uint64_t drained;
        (void)!read(signalFd_, &drained, sizeof drained);
    }
    initialized_ = started_ = dead_ = false;
    creatingTargets_ = 0;
    heldTargets_.clear();
    startupTab_.clear();
    workers_.clear();
}

void Engine::OnDeath() {
    bool wasAlive = !dead_;
    dead_ = true;
    std::string why = BrowserExitReason();
    if (connection_.readFd() >= 0)
        epoll_ctl(epollFd_, EPOLL_CTL_DEL, connection_.readFd(), nullptr);
    // A host that ended the browser itself is on its way out and knows why.
    if (wasAlive && BrowserTerminated())
        failure_ = why;
    else if (wasAlive)
        Report(why);
    for (auto& [id, view] : views_) {
        view->session.clear();
        view->contexts.clear();
        FinishLoad(*view, WKE_LOADING_FAILED, why);
    }
}

// Only what the process object fixed at its start is touched: the engine's thread may be
// anywhere, in a call that waits for the browser.
void Engine::TerminateBrowser() {
    process_.Terminate();
    remote_.Terminate();
}

View* Engine::Find(wkeWebView handle) {
    auto it = views_.find(static_cast<int>(reinterpret_cast<intptr_t>(handle)));
    return it == views_.end() ? nullptr : it->second.get();
}

View* Engine::FindBySession(const std::string& session) {
    for (auto& [id, view] : views_)
        if (view->session == session) return view.get();
    return nullptr;
}

View* Engine::FindByTarget(const std::string& targetId) {
    for (auto& [id, view] : views_)
        if (view->targetId == targetId) return view.get();
    return nullptr;
}

wkeWebView Engine::HandleOf(const View& view) {
    return reinterpret_cast<wkeWebView>(static_cast<intptr_t>(view.id));
}

// Returns at once while Chromium is still starting: the view attaches when Chromium answers,
// and until then keeps its settings. 0 when the browser is known not to run.
wkeWebView Engine::CreateView(int width, int height) {
    if (!initialized_) Initialize();
    if (!dead_) connection_.Pump(0);  // learn of a browser that already exited
    if (dead_) return nullptr;
    int id = nextView_++;
    auto& view = views_[id];
    view = std::make_unique<View>();
    view->id = id;
    view->width = width > 0 ? width : 800;
    view->height = height > 0 ? height : 600;
    if (started_) {
        AttachWhenReady(*view);
        if (!view->attached) {
            views_.erase(id);
            return nullptr;
        }
    }
    return HandleOf(*views_[id]);
}

// The browser's first tab goes to the first view: its renderer has been starting since the
// browser did. Its window takes the view's size, as a created one has.
bool Engine::AdoptStartupTab(View& view) {
    if (startupTab_.empty()) return false;
    view.targetId = std::exchange(startupTab_, "");
    int width = view.width, height = view.height;
    connection_.Post("Browser.getWindowForTarget", {{"targetId", view.targetId}}, "",
                     [this, width, height](const CallResult& window) {
                         if (!window.ok) return;
                         connection_.Post("Browser.setWindowBounds",
                                          {{"windowId", window.result.value("windowId", 0)},
                                           {"bounds", {{"width", width}, {"height", height}}}},
                                          "");
                     });
    return true;
}

bool Engine::CreateTarget(View& view) {
    ++creatingTargets_;
    CallResult created;
    try {
        nlohmann::json target = {{"url", "about:blank"},
                                 {"newWindow", true},
                                 {"width", view.width},
                                 {"height", view.height}};
        if (!browserContext_.empty()) target["browserContextId"] = browserContext_;
        created = connection_.Call("Target.createTarget", target, "");
    } catch (...) {
        TraceCaught("creating a page");
    }
    --creatingTargets_;
    if (created.ok) view.targetId = created.result.value("targetId", "");
    SettleHeldTargets();
    return created.ok;
}

bool Engine::AttachView(View& view) {
    bool adopted = AdoptStartupTab(view);
    if (!adopted && !CreateTarget(view)) return false;
    auto attach = [&] {
        return connection_.Call("Target.attachToTarget",
                                {{"targetId", view.targetId}, {"flatten", true}}, "");
    };
    CallResult attached = attach();
    // The first tab may be gone by now (closed from elsewhere): a new one does as well.
    if (!attached.ok && adopted && !dead_ && CreateTarget(view)) attached = attach();
    if (!attached.ok) return false;
    view.session = attached.result.value("sessionId", "");
    // Sent together; the frame tree's answer comes after the others.
    Post(view, "Page.enable");
    Post(view, "Runtime.enable");
    // Only to learn where each page came from; no bodies are kept for the protocol.
    Post(view, "Network.enable",
         {{"maxTotalBufferSize", 0}, {"maxResourceBufferSize", 0}, {"maxPostDataSize", 0}});
    KeepCookiesFirstParty(view);
    Post(view, "Page.setInterceptFileChooserDialog", {{"enabled", true}});
    AddEngineBinding(view, "__qirlenTitle");
    Post(view, "Page.addScriptToEvaluateOnNewDocument",
         {{"source",
           "(" + std::string(engine_title_js) + ")(" + std::to_string(kMaxTitleChars) + ");"},
          {"worldName", kEngineWorld}});
    CallResult tree = Call(view, "Page.getFrameTree");
    if (!tree.ok) return false;
    std::function<void(const nlohmann::json&, const std::string&)> add =
        [&](const nlohmann::json& node, const std::string& parent) {
            std::string id = node["frame"].value("id", "");
            view.frames[id].parent = parent;
            view.frames[id].url = node["frame"].value("url", "");
            if (parent.empty())
                view.mainFrame = id;
            else
                view.frames[parent].children.push_back(id);
            for (const auto& child : node.value("childFrames", nlohmann::json::array()))
                add(child, id);
        };
    add(tree.result["frameTree"], "");
    view.attached = true;
    ApplySettings(view);
    return true;
}

void Engine::DestroyView(View& view) {
    int id = view.id;
    SaveStorageNow(view);
    if (!view.session.empty())
        connection_.Post("Target.closeTarget", {{"targetId", view.targetId}}, "");
    std::erase_if(pending_, [id](const Pending& p) { return p.view == id; });
    views_.erase(id);
}

CallResult Engine::Call(View& view, const std::string& method, const nlohmann::json& params,
                        int timeoutMs) {
    if (view.session.empty()) return {false, {}, "the view has no page"};
    return connection_.Call(method, params.is_null() ? nlohmann::json::object() : params,
                            view.session, timeoutMs);
}

void Engine::Post(View& view, const std::string& method, const nlohmann::json& params) {
    if (view.session.empty()) return;
    connection_.Post(method, params.is_null() ? nlohmann::json::object() : params, view.session);
}

// ---- event loop -------------------------------------------------------------------------

void Engine::Queue(const View& view, std::function<void(View&)> notification) {
    pending_.push_back({view.id, std::move(notification)});
    SignalPending();
}

void Engine::SignalPending() {
    uint64_t one = 1;
    if (signalFd_ >= 0) (void)!write(signalFd_, &one, sizeof one);
}

void Engine::Wake(int viewId) {
    if (!initialized_) return;  // nothing to wake: the engine starts with wkeInitializeEx
    if (runDepth_ > 0) return;  // from inside a bound function: notifications wait for the loop
    if (!dead_) connection_.Pump(0);
    DispatchPending(viewId);
}

void Engine::SignalIfUnhandled() {
    if (!dead_ && (connection_.HasUnhandled() || remote_.HasPending())) SignalPending();
}

// Shutting down or destroying a view from inside a bound function or a notification would
// pull the ground from under the call that is still running: it waits until that call
// has returned.
void Engine::ShutdownWhenOutside() {
    if (Nested())
        shutdownDeferred_ = true;
    else
        Shutdown();
}

void Engine::DestroyWhenOutside(wkeWebView handle) {
    destroyDeferred_.push_back(handle);
}

void Engine::LeaveApi() {
    if (--apiDepth_ > 0) return;
    std::vector<wkeWebView> doomed = std::move(destroyDeferred_);
    destroyDeferred_.clear();
    for (wkeWebView handle : doomed) wkeDestroyWebWindow(handle);
    if (shutdownDeferred_) {
        shutdownDeferred_ = false;
        Shutdown(true);
    }
    SignalIfUnhandled();
}

void Engine::DispatchPending(int viewId) {
    // One at a time: a notification may queue others, destroy views or run scripts.
    for (;;) {
        auto it = std::find_if(pending_.begin(), pending_.end(), [viewId](const Pending& p) {
            return viewId == 0 || p.view == viewId;
        });
        if (it == pending_.end()) break;
        Pending next = std::move(*it);
        pending_.erase(it);
        auto view = views_.find(next.view);
        if (view != views_.end()) next.fn(*view->second);
    }
    if (pending_.empty() && !connection_.HasUnhandled() && !remote_.HasPending() &&
        signalFd_ >= 0) {
        uint64_t drained;
        (void)!read(signalFd_, &drained, sizeof drained);
    }
}

// ---- protocol events --------------------------------------------------------------------

void Engine::OnEvent(const nlohmann::json& message) {
    std::string method = message.value("method", "");
    const nlohmann::json& params = message.contains("params") && message["params"].is_object()
                                       ? message["params"]
                                       : nlohmann::json::object();
    auto session = message.find("sessionId");
    if (session == message.end() || !session->is_string()) {
        OnBrowserEvent(method, params);
        return;
    }
    View* view = FindBySession(session->get<std::string>());
    if (!view) {
        if (method == "Fetch.requestPaused") OnWorkerRequest(session->get<std::string>(), params);
        return;
    }
    if (HoldsBackBridgeMessage(*view, method, params)) {
        // Delivered from the event loop once the running script's answers have been read,
        // in the order they came, behind any held back before.
        ++view->deferredBridgeMessages;
        Queue(*view, [this, method, params](View& v) {
            --v.deferredBridgeMessages;
            OnViewEvent(v, method, params);
        });
        pending_.back().heldBridgeMessage = true;
        return;
    }
    OnViewEvent(*view, method, params);
}

// While one view's script runs, the bridge messages of another view's page wait: their
// native functions would write into the reply slots the running operation reads.
bool Engine::HoldsBackBridgeMessage(const View& view, const std::string& method,
                                    const nlohmann::json& params) const {
    bool bridge = method == "Debugger.paused" ||
                  (method == "Runtime.bindingCalled" && params.value("name", "") == "__qirlenCall");
    if (!bridge) return false;
    if (view.deferredBridgeMessages > 0) return true;
    return runDepth_ > 0 && view.id != runView_;
}

void Engine::OnViewEvent(View& view, const std::string& method, const nlohmann::json& params) {
    if (method.rfind("Runtime.", 0) == 0)
        OnRuntimeEvent(view, method, params);
    else if (method == "Debugger.paused")
        OnDebuggerPaused(view, params);
    else if (method == "Fetch.requestPaused")
        OnRequestPaused(view, params);
    else if (method == "Network.responseReceived")
        OnResponseReceived(view, params);
    else if (method.rfind("Page.", 0) == 0)
        OnPageEvent(view, method, params);
    else if (method == "Inspector.targetCrashed")
        OnPageCrashed(view);
}

void Engine::OnBrowserEvent(const std::string& method, const nlohmann::json& params) {
    if (method == "Target.targetCreated" && !started_ && !attached_) {
        // Before the browser has answered, the only page is the one it opened with.
        const auto& info = params.value("targetInfo", nlohmann::json::object());
        if (info.value("type", "") == "page") startupTab_ = info.value("targetId", "");
    } else if (method == "Target.attachedToTarget") {
        if (ReleasedForeignTarget(params)) return;
        const auto& info = params.value("targetInfo", nlohmann::json::object());
        if (info.value("type", "") == "page")
            OnNewPage(info.value("targetId", ""), params.value("sessionId", ""),
                      params.value("waitingForDebugger", false));
        else
            GuardWorker(params.value("sessionId", ""), info.value("url", ""));
    } else if (method == "Target.detachedFromTarget") {
        workers_.erase(params.value("sessionId", ""));
        if (View* view = FindBySession(params.value("sessionId", ""))) {
            view->session.clear();
            view->contexts.clear();
            FinishLoad(*view, WKE_LOADING_FAILED, "the page was closed");
        }
    } else if (method == "Browser.downloadWillBegin" || method == "Browser.downloadProgress") {
        OnDownloadEvent(method, params);
    }
}

// A page that was held before it ran. The engine's own views go on; any other page was opened
// by a page (the host decides through its create-view callback where such an address goes),
// and is closed before it has loaded anything. Its opener waits inside window.open until the
// page runs, so it is let run with every request it could make held, unanswered, and closed
// at once. While a view of the engine is being made, pages wait for the verdict until its
// target is known.
void Engine::OnNewPage(const std::string& targetId, const std::string& session, bool waiting) {
    if (targetId == startupTab_) {
        // kept for the first view, which attaches on its own
        connection_.Post("Target.detachFromTarget", {{"sessionId", session}}, "");
    } else if (FindByTarget(targetId)) {
        if (!waiting) return;  // the view's own session, attached on purpose
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

void Engine::SettleHeldTargets() {
    if (creatingTargets_ > 0) return;
    auto held = std::move(heldTargets_);
    heldTargets_.clear();
    for (const auto& page : held) OnNewPage(page.targetId, page.session, page.waiting);
}

}  // namespace engine
