// The two transports side by side: a script's round trip and launch-to-loaded over the pipe
// to a Chromium of the engine's own, and over the DevTools WebSocket to a Chromium started
// by hand on loopback (attaching replaces the launch there).
#include <poll.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/engine/transport_burst.h"
#include "bench/support/engine_wait.h"
#include "bench/support/stats.h"
#include "engine/process/chromium_process.h"
#include "engine/transport/websocket_transport.h"
#include "engine/capi/wke.h"
#include "tests/support/http_server.h"
#include "tests/support/remote_browser.h"
#include "tests/support/test_pki.h"
#include "tests/support/tls_proxy.h"

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

// A page handing the host big texts: four bound calls of 4 MB each in one run, as pages that
// pass a picture or a whole document do.
size_t bigTextsSeen = 0;
jsValue BigSink(jsExecState es, void*) {
    bigTextsSeen += jsTypeOf(jsArg(es, 0)) == JSTYPE_STRING;
    return jsUndefined();
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
    wkeRunJsByFrame(view, 1, "window.big = 'x'.repeat(4 << 20); 1", true);
    bigTextsSeen = 0;
    Print(t.name + ": four bound calls of 4 MB in one run", 10, bench::Measure(10, [&] {
              wkeRunJsByFrame(view, 1, "for (var i = 0; i < 4; i++) BigSink(window.big); 1", true);
          }));
    if (bigTextsSeen != 40) std::printf("  (only %zu of 40 big texts arrived)\n", bigTextsSeen);
    wkeShutdown();
}

// 24 texts of 4 MB from a page, taken off the transport alone (no JSON reading), five times.
void RunBurst(const std::string& name, engine::Transport& transport) {
    std::vector<double> wall, cpu;
    for (int i = 0; i < 5; ++i) {
        bench::BurstTiming t = bench::TimeBurst(transport, 24, 4);
        if (t.wallMs < 0) {
            std::printf("%s: the burst did not arrive whole\n", name.c_str());
            return;
        }
        wall.push_back(t.wallMs);
        cpu.push_back(t.hostCpuMs);
    }
    Print(name + ": 24 x 4 MB burst, wall", 5, bench::Summarize(wall));
    Print(name + ": 24 x 4 MB burst, host CPU", 5, bench::Summarize(cpu));
}

void RunBursts(bool pipe, const std::string& wsUrl, const std::string& wssUrl) {
    if (pipe) {
        engine::ChromiumProcess own;
        std::string why;
        if (own.Start(&why))
            RunBurst("pipe alone", own);
        else
            std::printf("pipe alone: %s\n", why.c_str());
    }
    for (const auto& [name, url] :
         {std::pair{"websocket alone", wsUrl}, std::pair{"websocket over TLS alone", wssUrl}}) {
        engine::WebSocketTransport socket;
        std::string why;
        if (socket.Connect(url, 20000, &why))
            RunBurst(name, socket);
        else
            std::printf("%s: %s\n", name, why.c_str());
    }
}

}  // namespace

// Arguments name what to run (pipe, ws, http, wss: the engine on that transport; burst: the
// transports alone); none: all of it.
int main(int argc, char** argv) {
    std::vector<std::string> only(argv + 1, argv + argc);
    auto wanted = [&](const char* name) {
        return only.empty() || std::find(only.begin(), only.end(), name) != only.end();
    };
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
    wkeJsBindFunctionEx("BigSink", BigSink, nullptr, 1, WKE_JS_BIND_REPLY_ONLY);
    if (wanted("pipe")) Run({"pipe", ""}, page, 5, 300);
    if (wanted("ws")) Run({"websocket (ws://)", remote.wsUrl()}, page, 5, 300);
    if (wanted("http"))
        Run({"websocket (http:// via /json/version)", remote.httpUrl()}, page, 5, 300);
    // wss:// through a TLS proxy on loopback, with a throwaway authority trusted for the run.
    testsupport::TestAuthority authority("qirlen bench authority");
    testsupport::TlsProxy proxy(remote.port(), authority.Issue("IP:127.0.0.1"));
    setenv("SSL_CERT_FILE", authority.CertificateFile().c_str(), 1);
    std::string wssUrl = "wss://127.0.0.1:" + std::to_string(proxy.port()) + remote.wsPath();
    if (wanted("wss")) Run({"websocket over TLS (wss://)", wssUrl}, page, 5, 300);
    if (wanted("burst")) RunBursts(wanted("pipe") || only.size() == 1, remote.wsUrl(), wssUrl);
    return 0;
}
