#pragma once
// The Chromium child process and the pipe the DevTools protocol travels on:
// NUL-separated JSON messages, Chromium reading its fd 3 and writing its fd 4.
#include <sys/types.h>

#include <string>
#include <vector>

namespace engine {

class ChromiumProcess {
  public:
    ChromiumProcess() = default;
    ChromiumProcess(const ChromiumProcess&) = delete;
    ChromiumProcess& operator=(const ChromiumProcess&) = delete;
    ~ChromiumProcess();

    // Finds and starts Chromium. Does not wait for it to be ready. On failure returns false
    // and says why in *why.
    bool Start(std::string* why);

    // Writes one message (the NUL is added). False when the pipe is gone.
    bool Send(const std::string& message);

    // Reads what is available without blocking and appends complete messages to `out`.
    // False once Chromium has closed its end (or died).
    bool ReadAvailable(std::vector<std::string>& out);

    // Waits until the pipe is readable or `timeoutMs` passes (-1: forever).
    bool WaitReadable(int timeoutMs) const;

    int readFd() const { return fromChromium_; }
    bool running() const { return pid_ > 0; }
    const std::string& profileDir() const { return profileDir_; }
    // The switches of the running Chromium (the binary not included).
    const std::vector<std::string>& switches() const { return switches_; }

    // Ends the child (if still running) and describes how it ended.
    std::string Stop();
    // Ends a child that broke the protocol; `why` is then how it ended.
    void Abandon(const std::string& why);
    // After ReadAvailable returned false: how the child ended.
    std::string ExitReason();

  private:
    pid_t pid_ = -1;
    int toChromium_ = -1;
    int fromChromium_ = -1;
    std::string pending_;
    size_t maxMessageBytes_ = size_t{512} << 20;
    std::string profileDir_;
    std::vector<std::string> switches_;
    std::string exitReason_;
};

// The browser binary: $QIRLEN_CHROMIUM, else chromium, chromium-browser, google-chrome on
// PATH. Empty when none is found.
std::string FindChromium();

// Every switch the engine starts Chromium with, each for a stated reason.
std::vector<std::string> ChromiumSwitches(const std::string& profileDir);

}  // namespace engine
