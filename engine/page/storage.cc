// Cookies, local storage kept across runs, and the page's icon.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <sstream>
#include <vector>

#include "engine/browser/engine.h"
#include "engine/page/kept_files.h"
#include "platform/ascii_text.h"
#include "platform/base64.h"
#include "platform/codepage.h"

extern "C" const char engine_restore_js[];

namespace engine {
namespace {

using platform::AsciiLower;
using platform::TrimBlanks;

// "name=value; Path=/; Domain=x; Expires=...; Max-Age=n; Secure; HttpOnly; SameSite=Lax"
nlohmann::json ParseCookie(const std::string& url, const std::string& text) {
    std::stringstream in(text);
    std::string part;
    std::getline(in, part, ';');
    auto eq = part.find('=');
    nlohmann::json c = {
        {"url", url},
        {"name", TrimBlanks(eq == std::string::npos ? "" : part.substr(0, eq))},
        {"value", TrimBlanks(eq == std::string::npos ? part : part.substr(eq + 1))}};
    while (std::getline(in, part, ';')) {
        auto e = part.find('=');
        std::string key = AsciiLower(TrimBlanks(part.substr(0, e)));
        std::string value = e == std::string::npos ? "" : TrimBlanks(part.substr(e + 1));
        if (key == "path")
            c["path"] = value;
        else if (key == "domain")
            c["domain"] = value;
        else if (key == "secure")
            c["secure"] = true;
        else if (key == "httponly")
            c["httpOnly"] = true;
        else if (key == "samesite")
            c["sameSite"] = value.empty() ? "Lax"
                                          : std::string(1, std::toupper(value[0])) +
                                                AsciiLower(value.substr(1));
        else if (key == "max-age")
            c["expires"] = static_cast<double>(std::time(nullptr) + std::atol(value.c_str()));
        else if (key == "expires") {
            std::tm tm{};
            if (strptime(value.c_str(), "%a, %d %b %Y %H:%M:%S", &tm) ||
                strptime(value.c_str(), "%a, %d-%b-%Y %H:%M:%S", &tm))
                c["expires"] = static_cast<double>(timegm(&tm));
        }
    }
    return c;
}

std::string PathFrom(const std::u16string& dir, const char* file) {
    std::string d = platform::Utf16ToUtf8(dir);
    if (d.empty()) return {};
    if (d.back() != '/') d.push_back('/');
    return d + file;
}

// What is kept of local storage: a few dozen origin-under-top-level pairs, those used last;
// each at most kMaxKeptItemBytes of keys and values (a page cannot make every later load
// carry its megabytes).
constexpr size_t kMaxKeptItemBytes = 1 << 20;

struct KeptStorage {
    std::string top, origin;
    double used = 0;  // seconds since 1970 when a view last had it
    nlohmann::json items;
};

// The file holds {"version": 2, "kept": [{top, origin, used, items}...]}; files of earlier
// versions map each origin to its items, kept as the origin's own (its own top-level page).
std::vector<KeptStorage> ReadKeptStorage(const nlohmann::json& saved) {
    std::vector<KeptStorage> kept;
    if (!saved.is_object()) return kept;
    if (saved.value("version", 0) == 2) {
        for (const auto& e : saved.value("kept", nlohmann::json::array())) {
            if (!e.is_object() || !e.contains("items") || !e["items"].is_array()) continue;
            kept.push_back(
                {e.value("top", ""), e.value("origin", ""), e.value("used", 0.0), e["items"]});
        }
    } else {
        for (const auto& [origin, items] : saved.items())
            if (items.is_array()) kept.push_back({origin, origin, 0, items});
    }
    std::erase_if(kept, [](const KeptStorage& k) { return k.top.empty() || k.origin.empty(); });
    return kept;
}

size_t ItemBytes(const nlohmann::json& items) {
    size_t bytes = 0;
    for (const auto& item : items)
        for (const auto& part : item)
            if (part.is_string()) bytes += part.get_ref<const std::string&>().size();
    return bytes;
}

// Replaces what was kept of the same pair; nothing is kept of an empty or oversized storage.
void KeepStorage(std::vector<KeptStorage>& kept, KeptStorage entry) {
    std::erase_if(
        kept, [&](const KeptStorage& k) { return k.top == entry.top && k.origin == entry.origin; });
    if (entry.items.is_array() && !entry.items.empty() &&
        ItemBytes(entry.items) <= kMaxKeptItemBytes)
        kept.push_back(std::move(entry));
}

nlohmann::json KeptStorageJson(std::vector<KeptStorage> kept) {
    std::stable_sort(kept.begin(), kept.end(),
                     [](const KeptStorage& a, const KeptStorage& b) { return a.used > b.used; });
    if (kept.size() > kKeptStorageEntries) kept.resize(kKeptStorageEntries);
    nlohmann::json list = nlohmann::json::array();
    for (const auto& k : kept)
        list.push_back(
            {{"top", k.top}, {"origin", k.origin}, {"used", k.used}, {"items", k.items}});
    return {{"version", 2}, {"kept", list}};
}

}  // namespace

std::string Engine::CookiesForPage(View& view) {
    if (!EnsureAttached(view) || view.url.empty()) return {};
    CallResult r = Call(view, "Network.getCookies", {{"urls", {view.url}}});
    std::string out;
    if (!r.ok) return out;
    for (const auto& c : r.result.value("cookies", nlohmann::json::array()))
        out += (out.empty() ? "" : "; ") + c.value("name", "") + "=" + c.value("value", "");
    return out;
}

// The Storage domain's cookie calls act on the browser's default context unless told
// otherwise: attached to a browser elsewhere, the engine's cookies live in a context of its own,
// which only the browser's own session may name.
nlohmann::json Engine::InOwnContext(nlohmann::json params) const {
    if (!browserContext_.empty()) params["browserContextId"] = browserContext_;
    return params;
}

std::string Engine::CookieSession(const View& view) const {
    return browserContext_.empty() ? view.session : std::string();
}

void Engine::SetCookie(View& view, const std::string& url, const std::string& cookie) {
    EnsureAttached(view);
    Call(view, "Network.setCookie", ParseCookie(url, cookie));
    SaveStorageNow(view);
}

void Engine::VisitCookies(View& view, void* param, wkeCookieVisitor visitor) {
    EnsureAttached(view);
    CallResult r = connection_.Call("Storage.getCookies", InOwnContext(nlohmann::json::object()),
                                    CookieSession(view));
    if (!r.ok || !visitor) return;
    for (const auto& c : r.result.value("cookies", nlohmann::json::array())) {
        double expires = c.value("expires", -1.0);
        int seconds = c.value("session", false) || expires < 0 ? 0 : static_cast<int>(expires);
        std::string name = c.value("name", ""), value = c.value("value", ""),
                    domain = c.value("domain", ""), path = c.value("path", "");
        if (visitor(param, name.c_str(), value.c_str(), domain.c_str(), path.c_str(),
                    c.value("secure", false), c.value("httpOnly", false), &seconds))
            break;
    }
}

// Chromium's own profile lives only as long as the engine; what the view keeps across runs
// is written to the two directories the host names, and read back when they are named. Other
// programs may keep theirs in the same directories: each save merges into what is there.
// The page's answers are handled as they come, so that a busy or stopped renderer holds up
// only its own save, never the host; `unanswered` counts the answers still owed.
void Engine::SaveStorage(View& view, const std::shared_ptr<int>& unanswered) {
    if (view.session.empty()) return;
    double now = static_cast<double>(std::time(nullptr));
    SaveCookies(view, now, unanswered);
    SaveLocalStorage(view, now, unanswered);
}

void Engine::SaveStorageNow(View& view) {
    auto unanswered = std::make_shared<int>(0);
    SaveStorage(view, unanswered);
    WaitForSaves(unanswered);
}

// Those who go on as if it were on disk (a cookie set, the engine ending) wait a while for
// the answers; a page that does not answer by then is saved whenever it does.
void Engine::WaitForSaves(const std::shared_ptr<int>& unanswered) {
    constexpr auto kLongest = std::chrono::milliseconds(5000);
    auto deadline = std::chrono::steady_clock::now() + kLongest;
    while (*unanswered > 0 && !dead_) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0 || !connection_.Pump(static_cast<int>(left))) break;
    }
}

