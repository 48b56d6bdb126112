#pragma once
// What a view keeps across runs, in the two directories the host names (cookies.json and
// local_storage.json there, shared by every program that names the same directories), and its
// cookies as the page sees them. Chromium's own profile lives only as long as the engine.
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/capi/wke.h"
#include "engine/page/kept_files.h"

namespace engine {

class Page;
class PageHost;

// How many origin-under-top-level pairs of local storage are kept across runs (those used
// last).
constexpr size_t kKeptStorageEntries = 32;

// Local storage of one origin as it is seen under one top-level page: browsers keep a framed
// origin's storage apart per top-level site, and so does what the engine keeps across runs.
struct StoragePartition {
    std::string top, origin;
    std::string storageKey;  // Chromium's name for it, once known
};

// The file `file` in the directory `dir`; empty when no directory is named.
std::string KeptFilePath(const std::u16string& dir, const char* file);

// Those who go on as if it were on disk (a cookie set, the engine ending) wait a while for the
// answers; a page that does not answer by then is saved whenever it does.
void WaitForSaves(PageHost& host, const std::shared_ptr<int>& unanswered);

class PageStorage {
  public:
    explicit PageStorage(Page& page) : page_(page) {}

    // cookies (cookies.cc)
    std::string CookiesForPage();
    void SetCookie(const std::string& url, const std::string& cookie);
    void VisitCookies(void* param, wkeCookieVisitor visitor);
    void RestoreCookies();

    // local storage (local_storage.cc)
    void RestoreLocalStorage();
    // "top origin": the kept storage of one origin under one top-level page is back.
    void OnRestored(const std::string& partition);
    // A frame has a new document: its origin's storage under the page's top page is kept.
    void NotePartition(const std::string& frame);

    // Sends for what the view keeps and saves it as the answers come; `unanswered` counts the
    // answers still owed, for those who wait (WaitForSaves).
    void Save(const std::shared_ptr<int>& unanswered);
    void SaveNow();  // saves and waits a while for it

    std::u16string localStoragePath, cookieJarPath;

  private:
    void SaveCookies(double now, const std::shared_ptr<int>& unanswered);
    void SaveLocalStorage(double now, const std::shared_ptr<int>& unanswered);
    void ApplyRestoreScript();
    // The Storage domain's cookie calls act on the browser's default context unless told
    // otherwise: attached to a browser elsewhere, the engine's cookies live in a context of
    // its own, which only the browser's own session may name.
    nlohmann::json InOwnContext(nlohmann::json params) const;
    std::string CookieSession() const;

    Page& page_;
    // The kept cookies as this view last read or wrote them: what it changes or removes
    // itself, against what other programs sharing the directory wrote.
    KnownCookies knownCookies_;
    std::vector<StoragePartition> partitions_;  // seen in this view, most recent last
    // "top origin" -> [[key, value]...]
    nlohmann::json toRestore_ = nlohmann::json::object();
    std::string restoreScriptId_;
};

}  // namespace engine
