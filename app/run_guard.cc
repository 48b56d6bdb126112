#include "app/run_guard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace app::run_guard {
namespace {

using Clock = std::chrono::steady_clock;

// The guard's thread sleeps on this pipe: a signal handler writes the signal's number (the
// one thing a handler may safely do), SetDeadline writes kNewDeadline.
int wakePipe[2] = {-1, -1};
constexpr char kNewDeadline = 0;

std::atomic<void (*)()> terminator{nullptr};

enum State { kRunning, kSettled, kFired };
std::atomic<int> state{kRunning};

std::mutex deadlineMutex;
std::optional<Clock::time_point> deadline;
std::string deadlineLine;
int deadlineExit = 0;

void OnSignal(int signal) {
    int saved = errno;
    char number = static_cast<char>(signal);
    (void)!write(wakePipe[1], &number, 1);
    errno = saved;
}

void EndBrowser() {
    if (auto terminate = terminator.load()) terminate();
}

// stdio's lock may be held by the blocked main thread: the line goes straight to the fd.
void WriteLine(const std::string& text) {
    std::string line = text + "\n";
    for (size_t done = 0; done < line.size();) {
        ssize_t n = write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// Ends as if the signal had not been caught, so that a calling shell sees it (and stops a
// script on Ctrl-C); the browser and its profile are gone first.
[[noreturn]] void DieOf(int signal) {
    state.store(kFired);  // a main thread that wakes up as the browser goes waits in Settle
    EndBrowser();
    ::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    _exit(128 + signal);
}

[[noreturn]] void Expire() {
    std::string line;
    int code;
    {
        std::lock_guard<std::mutex> lock(deadlineMutex);
        line = deadlineLine;
        code = deadlineExit;
    }
    WriteLine(line);
    EndBrowser();
    _exit(code);
}

// Milliseconds to wait for: -1 (for ever) without a deadline or once settled.
int MillisecondsLeft() {
    std::lock_guard<std::mutex> lock(deadlineMutex);
    if (!deadline || state.load() != kRunning) return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// Whether the deadline has passed with the run unsettled: the guard then ends it. A deadline
// moved on while the guard's wait ran is waited for anew.
bool TakeExpiry() {
    std::lock_guard<std::mutex> lock(deadlineMutex);
    int running = kRunning;
    return deadline && Clock::now() >= *deadline && state.compare_exchange_strong(running, kFired);
}

void Watch() {
    for (;;) {
        pollfd wake{wakePipe[0], POLLIN, 0};
        int ready = poll(&wake, 1, MillisecondsLeft());
        if (ready < 0) continue;  // interrupted by a signal: its byte is in the pipe
        if (ready == 0) {
            if (TakeExpiry()) Expire();
            continue;
        }
        char byte;
        while (read(wakePipe[0], &byte, 1) == 1)
            if (byte != kNewDeadline) DieOf(byte);
    }
}

void Catch(int signal) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    if (current.sa_handler == SIG_IGN) return;  // e.g. SIGHUP under nohup: stays ignored
    struct sigaction caught {};
    caught.sa_handler = OnSignal;
    sigemptyset(&caught.sa_mask);
    caught.sa_flags = SA_RESTART;
    sigaction(signal, &caught, nullptr);
}

}  // namespace

bool Start() {
    static bool started = [] {
        if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
        try {
            std::thread(Watch).detach();
        } catch (const std::system_error&) {
            return false;
        }
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) Catch(signal);
        return true;
    }();
    return started;
}

void SetBrowserTerminator(void (*terminate)()) {
    terminator.store(terminate);
}

void SetDeadline(Clock::time_point at, const std::string& line, int exitCode) {
    {
        std::lock_guard<std::mutex> lock(deadlineMutex);
        deadline = at;
        deadlineLine = line;
        deadlineExit = exitCode;
        int settled = kSettled;  // the next link of a run: its deadline runs again
        state.compare_exchange_strong(settled, kRunning);
    }
    if (wakePipe[1] >= 0) (void)!write(wakePipe[1], &kNewDeadline, 1);
}

void Settle() {
    int running = kRunning;
    if (state.compare_exchange_strong(running, kSettled) || running == kSettled) return;
    for (;;) pause();  // the guard's thread is ending the program
}

}  // namespace app::run_guard