void Engine::SaveCookies(View& view, double now, const std::shared_ptr<int>& unanswered) {
    std::string file = PathFrom(view.cookieJarPath, "cookies.json");
    if (file.empty()) return;
    int viewId = view.id;
    KnownCookies knownAtSave = view.knownCookies;  // for a view gone before the answer
    int sent = connection_.Post(
        "Storage.getCookies", InOwnContext(nlohmann::json::object()), CookieSession(view),
        [this, viewId, file, now, knownAtSave, unanswered](const CallResult& r) {
            --*unanswered;
            if (!r.ok) return;
            nlohmann::json ours = r.result.value("cookies", nlohmann::json::array());
            auto it = views_.find(viewId);
            // taken on only once it is written
            KnownCookies known = it != views_.end() ? it->second->knownCookies : knownAtSave;
            if (UpdateKeptFile(
                    file,
                    [&](const nlohmann::json& kept) {
                        return MergeCookies(kept, ours, known, now);
                    },
                    nullptr) &&
                (it = views_.find(viewId)) != views_.end())
                it->second->knownCookies = std::move(known);
        });
    if (sent >= 0) ++*unanswered;
}

// The page's storage is read first, each partition on its own answer; the directory stays
// locked only while the file is merged, once the last of them has come.
void Engine::SaveLocalStorage(View& view, double now, const std::shared_ptr<int>& unanswered) {
    std::string file = PathFrom(view.localStoragePath, "local_storage.json");
    if (file.empty() || view.storagePartitions.empty()) return;
    struct Reading {
        std::vector<KeptStorage> fresh;
        int left = 0;
    };
    auto reading = std::make_shared<Reading>();
    connection_.Post("DOMStorage.enable", nlohmann::json::object(), view.session);
    for (const auto& partition : view.storagePartitions) {
        nlohmann::json id = {{"isLocalStorage", true}};
        if (!partition.storageKey.empty())
            id["storageKey"] = partition.storageKey;
        else if (partition.top == partition.origin)
            id["securityOrigin"] = partition.origin;
        else
            continue;  // a framed origin's storage is read only by its own name
        KeptStorage entry{partition.top, partition.origin, now, nlohmann::json::array()};
        int sent = connection_.Post(
            "DOMStorage.getDOMStorageItems", {{"storageId", id}}, view.session,
            [file, entry, reading, unanswered](const CallResult& r) mutable {
                --*unanswered;
                if (r.ok) {
                    entry.items = r.result.value("entries", nlohmann::json::array());
                    reading->fresh.push_back(std::move(entry));
                }
                if (--reading->left > 0 || reading->fresh.empty()) return;
                UpdateKeptFile(
                    file,
                    [&](const nlohmann::json& saved) {
                        std::vector<KeptStorage> kept = ReadKeptStorage(saved);
                        for (const auto& e : reading->fresh) KeepStorage(kept, e);
                        return KeptStorageJson(kept);
                    },
                    nullptr);
            });
        if (sent < 0) continue;
        ++reading->left;
        ++*unanswered;
    }
}

