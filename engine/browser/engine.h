#pragma once
// The engine: one Chromium, the views on it, the functions bound into page script, and
// the queue of notifications for the host's event loop.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "engine/browser/address_space.h"
#include "engine/process/chromium_process.h"
#include "engine/protocol/connection.h"
#include "engine/capi/engine_string.h"
#include "engine/capi/js_values.h"
#include "engine/page/view.h"
#include "engine/transport/websocket_transport.h"
#include "engine/capi/wke.h"

namespace engine {

struct Binding {
    std::string name;
    jsNativeFunction fn = nullptr;
    void* param = nullptr;
    unsigned argCount = 0;
    bool replyOnly = false;  // always answers undefined: calls need not wait for it
    bool runOnly = false;    // only the view's run in progress may call it
};

// The context of one call from page script into a bound function, or a view's global
// context. Handed out as jsExecState.
struct ExecState {
    int view = 0;
    std::vector<jsValue> args;
};

enum class KeyAction { kDown, kUp, kPress };

// How many origin-under-top-level pairs of local storage are kept across runs (those used
// last).
constexpr size_t kKeptStorageEntries = 32;

// The world the engine's own page scripts run in, apart from the page's.
constexpr const char* kEngineWorld = "qirlen-engine";
// The world the host's own reads run in (wkeRunJsInIsolatedWorld), apart from the page's
// and from the engine's watchers.
constexpr const char* kHostReaderWorld = "qirlen-host-reader";

class Engine {
  public:
    static Engine& Get();

    // ---- life (engine.cc)
    void Initialize();
    // Ends everything; `keepValues` leaves the script values readable (the answer of the run
    // in which a bound function asked for the shut-down is still to be read).
    void Shutdown(bool keepValues = false);
    // Kills the browser's process group and removes its profile, from any thread or a signal
    // handler; the engine has no browser afterwards and starts none.
    void TerminateBrowser();
    bool Ready();  // waits until Chromium answers (or is known dead); starts it when needed
    // Attaches a view that was made while Chromium was starting; false when it has no page.
    bool EnsureAttached(View& view);
    bool dead() const { return dead_; }
    // Pages that pages opened, closed before they ran.
    int closedPopups() const { return closedPopups_; }
    // Why the engine has no browser (it could not start or it died); empty while it works.
    const std::string& failure() const { return failure_; }
    bool everAnswered() const { return started_; }
    Connection& connection() { return connection_; }
    ValueTable& values() { return values_; }

    View* Find(wkeWebView handle);
    View* FindBySession(const std::string& session);
    View* FindByTarget(const std::string& targetId);
    wkeWebView CreateView(int width, int height);
    void DestroyView(View& view);
    static wkeWebView HandleOf(const View& view);

    // ---- event loop (engine.cc)
    int EventFd() const { return epollFd_; }
    void Wake(int viewId);
    void Queue(const View& view, std::function<void(View&)> notification);

    // ---- protocol helpers
    CallResult Call(View& view, const std::string& method, const nlohmann::json& params = {},
                    int timeoutMs = 30000);
    void Post(View& view, const std::string& method, const nlohmann::json& params = {});

    // ---- frames (frames.cc)
    std::vector<std::string> FramesInOrder(const View& view) const;
    std::string FrameOfHandle(const View& view, wkeWebFrameHandle handle) const;
    wkeWebFrameHandle HandleOfFrame(const View& view, const std::string& frame) const;

    // ---- script (script.cc)
    jsValue Run(View& view, wkeWebFrameHandle frame, const std::string& utf8, bool inClosure);
    // Runs a script of the host's in the frame's kHostReaderWorld (api_isolated.cc).
    jsValue RunInHostWorld(View& view, wkeWebFrameHandle frame, const std::string& utf8,
                           bool inClosure);
    void Bind(const std::string& name, jsNativeFunction fn, void* param, unsigned argCount,
              bool replyOnly, bool runOnly = false);
    // Calls into run-only functions refused, for one view or (nullptr) for all.
    int64_t DroppedCalls(const View* view) const;
    // Replaces the script that runs at the start of every document of the view (`scriptId`
    // names the one in place) and, when `runNow`, runs it in the documents already there.
    // With a `world`, it runs in that isolated world of each document instead of the page's:
    // the engine's own watchers do, and the bindings they report through exist only there,
    // out of the page's reach (a page could otherwise make the engine believe anything).
    void InstallPageScript(View& view, std::string& scriptId, const std::string& source,
                           bool runNow, const char* world = nullptr);
    void AddEngineBinding(View& view, const char* name);
    // Lets the host's event loop know that read messages still wait to be handled.
    void SignalIfUnhandled();

