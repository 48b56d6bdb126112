#pragma once
// Chromium runs without the same-origin policy (frames reach the bridge through window.top),
// and that switch also turns off its checks of requests from public pages to loopback and the
// local network. The guard makes them itself: while a page's top-level document came from the
// public internet, its requests for anything else (fetches, XHR, frames, subresources and every
// redirect, each held before it is sent) are refused, and so are those of a public site's
// service and shared workers. Pages that are themselves local keep working. Where a page came
// from is what Chromium connected to for it, judged with the address-space overrides Chromium
// was given. Cookies go only with requests within the top-level page's own site: any other
// page could read what they answer.
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/browser/address_space.h"
#include "engine/protocol/connection.h"
#include "engine/protocol/session.h"

namespace engine {

class Page;

class NetworkGuard {
  public:
    // Judges addresses as a Chromium started with `switches` does.
    void Configure(const std::vector<std::string>& switches) { spaces_.Configure(switches); }

    // ---- pages
    // A document's answer: one from the internet for the main frame raises the guard at once.
    void OnResponseReceived(const Page& page, const nlohmann::json& params);
    // The main frame has a new document.
    void OnTopDocument(const Page& page, const std::string& loaderId, const std::string& url);
    // Whether a request the page holds before it is sent must fail.
    bool RefusedForTopPage(const Page& page, const nlohmann::json& paused);
    static void KeepCookiesFirstParty(const Session& session);
    void Forget(int page) { pages_.erase(page); }

    // ---- service and shared workers, by session
    void GuardWorker(Connection& connection, const std::string& session,
                     const std::string& scriptUrl,
                     const std::map<int, std::shared_ptr<Page>>& pages);
    // A request of a worker, or of a page the browser is closing (held unanswered until it
    // goes).
    void OnWorkerRequest(Connection& connection, const std::string& session,
                         const nlohmann::json& paused);
    void ForgetWorker(const std::string& session) { workers_.erase(session); }

    void Clear() {
        pages_.clear();
        workers_.clear();
    }

  private:
    struct PageState {
        // Whether the top-level page came from the public internet: its requests to loopback
        // and the local network are refused. Raised as soon as such a page's answer arrives,
        // lowered only when a page from elsewhere has replaced it.
        bool topPublic = false;
        std::map<std::string, bool> documentsPublic;  // loader id -> came from the internet
    };

    AddressSpaces spaces_;
    std::map<int, PageState> pages_;
    // Whether each worker's site is on the public internet.
    std::map<std::string, bool> workers_;
};

}  // namespace engine
