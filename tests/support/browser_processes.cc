#include "tests/support/browser_processes.h"

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace testsupport {
namespace {

struct ProcStat {
    pid_t pid = 0, parent = 0, group = 0;
    char state = '?';
};

// "PID (name) STATE PPID PGRP ...": the name may hold blanks and parentheses.
bool ReadStat(const std::string& pid, ProcStat* out) {
    std::ifstream file("/proc/" + pid + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream rest(text.substr(close + 1));
    out->pid = std::stoi(pid);
    return static_cast<bool>(rest >> out->state >> out->parent >> out->group);
}

template <typename Keep>
std::vector<pid_t> LiveProcesses(Keep keep) {
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    while (dirent* e = readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        ProcStat st;
        if (ReadStat(e->d_name, &st) && st.state != 'Z' && st.state != 'X' && keep(st))
            found.push_back(st.pid);
    }
    closedir(proc);
    return found;
}

}  // namespace

std::vector<pid_t> LiveChildren() {
    pid_t self = getpid();
    return LiveProcesses([self](const ProcStat& st) { return st.parent == self; });
}

std::vector<pid_t> RunningInGroup(pid_t group) {
    return LiveProcesses([group](const ProcStat& st) { return st.group == group; });
}

std::string CommandLine(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    for (char& c : text)
        if (c == '\0') c = ' ';
    return text;
}

std::string ProfileOf(pid_t browser) {
    std::istringstream words(CommandLine(browser));
    std::string word;
    const std::string flag = "--user-data-dir=";
    while (words >> word)
        if (word.rfind(flag, 0) == 0) return word.substr(flag.size());
    return "";
}

}  // namespace testsupport