    // ---- entry points called from inside others (engine.cc)
    void EnterApi() { ++apiDepth_; }
    void LeaveApi();
    bool Nested() const { return apiDepth_ > 1; }
    void ShutdownWhenOutside();
    void DestroyWhenOutside(wkeWebView handle);  // only while Nested()
    jsExecState GlobalExec(const View& view);
    ExecState* State(jsExecState es);

    // ---- loading (loading.cc)
    void Navigate(View& view, const std::string& url);
    void Reload(View& view);
    void StopLoading(View& view);

    // ---- settings (settings.cc)
    // Sends a setting to the view's page and hands its answer to `onAnswer`. While a view
    // attaches, its settings go out together and their answers are awaited once, at the end
    // (ApplySettings); otherwise each waits for its answer.
    void SendSetting(View& view, const std::string& method, const nlohmann::json& params,
                     std::function<void(const CallResult&)> onAnswer = nullptr);
    void ApplySize(View& view);
    void ApplyUserAgent(View& view);
    void ApplyTouch(View& view);
    void ApplyDeviceProfile(View& view);
    void ApplyDebugConfig(View& view, const std::string& name, const char* value);
    void ApplyRequestHooks(View& view);
    void ApplyHoverWatch(View& view);
    void ApplyLifecycleEvents(View& view);
    void ApplyScreencast(View& view);

    // ---- cookies and storage (storage.cc)
    std::string CookiesForPage(View& view);
    nlohmann::json InOwnContext(nlohmann::json params) const;
    std::string CookieSession(const View& view) const;
    void SetCookie(View& view, const std::string& url, const std::string& cookie);
    void VisitCookies(View& view, void* param, wkeCookieVisitor visitor);
    void RestoreCookies(View& view);
    void RestoreLocalStorage(View& view);
    // Sends for what the view keeps and saves it as the answers come; `unanswered` counts
    // the answers still owed, for those who wait (WaitForSaves).
    void SaveStorage(View& view, const std::shared_ptr<int>& unanswered);
    void SaveStorageNow(View& view);  // saves and waits a while for it
    void WaitForSaves(const std::shared_ptr<int>& unanswered);
    void ApplyRestoreScript(View& view);
    // "top origin": the kept storage of one origin under one top-level page is back.
    void OnStorageRestored(View& view, const std::string& partition);
    // A frame has a new document: its origin's storage under the view's top page is kept.
    void NoteStoragePartition(View& view, const std::string& frame);
    int RequestFavicon(View& view, wkeOnNetGetFaviconCallback callback, void* param);

    // ---- input (input.cc)
    bool FireMouse(View& view, unsigned message, int x, int y, unsigned flags);
    bool FireWheel(View& view, int x, int y, int delta, unsigned flags);
    bool FireKey(View& view, KeyAction action, unsigned code, unsigned flags, bool systemKey);
    void SetPageFocus(View& view, bool focused);

    // Whether the engine works in a browser elsewhere instead of a Chromium of its own.
    bool attachedToRemote() const { return attached_; }

  private:
    Engine() = default;
    // ---- the browser's start and end, ours or a remote one (websocket_attach.cc)
    bool StartOrAttach(std::string* why);
    void StopBrowser();
    std::string BrowserExitReason();
    bool BrowserTerminated() const;
    // Attached, the engine works in a browser context of its own; `then` runs once it is made.
    void OpenOwnContext(std::function<void()> then);
    // Attached: a target of another user of the browser, let go untouched. True when it was.
    bool ReleasedForeignTarget(const nlohmann::json& attachedParams);
    // Attached, a download would land on the browser's machine, out of the host's reach.
    void DenyDownloads();
    void OpenEventFd();
    void AskWhetherStarted();
    void OnBrowserAnswered();
    bool AttachView(View& view);
    bool AdoptStartupTab(View& view);
    bool CreateTarget(View& view);
    void AttachWhenReady(View& view);
    void ApplySettings(View& view);
    void SendSettings(View& view);
    void EnableBridge(View& view);
    void OnEvent(const nlohmann::json& message);
    void OnViewEvent(View& view, const std::string& method, const nlohmann::json& params);
    bool HoldsBackBridgeMessage(const View& view, const std::string& method,
                                const nlohmann::json& params) const;
    void DeliverUnansweredCall(View& view);
    // Hands on, in order, the view's bridge messages held back during other views' runs.
    void DeliverHeldBridgeMessages(View& view);
    void OnBrowserEvent(const std::string& method, const nlohmann::json& params);
    void OnNewPage(const std::string& targetId, const std::string& session, bool waiting);
    void SettleHeldTargets();
    void OnDeath();
    void Report(const std::string& why);
    void SaveCookies(View& view, double now, const std::shared_ptr<int>& unanswered);
    void SaveLocalStorage(View& view, double now, const std::shared_ptr<int>& unanswered);
    void OnDownloadEvent(const std::string& method, const nlohmann::json& params);
    void SignalPending();
    void DispatchPending(int viewId);

