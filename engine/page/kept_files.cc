#include "engine/page/kept_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

namespace engine {
namespace {

// Files that could not be written, and why; each is said on stderr when it starts failing.
std::map<std::string, std::string>& Failures() {
    static std::map<std::string, std::string> failures;
    return failures;
}

void NoteOutcome(const std::string& path, const std::string& why) {
    auto& failures = Failures();
    if (why.empty()) {
        failures.erase(path);
        return;
    }
    if (failures.count(path)) return;
    failures[path] = why;
    std::fprintf(stderr, "qirlen engine: %s; what was kept before stays as it was\n", why.c_str());
}

std::string Failed(const std::string& what, const std::string& path, int error) {
    return "cannot " + what + " " + path + ": " + std::strerror(error);
}

// Makes the directory and the missing ones above it, the user's alone.
void MakeDirectory(const std::string& dir) {
    std::error_code ignored;
    std::vector<std::filesystem::path> made;
    for (std::filesystem::path p = dir; !p.empty() && !std::filesystem::exists(p, ignored);
         p = p.parent_path())
        made.push_back(p);
    std::filesystem::create_directories(dir, ignored);
    for (const auto& p : made) chmod(p.c_str(), 0700);
}

// Holds an exclusive lock on a directory while it lives: every program saving into the same
// directory waits for the one before it. The lock goes with the descriptor, also when the
// holder dies.
class DirectoryLock {
  public:
    explicit DirectoryLock(const std::string& dir) {
        fd_ = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        while (flock(fd_, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            break;
        }
    }
    ~DirectoryLock() {
        if (fd_ >= 0) close(fd_);  // releases the lock
    }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;
    int error() const { return error_; }

  private:
    int fd_ = -1;
    int error_ = 0;
};

bool WriteAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes `text` to a temporary file of this save's own beside `path` and renames it over
// `path`. Nothing of the attempt stays when it fails.
std::string ReplaceFile(const std::string& path, const std::string& text) {
    std::string temporary = path + ".XXXXXX";
    int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return Failed("write", path, errno);
    fchmod(fd, 0600);
    bool written = WriteAll(fd, text);
    int error = errno;
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && std::rename(temporary.c_str(), path.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (written) return {};
    unlink(temporary.c_str());
    return Failed("write", path, error);
}

// Temporary files are made only under the lock, so one there while the lock is held was left
// by a save that died before it renamed it.
void RemoveOrphans(const std::string& path) {
    std::filesystem::path kept = path;
    std::string prefix = kept.filename().string() + ".";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(kept.parent_path(), error)) {
        std::string name = entry.path().filename().string();
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0)
            std::filesystem::remove(entry.path(), error);
    }
}

// Reads a text member; another program's file may hold anything.
std::string Text(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string CookieKey(const nlohmann::json& c) {
    return Text(c, "name") + '\n' + Text(c, "domain") + '\n' + Text(c, "path");
}

// Chromium holds at most 180 cookies of one site and 3300 in all; past either it evicts those
// used least (down to 150 and 3000) without a word. A cookie missing where the browser holds
// that many may have been evicted rather than removed, and stays for the programs that share
// the file.
constexpr size_t kSiteCookiesAfterEviction = 150;
constexpr size_t kCookiesAfterEviction = 3000;

// The site a cookie counts against: an address is its own; a name goes by its last two
// labels, which for "x.com.cn" names more than the site and so only keeps more.
std::string SiteOf(const nlohmann::json& c) {
    std::string domain = Text(c, "domain");
    if (!domain.empty() && domain[0] == '.') domain.erase(0, 1);
    bool address = domain.find_first_not_of("0123456789.") == std::string::npos ||
                   domain.find(':') != std::string::npos;
    size_t last = domain.rfind('.');
    if (address || last == std::string::npos || last == 0) return domain;
    size_t before = domain.rfind('.', last - 1);
    return before == std::string::npos ? domain : domain.substr(before + 1);
}

bool Expired(const nlohmann::json& c, double now) {
    auto expires = c.find("expires");
    auto session = c.find("session");
    bool isSession = session != c.end() && session->is_boolean() && session->get<bool>();
    return !isSession && expires != c.end() && expires->is_number() && expires->get<double>() > 0 &&
           expires->get<double>() < now;
}

}  // namespace

nlohmann::json ReadKeptFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) return nullptr;
    std::stringstream text;
    text << in.rdbuf();
    nlohmann::json parsed = nlohmann::json::parse(text.str(), nullptr, false);
    return parsed.is_discarded() ? nlohmann::json() : parsed;
}

