// The two transports side by side: a script's round trip and launch-to-loaded over the pipe
// to a Chromium of the engine's own, and over the DevTools WebSocket to a Chromium started
// by hand on loopback (attaching replaces the launch there).
#include <poll.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/support/engine_wait.h"
#include "bench/support/stats.h"
#include "engine/wke.h"
#include "tests/remote/remote_browser.h"
#include "tests/support/http_server.h"

namespace {

using Clock = std::chrono::steady_clock;

void Print(const std::string& what, int runs, bench::Stats s) {
    std::printf("%-52s %6d runs  median %8.3f ms  p90 %8.3f ms\n", what.c_str(), runs, s.median,
                s.p90);
}

using bench::WaitLoaded;

// From the engine's start (or attach) to the page loaded in a new view.
double LaunchToLoaded(const std::string& page, wkeWebView* view) {
    auto t0 = Clock::now();
    wkeInitializeEx(nullptr);
    *view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 800, 600);
    wkeLoadURL(*view, page.c_str());
    if (!WaitLoaded(*view, 30000)) return -1;
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

struct Transport {
    std::string name, browserUrl;  // an empty address: the pipe
};

void Run(const Transport& t, const std::string& page, int launches, int roundTrips) {
    if (t.browserUrl.empty())
        unsetenv("QIRLEN_BROWSER_URL");
    else
        setenv("QIRLEN_BROWSER_URL", t.browserUrl.c_str(), 1);
    std::vector<double> launch;
    for (int i = 0; i < launches; ++i) {
        wkeWebView view = nullptr;
        double ms = LaunchToLoaded(page, &view);
        if (ms < 0) {
            std::printf("%s: the page did not load (%s)\n", t.name.c_str(), wkeEngineFailure());
            wkeShutdown();
            return;
        }
        launch.push_back(ms);
        if (i + 1 < launches) wkeShutdown();
    }
    Print(t.name + ": launch to loaded", launches, bench::Summarize(launch));
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 800, 600);
    wkeLoadURL(view, page.c_str());
    WaitLoaded(view, 30000);
    Print(t.name + ": script round trip (\"1\")", roundTrips,
          bench::Measure(roundTrips, [&] { wkeRunJsByFrame(view, 1, "1", true); }));
    Print(t.name + ": script round trip (10 kB answer)", roundTrips,
          bench::Measure(roundTrips, [&] { wkeRunJsByFrame(view, 1, "'x'.repeat(10000)", true); }));
    wkeShutdown();
}

}  // namespace

int main() {
    setenv("QIRLEN_ENGINE_QUIET", "1", 1);
    testsupport::HttpServer site([](const testsupport::HttpRequest&) {
        return testsupport::HttpResponse{200, "text/html", "<title>bench</title><p>page</p>"};
    });
    testsupport::RemoteBrowser remote;
    if (!remote.ok()) {
        std::printf("the hand-started browser did not open its DevTools port\n");
        return 1;
    }
    std::string page = site.Url("/");
    Run({"pipe", ""}, page, 5, 300);
    Run({"websocket (ws://)", remote.wsUrl()}, page, 5, 300);
    Run({"websocket (http:// via /json/version)", remote.httpUrl()}, page, 5, 300);
    return 0;
}
