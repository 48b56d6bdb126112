#pragma once
// A Chromium started the way a user starts one to attach to: its own process (not the
// engine's child), its DevTools port on loopback, read from DevToolsActivePort.
#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

class RemoteBrowser {
  public:
    // Starts it and waits (a bounded while) until it listens; ok() tells whether it did.
    explicit RemoteBrowser(const std::vector<std::string>& extraSwitches = {});
    ~RemoteBrowser();
    RemoteBrowser(const RemoteBrowser&) = delete;
    RemoteBrowser& operator=(const RemoteBrowser&) = delete;

    bool ok() const { return port_ > 0; }
    pid_t pid() const { return pid_; }
    std::string wsUrl() const;    // ws://127.0.0.1:PORT/devtools/browser/ID
    std::string httpUrl() const;  // http://127.0.0.1:PORT
    int port() const { return port_; }
    const std::string& wsPath() const { return path_; }  // /devtools/browser/ID
    // The browser still runs and answers on its port.
    bool Answers() const;
    // The ids of its page targets, from /json/list.
    std::vector<std::string> PageIds() const;

    void Kill();    // SIGKILL, as a crash or an operator would
    void Pause();   // SIGSTOP: there, but silent
    void Resume();  // SIGCONT

  private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string path_, profile_;
};

// A plain HTTP GET on loopback; the body, or "" when there was no 200 answer.
std::string HttpGet(int port, const std::string& path);

}  // namespace testsupport