    // event handlers by domain
    void OnRuntimeEvent(View& view, const std::string& method, const nlohmann::json& params);
    void OnPageEvent(View& view, const std::string& method, const nlohmann::json& params);
    void RemoveDescendants(View& view, const std::string& frame);
    void OnFrameEvent(View& view, const std::string& method, const nlohmann::json& params);
    void OnLoadEvent(View& view, const std::string& method, const nlohmann::json& params);
    void NoteTopDocument(View& view, const std::string& loaderId);
    void OnDebuggerPaused(View& view, const nlohmann::json& params);
    void OnBridgeMessage(View& view, std::string_view payload);
    void OnDialog(View& view, const nlohmann::json& params);
    void OnRequestPaused(View& view, const nlohmann::json& params);
    // Local-network protection (network_guard.cc)
    void OnResponseReceived(View& view, const nlohmann::json& params);
    void OnTopDocument(View& view, const std::string& loaderId, const std::string& url);
    bool RefusedForTopPage(View& view, const nlohmann::json& paused);
    void GuardWorker(const std::string& session, const std::string& scriptUrl);
    void KeepCookiesFirstParty(View& view);
    void OnWorkerRequest(const std::string& session, const nlohmann::json& paused);
    void OnFileChooser(View& view, const nlohmann::json& params);
    void OnWindowOpen(View& view, const nlohmann::json& params);
    void OnTitle(View& view, const std::string& title);
    void OnConsole(View& view, const std::string& method, const nlohmann::json& params);
    void FinishLoad(View& view, wkeLoadingResult result, const std::string& reason);
    void FinishLoadUnlessCrashed(View& view, wkeLoadingResult result, const std::string& reason);
    void OnPageCrashed(View& view);
    void BeginLoad(View& view, const std::string& url);
    // Runs the bound function a page called; its answer as a protocol argument, or nothing
    // for undefined. The values of the call end with it.
    std::optional<nlohmann::json> CallBound(View& view, const nlohmann::json& payload);
    // Whether a call made under `token` may reach `binding` now.
    bool Accepts(View& view, const Binding& binding, std::string_view token);
    void CountDropped(View& view);

    ChromiumProcess process_;
    WebSocketTransport remote_;
    bool attached_ = false;
    AddressSpaces addressSpaces_;
    Connection connection_{process_};
    ValueTable values_;
    bool initialized_ = false;
    bool started_ = false;
    bool dead_ = false;
    std::string failure_;
    std::string browserContext_;
    std::string startupTab_;  // the blank tab the browser opened with, until a view takes it
    std::map<int, std::unique_ptr<View>> views_;
    int nextView_ = 1;
    std::vector<Binding> bindings_;
    std::deque<ExecState> callStack_;
    struct Download {
        int view = 0;
        bool accepted = false;
        std::string url, name;  // the name it is saved under, unless that is taken
    };
    std::map<std::string, Download> downloads_;  // by download id
    int runDepth_ = 0;
    int runView_ = 0;           // the view whose script runs, while runDepth_ > 0
    int64_t droppedCalls_ = 0;  // of every view, destroyed ones included
    int apiDepth_ = 0;
    bool shutdownDeferred_ = false;
    std::vector<wkeWebView> destroyDeferred_;
    struct HeldTarget {
        std::string targetId, session;
        bool waiting = false;
    };
    int creatingTargets_ = 0;  // views whose targets are being made
    std::vector<HeldTarget> heldTargets_;
    int closedPopups_ = 0;
    // Service and shared workers, by session: whether their site is on the public internet.
    std::map<std::string, bool> workers_;

    struct Pending {
        int view;
        std::function<void(View&)> fn;
        bool heldBridgeMessage = false;  // held back while another view's script ran
    };
    std::deque<Pending> pending_;
    // The settings of an attaching view still unanswered, while they are sent together.
    std::shared_ptr<int> settingsUnanswered_;
    int epollFd_ = -1;
    int signalFd_ = -1;  // an eventfd: readable while pending_ is not empty
};

// An http: or https: address: the only kind a page may have the engine open for it.
bool IsWebAddress(const std::string& url);

// A page's name for a download, without directories, leading dots or control characters.
std::string SafeDownloadName(const std::string& suggested);
// The n-th name tried for a download when the ones before are taken: "a.txt", "a (1).txt" ...
std::string NumberedDownloadName(const std::string& name, int n);

// The host's char* texts are GBK (code page 936), like every text of the program; the
// engine works in UTF-8. What does not convert becomes U+FFFD; the rest goes through.
std::string HostText(const char* text);

// How long a script may run before it is stopped (QIRLEN_SCRIPT_TIMEOUT_MS, default 6000;
// the time spent in bound native functions does not count).
int ScriptTimeoutMs();
// The few char* texts that the engine's interface takes as UTF-8, made valid.
std::string Utf8Text(const char* text);

}  // namespace engine
