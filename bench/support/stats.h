#pragma once
// Medians and 90th percentiles of repeated timings, for the benchmarks.
#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace bench {

struct Stats {
    double median, p90;
};

inline Stats Summarize(std::vector<double> ms) {
    if (ms.empty()) return {0, 0};
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 9 / 10)]};
}

// Times `work` `runs` times, in milliseconds.
inline Stats Measure(int runs, const std::function<void()>& work) {
    std::vector<double> ms;
    ms.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        work();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    return Summarize(std::move(ms));
}

}  // namespace bench
