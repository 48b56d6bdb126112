#include "engine/browser/downloads.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "engine/browser/browser.h"
#include "engine/browser/download_names.h"
#include "engine/options.h"

namespace engine {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxNumbered = 1000;  // "name (1).ext" ... before giving up

// Copies `from` into `to`, which must not exist yet (another file system than the profile's).
bool CopyToNewFile(const fs::path& from, const fs::path& to) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (out < 0) {
        close(in);
        return false;
    }
    char buffer[1 << 16];
    bool ok = true;
    for (;;) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            ssize_t w = write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            ok = w > 0;
            if (ok) done += w;
        }
        if (!ok) break;
    }
    close(in);
    close(out);
    if (!ok) unlink(to.c_str());
    return ok;
}

// Moves the finished file to the first free name; the path it got, or empty. A name that is
// taken (a file, a directory, a link, even a dangling one) is never replaced.
std::string PlaceFile(const fs::path& staged, const std::string& name, const fs::path& directory) {
    std::error_code ignored;
    fs::create_directories(directory, ignored);
    for (int n = 0; n < kMaxNumbered; ++n) {
        fs::path target = directory / NumberedDownloadName(name, n);
        if (renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return target.string();
        if (errno == EEXIST) continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS) return {};
        // Another file system, or one without the no-replace rename: copy into a new file.
        if (CopyToNewFile(staged, target)) return target.string();
        if (errno != EEXIST && !fs::exists(fs::symlink_status(target, ignored))) return {};
    }
    return {};
}

}  // namespace

void Downloads::OnEvent(const std::string& method, const nlohmann::json& params) {
    std::string guid = params.value("guid", "");
    if (method == "Browser.downloadWillBegin") {
        // The file is already on its way, so the host is asked at once.
        std::string frame = params.value("frameId", "");
        Download download;
        download.url = params.value("url", "");
        for (auto& [id, page] : browser_.pages()) {
            if (!page->frames().frames.count(frame) || !page->on().download) continue;
            auto on = page->on().download;
            download.page = id;
            download.accepted = on.fn(page->handle(), on.param, download.url.c_str());
            break;
        }
        download.name = SafeDownloadName(params.value("suggestedFilename", ""));
        if (!download.accepted)
            browser_.connection().Post("Browser.cancelDownload", {{"guid", guid}}, "");
        downloads_[guid] = download;
        return;
    }
    std::string state = params.value("state", "");
    auto it = downloads_.find(guid);
    if (it == downloads_.end() || state == "inProgress") return;
    Download download = it->second;
    downloads_.erase(it);
    fs::path staged = fs::path(browser_.profileDir()) / "downloads" / guid;
    std::string placed;
    if (state == "completed" && download.accepted)
        placed = PlaceFile(staged, download.name, DownloadDirectory());
    std::error_code ignored;
    fs::remove(staged, ignored);
    if (!download.accepted) return;
    Page* page = browser_.FindById(download.page);
    if (!page) return;
    page->Queue([download, placed](Page& p) {
        const auto& on = p.on().downloadFinished;
        if (!on) return;
        on.fn(p.handle(), on.param, download.url.c_str(),
              placed.empty() ? nullptr : placed.c_str());
    });
}

}  // namespace engine
