// Chromium runs without the same-origin policy (frames reach the bridge through window.top),
// and that switch also turns off its checks of requests from public pages to loopback and the
// local network. The engine makes them itself: while the top-level page came from the public
// internet, its requests for anything else (fetches, XHR, frames, subresources and every
// redirect, each held before it is sent) are refused. Pages that are themselves local keep
// working. Where a page came from is what Chromium connected to for it, judged with the
// address-space overrides Chromium was given. Cookies go only with requests within the
// top-level page's own site: any other page could read what they answer.
#include "engine/browser/engine.h"

namespace engine {
namespace {

constexpr size_t kMaxPendingDocuments = 64;

std::string WithoutBrackets(std::string ip) {
    if (ip.size() > 2 && ip.front() == '[' && ip.back() == ']') ip = ip.substr(1, ip.size() - 2);
    return ip;
}

// scheme://host:port of an address: what a worker shares with the pages that started it.
std::string OriginOf(const std::string& url) {
    size_t scheme = url.find("://");
    if (scheme == std::string::npos) return url;
    return url.substr(0, url.find('/', scheme + 3));
}

// Shared and service workers are targets of their own, outside every view's page: left alone
// they present the browser's own user agent, which says HeadlessChrome (the headless shell
// also names itself among the brands). They take the user agent of a view of their origin,
// else of the first view that set one.
nlohmann::json WorkerUserAgent(const std::map<int, std::unique_ptr<View>>& views,
                               const std::string& scriptUrl) {
    const View* chosen = nullptr;
    for (const auto& [handle, view] : views) {
        if (view->userAgent.empty()) continue;
        if (!chosen) chosen = view.get();
        if (OriginOf(view->url) == OriginOf(scriptUrl)) {
            chosen = view.get();
            break;
        }
    }
    if (!chosen) return nullptr;
    nlohmann::json params = {{"userAgent", chosen->userAgent}};
    if (chosen->device.platform) params["platform"] = *chosen->device.platform;
    return params;
}

}  // namespace

// A document's answer. One for the main frame (or a frame not known yet, which may be the
// main frame's next incarnation) from the internet raises the guard at once: the page's first
// requests can come before the engine learns that it replaced the old one.
void Engine::OnResponseReceived(View& view, const nlohmann::json& params) {
    if (params.value("type", "") != "Document") return;
    const auto& response = params.value("response", nlohmann::json::object());
    std::string loader = params.value("loaderId", "");
    std::string ip = WithoutBrackets(response.value("remoteIPAddress", ""));
    // A web page without an address (from a service worker, say) cannot be shown to be local;
    // other schemes (data:, blob:) have no address and are judged when they replace the page.
    if (ip.empty() && !IsWebAddress(response.value("url", ""))) return;
    bool fromInternet =
        ip.empty() ||
        addressSpaces_.OfAddress(ip, response.value("remotePort", 0)) == AddressSpace::kPublic;
    if (view.documentsPublic.size() >= kMaxPendingDocuments) view.documentsPublic.clear();
    view.documentsPublic[loader] = fromInternet;
    std::string frame = params.value("frameId", "");
    bool mainFrame = frame == view.mainFrame || !view.frames.count(frame);
    if (fromInternet && mainFrame) view.topPublic = true;
}

// The main frame has a new document. One whose answer was seen decides by where it came
// from; a web page whose answer went unseen counts as public; a document without an answer
// (about:blank, data:, an error page) is local when the host loaded it, and otherwise keeps
// what its page was (a page must not shed the guard by going blank).
void Engine::OnTopDocument(View& view, const std::string& loaderId, const std::string& url) {
    if (auto it = view.documentsPublic.find(loaderId); it != view.documentsPublic.end())
        view.topPublic = it->second;
    else if (IsWebAddress(url))
        view.topPublic = true;
    else if (view.load.byHost && !view.load.finished)
        view.topPublic = false;
    view.documentsPublic.clear();
}

// Pages reach every origin and read every answer (the same-origin policy is off), so a page of
// one site must not make requests to another that carry that site's cookies: kept across runs,
// a platform's login would otherwise answer any page the view loads later. Cookies go only
// with requests within the top-level page's own site, without the exceptions browsers grant
// by heuristics or by their own lists. A browser of our own blocks such cookies everywhere,
// workers included (see ChromiumProcess); this holds the pages to it in a browser elsewhere too.
void Engine::KeepCookiesFirstParty(View& view) {
    Post(view, "Network.setCookieControls",
         {{"enableThirdPartyCookieRestriction", true},
          {"disableThirdPartyCookieMetadata", true},
          {"disableThirdPartyCookieHeuristics", true}});
}

// A request held before it was sent. The main frame's own navigation goes anywhere (it
// replaces the public page, as in any browser); everything else a public page asks for must
// go to the public internet too.
bool Engine::RefusedForTopPage(View& view, const nlohmann::json& paused) {
    if (!view.topPublic) return false;
    std::string url = paused.value("request", nlohmann::json::object()).value("url", "");
    bool mainNavigation = paused.value("resourceType", "") == "Document" &&
                          paused.value("frameId", "") == view.mainFrame;
    if (mainNavigation) return false;
    return addressSpaces_.OfUrl(url) != AddressSpace::kPublic;
}

// Service and shared workers run apart from any page, and their requests are not the page's:
// they are held before they run, and one of a public site is refused the same addresses.
void Engine::GuardWorker(const std::string& session, const std::string& scriptUrl) {
    workers_[session] = addressSpaces_.OfUrl(scriptUrl) == AddressSpace::kPublic;
    connection_.Post("Fetch.enable", {{"patterns", {{{"urlPattern", "*"}}}}}, session);
    // In place before the worker's script runs: the session takes its messages in order.
    if (nlohmann::json agent = WorkerUserAgent(views_, scriptUrl); !agent.is_null())
        connection_.Post("Network.setUserAgentOverride", agent, session);
    connection_.Post("Runtime.runIfWaitingForDebugger", nlohmann::json::object(), session);
}

// A request of a worker, or of a page the engine is closing (held unanswered until it goes).
void Engine::OnWorkerRequest(const std::string& session, const nlohmann::json& paused) {
    auto worker = workers_.find(session);
    if (worker == workers_.end()) return;
    std::string id = paused.value("requestId", "");
    std::string url = paused.value("request", nlohmann::json::object()).value("url", "");
    if (worker->second && addressSpaces_.OfUrl(url) != AddressSpace::kPublic)
        connection_.Post("Fetch.failRequest", {{"requestId", id}, {"errorReason", "AccessDenied"}},
                         session);
    else
        connection_.Post("Fetch.continueRequest", {{"requestId", id}}, session);
}

}  // namespace engine
