#pragma once
// A program and every process it started, read from /proc: their memory (PSS, so that pages
// shared between them count once) and what kind of process each is.
#include <dirent.h>
#include <sys/types.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace bench {

inline pid_t ParentOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');  // the name may hold blanks and parentheses
    if (close == std::string::npos) return -1;
    std::istringstream rest(text.substr(close + 1));
    std::string state;
    pid_t parent = -1;
    rest >> state >> parent;
    return parent;
}

// `root` and all its descendants that still exist.
inline std::vector<pid_t> ProcessTree(pid_t root) {
    std::multimap<pid_t, pid_t> children;
    if (DIR* proc = opendir("/proc")) {
        while (dirent* e = readdir(proc)) {
            pid_t pid = std::atoi(e->d_name);
            if (pid > 0) children.emplace(ParentOf(pid), pid);
        }
        closedir(proc);
    }
    std::vector<pid_t> tree = {root};
    for (size_t i = 0; i < tree.size(); ++i) {
        auto [from, to] = children.equal_range(tree[i]);
        for (auto it = from; it != to; ++it) tree.push_back(it->second);
    }
    return tree;
}

// Proportional set size in MB; 0 for a process that is gone.
inline double PssMegabytes(pid_t pid) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string key;
    long kb = 0;
    while (rollup >> key) {
        if (key == "Pss:") {
            rollup >> kb;
            break;
        }
        rollup.ignore(1 << 12, '\n');
    }
    return kb / 1024.0;
}

// The process's command line, words separated by blanks (Chromium rewrites its own so).
inline std::string CommandLine(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (char& c : text)
        if (c == '\0') c = ' ';
    return text;
}

// "renderer", "gpu-process", "utility:network.mojom.NetworkService", "zygote", or the
// program's own name for a process without a --type.
inline std::string ProcessKind(pid_t pid) {
    std::istringstream words(CommandLine(pid));
    std::string word, kind, program;
    words >> program;
    while (words >> word) {
        if (word.rfind("--type=", 0) == 0) kind = word.substr(7);
        if (word.rfind("--utility-sub-type=", 0) == 0) kind += ":" + word.substr(19);
    }
    return kind.empty() ? program.substr(program.rfind('/') + 1) : kind;
}

struct TreeMemory {
    double megabytes = 0;
    int processes = 0;
    std::string breakdown;  // "kind NN, kind NN, ..."
};

inline TreeMemory MeasureTree(pid_t root) {
    TreeMemory m;
    for (pid_t pid : ProcessTree(root)) {
        double mb = PssMegabytes(pid);
        if (mb <= 0) continue;
        m.megabytes += mb;
        ++m.processes;
        char part[160];
        std::snprintf(part, sizeof part, "%s%s %.0f", m.breakdown.empty() ? "" : ", ",
                      ProcessKind(pid).c_str(), mb);
        m.breakdown += part;
    }
    return m;
}

}  // namespace bench
