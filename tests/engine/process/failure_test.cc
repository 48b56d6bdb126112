// A browser that is missing, cannot start, dies, or talks nonsense: no hang, no crash,
// empty results, one clear message.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/process/chromium_process.h"
#include "engine/capi/wke.h"
#include "tests/support/engine_session.h"
#include "tests/support/http_server.h"

using namespace testsupport;

namespace {

std::vector<pid_t> Children() {
    std::vector<pid_t> pids;
    DIR* proc = opendir("/proc");
    while (dirent* e = readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
        std::string pid, comm, state, ppid;
        if (stat >> pid >> comm >> state >> ppid && ppid == std::to_string(getpid()))
            pids.push_back(std::stoi(pid));
    }
    closedir(proc);
    return pids;
}

void KillBrowser() {
    for (pid_t pid : Children()) {
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
    }
}

// Every entry point answers with its empty result.
void ExpectEmptyResults(wkeWebView view) {
    EXPECT_EQ(Eval(view, "return 1"), "undefined");
    EXPECT_EQ(std::string(wkeGetCookie(view)), "");
    EXPECT_FALSE(wkeFireMouseEvent(view, WKE_MSG_MOUSEMOVE, 1, 1, 0));
    EXPECT_EQ(wkeNetGetFavicon(
                  view, [](wkeWebView, void*, const char*, wkeMemBuf*) {}, nullptr),
              0);
    LoadWatcher watcher(view);
    wkeLoadURL(view, "http://127.0.0.1:1/");
    EXPECT_EQ(watcher.Wait(3000).result, WKE_LOADING_FAILED);  // at once: nobody waits in vain
}

class Failures : public ::testing::Test {
  protected:
    void TearDown() override {
        wkeShutdown();
        unsetenv("QIRLEN_CHROMIUM");
    }
    void Start(const char* chromium) {
        if (chromium) setenv("QIRLEN_CHROMIUM", chromium, 1);
        testing::internal::CaptureStderr();
        wkeInitializeEx(nullptr);
    }
};

TEST_F(Failures, MissingChromiumIsNamedOnceAndNoViewIsMade) {
    Start("/nonexistent/chromium");
    EXPECT_EQ(wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 100, 100), nullptr);
    EXPECT_EQ(wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 100, 100), nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Chromium not found: QIRLEN_CHROMIUM names /nonexistent/chromium,"),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("qirlen engine"), err.rfind("qirlen engine")) << err;  // one message
    EXPECT_EQ(Eval(nullptr, "return 1"), "undefined");
}

TEST_F(Failures, ChromiumThatExitsAtOnce) {
    auto start = std::chrono::steady_clock::now();
    Start("/bin/false");
    // A view made before the failure is known has no page: it answers with empty results.
    wkeWebView early = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 100, 100);
    if (early) ExpectEmptyResults(early);
    PumpFor(200);  // the host's event loop runs; the engine learns the browser is gone
    EXPECT_EQ(wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 100, 100), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("exited with status 1"), std::string::npos) << err;
}

TEST_F(Failures, ChromiumKilledWhileIdleOrLoadingOrRunning) {
    Start(nullptr);
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 100, 100);
    ASSERT_NE(view, nullptr);
    HttpServer slow([](const HttpRequest&) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        return HttpResponse{};
    });
    LoadWatcher watcher(view);
    wkeLoadURL(view, slow.Url("/").c_str());
    PumpFor(200);
    KillBrowser();
    EXPECT_EQ(watcher.Wait(5000).result, WKE_LOADING_FAILED);  // the load in flight fails
    ExpectEmptyResults(view);
    EXPECT_EQ(wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 100, 100), nullptr);
    PumpFor(200);  // an idle loop with a dead browser neither spins nor blocks
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("killed by signal 9"), std::string::npos) << err;
}

jsValue KillFromInside(jsExecState, void*) {
    KillBrowser();
    return jsUndefined();
}

TEST_F(Failures, ChromiumKilledInsideAScriptRun) {
    Start(nullptr);
    wkeJsBindFunction("KillFromInside", KillFromInside, nullptr, 0);
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 100, 100);
    ASSERT_NE(view, nullptr);
    wkeLoadHTML(view, "<p>x</p>");
    PumpUntil([&] { return wkeIsLoaded(view); });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Eval(view, "window.top.KillFromInside(); return 5;"), "undefined");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ExpectEmptyResults(view);
    testing::internal::GetCapturedStderr();
}

