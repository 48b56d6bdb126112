// Automation benchmarks: one-slot readers and frame enumeration on a page with 10 frames,
// beside the engine's raw script round trip in the same run.
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "automation/web_automation.h"
#include "bench/automation/face_rows.h"
#include "bench/support/stats.h"
#include "hostctl/engine_library.h"
#include "tests/support/http_server.h"

using hostctl::Engine;
using Clock = std::chrono::steady_clock;

namespace {

using bench::Measure;
using bench::Stats;

void Print(const char* what, int runs, Stats s) {
    std::printf("%-48s %5d runs  median %8.3f ms  p90 %8.3f ms\n", what, runs, s.median, s.p90);
}

bool loaded = false;

}  // namespace

int main(int argc, char** argv) {
    int runs = 300;
    bool peers = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0) runs = std::max(10, std::atoi(argv[i] + 7));
        if (std::strcmp(argv[i], "--peers") == 0) peers = true;
    }
    testsupport::HttpServer server([](const testsupport::HttpRequest& r) {
        testsupport::HttpResponse page;
        if (r.path == "/") {
            for (int i = 0; i < 10; ++i) page.body += "<iframe src='/frame'></iframe>";
        } else {
            page.body = "<p>frame</p>";
        }
        return page;
    });
    if (!hostctl::EngineLibrary::Load()) return 1;
    automation::InitializeEngineBinding();
    wkeWebView view = Engine().wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 800, 600);
    Engine().wkeOnLoadingFinish(
        view,
        [](wkeWebView, void*, const wkeString, wkeLoadingResult r, const wkeString) {
            loaded = r == WKE_LOADING_SUCCEEDED;
        },
        nullptr);
    Engine().wkeLoadURL(view, server.Url("/").c_str());
    auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!loaded && Clock::now() < deadline) {
        pollfd pfd{Engine().wkeGetEventFd(), POLLIN, 0};
        poll(&pfd, 1, 50);
        Engine().wkeWake(nullptr);
    }
    automation::WebAutomation web;
    web.BindView(view);
    std::vector<int32_t> frames;
    if (web.GetFrameIds(frames) != 11 || frames.size() != 11) {
        std::fprintf(stderr, "the page does not have its 11 frames\n");
        return 1;
    }
    Stats raw = Measure(runs, [&] { Engine().wkeRunJsByFrame(view, 1, "1", false); });
    Stats ready = Measure(runs, [&] { web.GetReadyState(); });
    Stats scroll = Measure(runs, [&] { web.GetScrollTop(); });
    Stats frameIds = Measure(runs, [&] { web.GetFrameIds(frames); });
    // What a value setter does: one call that hands a value to the page.
    std::string setter = "document.title = window.top.Getvalue(" +
                         std::to_string(reinterpret_cast<intptr_t>(view)) + ");";
    automation::SuppliedValue supplied(view, "value");
    Stats valueCall = Measure(runs, [&] { automation::RunScript(view, 1, setter, false); });
    std::printf("qirlen automation benchmarks (page with 10 frames)\n");
    Print("engine: raw wkeRunJsByFrame(\"1\") round trip", runs, raw);
    Print("GetReadyState", runs, ready);
    Print("GetScrollTop", runs, scroll);
    Print("GetFrameIds (11 frames)", runs, frameIds);
    Print("a run with one value-returning call (Getvalue)", runs, valueCall);
    std::printf(
        "reply-only reads over the raw round trip: GetReadyState %+.3f ms, "
        "GetScrollTop %+.3f ms\n",
        ready.median - raw.median, scroll.median - raw.median);
    bool compared = bench::CompareFaces(runs, peers);
    Engine().wkeShutdown();
    return compared ? 0 : 1;
}
