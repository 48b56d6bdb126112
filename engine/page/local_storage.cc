// Local storage kept across runs, per origin under each top-level page, in the view's local
// storage directory; put back by the page itself (restore.js), since only a page of its origin
// can write it.
#include <algorithm>

#include "engine/page/page.h"
#include "engine/page/page_storage.h"

extern "C" const char engine_restore_js[];

namespace engine {
namespace {

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

// The page's storage is read first, each partition on its own answer; the directory stays
// locked only while the file is merged, once the last of them has come.
void PageStorage::SaveLocalStorage(double now, const std::shared_ptr<int>& unanswered) {
    std::string file = KeptFilePath(localStoragePath, "local_storage.json");
    if (file.empty() || partitions_.empty()) return;
    struct Reading {
        std::vector<KeptStorage> fresh;
        int left = 0;
    };
    auto reading = std::make_shared<Reading>();
    page_.host().connection().Post("DOMStorage.enable", nlohmann::json::object(),
                                   page_.session().id());
    for (const auto& partition : partitions_) {
        nlohmann::json id = {{"isLocalStorage", true}};
        if (!partition.storageKey.empty())
            id["storageKey"] = partition.storageKey;
        else if (partition.top == partition.origin)
            id["securityOrigin"] = partition.origin;
        else
            continue;  // a framed origin's storage is read only by its own name
        KeptStorage entry{partition.top, partition.origin, now, nlohmann::json::array()};
        int sent = page_.host().connection().Post(
            "DOMStorage.getDOMStorageItems", {{"storageId", id}}, page_.session().id(),
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

void PageStorage::RestoreLocalStorage() {
    if (!page_.session().open()) return;  // done when the view attaches
    std::string file = KeptFilePath(localStoragePath, "local_storage.json");
    if (file.empty()) return;
    // Local storage can only be written where a page of its origin is open, so the page
    // itself puts it back, once per origin and top-level page.
    toRestore_ = nlohmann::json::object();
    for (const auto& entry : ReadKeptStorage(ReadKeptFile(file)))
        toRestore_[entry.top + " " + entry.origin] = entry.items;
    page_.scripts().AddEngineBinding("__qirlenRestored");
    ApplyRestoreScript();
}

void PageStorage::ApplyRestoreScript() {
    std::string source;
    if (!toRestore_.empty())
        source = std::string("(") + engine_restore_js + ")(" +
                 toRestore_.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + ");";
    page_.scripts().Install(restoreScriptId_, source, false, kEngineWorld);
}

void PageStorage::OnRestored(const std::string& partition) {
    if (!toRestore_.contains(partition)) return;
    toRestore_.erase(partition);
    ApplyRestoreScript();
}

// Only web origins have storage worth keeping. Chromium names the frame's storage (its key
// tells a framed origin's storage under this top-level site from the origin's own), and the
// name is asked for at once, while the frame is there.
void PageStorage::NotePartition(const std::string& frameId) {
    FrameTree& frames = page_.frames();
    const Frame& frame = frames.frames[frameId];
    std::string top = frame.parent.empty() ? frame.origin : frames.frames[frames.main].origin;
    if (!IsWebAddress(frame.origin) || !IsWebAddress(top)) return;
    auto& seen = partitions_;
    std::erase_if(
        seen, [&](const StoragePartition& p) { return p.top == top && p.origin == frame.origin; });
    seen.push_back({top, frame.origin, ""});
    if (seen.size() > kKeptStorageEntries) seen.erase(seen.begin());
    std::weak_ptr<Page> self = page_.weak_from_this();
    std::string origin = frame.origin;
    page_.session().Post("Storage.getStorageKeyForFrame", {{"frameId", frameId}},
                         [self, top, origin](const CallResult& r) {
                             auto page = self.lock();
                             if (!r.ok || !page) return;
                             for (auto& p : page->storage().partitions_)
                                 if (p.top == top && p.origin == origin)
                                     p.storageKey = r.result.value("storageKey", "");
                         });
}

}  // namespace engine