// Nothing of the browser's is kept past its end (the views' cookies and storage were read
// over the protocol, the profile goes), so a stop does not wait for its orderly quit.
TEST(BrowserStop, EndsTheBrowserAtOnceInsteadOfWaitingForItsOrderlyQuit) {
    setenv("QIRLEN_CHROMIUM", FAKE_CHROMIUM, 1);
    setenv("FAKE_CHROMIUM_QUIT_MS", "300", 1);
    engine::ChromiumProcess browser;
    std::string why;
    ASSERT_TRUE(browser.Start(&why)) << why;
    ASSERT_TRUE(browser.Send(R"({"id":1,"method":"Target.setDiscoverTargets","params":{}})"));
    std::vector<std::string> answers;
    while (answers.empty() && browser.WaitReadable(10000)) browser.ReadAvailable(answers);
    ASSERT_FALSE(answers.empty()) << "the stand-in browser never answered";
    EXPECT_NE(browser.Stop().find("killed by signal 9"), std::string::npos);
    unsetenv("FAKE_CHROMIUM_QUIT_MS");
    unsetenv("QIRLEN_CHROMIUM");
}

// An aborted navigation may stop the frame before its answer says so: still no success.
TEST_F(Failures, ANavigationThatStopsBeforeItsAbortIsAnsweredIsNoSuccess) {
    Start(FAKE_CHROMIUM);
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 100, 100);
    ASSERT_NE(view, nullptr);
    LoadWatcher watcher(view);
    wkeLoadURL(view, "http://example.invalid/abort-after-stop");
    EXPECT_EQ(watcher.Wait(5000).result, WKE_LOADING_CANCELED);
    EXPECT_EQ(watcher.all().size(), 1u);
    testing::internal::GetCapturedStderr();
}

// A browser that writes something that is not the protocol, or a message that never ends,
// is dead at once: the next call answers with its empty result without waiting, and the
// host's memory does not grow with what it writes.
TEST_F(Failures, ABrowserThatTalksNonsenseIsDeadAtOnce) {
    setenv("QIRLEN_MAX_MESSAGE_BYTES", "8388608", 1);
    struct Case {
        const char* url;
        const char* said;
    } cases[] = {{"http://x.invalid/not-json", "not the protocol"},
                 {"http://x.invalid/endless", "longer than 8388608 bytes"}};
    for (const auto& c : cases) {
        Start(FAKE_CHROMIUM);
        wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 100, 100);
        ASSERT_NE(view, nullptr);
        wkeLoadURL(view, c.url);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Eval(view, "return 1"), "undefined");
        EXPECT_EQ(Eval(view, "return 1"), "undefined");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.url;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(c.said), std::string::npos) << err;
        wkeShutdown();
    }
    unsetenv("QIRLEN_MAX_MESSAGE_BYTES");
}

// A stopped browser costs one time-out; after it, calls give their empty results at once
// until the browser answers again.
TEST_F(Failures, AStoppedBrowserIsWaitedForOnlyOnce) {
    Start(nullptr);
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 100, 100);
    ASSERT_NE(view, nullptr);
    wkeLoadHTML(view, "<p>x</p>");
    PumpUntil([&] { return wkeIsLoaded(view); });
    std::vector<pid_t> browsers = Children();
    for (pid_t pid : browsers) kill(-pid, SIGSTOP);
    EXPECT_EQ(Eval(view, "return 1"), "undefined");  // the one wait
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Eval(view, "return 2"), "undefined");
    wkeSetDeviceParameter(view, "screen.width", nullptr, 300, 0);
    EXPECT_EQ(std::string(wkeGetCookie(view)), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    for (pid_t pid : browsers) kill(-pid, SIGCONT);
    EXPECT_TRUE(PumpUntil([&] { return Eval(view, "return 3") == "3"; }, 10000));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("did not answer"), std::string::npos) << err;
    EXPECT_EQ(err.find("did not answer"), err.rfind("did not answer")) << err;  // said once
}

wkeWebView doomedView = nullptr;

