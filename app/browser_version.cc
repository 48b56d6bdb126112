#include "app/browser_version.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "engine/process/browser_choice.h"

extern char** environ;

namespace app {
namespace {

using Clock = std::chrono::steady_clock;

std::string FirstLineTrimmed(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    size_t end = line.find_last_not_of(" \t\r");
    return end == std::string::npos ? "" : line.substr(0, end + 1);
}

// Reads until the end of the output, a whole first line or the deadline.
std::string ReadFirstLine(int fd, Clock::time_point deadline) {
    std::string text;
    char buf[512];
    while (text.find('\n') == std::string::npos && text.size() < 4096) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;
        pollfd pfd{fd, POLLIN, 0};
        int ready = poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    return FirstLineTrimmed(text);
}

// Whatever the browser started is in its group; none of it outlives the question.
void EndGroup(pid_t pid) {
    kill(-pid, SIGKILL);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

std::string AskVersion(const std::string& binary, int limitMs) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return "";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    std::string arg0 = binary, arg1 = "--version";
    char* argv[] = {arg0.data(), arg1.data(), nullptr};
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, binary.c_str(), &actions, &attr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(out[1]);
    std::string version;
    if (spawned == 0) {
        version = ReadFirstLine(out[0], Clock::now() + std::chrono::milliseconds(limitMs));
        EndGroup(pid);
    }
    close(out[0]);
    return version;
}

std::string BrowserLine(int limitMs) {
    std::string binary = engine::FindChromium();
    if (binary.empty()) {
        const char* chosen = std::getenv("QIRLEN_CHROMIUM");
        if (chosen && *chosen)
            return std::string("browser: none (QIRLEN_CHROMIUM=") + chosen +
                   " is no executable file)";
        return "browser: none found (install chromium-headless-shell or chromium, or set "
               "QIRLEN_CHROMIUM)";
    }
    std::string version = AskVersion(binary, limitMs);
    return "browser: " + binary + " (" + (version.empty() ? "its version is unknown" : version) +
           ")";
}

}  // namespace app
