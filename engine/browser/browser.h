#pragma once
// The browser: its life (started here or attached to elsewhere, ended, or found dead), the
// engine's pages in it, and what happens at the browser's level (new targets, popups, workers,
// downloads). It routes each event of a page's session to its page, and serves its pages what
// they share (PageHost). One browser at a time, for the life of the process.
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/browser/downloads.h"
#include "engine/browser/network_guard.h"
#include "engine/options.h"
#include "engine/page/bound_functions.h"
#include "engine/page/notification_queue.h"
#include "engine/page/page.h"
#include "engine/page/page_host.h"
#include "engine/process/browser_process.h"
#include "engine/protocol/connection.h"

namespace engine {

class Browser : public PageHost {
  public:
    static Browser& Get();

    // ---- life (browser.cc)
    // Records the host's settings for this start and later ones, then starts the browser.
    void Initialize(const wkeSettings* settings);
    // Starts the browser, or attaches to one elsewhere, with the options read now; nothing
    // when it has started already.
    void Initialize();
    bool initialized() const { return initialized_; }
    // Ends the browser and forgets every page; a later call that needs the browser starts a
    // new one. Bound functions stay bound.
    void Shutdown();
    // Kills the browser's process group and removes its profile, from any thread or a signal
    // handler; the engine has no browser afterwards and starts none.
    void Terminate() { process_.Terminate(); }
    bool Ready() override;  // waits until the browser answers (or is known dead)
    bool browserDead() const override { return dead_; }
    // Why the engine has no browser (it could not start or it died); empty while it works.
    const std::string& failure() const { return failure_; }
    bool everAnswered() const { return started_; }
    // Pages that pages opened, closed before they ran.
    int closedPopups() const { return closedPopups_; }
    // Whether the engine works in a browser elsewhere instead of a Chromium of its own.
    bool attachedToRemote() const { return process_.attached(); }
    const EngineOptions& options() const { return options_; }
    const std::string& profileDir() const { return process_.profileDir(); }

    // ---- pages (browser.cc)
    Page* Find(wkeWebView handle) override { return FindById(PageIdOf(handle)); }
    Page* FindById(int id);
    Page* FindBySession(const std::string& session);
    Page* FindByTarget(const std::string& targetId);
    const std::map<int, std::shared_ptr<Page>>& pages() const { return pages_; }
    // Returns at once while the browser is still starting: the page attaches when it answers,
    // and until then keeps its settings. None when the browser is known not to run.
    wkeWebView CreatePage(int width, int height);
    void DestroyPage(Page& page);
    static int PageIdOf(wkeWebView handle) {
        return static_cast<int>(reinterpret_cast<intptr_t>(handle));
    }
    // Binds a function for every page, now and later.
    void Bind(Binding binding);

    // ---- what pages share (PageHost)
    Connection& connection() override { return connection_; }
    NotificationQueue& notifications() override { return notifications_; }
    BoundFunctions& boundFunctions() override { return bound_; }
    const std::string& browserContext() const override { return browserContext_; }
    int scriptTimeoutMs() const override { return options_.scriptTimeoutMs; }

    // ---- for the host's event loop
    // The descriptor the connection reads, while the browser runs; -1 otherwise. A new one
    // comes with each start.
    int connectionFd() const;
    unsigned starts() const { return starts_; }
    // Messages read but not handled yet, or taken off the descriptor but not read.
    bool HasUnread() { return connection_.HasUnhandled() || process_.transport().HasPending(); }
    // Lets the host's event loop know that read messages still wait to be handled.
    void SignalIfUnread();

  private:
    Browser() = default;
    bool StartOrAttach(std::string* why);
    void StopBrowser();
    void OnDeath();
    void Report(const std::string& why);

    // ---- targets (targets.cc)
    void AskWhetherStarted();
    void OnBrowserAnswered();
    void AttachWhenReady(Page& page);
    bool AttachPage(Page& page);
    bool AdoptStartupTab(Page& page);
    bool CreateTarget(Page& page);
    void OnNewPage(const std::string& targetId, const std::string& session, bool waiting);
    void SettleHeldTargets();

    // ---- a browser elsewhere (remote_context.cc)
    // Attached, the engine works in a browser context of its own; `then` runs once it is made.
    void OpenOwnContext(std::function<void()> then);
    void DisposeOwnContext();
    // Attached: a target of another user of the browser, let go untouched. True when it was.
    bool ReleasedForeignTarget(const nlohmann::json& attachedParams);
    // Attached, a download would land on the browser's machine, out of the host's reach.
    void DenyDownloads();

    // ---- events (browser_events.cc)
    void OnEvent(const nlohmann::json& message);
    void OnBrowserEvent(const std::string& method, const nlohmann::json& params);
    void OnPageEvent(Page& page, const std::string& method, const nlohmann::json& params);
    bool ForwardToListener(Page& page, const std::string& method, const nlohmann::json& params);
    bool HoldsBackBridgeMessage(Page& page, const std::string& method,
                                const nlohmann::json& params);

    EngineOptions options_;
    wkeSettings hostSettings_{};  // as the last wkeInitializeEx gave them
    BrowserProcess process_;
    Connection connection_{process_.transport()};
    NetworkGuard guard_;
    Downloads downloads_{*this};
    BoundFunctions bound_;
    NotificationQueue notifications_;
    bool initialized_ = false;
    bool started_ = false;
    bool dead_ = false;
    unsigned starts_ = 0;
    std::string failure_;
    std::string browserContext_;
    std::string startupTab_;  // the blank tab the browser opened with, until a page takes it
    std::map<int, std::shared_ptr<Page>> pages_;
    int nextPage_ = 1;
    struct HeldTarget {
        std::string targetId, session;
        bool waiting = false;
    };
    int creatingTargets_ = 0;  // pages whose targets are being made
    std::vector<HeldTarget> heldTargets_;
    int closedPopups_ = 0;
};

}  // namespace engine
