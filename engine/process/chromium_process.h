#pragma once
// The Chromium child process: found, started in a process group of its own with a profile of
// its own, and ended with both. The protocol travels on its fds 3 and 4, framed by the pipe
// transport it is.
#include <limits.h>
#include <sys/types.h>

#include <atomic>
#include <string>
#include <vector>

#include "engine/options.h"
#include "engine/transport/pipe_transport.h"

namespace engine {

// How a Chromium of our own is started.
struct LaunchOptions {
    std::string chromium;                    // the binary chosen; empty: the usual search
    std::vector<std::string> extraSwitches;  // after the engine's own
    bool keepLog = false;                    // Chromium's stderr stays the host's
    size_t maxMessageBytes = kDefaultMaxMessageBytes;
};
LaunchOptions LaunchOptionsFrom(const EngineOptions& options);

class ChromiumProcess : public PipeTransport {
  public:
    ChromiumProcess() = default;
    ~ChromiumProcess() override;

    // Finds and starts Chromium. Does not wait for it to be ready. On failure returns false
    // and says why in *why.
    bool Start(const LaunchOptions& launch, std::string* why);
    // The same, as the environment says now (for programs that start a browser by itself).
    bool Start(std::string* why) { return Start(LaunchOptionsFrom(ReadEngineOptions()), why); }

    bool running() const { return pid_ > 0; }
    const std::string& profileDir() const { return profileDir_; }
    // The switches of the running Chromium (the binary not included).
    const std::vector<std::string>& switches() const { return switches_; }

    // Ends the child (if still running) and its whole process group, removes the profile and
    // describes how the child ended.
    std::string Stop();
    // Kills the browser's whole process group at once and removes its profile; nothing
    // starts again on this object. Async-signal-safe, and safe from any thread while the
    // owning thread is busy with the process: it reads only what is fixed while it runs.
    void Terminate();
    bool terminated() const { return terminated_.load(); }
    // Ends a child that broke the protocol; `why` is then how it ended.
    void Abandon(const std::string& why) override;
    // After ReadAvailable returned false: how the child ended.
    std::string ExitReason();

  private:
    // Ends what is left of the group once the leader has ended or must, then reaps the
    // leader: signalled before the reaping, the group's id cannot belong to anyone else yet.
    std::string EndGroupAndReap();

    pid_t pid_ = -1;
    int ownerLock_ = -1;
    // What Terminate may read from another thread: the group while it runs, and the profile
    // path while it exists (written before profileFixed_ is set).
    std::atomic<pid_t> group_{0};
    std::atomic<bool> profileFixed_{false};
    std::atomic<bool> terminated_{false};
    char fixedProfile_[PATH_MAX] = {};
    std::string profileDir_;
    std::vector<std::string> switches_;
    std::string exitReason_;
};

}  // namespace engine
