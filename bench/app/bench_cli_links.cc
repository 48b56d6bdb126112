// Many links with `qirlen --cli`: 20 share links resolved in one run (one browser) beside the
// same 20 links as 20 separate runs (a browser each), against the sample live room on
// loopback. Each run is a new process; standard output is checked for one address a link.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/support/stats.h"
#include "platform/paths.h"
#include "tests/support/sample_live_room.h"

extern char** environ;

namespace {

// Runs qirlen with `args`; the number of addresses it printed, or -1 when it failed.
int RunQirlen(const std::string& qirlen, const std::vector<std::string>& args) {
    int out[2];
    if (pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv = {const_cast<char*>(qirlen.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    int spawned = posix_spawn(&pid, qirlen.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return -1;
    }
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) text.append(buf, n);
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    int addresses = 0;
    for (size_t at = 0; (at = text.find("https://", at)) != std::string::npos; ++at) ++addresses;
    return addresses;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 3, links = 20;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--rounds=", 9) == 0)
            rounds = std::max(1, std::atoi(argv[i] + 9));
        if (std::strncmp(argv[i], "--links=", 8) == 0) links = std::max(1, std::atoi(argv[i] + 8));
    }
    testsupport::SampleLiveRoom room;
    setenv("QIRLEN_CHROMIUM_ARGS", testsupport::SampleLiveRoom::ChromiumArgs(room.port()).c_str(),
           1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    std::string qirlen = platform::ProgramDirectory() + "qirlen";
    // Rooms of both kinds, alternating: the stream element and the embedded room data.
    std::vector<std::string> all = {"--cli"};
    for (int i = 0; i < links; ++i)
        all.push_back(room.ShareLink(i % 2 ? testsupport::SampleLiveRoom::kTodayToken
                                           : testsupport::SampleLiveRoom::kLiveToken));
    std::vector<double> oneRun, separateRuns;
    bool allResolved = true;
    for (int r = 0; r < rounds; ++r) {
        oneRun.push_back(
            bench::Measure(1, [&] { allResolved &= RunQirlen(qirlen, all) == links; }).median);
        separateRuns.push_back(bench::Measure(1, [&] {
                                   for (int i = 1; i <= links; ++i)
                                       allResolved &= RunQirlen(qirlen, {"--cli", all[i]}) == 1;
                               }).median);
    }
    std::printf("qirlen --cli with many links (sample live room on loopback)\n");
    auto print = [&](const char* what, const std::vector<double>& ms) {
        bench::Stats s = bench::Summarize(ms);
        std::printf("%-44s %3zu rounds  median %9.1f ms  per link %7.1f ms\n", what, ms.size(),
                    s.median, s.median / links);
    };
    std::string one = std::to_string(links) + " links in one run";
    std::string separate = std::to_string(links) + " links in " + std::to_string(links) + " runs";
    print(one.c_str(), oneRun);
    print(separate.c_str(), separateRuns);
    if (!allResolved) std::printf("(some runs did not resolve every link)\n");
    return 0;
}