void Engine::RestoreCookies(View& view) {
    if (view.session.empty()) return;  // done when the view attaches
    if (std::string file = PathFrom(view.cookieJarPath, "cookies.json"); !file.empty()) {
        nlohmann::json cookies = ReadKeptFile(file);
        view.knownCookies.clear();
        nlohmann::json params = nlohmann::json::array();
        if (cookies.is_array()) {
            for (const auto& c : cookies) {
                nlohmann::json p;
                for (const char* key :
                     {"name", "value", "domain", "path", "secure", "httpOnly", "sameSite"})
                    if (c.contains(key)) p[key] = c[key];
                if (!c.value("session", false) && c.contains("expires"))
                    p["expires"] = c["expires"];
                params.push_back(p);
            }
        }
        if (params.empty()) return;
        connection_.Call("Storage.setCookies", InOwnContext({{"cookies", params}}),
                         CookieSession(view));
        // Known are only those the browser took: past its cap for a site it keeps some of
        // them, and the others, never this view's, must not look removed when it saves.
        CallResult held = connection_.Call(
            "Storage.getCookies", InOwnContext(nlohmann::json::object()), CookieSession(view));
        KnownCookies inFile, inBrowser;
        NoteKnownCookies(cookies, inFile);
        if (held.ok) NoteKnownCookies(held.result.value("cookies", nlohmann::json()), inBrowser);
        for (const auto& [key, value] : inFile)
            if (auto it = inBrowser.find(key); it != inBrowser.end() && it->second == value)
                view.knownCookies[key] = value;
    }
}

