#pragma once
// The Chromium child process and the pipe the DevTools protocol travels on:
// NUL-separated JSON messages, Chromium reading its fd 3 and writing its fd 4.
#include <limits.h>
#include <sys/types.h>

#include <atomic>
#include <string>
#include <vector>

#include "engine/page/bounds.h"
#include "engine/process/browser_choice.h"
#include "engine/transport/transport.h"

namespace engine {

class ChromiumProcess : public Transport {
  public:
    ChromiumProcess() = default;
    ChromiumProcess(const ChromiumProcess&) = delete;
    ChromiumProcess& operator=(const ChromiumProcess&) = delete;
    ~ChromiumProcess() override;

    // Finds and starts Chromium. Does not wait for it to be ready. On failure returns false
    // and says why in *why.
    bool Start(std::string* why);

    // Writes one message (the NUL is added). False when the pipe is gone.
    bool Send(const std::string& message) override;

    // Reads what is available without blocking and appends complete messages to `out`.
    // False once Chromium has closed its end (or died).
    bool ReadAvailable(std::vector<std::string>& out) override;

    // Waits until the pipe is readable or `timeoutMs` passes (-1: forever).
    bool WaitReadable(int timeoutMs) const override;

    int readFd() const override { return fromChromium_; }
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
    int toChromium_ = -1;
    int fromChromium_ = -1;
    MessageIntake incoming_;  // the message under way
    size_t maxMessageBytes_ = size_t{512} << 20;
    std::string profileDir_;
    std::vector<std::string> switches_;
    std::string exitReason_;
};

// Every switch the engine starts Chromium with, each for a stated reason.
std::vector<std::string> ChromiumSwitches(const std::string& profileDir);

}  // namespace engine