// Shutting the engine down, or destroying the view, from inside a bound function or a
// notification happens once that call has returned: no crash, no stall, and the engine
// starts again afterwards.
TEST_F(Failures, ShutdownAndDestroyFromInsideCallbacksWaitForTheCallToEnd) {
    wkeWake(nullptr);  // before the engine exists: nothing to do, nothing broken
    Start(nullptr);
    wkeJsBindFunction(
        "ShutDownNow",
        [](jsExecState es, void*) {
            wkeShutdown();
            return jsString(es, "still here");
        },
        nullptr, 0);
    wkeJsBindFunctionEx(
        "ShutDownLater",
        [](jsExecState, void*) {
            wkeShutdown();
            return jsUndefined();
        },
        nullptr, 0, WKE_JS_BIND_REPLY_ONLY);
    wkeJsBindFunction(
        "DestroyMe",
        [](jsExecState es, void*) {
            wkeDestroyWebWindow(doomedView);
            return jsString(es, "destroyed after");
        },
        nullptr, 0);
    // A stall would show in the calls, not in the browser's starts, which a busy machine
    // makes slow: only the time outside the starts counts.
    auto startedAt = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration starting{};
    auto fresh = [&] {
        auto before = std::chrono::steady_clock::now();
        wkeWebView v = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 100, 100);
        EXPECT_NE(v, nullptr);
        wkeLoadHTML(v, "<p>x</p>");
        PumpUntil([&] { return wkeIsLoaded(v); }, 30000);
        starting += std::chrono::steady_clock::now() - before;
        return v;
    };
    wkeWebView view = fresh();
    EXPECT_EQ(Eval(view, "return window.top.ShutDownNow() + '!';"), "still here!");
    EXPECT_EQ(Eval(view, "return 1"), "undefined");  // the view went with the engine

    view = fresh();  // the engine starts again
    EXPECT_EQ(Eval(view, "window.top.ShutDownLater(); return 2;"), "2");
    view = fresh();
    doomedView = view;
    EXPECT_EQ(Eval(view, "return window.top.DestroyMe();"), "destroyed after");
    EXPECT_EQ(wkeGetWindowHandle(view), nullptr);  // gone once the run returned

    view = fresh();
    static bool shutDownInCallback = false;
    wkeOnLoadingFinish(
        view,
        [](wkeWebView, void*, const wkeString, wkeLoadingResult, const wkeString) {
            wkeShutdown();
            shutDownInCallback = true;
        },
        nullptr);
    auto loadingFrom = std::chrono::steady_clock::now();
    wkeLoadHTML(view, "<p>y</p>");
    // Until the callback has shut the engine down: later, it would end the next view too.
    PumpUntil([] { return shutDownInCallback; }, 30000);
    starting += std::chrono::steady_clock::now() - loadingFrom;  // a load, like the starts
    EXPECT_TRUE(shutDownInCallback);
    view = fresh();
    EXPECT_EQ(Eval(view, "return 3"), "3");
    EXPECT_LT(std::chrono::steady_clock::now() - startedAt - starting, std::chrono::seconds(10));
    testing::internal::GetCapturedStderr();
}

int pipeSignals = 0;

// The engine leaves the host's signal dispositions alone: a write to a browser that died
// neither raises SIGPIPE in the host nor changes what the host does with it.
TEST_F(Failures, WritingToADeadBrowserLeavesTheHostsSignalsAlone) {
    struct sigaction mine {
    }, seen{}, before{};
    mine.sa_handler = [](int) { ++pipeSignals; };
    sigemptyset(&mine.sa_mask);
    sigaction(SIGPIPE, &mine, &before);
    Start(nullptr);
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 100, 100);
    ASSERT_NE(view, nullptr);
    wkeLoadHTML(view, "<p>x</p>");
    PumpUntil([&] { return wkeIsLoaded(view); });
    KillBrowser();
    usleep(200 * 1000);
    for (int i = 0; i < 3; ++i) Eval(view, "return 1");
    sigaction(SIGPIPE, nullptr, &seen);
    EXPECT_EQ(seen.sa_handler, mine.sa_handler);
    EXPECT_EQ(pipeSignals, 0);
    sigaction(SIGPIPE, &before, nullptr);
    testing::internal::GetCapturedStderr();
}

int probeCalls = 0;
jsValue Probe(jsExecState es, void*) {
    ++probeCalls;
    for (int i = -1; i < 8; ++i) jsToString(es, jsArg(es, i));
    return jsStringW(es, u"ok");
}

TEST_F(Failures, MalformedProtocolMessagesAreSurvived) {
    Start(FAKE_CHROMIUM);
    wkeJsBindFunction("Probe", Probe, nullptr, 2);
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 100, 100);
    ASSERT_NE(view, nullptr);
    LoadWatcher watcher(view);
    wkeLoadURL(view, "http://example.invalid/");
    PumpFor(300);
    EXPECT_EQ(std::string(jsToString(nullptr, wkeRunJsByFrame(view, 1, "1", false))), "NaN");
    EXPECT_GE(probeCalls, 1);
    EXPECT_EQ(std::string(wkeGetCookie(view)), "");
    wkeVisitAllCookie(view, nullptr,
                      [](void*, const char*, const char*, const char*, const char*, int, int,
                         int*) { return false; });
    wkeFireMouseEvent(view, WKE_MSG_MOUSEMOVE, 1, 1, 0);
    PumpFor(300);
    std::string log = testing::internal::GetCapturedStderr();
    if (getenv("SHOWLOG")) fprintf(stdout, "%s", log.c_str());
}

}  // namespace