void Engine::RestoreLocalStorage(View& view) {
    if (view.session.empty()) return;  // done when the view attaches
    std::string file = PathFrom(view.localStoragePath, "local_storage.json");
    if (file.empty()) return;
    // Local storage can only be written where a page of its origin is open, so the page
    // itself puts it back, once per origin and top-level page.
    view.storageToRestore = nlohmann::json::object();
    for (const auto& entry : ReadKeptStorage(ReadKeptFile(file)))
        view.storageToRestore[entry.top + " " + entry.origin] = entry.items;
    AddEngineBinding(view, "__qirlenRestored");
    ApplyRestoreScript(view);
}

void Engine::ApplyRestoreScript(View& view) {
    std::string source;
    if (!view.storageToRestore.empty())
        source =
            std::string("(") + engine_restore_js + ")(" +
            view.storageToRestore.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
            ");";
    InstallPageScript(view, view.restoreScriptId, source, false, kEngineWorld);
}

void Engine::OnStorageRestored(View& view, const std::string& partition) {
    if (!view.storageToRestore.contains(partition)) return;
    view.storageToRestore.erase(partition);
    ApplyRestoreScript(view);
}

// Only web origins have storage worth keeping. Chromium names the frame's storage (its key
// tells a framed origin's storage under this top-level site from the origin's own), and the
// name is asked for at once, while the frame is there.
void Engine::NoteStoragePartition(View& view, const std::string& frameId) {
    const Frame& frame = view.frames[frameId];
    std::string top = frame.parent.empty() ? frame.origin : view.frames[view.mainFrame].origin;
    if (!IsWebAddress(frame.origin) || !IsWebAddress(top)) return;
    auto& seen = view.storagePartitions;
    std::erase_if(
        seen, [&](const StoragePartition& p) { return p.top == top && p.origin == frame.origin; });
    seen.push_back({top, frame.origin, ""});
    if (seen.size() > kKeptStorageEntries) seen.erase(seen.begin());
    int viewId = view.id;
    std::string origin = frame.origin;
    connection_.Post("Storage.getStorageKeyForFrame", {{"frameId", frameId}}, view.session,
                     [this, viewId, top, origin](const CallResult& r) {
                         auto it = views_.find(viewId);
                         if (!r.ok || it == views_.end()) return;
                         for (auto& p : it->second->storagePartitions)
                             if (p.top == top && p.origin == origin)
                                 p.storageKey = r.result.value("storageKey", "");
                     });
}

int Engine::RequestFavicon(View& view, wkeOnNetGetFaviconCallback callback, void* param) {
    if (!callback || !EnsureAttached(view)) return 0;
    static const char* kFind =
        "(function(){var l=document.querySelector('link[rel~=\"icon\"]');"
        "if(l&&l.href)return l.href;"
        "return /^https?:/.test(location.href)?location.origin+'/favicon.ico':'';})()";
    jsValue found = Run(view, 1, kFind, false);
    std::string url = values_.Get(found).text;
    if (url.empty() || values_.Get(found).type != JSTYPE_STRING) return 0;
    CallResult loaded = Call(view, "Network.loadNetworkResource",
                             {{"frameId", view.mainFrame},
                              {"url", url},
                              {"options", {{"disableCache", false}, {"includeCredentials", true}}}},
                             10000);
    std::string bytes;
    const auto resource = loaded.ok ? loaded.result.value("resource", nlohmann::json::object())
                                    : nlohmann::json::object();
    if (resource.value("success", false) && resource.contains("stream")) {
        std::string stream = resource.value("stream", "");
        for (int guard = 0; guard < 4096; ++guard) {
            CallResult chunk =
                Call(view, "IO.read", {{"handle", stream}, {"size", 1 << 20}}, 10000);
            if (!chunk.ok) break;
            std::string data = chunk.result.value("data", "");
            bytes +=
                chunk.result.value("base64Encoded", false) ? platform::DecodeBase64(data) : data;
            if (chunk.result.value("eof", true)) break;
        }
        Post(view, "IO.close", {{"handle", stream}});
    }
    if (bytes.empty()) return 0;
    Queue(view, [callback, param, url, bytes](View& v) {
        std::string copy = bytes;
        wkeMemBuf buf{0, copy.data(), copy.size()};
        callback(HandleOf(v), param, url.c_str(), &buf);
    });
    return 1;
}

}  // namespace engine
