// Downloads: the host decides, and only accepted files reach the download directory.
#include <cstdlib>
#include <filesystem>

#include "engine/engine.h"

namespace engine {
namespace {

// Where accepted downloads go: $QIRLEN_DOWNLOAD_DIR, else ~/Downloads.
std::filesystem::path DownloadDirectory() {
    if (const char* dir = std::getenv("QIRLEN_DOWNLOAD_DIR"); dir && *dir) return dir;
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/tmp") / "Downloads";
}

// A name without directories, so that a page cannot place a file elsewhere.
std::string SafeName(const std::string& suggested) {
    std::string name = std::filesystem::path(suggested).filename().string();
    return name.empty() || name == "." || name == ".." ? "download" : name;
}

}  // namespace

void Engine::OnDownloadEvent(const std::string& method, const nlohmann::json& params) {
    std::string guid = params.value("guid", "");
    if (method == "Browser.downloadWillBegin") {
        // The file is already on its way, so the host is asked at once.
        std::string frame = params.value("frameId", "");
        std::string url = params.value("url", "");
        bool accepted = false;
        for (auto& [id, view] : views_) {
            if (!view->frames.count(frame) || !view->on.download) continue;
            auto on = view->on.download;
            accepted = on.fn(HandleOf(*view), on.param, url.c_str());
            break;
        }
        downloads_[guid] = accepted ? SafeName(params.value("suggestedFilename", "")) : "";
        if (!accepted) connection_.Post("Browser.cancelDownload", {{"guid", guid}}, "");
        return;
    }
    std::string state = params.value("state", "");
    auto it = downloads_.find(guid);
    if (it == downloads_.end() || state == "inProgress") return;
    std::filesystem::path staged =
        std::filesystem::path(process_.profileDir()) / "downloads" / guid;
    std::error_code ignored;
    if (state == "completed" && !it->second.empty()) {
        std::filesystem::create_directories(DownloadDirectory(), ignored);
        std::filesystem::rename(staged, DownloadDirectory() / it->second, ignored);
        if (ignored) {  // another file system: copy instead
            std::filesystem::copy_file(staged, DownloadDirectory() / it->second,
                                       std::filesystem::copy_options::overwrite_existing, ignored);
            std::filesystem::remove(staged, ignored);
        }
    } else {
        std::filesystem::remove(staged, ignored);
    }
    downloads_.erase(it);
}

}  // namespace engine
