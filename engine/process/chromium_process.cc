#include "engine/process/chromium_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "engine/process/browser_choice.h"
#include "engine/process/chromium_switches.h"
#include "engine/process/process_group.h"
#include "engine/process/profile_dir.h"

namespace engine {
namespace {

std::string DescribeStatus(int status) {
    if (WIFEXITED(status))
        return "Chromium exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "Chromium was killed by signal " + std::to_string(WTERMSIG(status)) + " (" +
               strsignal(WTERMSIG(status)) + ")";
    return "Chromium stopped";
}

}  // namespace

LaunchOptions LaunchOptionsFrom(const EngineOptions& options) {
    LaunchOptions launch{options.chromium, {}, options.chromiumLog, options.maxMessageBytes};
    if (!options.proxy.empty()) launch.extraSwitches.push_back("--proxy-server=" + options.proxy);
    launch.extraSwitches.insert(launch.extraSwitches.end(), options.chromiumArgs.begin(),
                                options.chromiumArgs.end());
    return launch;
}

ChromiumProcess::~ChromiumProcess() {
    Stop();
}

bool ChromiumProcess::Start(const LaunchOptions& launch, std::string* why) {
    std::string binary = FindChromium(launch.chromium);
    if (binary.empty()) {
        // A path the user named that leads nowhere is said as it is: a typo, a browser moved.
        *why = launch.chromium.empty()
                   ? "Chromium not found (install chromium-headless-shell or chromium, or set "
                     "QIRLEN_CHROMIUM)"
                   : "Chromium not found: QIRLEN_CHROMIUM names " + launch.chromium +
                         ", which is no program that can be run";
        return false;
    }
    if (terminated_) {
        *why = "the browser was ended by the host";
        return false;
    }
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
    exitReason_.clear();

    int in[2], out[2], report[2];  // in: we write; out: Chromium writes; report: exec errors
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(report, O_CLOEXEC) != 0) {
        *why = std::string("cannot create pipes: ") + strerror(errno);
        return false;
    }
    std::vector<std::string> args = ChromiumSwitches(profileDir_, launch.extraSwitches);
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
        if (!launch.keepLog) dup2(devnull, 2);
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
    OpenPipes(in[1], out[0], launch.maxMessageBytes);
    if (got == sizeof execError) {
        *why = "cannot start " + binary + ": " + strerror(execError);
        Stop();
        return false;
    }
    if (terminated_) {  // ended while starting: what Terminate did not see yet goes now
        Terminate();
        *why = "the browser was ended by the host";
        return false;
    }
    return true;
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
    ClosePipes();
    // Nothing of the browser's own needs keeping: what the views keep was read over the
    // protocol before, and the profile goes with it. Its orderly quit on the closed pipe
    // takes a few hundred milliseconds, so it is not waited for.
    if (pid_ > 0) exitReason_ = EndGroupAndReap();
    if (!profileDir_.empty()) {
        profileFixed_ = false;
        RemoveTree(profileDir_.c_str());
        profileDir_.clear();
    }
    if (ownerLock_ >= 0) close(ownerLock_);
    ownerLock_ = -1;
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
