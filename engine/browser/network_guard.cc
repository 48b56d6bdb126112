#include "engine/browser/network_guard.h"

#include "engine/page/page.h"

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
nlohmann::json WorkerUserAgent(const std::map<int, std::shared_ptr<Page>>& pages,
                               const std::string& scriptUrl) {
    const Page* chosen = nullptr;
    for (const auto& [id, page] : pages) {
        if (page->settings().userAgent.empty()) continue;
        if (!chosen) chosen = page.get();
        if (OriginOf(page->loader().url) == OriginOf(scriptUrl)) {
            chosen = page.get();
            break;
        }
    }
    if (!chosen) return nullptr;
    const PageSettings& settings = chosen->settings();
    nlohmann::json params = {{"userAgent", settings.userAgent}};
    if (settings.device.platform) params["platform"] = *settings.device.platform;
    return params;
}

}  // namespace

// A document's answer. One for the main frame (or a frame not known yet, which may be the
// main frame's next incarnation) from the internet raises the guard at once: the page's first
// requests can come before the engine learns that it replaced the old one.
void NetworkGuard::OnResponseReceived(const Page& page, const nlohmann::json& params) {
    if (params.value("type", "") != "Document") return;
    const auto& response = params.value("response", nlohmann::json::object());
    std::string loader = params.value("loaderId", "");
    std::string ip = WithoutBrackets(response.value("remoteIPAddress", ""));
    // A web page without an address (from a service worker, say) cannot be shown to be local;
    // other schemes (data:, blob:) have no address and are judged when they replace the page.
    if (ip.empty() && !IsWebAddress(response.value("url", ""))) return;
    bool fromInternet = ip.empty() || spaces_.OfAddress(ip, response.value("remotePort", 0)) ==
                                          AddressSpace::kPublic;
    PageState& state = pages_[page.id()];
    if (state.documentsPublic.size() >= kMaxPendingDocuments) state.documentsPublic.clear();
    state.documentsPublic[loader] = fromInternet;
    const FrameTree& frames = page.frames();
    std::string frame = params.value("frameId", "");
    bool mainFrame = frame == frames.main || !frames.frames.count(frame);
    if (fromInternet && mainFrame) state.topPublic = true;
}

// The main frame has a new document. One whose answer was seen decides by where it came
// from; a web page whose answer went unseen counts as public; a document without an answer
// (about:blank, data:, an error page) is local when the host loaded it, and otherwise keeps
// what its page was (a page must not shed the guard by going blank).
void NetworkGuard::OnTopDocument(const Page& page, const std::string& loaderId,
                                 const std::string& url) {
    PageState& state = pages_[page.id()];
    if (auto it = state.documentsPublic.find(loaderId); it != state.documentsPublic.end())
        state.topPublic = it->second;
    else if (IsWebAddress(url))
        state.topPublic = true;
    else if (page.loader().hostLoadInProgress())
        state.topPublic = false;
    state.documentsPublic.clear();
}

// Pages reach every origin and read every answer (the same-origin policy is off), so a page of
// one site must not make requests to another that carry that site's cookies: kept across runs,
// a platform's login would otherwise answer any page the view loads later. Cookies go only
// with requests within the top-level page's own site, without the exceptions browsers grant
// by heuristics or by their own lists. A browser of our own blocks such cookies everywhere,
// workers included (see chromium_switches.cc); this holds the pages to it in a browser elsewhere
// too.
void NetworkGuard::KeepCookiesFirstParty(const Session& session) {
    session.Post("Network.setCookieControls", {{"enableThirdPartyCookieRestriction", true},
                                               {"disableThirdPartyCookieMetadata", true},
                                               {"disableThirdPartyCookieHeuristics", true}});
}

// A request held before it was sent. The main frame's own navigation goes anywhere (it
// replaces the public page, as in any browser); everything else a public page asks for must
// go to the public internet too.
bool NetworkGuard::RefusedForTopPage(const Page& page, const nlohmann::json& paused) {
    auto state = pages_.find(page.id());
    if (state == pages_.end() || !state->second.topPublic) return false;
    std::string url = paused.value("request", nlohmann::json::object()).value("url", "");
    bool mainNavigation = paused.value("resourceType", "") == "Document" &&
                          paused.value("frameId", "") == page.frames().main;
    if (mainNavigation) return false;
    return spaces_.OfUrl(url) != AddressSpace::kPublic;
}

// Service and shared workers run apart from any page, and their requests are not the page's:
// they are held before they run, and one of a public site is refused the same addresses.
void NetworkGuard::GuardWorker(Connection& connection, const std::string& session,
                               const std::string& scriptUrl,
                               const std::map<int, std::shared_ptr<Page>>& pages) {
    workers_[session] = spaces_.OfUrl(scriptUrl) == AddressSpace::kPublic;
    connection.Post("Fetch.enable", {{"patterns", {{{"urlPattern", "*"}}}}}, session);
    // In place before the worker's script runs: the session takes its messages in order.
    if (nlohmann::json agent = WorkerUserAgent(pages, scriptUrl); !agent.is_null())
        connection.Post("Network.setUserAgentOverride", agent, session);
    connection.Post("Runtime.runIfWaitingForDebugger", nlohmann::json::object(), session);
}

void NetworkGuard::OnWorkerRequest(Connection& connection, const std::string& session,
                                   const nlohmann::json& paused) {
    auto worker = workers_.find(session);
    if (worker == workers_.end()) return;
    std::string id = paused.value("requestId", "");
    std::string url = paused.value("request", nlohmann::json::object()).value("url", "");
    if (worker->second && spaces_.OfUrl(url) != AddressSpace::kPublic)
        connection.Post("Fetch.failRequest", {{"requestId", id}, {"errorReason", "AccessDenied"}},
                        session);
    else
        connection.Post("Fetch.continueRequest", {{"requestId", id}}, session);
}

}  // namespace engine
