#pragma once
// The browser profile of one engine start: a directory under the temporary directory that
// the engine owns while it runs. Ownership is a lock (flock) on the profile's owner.lock,
// held by the engine and by its browser: it ends with the last of them, however they end,
// and it is seen the same from every PID namespace sharing the directory (containers that
// share /tmp), where process ids mean nothing.
#include <filesystem>
#include <string>

namespace engine {

// What every profile's name begins with.
extern const char* const kProfilePrefix;

struct OwnedProfile {
    std::string path;  // empty when it could not be made
    int lockFd = -1;   // holds the lock; closed with O_CLOEXEC on exec
};

// Makes a new profile under `parent`, locked before anyone can see its lock file unlocked.
OwnedProfile CreateProfile(const std::filesystem::path& parent, std::string* why);

// Writes the owners' process ids into the profile: for people looking at it, and for older
// versions of the engine that still judge by them.
void WriteOwnerIds(const std::string& profile, int hostPid, int browserPid);

// Removes the profiles under `parent` that nobody owns any more: those whose lock can be
// taken. Profiles from versions without the lock are judged as those versions judge them.
void RemoveAbandonedProfiles(const std::filesystem::path& parent);

}  // namespace engine
