#pragma once
// What the benchmarks that compare with Puppeteer and Playwright share: waiting for the
// fixture page, running a peers script on the same Chromium and page, and the table.
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "bench/support/stats.h"
#include "engine/chromium_process.h"
#include "hostctl/engine_library.h"

namespace bench {

inline bool WaitLoaded(wkeWebView view) {
    static bool loaded = false;
    loaded = false;
    hostctl::Engine().wkeOnLoadingFinish(
        view,
        [](wkeWebView, void*, const wkeString, wkeLoadingResult r, const wkeString) {
            loaded = r == WKE_LOADING_SUCCEEDED;
        },
        nullptr);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!loaded && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{hostctl::Engine().wkeGetEventFd(), POLLIN, 0};
        poll(&pfd, 1, 50);
        hostctl::Engine().wkeWake(nullptr);
    }
    return loaded;
}

// Runs `node script CHROMIUM URL RUNS extra...` and reads its JSON: peer -> row -> ms.
inline nlohmann::json RunPeers(const std::string& script, const std::string& url, int runs,
                               const std::vector<std::string>& extra) {
    std::string command = "node '" + script + "' '" + engine::FindChromium() + "' '" + url + "' " +
                          std::to_string(runs);
    for (const std::string& e : extra) command += " '" + e + "'";
    FILE* out = popen(command.c_str(), "r");
    if (!out) return {};
    std::string text;
    char buf[4096];
    while (size_t n = fread(buf, 1, sizeof buf, out)) text.append(buf, n);
    pclose(out);
    nlohmann::json result = nlohmann::json::parse(text, nullptr, false);
    if (!result.is_object()) std::fprintf(stderr, "the peers did not run\n");
    return result;
}

// Our medians beside the peers', and our share of the best peer.
inline void PrintTable(const std::vector<std::pair<std::string, Stats>>& ours,
                       const nlohmann::json& others) {
    std::printf("%-50s %9s %10s %11s %13s\n", "operation", "ours", "Puppeteer", "Playwright",
                "ours/best");
    for (const auto& [name, stats] : ours) {
        std::printf("%-50s %9.3f", name.c_str(), stats.median);
        double best = 0;
        for (const char* peer : {"Puppeteer", "Playwright"}) {
            double v = 0;
            if (others.is_object() && others.contains(peer)) v = others[peer].value(name, 0.0);
            if (v > 0)
                std::printf(" %10.3f", v);
            else
                std::printf(" %10s", "-");
            if (v > 0 && (best == 0 || v < best)) best = v;
        }
        if (best > 0)
            std::printf(" %13.2f\n", stats.median / best);
        else
            std::printf(" %13s\n", "-");
    }
}

}  // namespace bench
