#pragma once
// What the benchmarks that compare with Puppeteer and Playwright share: their options,
// opening the fixture page, running a peers script on the same Chromium and page, the table.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "automation/engine_binding.h"
#include "bench/support/stats.h"
#include "engine/process/browser_choice.h"
#include "hostctl/engine_library.h"
#include "tests/support/host_loop.h"

namespace bench {

struct Options {
    int runs = 300;
    bool peers = false;  // also run the peers script
};

inline Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0)
            options.runs = std::max(10, std::atoi(argv[i] + 7));
        if (std::strcmp(argv[i], "--peers") == 0) options.peers = true;
    }
    return options;
}

inline bool WaitLoaded(wkeWebView view) {
    static bool loaded = false;
    loaded = false;
    hostctl::Engine().wkeOnLoadingFinish(
        view,
        [](wkeWebView, void*, const wkeString, wkeLoadingResult r, const wkeString) {
            loaded = r == WKE_LOADING_SUCCEEDED;
        },
        nullptr);
    return testsupport::PumpHostLoop([] { return loaded; }, 20000);
}

// Loads the engine as the program does and opens `url` in a new view; null on failure.
inline wkeWebView OpenPage(const std::string& url) {
    if (!hostctl::EngineLibrary::Load()) return nullptr;
    automation::InitializeEngineBinding();
    wkeWebView view =
        hostctl::Engine().wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 800, 600);
    hostctl::Engine().wkeLoadURL(view, url.c_str());
    return WaitLoaded(view) ? view : nullptr;
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