bool UpdateKeptFile(const std::string& path,
                    const std::function<nlohmann::json(const nlohmann::json&)>& merge,
                    std::string* why) {
    auto slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    if (dir.empty()) dir = "/";
    if (access(dir.c_str(), F_OK) != 0) MakeDirectory(dir);
    std::string failure;
    {
        // Where the file system offers no locks, the save goes on without one: readers still
        // see whole files, only a save running at the same moment may be lost.
        DirectoryLock lock(dir);
        if (!lock.error()) RemoveOrphans(path);
        nlohmann::json next = merge(ReadKeptFile(path));
        failure =
            ReplaceFile(path, next.dump(1, ' ', false, nlohmann::json::error_handler_t::replace));
    }
    NoteOutcome(path, failure);
    if (why) *why = failure;
    return failure.empty();
}

nlohmann::json MergeCookies(const nlohmann::json& kept, const nlohmann::json& ours,
                            KnownCookies& known, double now) {
    std::map<std::string, const nlohmann::json*> mine;
    std::map<std::string, size_t> mineBySite;
    if (ours.is_array())
        for (const auto& c : ours)
            if (c.is_object()) mine[CookieKey(c)] = &c;
    for (const auto& [key, c] : mine) ++mineBySite[SiteOf(*c)];
    auto mayBeEvicted = [&](const nlohmann::json& c) {
        return mine.size() >= kCookiesAfterEviction ||
               mineBySite[SiteOf(c)] >= kSiteCookiesAfterEviction;
    };
    nlohmann::json merged = nlohmann::json::array();
    std::set<std::string> placed;
    if (kept.is_array()) {
        for (const auto& c : kept) {
            if (!c.is_object()) continue;
            std::string key = CookieKey(c);
            if (!placed.insert(key).second) continue;
            auto our = mine.find(key);
            auto knew = known.find(key);
            if (our != mine.end()) {
                // Ours replaces the kept one only where we changed it: an unchanged cookie of
                // ours may be older than what another program wrote since.
                bool changed = knew == known.end() || knew->second != Text(*our->second, "value");
                merged.push_back(changed ? *our->second : c);
            } else if (knew != known.end() && knew->second == Text(c, "value") &&
                       !mayBeEvicted(c)) {
                placed.erase(key);  // we had it as it is kept, and no longer: removed
            } else {
                merged.push_back(c);  // another program's
            }
        }
    }
    for (const auto& [key, c] : mine) {
        if (placed.count(key)) continue;
        // New to the file, unless it was there and someone else removed it since.
        auto knew = known.find(key);
        if (knew == known.end() || knew->second != Text(*c, "value")) merged.push_back(*c);
    }
    known.clear();
    for (const auto& [key, c] : mine) known[key] = Text(*c, "value");
    nlohmann::json fresh = nlohmann::json::array();
    for (auto& c : merged)
        if (!Expired(c, now)) fresh.push_back(std::move(c));
    return fresh;
}

void NoteKnownCookies(const nlohmann::json& kept, KnownCookies& known) {
    if (!kept.is_array()) return;
    for (const auto& c : kept)
        if (c.is_object()) known[CookieKey(c)] = Text(c, "value");
}

std::string KeptFilesFailure() {
    const auto& failures = Failures();
    return failures.empty() ? std::string() : failures.begin()->second;
}

}  // namespace engine
