// `qirlen serve` as players use it, on the sample live room: cached redirects per second and
// their latency with 64 kept-alive clients; a cold resolve through the running service beside
// `qirlen --cli` on the same room (which starts its browser each time); the service's memory
// with its browser, and with 200 watched rooms.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/own_programs.h"
#include "bench/support/process_tree.h"
#include "bench/support/stats.h"
#include "tests/support/sample_live_room.h"

extern char** environ;

namespace {

using bench::BinDir;
using bench::MsSince;

using Clock = std::chrono::steady_clock;
using testsupport::SampleLiveRoom;

int Connect(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<uint16_t>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// One request on a kept-alive connection; the status, or 0 when the connection failed.
int Ask(int fd, const std::string& path, std::string& buffer) {
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    if (write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) return 0;
    buffer.clear();
    char chunk[8192];
    for (;;) {
        size_t end = buffer.find("\r\n\r\n");
        if (end != std::string::npos) {
            size_t at = buffer.find("Content-Length: ");
            size_t length =
                at == std::string::npos ? 0 : std::strtoul(&buffer[at + 16], nullptr, 10);
            if (buffer.size() >= end + 4 + length) return std::atoi(buffer.c_str() + 9);
        }
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) return 0;
        buffer.append(chunk, static_cast<size_t>(n));
    }
}

int AskOnce(int port, const std::string& path) {
    int fd = Connect(port);
    std::string buffer;
    int status = fd < 0 ? 0 : Ask(fd, path, buffer);
    if (fd >= 0) close(fd);
    return status;
}

struct Service {
    pid_t pid = -1;
    int port = 0;
};

// The service on a free port, its state in a directory of its own.
Service StartService(const std::string& stateDir, const std::string& roomsFile = "") {
    Service s;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return s;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    setenv("XDG_STATE_HOME", stateDir.c_str(), 1);
    std::string program = BinDir() + "/qirlen";
    std::vector<std::string> args = {program, "serve", "--listen", "127.0.0.1:0", "--pace", "0.05"};
    if (!roomsFile.empty()) args.insert(args.end(), {"--rooms", roomsFile, "--interval", "20"});
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&s.pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        s.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::string said;
    char c;
    while (s.pid > 0 && said.find('\n') == std::string::npos && read(pipeFds[0], &c, 1) == 1)
        said += c;
    size_t colon = said.rfind(':');
    if (colon != std::string::npos) s.port = std::atoi(said.c_str() + colon + 1);
    close(pipeFds[0]);
    return s;
}

int RunCli(const std::string& link) {
    std::string program = BinDir() + "/qirlen";
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("--cli"),
                    const_cast<char*>(link.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int status = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return status;
}

// `clients` kept-alive connections asking for one cached link for `seconds`.
void Throughput(int port, int clients, double seconds) {
    std::atomic<bool> stop{false};
    std::vector<std::vector<double>> latencies(clients);
    std::vector<int> failures(clients, 0);
    std::vector<std::thread> threads;
    auto began = Clock::now();
    for (int i = 0; i < clients; ++i)
        threads.emplace_back([&, i] {
            int fd = Connect(port);
            std::string buffer;
            while (!stop) {
                auto t0 = Clock::now();
                if (fd < 0 || Ask(fd, "/douyin/81234567", buffer) != 302) {
                    ++failures[i];
                    if (fd >= 0) close(fd);
                    fd = Connect(port);
                    continue;
                }
                latencies[i].push_back(MsSince(t0));
            }
            if (fd >= 0) close(fd);
        });
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
    for (auto& t : threads) t.join();
    double elapsed = MsSince(began) / 1000;
    std::vector<double> all;
    int failed = 0;
    for (int i = 0; i < clients; ++i) {
        all.insert(all.end(), latencies[i].begin(), latencies[i].end());
        failed += failures[i];
    }
    std::sort(all.begin(), all.end());
    auto at = [&](double q) {
        return all.empty() ? 0 : all[std::min(all.size() - 1, size_t(all.size() * q))];
    };
    std::printf(
        "cached redirects, %d kept-alive clients: %.0f/s (goal >= 10000/s); latency p50 "
        "%.2f ms, p99 %.2f ms (goal <= 5 ms); %d failed\n",
        clients, all.size() / elapsed, at(0.5), at(0.99), failed);
}

// The memory of the service's whole tree; then SIGTERM ends it.
void PrintMemoryAndStop(const Service& service, const char* what) {
    bench::TreeMemory memory = bench::MeasureTree(service.pid);
    std::printf("memory of the service %s: %.0f MB in %d processes (%s)\n", what, memory.megabytes,
                memory.processes, memory.breakdown.c_str());
    kill(service.pid, SIGTERM);
    int exitStatus = 0;
    waitpid(service.pid, &exitStatus, 0);
}

// 200 watched rooms, checked every 20 s (one check each 100 ms): the memory of the whole tree
// once the first checks have run.
void WatchedRoomsMemory(const std::string& stateDir) {
    std::string rooms = stateDir + "/rooms.txt";
    FILE* file = std::fopen(rooms.c_str(), "w");
    for (int i = 0; i < 200; ++i) std::fprintf(file, "%d\n", i == 0 ? 81234567 : 90000000 + i);
    std::fclose(file);
    Service watching = StartService(stateDir + "/watching", rooms);
    std::this_thread::sleep_for(std::chrono::seconds(8));
    PrintMemoryAndStop(watching, "with 200 watched rooms (goal <= 300 MB)");
}

}  // namespace

int main() {
    SampleLiveRoom room;
    setenv("QIRLEN_CHROMIUM_ARGS", SampleLiveRoom::ChromiumArgs(room.port()).c_str(), 1);
    char stateTemplate[] = "/tmp/qirlen-bench-serve-XXXXXX";
    std::string stateDir = mkdtemp(stateTemplate) ? stateTemplate : "/tmp";
    Service service = StartService(stateDir);
    if (service.port == 0) {
        std::fprintf(stderr, "bench_serve: the service did not start\n");
        return 1;
    }
    auto first = Clock::now();
    int status = AskOnce(service.port, "/douyin/81234567");
    std::printf("first request (the service's browser starts): %.0f ms, status %d\n",
                MsSince(first), status);
    // Cold resolves with the browser running: the same room, each with options of its own.
    std::vector<double> cold;
    for (const char* options : {"?quality=hd", "?quality=origin", "?codec=h264", "?format=flv",
                                "?codec=h265", "?quality=ORIGION", "?quality=HD1"}) {
        auto t0 = Clock::now();
        AskOnce(service.port, std::string("/douyin/81234567") + options);
        cold.push_back(MsSince(t0));
    }
    bench::Stats served = bench::Summarize(cold);
    bench::Stats cli = bench::Measure(5, [&] { RunCli(room.WebSiteLink("/81234567")); });
    std::printf(
        "cold resolve through the service: median %.0f ms (p90 %.0f); qirlen --cli on "
        "the same room: median %.0f ms (p90 %.0f); the service saves %.0f ms\n",
        served.median, served.p90, cli.median, cli.p90, cli.median - served.median);
    for (int round = 0; round < 2; ++round) Throughput(service.port, 64, 3);
    PrintMemoryAndStop(service, "with its browser");
    WatchedRoomsMemory(stateDir);
    std::string remove = "rm -rf '" + stateDir + "'";
    (void)!std::system(remove.c_str());
    return 0;
}
