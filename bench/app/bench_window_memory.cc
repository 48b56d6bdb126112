// The window's memory once idle: the program and every process it started (the browser and
// its helpers), as PSS, so that what they share counts once. One new window per run, for
// each browser (--browser=PATH, repeatable; without it both Debian's headless shell and
// chromium, whichever is installed). Without a display the window is drawn offscreen.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/own_programs.h"
#include "bench/support/process_tree.h"
#include "bench/support/stats.h"

extern char** environ;

namespace {

using bench::BinDir;

using Clock = std::chrono::steady_clock;

bool HasRenderer(pid_t root) {
    for (pid_t pid : bench::ProcessTree(root))
        if (bench::ProcessKind(pid) == "renderer") return true;
    return false;
}

// Waits until the window's browser has its page and the memory of all its processes has
// stopped moving (less than one megabyte in three seconds), then measures it.
bool MeasureIdle(pid_t window, bench::TreeMemory* idle) {
    auto deadline = Clock::now() + std::chrono::seconds(120);
    std::vector<double> recent;
    while (Clock::now() < deadline) {
        if (waitpid(window, nullptr, WNOHANG) == window) return false;
        bench::TreeMemory now = bench::MeasureTree(window);
        recent.push_back(now.megabytes);
        if (recent.size() > 12) recent.erase(recent.begin());
        if (recent.size() == 12 && HasRenderer(window) &&
            std::fabs(recent.back() - recent.front()) < 1.0) {
            *idle = now;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(250));  // the sampling period
    }
    return false;
}

bool RunOnce(const std::string& qirlen, bench::TreeMemory* idle) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(qirlen.c_str()), nullptr};
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, qirlen.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    bool measured = MeasureIdle(pid, idle);
    kill(pid, SIGTERM);  // the program ends its browser and removes its profile
    waitpid(pid, nullptr, 0);
    return measured;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3;
    std::vector<std::string> browsers;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0) runs = std::atoi(argv[i] + 7);
        if (std::strncmp(argv[i], "--browser=", 10) == 0) browsers.push_back(argv[i] + 10);
    }
    if (browsers.empty())
        for (const char* b : {"/usr/lib/chromium/chromium-headless-shell", "/usr/bin/chromium"})
            if (access(b, X_OK) == 0) browsers.push_back(b);
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!(display && *display) && !(wayland && *wayland)) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string qirlen = BinDir() + "/qirlen";

    std::printf(
        "the window idle: PSS of the program and all its browser's processes (other\n"
        "running instances of the same browser share its pages and lower the figure)\n");
    int failures = 0;
    for (const std::string& browser : browsers) {
        setenv("QIRLEN_CHROMIUM", browser.c_str(), 1);
        std::vector<double> totals;
        bench::TreeMemory last;
        for (int run = 0; run < runs; ++run) {
            bench::TreeMemory idle;
            if (RunOnce(qirlen, &idle)) {
                totals.push_back(idle.megabytes);
                last = idle;
            } else {
                ++failures;
            }
        }
        bench::Stats s = bench::Summarize(totals);
        std::printf("%-44s %d runs  median %6.1f MB in %d processes (last: %s)\n", browser.c_str(),
                    static_cast<int>(totals.size()), s.median, last.processes,
                    last.breakdown.c_str());
    }
    if (failures) std::printf("RUNS WITHOUT AN IDLE WINDOW: %d\n", failures);
    return failures ? 1 : 0;
}
