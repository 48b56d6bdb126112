#pragma once
// One web view's page: its target and session, and the parts that own its concerns (frames,
// loading, settings, input, scripts, what it keeps), each in a file of its own. The page
// handles its session's events; it reaches the browser only through its PageHost.
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/capi/engine_string.h"
#include "engine/capi/wke.h"
#include "engine/page/bound_functions.h"
#include "engine/page/frame_tree.h"
#include "engine/page/host_callbacks.h"
#include "engine/page/input.h"
#include "engine/page/loading.h"
#include "engine/page/notification_queue.h"
#include "engine/page/page_host.h"
#include "engine/page/page_scripts.h"
#include "engine/page/page_storage.h"
#include "engine/page/settings.h"
#include "engine/protocol/session.h"

namespace engine {

class Page : public std::enable_shared_from_this<Page> {
  public:
    Page(PageHost& host, int id, int width, int height);
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    int id() const { return id_; }
    wkeWebView handle() const { return HandleOf(id_); }
    static wkeWebView HandleOf(int id) { return reinterpret_cast<wkeWebView>(intptr_t{id}); }
    PageHost& host() const { return host_; }

    // ---- life (page.cc)
    const std::string& targetId() const { return targetId_; }
    void SetTarget(std::string targetId) { targetId_ = std::move(targetId); }
    // Takes up the page's session and enables the protocol domains it needs.
    void Open(const std::string& session);
    // Once open: the engine's watchers, the frame tree, and every setting made so far.
    bool Attach();
    bool attached() const { return attached_; }
    // Attaches a page that was made while the browser was starting; false when it has no page.
    bool EnsureAttached();
    // The page's session ended (closed, or its browser gone): its load fails with `why`.
    void OnSessionGone(const std::string& why);
    // Saves what the view keeps and closes its target.
    void Close();
    // An event of the page's session.
    void OnEvent(const std::string& method, const nlohmann::json& params);
    // A request held before it was sent (page_events.cc); `refused` says whether the network
    // guard refuses it, asked only when it matters.
    void OnRequestPaused(const nlohmann::json& params, const std::function<bool()>& refused);
    // Asks for the page's icon, handed to `callback` from the event loop (favicon.cc).
    int RequestFavicon(wkeOnNetGetFaviconCallback callback, void* param);

    // A notification for the host's callbacks, delivered from its event loop.
    void Queue(Notification notification);

    // ---- parts
    Session& session() { return session_; }
    const Session& session() const { return session_; }
    FrameTree& frames() { return frames_; }
    const FrameTree& frames() const { return frames_; }
    PageLoader& loader() { return loader_; }
    const PageLoader& loader() const { return loader_; }
    PageSettings& settings() { return settings_; }
    const PageSettings& settings() const { return settings_; }
    PageInput& input() { return input_; }
    PageScripts& scripts() { return scripts_; }
    PageStorage& storage() { return storage_; }
    Callbacks& on() { return on_; }
    const Callbacks& on() const { return on_; }
    HostData& hostData() { return hostData_; }

  private:
    void OnRuntimeEvent(const std::string& method, const nlohmann::json& params);
    void OnPageEvent(const std::string& method, const nlohmann::json& params);
    void OnFrameEvent(const std::string& method, const nlohmann::json& params);
    void QueueUrlChanged(const std::string& frame, const std::string& url);
    void OnTitle(const std::string& title);
    void OnDialog(const nlohmann::json& params);
    void OnWindowOpen(const nlohmann::json& params);
    void OnFileChooser(const nlohmann::json& params);
    void OnScreencastFrame(const nlohmann::json& params);
    void OnConsole(const std::string& method, const nlohmann::json& params);

    PageHost& host_;
    const int id_;
    std::string targetId_;
    Session session_;
    bool attached_ = false;  // has had its page session

    FrameTree frames_;
    PageLoader loader_{*this};
    PageSettings settings_{*this};
    PageInput input_{*this};
    PageScripts scripts_{*this};
    PageStorage storage_{*this};
    Callbacks on_;
    HostData hostData_;
};

// An http: or https: address: the only kind a page may have the engine open for it.
bool IsWebAddress(const std::string& url);

}  // namespace engine
