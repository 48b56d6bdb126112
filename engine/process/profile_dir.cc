#include "engine/process/profile_dir.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

#include "engine/process/process_group.h"

namespace engine {

const char* const kProfilePrefix = "qirlen-profile-";

namespace {

constexpr const char* kLockName = "owner.lock";
constexpr const char* kOwnerIdsName = "owner";

bool Gone(pid_t pidOrGroup) {
    return kill(pidOrGroup, 0) != 0 && errno == ESRCH;
}

enum class Verdict { kOwned, kAbandoned, kUnknown };

// The lock's verdict; `lockFd` keeps an abandoned profile's lock held while it is removed.
Verdict JudgeByLock(const std::filesystem::path& profile, int* lockFd) {
    int fd = open((profile / kLockName).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno == ENOENT ? Verdict::kUnknown : Verdict::kOwned;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return Verdict::kOwned;
    }
    *lockFd = fd;
    return Verdict::kAbandoned;
}

// Older engines wrote only their ids: the profile went once the host and its browser's
// group were both gone (a browser outlives a killed host for a while and keeps writing).
// A profile without either (one a browser wrote into after it was removed, or one whose
// owner has not locked it yet) goes once it has been left alone for a while.
Verdict JudgeByIds(const std::filesystem::path& profile) {
    std::ifstream owner(profile / kOwnerIdsName);
    pid_t host = 0, browser = 0;
    if (owner >> host) {
        owner >> browser;
        bool gone = Gone(host) && (browser <= 0 || Gone(-browser));
        return gone ? Verdict::kAbandoned : Verdict::kOwned;
    }
    std::error_code ec;
    auto age = std::filesystem::file_time_type::clock::now() -
               std::filesystem::last_write_time(profile, ec);
    return !ec && age >= std::chrono::minutes(10) ? Verdict::kAbandoned : Verdict::kOwned;
}

}  // namespace

OwnedProfile CreateProfile(const std::filesystem::path& parent, std::string* why) {
    std::string tmpl = (parent / (std::string(kProfilePrefix) + "XXXXXX")).string();
    if (!mkdtemp(tmpl.data())) {
        *why = std::string("cannot create a profile directory: ") + strerror(errno);
        return {};
    }
    // Made under another name and renamed once locked: another engine that looks meanwhile
    // finds no lock file (and leaves a young profile alone), never an unlocked one.
    std::string fresh = tmpl + "/" + kLockName + ".new";
    int fd = open(fresh.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 || flock(fd, LOCK_EX) != 0 ||
        rename(fresh.c_str(), (tmpl + "/" + kLockName).c_str()) != 0) {
        *why = std::string("cannot lock the profile directory: ") + strerror(errno);
        if (fd >= 0) close(fd);
        RemoveTree(tmpl.c_str());
        return {};
    }
    return {tmpl, fd};
}

void WriteOwnerIds(const std::string& profile, int hostPid, int browserPid) {
    std::ofstream owner(profile + "/" + kOwnerIdsName);
    owner << hostPid;
    if (browserPid > 0) owner << " " << browserPid;
    owner << "\n";
}

void RemoveAbandonedProfiles(const std::filesystem::path& parent) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(parent, ec)) {
        if (entry.path().filename().string().rfind(kProfilePrefix, 0) != 0) continue;
        if (!entry.is_directory(ec) || entry.is_symlink(ec)) continue;
        int lockFd = -1;
        Verdict verdict = JudgeByLock(entry.path(), &lockFd);
        if (verdict == Verdict::kUnknown) verdict = JudgeByIds(entry.path());
        if (verdict == Verdict::kAbandoned) RemoveTree(entry.path().c_str());
        if (lockFd >= 0) close(lockFd);
    }
}

}  // namespace engine
