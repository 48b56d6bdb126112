// Cookies as the page sees them, and those a view keeps across runs in its cookie directory.
#include <ctime>
#include <sstream>

#include "engine/page/page.h"
#include "engine/page/page_storage.h"
#include "platform/ascii_text.h"

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

}  // namespace

std::string PageStorage::CookiesForPage() {
    if (!page_.EnsureAttached() || page_.loader().url.empty()) return {};
    CallResult r = page_.session().Call("Network.getCookies", {{"urls", {page_.loader().url}}});
    std::string out;
    if (!r.ok) return out;
    for (const auto& c : r.result.value("cookies", nlohmann::json::array()))
        out += (out.empty() ? "" : "; ") + c.value("name", "") + "=" + c.value("value", "");
    return out;
}

nlohmann::json PageStorage::InOwnContext(nlohmann::json params) const {
    const std::string& context = page_.host().browserContext();
    if (!context.empty()) params["browserContextId"] = context;
    return params;
}

std::string PageStorage::CookieSession() const {
    return page_.host().browserContext().empty() ? page_.session().id() : std::string();
}

void PageStorage::SetCookie(const std::string& url, const std::string& cookie) {
    page_.EnsureAttached();
    page_.session().Call("Network.setCookie", ParseCookie(url, cookie));
    SaveNow();
}

void PageStorage::VisitCookies(void* param, wkeCookieVisitor visitor) {
    page_.EnsureAttached();
    CallResult r = page_.host().connection().Call(
        "Storage.getCookies", InOwnContext(nlohmann::json::object()), CookieSession());
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

void PageStorage::SaveCookies(double now, const std::shared_ptr<int>& unanswered) {
    std::string file = KeptFilePath(cookieJarPath, "cookies.json");
    if (file.empty()) return;
    std::weak_ptr<Page> self = page_.weak_from_this();
    KnownCookies knownAtSave = knownCookies_;  // for a view gone before the answer
    int sent = page_.host().connection().Post(
        "Storage.getCookies", InOwnContext(nlohmann::json::object()), CookieSession(),
        [self, file, now, knownAtSave, unanswered](const CallResult& r) {
            --*unanswered;
            if (!r.ok) return;
            nlohmann::json ours = r.result.value("cookies", nlohmann::json::array());
            auto page = self.lock();
            // taken on only once it is written
            KnownCookies known = page ? page->storage().knownCookies_ : knownAtSave;
            if (UpdateKeptFile(
                    file,
                    [&](const nlohmann::json& kept) {
                        return MergeCookies(kept, ours, known, now);
                    },
                    nullptr) &&
                (page = self.lock()))
                page->storage().knownCookies_ = std::move(known);
        });
    if (sent >= 0) ++*unanswered;
}

void PageStorage::RestoreCookies() {
    if (!page_.session().open()) return;  // done when the view attaches
    if (std::string file = KeptFilePath(cookieJarPath, "cookies.json"); !file.empty()) {
        nlohmann::json cookies = ReadKeptFile(file);
        knownCookies_.clear();
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
        page_.host().connection().Call("Storage.setCookies", InOwnContext({{"cookies", params}}),
                                       CookieSession());
        // Known are only those the browser took: past its cap for a site it keeps some of
        // them, and the others, never this view's, must not look removed when it saves.
        CallResult held = page_.host().connection().Call(
            "Storage.getCookies", InOwnContext(nlohmann::json::object()), CookieSession());
        KnownCookies inFile, inBrowser;
        NoteKnownCookies(cookies, inFile);
        if (held.ok) NoteKnownCookies(held.result.value("cookies", nlohmann::json()), inBrowser);
        for (const auto& [key, value] : inFile)
            if (auto it = inBrowser.find(key); it != inBrowser.end() && it->second == value)
                knownCookies_[key] = value;
    }
}

}  // namespace engine
