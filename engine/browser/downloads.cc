// Downloads: the host decides, and only accepted files reach the download directory, under a
// name of their own that never replaces a file already there.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "engine/browser/engine.h"

namespace engine {
namespace {

namespace fs = std::filesystem;

// Where accepted downloads go: $QIRLEN_DOWNLOAD_DIR, else ~/Downloads.
fs::path DownloadDirectory() {
    if (const char* dir = std::getenv("QIRLEN_DOWNLOAD_DIR"); dir && *dir) return dir;
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / "Downloads";
}

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
std::string PlaceFile(const fs::path& staged, const std::string& name) {
    std::error_code ignored;
    fs::create_directories(DownloadDirectory(), ignored);
    for (int n = 0; n < kMaxNumbered; ++n) {
        fs::path target = DownloadDirectory() / NumberedDownloadName(name, n);
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

constexpr size_t kMaxNameBytes = 200;
// An extension longer than this is part of the name: it is cut like the rest.
constexpr size_t kMaxExtensionBytes = 32;

// The UTF-8 length of the character that starts with `lead` (1 for a stray byte).
size_t CharacterBytes(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// C0 and C1 controls, DEL, and the bidirectional controls (U+061C, U+200E-U+200F,
// U+202A-U+202E, U+2066-U+2069): a name must show what the file is, and "txt.exe" written
// backwards after U+202E shows as "exe.txt".
bool Unprintable(std::string_view c) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(c[i]); };
    if (c.size() == 1) return byte(0) < 0x20 || byte(0) == 0x7f;
    if (c.size() == 2)
        return (byte(0) == 0xC2 && byte(1) < 0xA0) || (byte(0) == 0xD8 && byte(1) == 0x9C);
    if (c.size() != 3 || byte(0) != 0xE2) return false;
    unsigned code = (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);  // the code point less U+2000
    return code == 0x00E || code == 0x00F || (code >= 0x02A && code <= 0x02E) ||
           (code >= 0x066 && code <= 0x069);
}

// At most `bytes` bytes of whole UTF-8 characters of the start of `text`.
std::string CutToBytes(const std::string& text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t cut = bytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut);
}

}  // namespace

// The page's name, made harmless: no directories (either separator), no leading dots, dashes,
// tildes, blanks or the underscores Chromium puts for separators ("../.bashrc" comes as
// "_.._.bashrc"), no control characters, at most 200 bytes of whole UTF-8 characters, cut
// from the stem so that the extension stays.
std::string SafeDownloadName(const std::string& suggested) {
    std::string name = suggested;
    for (char& c : name)
        if (c == '\\') c = '/';
    if (auto slash = name.find_last_of('/'); slash != std::string::npos)
        name = name.substr(slash + 1);
    std::string clean;
    for (size_t i = 0; i < name.size();) {
        size_t n = std::min(CharacterBytes(static_cast<unsigned char>(name[i])), name.size() - i);
        std::string_view c(name.data() + i, n);
        if (!Unprintable(c)) clean.append(c);
        i += n;
    }
    size_t start = clean.find_first_not_of("._-~ ");
    clean = start == std::string::npos ? "" : clean.substr(start);
    if (clean.size() > kMaxNameBytes) {
        size_t dot = clean.find_last_of('.');
        size_t extension = dot == std::string::npos ? 0 : clean.size() - dot;
        if (extension > kMaxExtensionBytes) extension = 0;
        clean = CutToBytes(clean.substr(0, clean.size() - extension), kMaxNameBytes - extension) +
                clean.substr(clean.size() - extension);
    }
    return clean.empty() ? "download" : clean;
}

// "name.ext", then "name (1).ext", "name (2).ext" ...
std::string NumberedDownloadName(const std::string& name, int n) {
    if (n == 0) return name;
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) dot = name.size();
    return name.substr(0, dot) + " (" + std::to_string(n) + ")" + name.substr(dot);
}

void Engine::OnDownloadEvent(const std::string& method, const nlohmann::json& params) {
    std::string guid = params.value("guid", "");
    if (method == "Browser.downloadWillBegin") {
        // The file is already on its way, so the host is asked at once.
        std::string frame = params.value("frameId", "");
        Download download;
        download.url = params.value("url", "");
        for (auto& [id, view] : views_) {
            if (!view->frames.count(frame) || !view->on.download) continue;
            auto on = view->on.download;
            download.view = id;
            download.accepted = on.fn(HandleOf(*view), on.param, download.url.c_str());
            break;
        }
        download.name = SafeDownloadName(params.value("suggestedFilename", ""));
        if (!download.accepted) connection_.Post("Browser.cancelDownload", {{"guid", guid}}, "");
        downloads_[guid] = download;
        return;
    }
    std::string state = params.value("state", "");
    auto it = downloads_.find(guid);
    if (it == downloads_.end() || state == "inProgress") return;
    Download download = it->second;
    downloads_.erase(it);
    fs::path staged = fs::path(process_.profileDir()) / "downloads" / guid;
    std::string placed;
    if (state == "completed" && download.accepted) placed = PlaceFile(staged, download.name);
    std::error_code ignored;
    fs::remove(staged, ignored);
    if (!download.accepted) return;
    auto view = views_.find(download.view);
    if (view == views_.end()) return;
    Queue(*view->second, [download, placed](View& v) {
        if (!v.on.downloadFinished) return;
        v.on.downloadFinished.fn(HandleOf(v), v.on.downloadFinished.param, download.url.c_str(),
                                 placed.empty() ? nullptr : placed.c_str());
    });
}

}  // namespace engine
