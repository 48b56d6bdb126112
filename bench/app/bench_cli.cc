// The command line as a user runs it: `qirlen --cli LINK` on the sample live room, the
// whole process from its start to its exit (the browser's start and end included), each
// run a new process. Beside it, in the same runs, the floor: the two plain HTTP requests a
// client needs for the same pages (the share link's redirect, the room page) and the cut of
// the address out of the page's text. --browser=PATH (repeatable) compares browsers; without
// it the engine chooses.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/support/own_programs.h"
#include "bench/support/stats.h"
#include "tests/support/sample_live_room.h"

extern char** environ;

namespace {

using bench::BinDir;
using bench::MsSince;

using Clock = std::chrono::steady_clock;
using testsupport::SampleLiveRoom;

constexpr const char* kPhone =
    "Mozilla/5.0 (iPhone; CPU iPhone OS 14_0_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, "
    "like Gecko) Mobile/15E148";

// One request on a connection of its own, the answer read to its end.
std::string Get(int port, const std::string& path) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<uint16_t>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0) {
        std::string request = "GET " + path +
                              " HTTP/1.1\r\nHost: v.douyin.com:" + std::to_string(port) +
                              "\r\nUser-Agent: " + kPhone + "\r\nConnection: close\r\n\r\n";
        (void)!write(fd, request.data(), request.size());
        char buf[16384];
        for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) answer.append(buf, n);
    }
    close(fd);
    return answer;
}

std::string HeaderValue(const std::string& answer, const std::string& name) {
    size_t at = answer.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "";
    at += name.size() + 4;
    return answer.substr(at, answer.find("\r\n", at) - at);
}

// The floor: the share link, its redirect followed, and the address cut out of the page.
std::string FetchPlainly(int port) {
    std::string redirect = Get(port, std::string("/") + SampleLiveRoom::kLiveToken + "/");
    std::string page = Get(port, HeaderValue(redirect, "Location"));
    size_t from = page.find("src=\"https://pull-hls");
    if (from == std::string::npos) return "";
    from += 5;
    std::string address = page.substr(from, page.find('"', from) - from);
    for (size_t at = 0; (at = address.find("&amp;", at)) != std::string::npos; ++at)
        address.erase(at + 1, 4);
    return address;
}

// One whole run of the program; its standard output, or "" when it failed.
std::string RunCli(const std::string& qirlen, const std::string& link) {
    int out[2];
    if (pipe(out) != 0) return "";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv = {const_cast<char*>(qirlen.c_str()), const_cast<char*>("--cli"),
                               const_cast<char*>(link.c_str()), nullptr};
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, qirlen.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string printed;
    char buf[4096];
    for (ssize_t n; spawned == 0 && (n = read(out[0], buf, sizeof buf)) > 0;)
        printed.append(buf, n);
    close(out[0]);
    int status = 1;
    if (spawned == 0) waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? printed : "";
}

void Print(const std::string& what, int runs, bench::Stats s, double floor) {
    std::printf("%-58s %4d runs  median %8.1f ms  p90 %8.1f ms", what.c_str(), runs, s.median,
                s.p90);
    if (floor > 0) std::printf("  (%.0fx the floor)", s.median / floor);
    std::printf("\n");
}

// A room page as heavy as the platform's (about 3 MB of pictures, media, fonts, style sheets
// and scripts referenced): the bytes the platform sends for one resolve, beside its time; and
// the same behind an interstitial whose script must run first. The failures.
int HeavyRoom(const SampleLiveRoom& room, const std::string& qirlen, int runs,
              const std::string& expected) {
    int failures = 0;
    for (const char* token : {SampleLiveRoom::kHeavyToken, SampleLiveRoom::kInterstitialToken}) {
        std::vector<double> ms, kilobytes;
        for (int run = 0; run < runs; ++run) {
            unsigned long long before = room.bytesSent();
            auto start = Clock::now();
            failures += RunCli(qirlen, room.ShareLink(token)) != expected;
            ms.push_back(MsSince(start));
            kilobytes.push_back(static_cast<double>(room.bytesSent() - before) / 1000);
        }
        bool wall = token == std::string(SampleLiveRoom::kInterstitialToken);
        Print(
            std::string("a room page referencing 3 MB") + (wall ? ", behind an interstitial" : ""),
            runs, bench::Summarize(ms), 0);
        std::printf("%-58s %4d runs  median %8.1f KB fetched per resolve%s\n", "", runs,
                    bench::Summarize(kilobytes).median, wall ? "" : " (goal < 100 KB)");
    }
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 20;
    std::vector<std::string> browsers;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0) runs = std::atoi(argv[i] + 7);
        if (std::strncmp(argv[i], "--browser=", 10) == 0) browsers.push_back(argv[i] + 10);
    }
    const char* chosen = std::getenv("QIRLEN_CHROMIUM");
    if (browsers.empty()) browsers.push_back(chosen ? chosen : "");  // the engine's choice

    SampleLiveRoom room;
    std::string args = SampleLiveRoom::ChromiumArgs();
    if (const char* more = std::getenv("QIRLEN_CHROMIUM_ARGS")) args += std::string(" ") + more;
    setenv("QIRLEN_CHROMIUM_ARGS", args.c_str(), 1);
    std::string qirlen = BinDir() + "/qirlen";
    std::string link = room.ShareLink(SampleLiveRoom::kLiveToken);
    std::string expected = std::string(SampleLiveRoom::kStreamAddress) + "\n";

    // Runs alternate between the browsers and the floor, so that a machine's changing load
    // weighs on all alike.
    std::vector<std::vector<double>> cliMs(browsers.size());
    std::vector<double> floorMs;
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        for (size_t b = 0; b < browsers.size(); ++b) {
            if (browsers[b].empty())
                unsetenv("QIRLEN_CHROMIUM");
            else
                setenv("QIRLEN_CHROMIUM", browsers[b].c_str(), 1);
            auto start = Clock::now();
            bool right = RunCli(qirlen, link) == expected;
            cliMs[b].push_back(MsSince(start));
            failures += !right;
        }
        auto start = Clock::now();
        failures += FetchPlainly(room.port()) + "\n" != expected;
        floorMs.push_back(MsSince(start));
    }

    bench::Stats floor = bench::Summarize(floorMs);
    std::printf("qirlen --cli on the sample live room, the whole process, each run a new one\n");
    Print("floor: two plain HTTP requests and the cut", runs, floor, 0);
    for (size_t b = 0; b < browsers.size(); ++b)
        Print("qirlen --cli, browser " +
                  (browsers[b].empty() ? "of the engine's choice" : browsers[b]),
              runs, bench::Summarize(cliMs[b]), floor.median);
    failures += HeavyRoom(room, qirlen, std::max(3, runs / 4), expected);
    if (failures) std::printf("WRONG OR MISSING ANSWERS: %d\n", failures);
    return failures ? 1 : 0;
}
