// Engine benchmarks: script round trips, bound calls, and start-up, each beside the raw
// protocol round trip on the same pipe.
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/support/engine_wait.h"
#include "bench/support/stats.h"
#include "engine/browser/browser.h"
#include "engine/capi/wke.h"

namespace {

using bench::Measure;
using bench::Stats;
using bench::Summarize;

using Clock = std::chrono::steady_clock;

void Print(const char* what, int runs, Stats s, double floor = 0) {
    std::printf("%-52s %6d runs  median %8.3f ms  p90 %8.3f ms", what, runs, s.median, s.p90);
    if (floor > 0) std::printf("  (%+.3f ms over the floor client)", s.median - floor);
    std::printf("\n");
}

using bench::WaitLoaded;

int calls = 0;
jsValue Answer(jsExecState es, void*) {
    ++calls;
    return jsStringW(es, u"answer");
}
jsValue Nothing(jsExecState, void*) {
    ++calls;
    return jsUndefined();
}

// The floor: a minimal blocking client on a Chromium of its own. It writes a message and
// reads until its reply is there, nothing else: no event handling, no parsing of replies.
class FloorClient {
  public:
    bool Start() {
        std::string why;
        if (!process_.Start(&why)) return false;
        nlohmann::json target = Ask("Target.createTarget", {{"url", "about:blank"}}, "");
        nlohmann::json attached =
            Ask("Target.attachToTarget",
                {{"targetId", target.value("targetId", "")}, {"flatten", true}}, "");
        session_ = attached.value("sessionId", "");
        return !session_.empty();
    }
    // One Runtime.evaluate of "1", the reply found by its id alone.
    void RoundTrip() {
        int id = next_++;
        process_.Send("{\"id\":" + std::to_string(id) +
                      ",\"method\":\"Runtime.evaluate\",\"params\":{\"expression\":\"1\","
                      "\"returnByValue\":true},\"sessionId\":\"" +
                      session_ + "\"}");
        WaitFor(id);
    }

  private:
    nlohmann::json Ask(const std::string& method, const nlohmann::json& params,
                       const std::string& session) {
        int id = next_++;
        nlohmann::json m = {{"id", id}, {"method", method}, {"params", params}};
        if (!session.empty()) m["sessionId"] = session;
        process_.Send(m.dump());
        std::string reply = WaitFor(id);
        nlohmann::json r = nlohmann::json::parse(reply, nullptr, false);
        return r.is_object() ? r.value("result", nlohmann::json::object()) : nlohmann::json{};
    }
    std::string WaitFor(int id) {
        std::string key = "{\"id\":" + std::to_string(id) + ",";
        for (;;) {
            std::vector<std::string> messages;
            if (!process_.ReadAvailable(messages)) return {};
            for (auto& m : messages)
                if (m.compare(0, key.size(), key) == 0) return m;
            process_.WaitReadable(-1);
        }
    }
    engine::ChromiumProcess process_;
    std::string session_;
    int next_ = 1;
};

int Flag(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], name, std::strlen(name)) == 0)
            return std::atoi(argv[i] + std::strlen(name));
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = Flag(argc, argv, "--runs=", 300);
    int startRuns = Flag(argc, argv, "--start-runs=", 300);
    const char* page = "data:text/html,<title>bench</title><p>local page</p>";

    // Start-up: from wkeInitializeEx to a loaded local page, a new browser each time (the
    // shut-down that follows is not counted).
    std::vector<double> startMs;
    for (int i = 0; i < startRuns; ++i) {
        auto t0 = Clock::now();
        wkeInitializeEx(nullptr);
        wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 360, 720);
        wkeLoadURL(view, page);
        if (!WaitLoaded(view, 20000)) std::fprintf(stderr, "start-up run failed to load\n");
        startMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        wkeShutdown();
    }
    std::sort(startMs.begin(), startMs.end());
    Stats start{startMs[startMs.size() / 2],
                startMs[std::min(startMs.size() - 1, startMs.size() * 9 / 10)]};

    wkeInitializeEx(nullptr);
    wkeJsBindFunction("Answer", Answer, nullptr, 0);
    wkeJsBindFunction("Nothing", Nothing, nullptr, 1);
    wkeJsBindFunctionEx("Posted", Nothing, nullptr, 1, WKE_JS_BIND_REPLY_ONLY);
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 360, 720);
    wkeLoadURL(view, page);
    if (!WaitLoaded(view, 20000)) {
        std::fprintf(stderr, "the page did not load\n");
        return 1;
    }

    FloorClient floorClient;
    if (!floorClient.Start()) {
        std::fprintf(stderr, "the floor client's browser did not start\n");
        return 1;
    }
    Stats clientFloor = Measure(runs, [&] { floorClient.RoundTrip(); });

    // A bare Runtime.evaluate on the engine's own pipe, without the engine around it.
    engine::Browser& browser = engine::Browser::Get();
    engine::FrameTree& frames = browser.Find(view)->frames();
    nlohmann::json bare = {
        {"expression", "1"}, {"contextId", frames.contexts[frames.main]}, {"returnByValue", true}};
    std::string session = browser.Find(view)->session().id();
    Stats floor =
        Measure(runs, [&] { browser.connection().Call("Runtime.evaluate", bare, session); });
    Stats roundTrip = Measure(runs, [&] { wkeRunJsByFrame(view, 1, "1", false); });
    Stats oneCall =
        Measure(runs, [&] { wkeRunJsByFrame(view, 1, "return window.top.Answer();", true); });
    calls = 0;
    int bulkRuns = std::max(10, runs / 10);
    Stats thousand = Measure(bulkRuns, [&] {
        wkeRunJsByFrame(view, 1, "for (var i = 0; i < 1000; i++) window.top.Nothing(i);", true);
    });
    Stats posted = Measure(bulkRuns, [&] {
        wkeRunJsByFrame(view, 1, "for (var i = 0; i < 1000; i++) window.top.Posted(i);", true);
    });
    bool allArrived = calls == 2 * bulkRuns * 1000;

    std::printf("qirlen engine benchmarks (Chromium over the DevTools pipe)\n");
    Print("floor: minimal blocking client, Runtime.evaluate", runs, clientFloor);
    Print("the engine's connection: bare Runtime.evaluate", runs, floor, clientFloor.median);
    Print("wkeRunJsByFrame(\"1\") round trip", runs, roundTrip, clientFloor.median);
    Print("run with one bound call that returns a value", runs, oneCall, clientFloor.median);
    std::printf("  %+.3f ms over the plain run (target: a run with the call <= 0.600 ms)\n",
                oneCall.median - roundTrip.median);
    Print("run with 1,000 bound calls that return nothing", bulkRuns, thousand, clientFloor.median);
    Print("the same 1,000 calls bound reply-only", bulkRuns, posted, clientFloor.median);
    Print("wkeInitializeEx to a loaded local page", startRuns, start);
    std::printf("bound calls delivered: %s\n", allArrived ? "all" : "SOME MISSING");
    wkeShutdown();
    return allArrived ? 0 : 1;
}
