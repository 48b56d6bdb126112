#include "engine/process/chromium_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "engine/process/process_group.h"
#include "engine/process/profile_dir.h"

namespace engine {
namespace {

// Splits like a shell does, quotes included, so that a switch may hold blanks:
// '--host-resolver-rules=MAP host 127.0.0.1'.
std::vector<std::string> SplitWords(const char* text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (const char* p = text ? text : ""; *p; ++p) {
        char c = *p;
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word.push_back(c);
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word.push_back(c);
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

std::string DescribeStatus(int status) {
    if (WIFEXITED(status))
        return "Chromium exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "Chromium was killed by signal " + std::to_string(WTERMSIG(status)) + " (" +
               strsignal(WTERMSIG(status)) + ")";
    return "Chromium stopped";
}

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

std::vector<std::string> ChromiumSwitches(const std::string& profileDir) {
    std::vector<std::string> s = {
        // No window and no display: the views are never on a screen.
        "--headless",
        // The protocol runs on fds 3 and 4 of the child; no TCP port is opened.
        "--remote-debugging-pipe",
        // A private profile per engine start, so runs never share state by accident.
        "--user-data-dir=" + profileDir,
        // One blank tab opens with the browser: its renderer starts while the browser does,
        // and the first view takes it (a tab made later waits for a renderer of its own).
        "about:blank",
        "--no-first-run",
        "--no-default-browser-check",
        // The machines we run on have no GPU, and rendering in software is enough. The
        // software GPU (it composites and gives pages WebGL) runs on a thread of the browser:
        // with the unsandboxed zygote, which only started it, that is about 10 MB less, and
        // the start is not slower. A crash in it now ends the browser, which the engine
        // reports like any other browser crash.
        "--disable-gpu",
        "--in-process-gpu",
        "--no-unsandboxed-zygote",
        // One view needs no network process of its own (some 25 MB): its page dies with a
        // crashed network service either way.
        "--enable-features=NetworkServiceInProcess2",
        // Background traffic to Google's services fails on closed networks and costs time.
        "--disable-background-networking",
        "--disable-component-update",
        "--disable-sync",
        "--disable-default-apps",
        "--disable-extensions",
        "--disable-quic",
        // Pages must run as if visible: hidden views keep their timers and promises going.
        "--disable-background-timer-throttling",
        "--disable-renderer-backgrounding",
        "--disable-backgrounding-occluded-windows",
        // Bound functions are reached through window.top from every frame, cross-origin
        // frames included, and every frame of a view must answer on the view's one session:
        // all frames of a page share one renderer and may script each other.
        "--disable-web-security",
        "--disable-site-isolation-trials",
        "--disable-features=IsolateOrigins,site-per-process",
        // Any page reads any answer then, so a site's cookies go only with requests within
        // the top-level site (see network_guard.cc); this also covers workers, which the
        // headless shell otherwise lets send them anywhere.
        "--test-third-party-cookie-phaseout",
        // A hidden view never plays sound.
        "--mute-audio",
        // Password and translation prompts have no one to answer them.
        "--password-store=basic",
        "--disable-translate",
    };
    // The sandbox cannot start as root; as any other user it stays on. Its zygotes stay in
    // either case: with renderers started without them, a browser that a page floods with
    // bound calls went silent for good on a loaded machine.
    if (geteuid() == 0) s.push_back("--no-sandbox");
    for (auto& extra : SplitWords(std::getenv("QIRLEN_CHROMIUM_ARGS"))) s.push_back(extra);
    return s;
}

ChromiumProcess::~ChromiumProcess() {
    Stop();
}

bool ChromiumProcess::Start(std::string* why) {
    std::string binary = FindChromium();
    if (binary.empty()) {
        *why =
            "Chromium not found (install chromium-headless-shell or chromium, or set "
            "QIRLEN_CHROMIUM)";
        return false;
    }
    if (terminated_) {
        *why = "the browser was ended by the host";
        return false;
    }
    maxMessageBytes_ = MaxMessageBytes();
    RemoveAbandonedProfiles("/tmp");
    OwnedProfile profile = CreateProfile("/tmp", why);
    if (profile.path.empty()) return false;
    profileDir_ = profile.path;
    ownerLock_ = profile.lockFd;
    if (profileDir_.size() < sizeof fixedProfile_) {
        std::memcpy(fixedProfile_, profileDir_.c_str(), profileDir_.size() + 1);
        profileFixed_ = true;
    }
    WriteOwnerIds(profileDir_, getpid(), 0);
    incoming_ = MessageIntake();
    exitReason_.clear();

    int in[2], out[2], report[2];  // in: we write; out: Chromium writes; report: exec errors
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(report, O_CLOEXEC) != 0) {
        *why = std::string("cannot create pipes: ") + strerror(errno);
        return false;
    }
    std::vector<std::string> args = ChromiumSwitches(profileDir_);
    switches_ = args;
    args.insert(args.begin(), binary);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = fork();
    if (pid == 0) {
        // Child: fds 3 and 4 are the protocol pipe, fd 5 the profile's lock: the browser keeps
        // its profile owned while it runs, also when the host was killed before it. Copies
        // above the three are made first, so that none is overwritten by another's dup2.
        int readEnd = fcntl(in[0], F_DUPFD_CLOEXEC, 10);
        int writeEnd = fcntl(out[1], F_DUPFD_CLOEXEC, 10);
        int lock = fcntl(ownerLock_, F_DUPFD_CLOEXEC, 10);
        dup2(readEnd, 3);
        dup2(writeEnd, 4);
        dup2(lock, 5);
        int devnull = open("/dev/null", O_RDWR | O_CLOEXEC);
        if (!std::getenv("QIRLEN_CHROMIUM_LOG")) dup2(devnull, 2);
        dup2(devnull, 1);
        setpgid(0, 0);
        execv(binary.c_str(), argv.data());
        int err = errno;
        (void)!write(report[1], &err, sizeof err);
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(report[1]);
    if (pid < 0) {
        *why = std::string("cannot start Chromium: ") + strerror(errno);
        close(in[1]);
        close(out[0]);
        close(report[0]);
        return false;
    }
    int execError = 0;
    ssize_t got = read(report[0], &execError, sizeof execError);
    close(report[0]);
    // The read returns once the child exec'd or failed to: it leads its own group by then.
    pid_ = pid;
    group_ = pid;
    WriteOwnerIds(profileDir_, getpid(), pid);
    toChromium_ = in[1];
    fromChromium_ = out[0];
    if (got == sizeof execError) {
        *why = "cannot start " + binary + ": " + strerror(execError);
        Stop();
        return false;
    }
    fcntl(fromChromium_, F_SETFL, fcntl(fromChromium_, F_GETFL) | O_NONBLOCK);
    if (terminated_) {  // ended while starting: what Terminate did not see yet goes now
        Terminate();
        *why = "the browser was ended by the host";
        return false;
    }
    return true;
}

namespace {

// A write to a pipe whose reader is gone raises SIGPIPE. What the host does with that signal
// is its own business, so it is held back around the write and, if the write raised it,
// taken off again; the write's EPIPE says enough.
class QuietPipeWrites {
  public:
    QuietPipeWrites() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        alreadyPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~QuietPipeWrites() {
        sigset_t pending;
        sigpending(&pending);
        if (!alreadyPending_ && sigismember(&pending, SIGPIPE) == 1) {
            timespec now{0, 0};
            sigtimedwait(&pipe_, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }

  private:
    sigset_t pipe_, previous_;
    bool alreadyPending_ = false;
};

}  // namespace

bool ChromiumProcess::Send(const std::string& message) {
    if (toChromium_ < 0) return false;
    QuietPipeWrites quiet;
    std::string framed = message;
    framed.push_back('\0');
    const char* p = framed.data();
    size_t left = framed.size();
    while (left > 0) {
        ssize_t n = write(toChromium_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd pfd{toChromium_, POLLOUT, 0};
            poll(&pfd, 1, 100);
            continue;
        }
        if (n <= 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

bool ChromiumProcess::ReadAvailable(std::vector<std::string>& out) {
    if (fromChromium_ < 0) return false;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fromChromium_, buf, sizeof buf);
        if (n > 0) {
            std::string_view bytes(buf, static_cast<size_t>(n));
            for (size_t nul; (nul = bytes.find('\0')) != std::string_view::npos;
                 bytes.remove_prefix(nul + 1)) {
                incoming_.Add(bytes.substr(0, nul));
                out.push_back(incoming_.Take());
            }
            incoming_.Add(bytes);
            if (incoming_.size() > maxMessageBytes_) {
                incoming_ = MessageIntake();
                Abandon("Chromium sent a message longer than " + std::to_string(maxMessageBytes_) +
                        " bytes");
                return false;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return true;
        return false;  // EOF or error: Chromium is gone
    }
}

bool ChromiumProcess::WaitReadable(int timeoutMs) const {
    if (fromChromium_ < 0) return false;
    pollfd pfd{fromChromium_, POLLIN, 0};
    int r;
    do r = poll(&pfd, 1, timeoutMs);
    while (r < 0 && errno == EINTR);
    return r > 0;
}

namespace {

// Whether the child has ended, without reaping it: its id stays its own until reaped.
bool EndedWithin(pid_t pid, int waitMs) {
    for (int waited = 0;; waited += 5) {
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == pid)
            return true;
        if (waited >= waitMs) return false;
        usleep(5000);
    }
}

}  // namespace

// A renderer or helper left behind would live on, and a stopped one for good: it never
// learns that the browser quit. So the whole group goes, whatever the leader did.
std::string ChromiumProcess::EndGroupAndReap() {
    group_ = 0;
    KillGroup(pid_);
    kill(pid_, SIGKILL);  // should it have left its group
    WaitUntilGroupEnds(pid_, 2000);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return DescribeStatus(status);
}

void ChromiumProcess::Abandon(const std::string& why) {
    if (pid_ > 0) EndGroupAndReap();
    exitReason_ = why;
}

std::string ChromiumProcess::ExitReason() {
    // The pipe closes a moment before the process ends.
    if (pid_ > 0) {
        if (EndedWithin(pid_, 500))
            exitReason_ = EndGroupAndReap();
        else
            exitReason_ = "Chromium closed the protocol pipe";
    }
    if (terminated_) exitReason_ = "the browser was ended by the host";
    return exitReason_.empty() ? "Chromium is not running" : exitReason_;
}

std::string ChromiumProcess::Stop() {
    CloseFd(toChromium_);
    CloseFd(fromChromium_);
    // Nothing of the browser's own needs keeping: what the views keep was read over the
    // protocol before, and the profile goes with it. Its orderly quit on the closed pipe
    // takes a few hundred milliseconds, so it is not waited for.
    if (pid_ > 0) exitReason_ = EndGroupAndReap();
    if (!profileDir_.empty()) {
        profileFixed_ = false;
        RemoveTree(profileDir_.c_str());
        profileDir_.clear();
    }
    CloseFd(ownerLock_);
    return exitReason_;
}

void ChromiumProcess::Terminate() {
    terminated_ = true;
    if (pid_t group = group_.exchange(0); group > 0) {
        KillGroup(group);
        WaitUntilGroupEnds(group, 2000);
    }
    if (profileFixed_) RemoveTree(fixedProfile_);
}

}  // namespace engine
