#pragma once
// Where the benchmark's own programs are (qirlen beside it in the build's bin directory), and
// how long since a moment, for the benchmarks that run them as whole processes.
#include <unistd.h>

#include <chrono>
#include <string>

namespace bench {

inline std::string BinDir() {
    char self[4096] = {};
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? static_cast<size_t>(n) : 0);
    return path.substr(0, path.rfind('/'));
}

inline double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace bench
