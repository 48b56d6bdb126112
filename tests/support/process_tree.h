#pragma once
// The processes below a process, read from /proc, for the tests (killing the browser's the way
// a crash or the out-of-memory killer would) and for the benchmarks (measuring them).
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

struct ProcessInfo {
    pid_t pid = 0, parent = 0;
    std::string name;     // the short name (comm)
    std::string command;  // the arguments, joined by blanks
};

inline std::vector<ProcessInfo> AllProcesses() {
    std::vector<ProcessInfo> all;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        ProcessInfo p;
        p.pid = std::stoi(name);
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        p.name = line.substr(open + 1, close - open - 1);
        std::istringstream rest(line.substr(close + 2));
        std::string state;
        rest >> state >> p.parent;
        std::ifstream cmdline(entry.path() / "cmdline");
        std::string arg;
        while (std::getline(cmdline, arg, '\0')) p.command += arg + " ";
        all.push_back(p);
    }
    return all;
}

// Every process below `root` (not `root` itself).
inline std::vector<ProcessInfo> Descendants(pid_t root) {
    std::vector<ProcessInfo> all = AllProcesses(), found;
    std::map<pid_t, pid_t> parentOf;
    for (const ProcessInfo& p : all) parentOf[p.pid] = p.parent;
    for (const ProcessInfo& p : all) {
        for (pid_t up = p.parent; up > 1; up = parentOf.count(up) ? parentOf[up] : 0)
            if (up == root) {
                found.push_back(p);
                break;
            }
    }
    return found;
}

// Kills (SIGKILL) the processes below `root` whose arguments hold `marker`; how many.
inline int KillBelow(pid_t root, const std::string& marker) {
    int killed = 0;
    for (const ProcessInfo& p : Descendants(root))
        if (p.command.find(marker) != std::string::npos && kill(p.pid, SIGKILL) == 0) ++killed;
    return killed;
}

// A renderer dies as in a crash; the browser dies as if the system killed it.
constexpr const char* kRendererMarker = "--type=renderer";
constexpr const char* kBrowserMarker = "--remote-debugging-pipe";

}  // namespace testsupport
