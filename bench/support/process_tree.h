#pragma once
// A program and every process it started (found by the tests' walker of /proc): their memory (PSS,
// so that pages shared between them count once) and what kind of process each is.
#include <sys/types.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process_tree.h"

namespace bench {

// `root` and all its descendants that still exist.
inline std::vector<pid_t> ProcessTree(pid_t root) {
    std::vector<pid_t> tree = {root};
    for (const testsupport::ProcessInfo& p : testsupport::Descendants(root)) tree.push_back(p.pid);
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
