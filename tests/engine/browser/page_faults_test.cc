// Pages whose renderer dies, and a browser that stops and resumes: a dead page is a failure
// at once and is never waited on; a browser that answers again is heard at once.
#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/capi/wke.h"
#include "tests/support/engine_session.h"
#include "tests/support/http_server.h"

using namespace testsupport;
using Clock = std::chrono::steady_clock;

namespace {

struct Process {
    pid_t pid = 0, parent = 0;
    std::string commandLine;
};

std::vector<Process> AllProcesses() {
    std::vector<Process> all;
    DIR* proc = opendir("/proc");
    while (dirent* e = readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        std::string dir = std::string("/proc/") + e->d_name;
        std::ifstream stat(dir + "/stat");
        std::string line;
        std::getline(stat, line);
        auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        std::string state;
        Process p;
        p.pid = std::stoi(e->d_name);
        rest >> state >> p.parent;
        std::ifstream cmdline(dir + "/cmdline");
        std::getline(cmdline, p.commandLine, '\0');
        std::string arg;
        while (std::getline(cmdline, arg, '\0')) p.commandLine += " " + arg;
        all.push_back(p);
    }
    closedir(proc);
    return all;
}

// The browser's renderers: this process's descendants that render pages.
std::vector<pid_t> Renderers() {
    auto all = AllProcesses();
    std::set<pid_t> ours{getpid()};
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& p : all)
            if (ours.count(p.parent) && ours.insert(p.pid).second) grew = true;
    }
    std::vector<pid_t> renderers;
    for (const auto& p : all)
        if (ours.count(p.pid) && p.commandLine.find("--type=renderer") != std::string::npos)
            renderers.push_back(p.pid);
    return renderers;
}

// The browser itself: the direct child that leads the group of all its processes.
std::vector<pid_t> Browsers() {
    std::vector<pid_t> pids;
    for (const auto& p : AllProcesses())
        if (p.parent == getpid()) pids.push_back(p.pid);
    return pids;
}

void KillRenderers() {
    for (pid_t pid : Renderers()) kill(pid, SIGKILL);
}

long MsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The engine stops runaway scripts after this long in these tests (engine_main.cc).
constexpr long kScriptLimitMs = 2000;

class PageCrash : public ::testing::Test {
  protected:
    void SetUp() override {
        view_ = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 400, 300);
        ASSERT_NE(view_, nullptr);
    }
    void TearDown() override { wkeDestroyWebWindow(view_); }
    void LoadLivePage() {
        ASSERT_EQ(LoadAndWait(view_, server_.Url("/")), WKE_LOADING_SUCCEEDED);
        ASSERT_EQ(Eval(view_, "return 6 * 7"), "42");
        ASSERT_FALSE(wkeIsPageCrashed(view_));
    }
    // Every way of asking the page gives up at once, as failed.
    void ExpectNothingWaits() {
        auto start = Clock::now();
        EXPECT_EQ(Eval(view_, "return 1"), "undefined");
        EXPECT_TRUE(wkeLastRunFailed(view_));
        wkeRunJsInIsolatedWorld(view_, 1, "return document.title", true);
        EXPECT_TRUE(wkeLastRunFailed(view_));
        wkeFireMouseEvent(view_, WKE_MSG_LBUTTONDOWN, 5, 5, WKE_LBUTTON);
        wkeGetCookie(view_);
        EXPECT_LT(MsSince(start), kScriptLimitMs / 2);
    }

    wkeWebView view_ = nullptr;
    HttpServer server_{[](const HttpRequest& request) {
        HttpResponse page;
        if (request.path == "/slow.png") {
            std::this_thread::sleep_for(std::chrono::seconds(4));
            page.status = 404;
            return page;
        }
        page.body = "<title>live</title><p>a page</p><img src=/slow.png>";
        if (request.path == "/") page.body = "<title>live</title><p>a page</p>";
        return page;
    }};
};

// The renderer dies while the page still loads (its document is there, a picture is not):
// its death stops the frame a moment before the browser says it crashed, and the load is a
// failure, not a success.
TEST_F(PageCrash, ARendererThatDiesWhileThePageLoadsFailsTheLoad) {
    bool ready = false;
    wkeOnDocumentReady2(
        view_, [](wkeWebView, void* flag, wkeWebFrameHandle) { *static_cast<bool*>(flag) = true; },
        &ready);
    LoadWatcher watcher(view_);
    wkeLoadURL(view_, server_.Url("/loading").c_str());
    ASSERT_TRUE(PumpUntil([&] { return ready; }));
    ASSERT_TRUE(watcher.all().empty());  // the picture still loads
    KillRenderers();
    LoadOutcome outcome = watcher.Wait(5000);
    EXPECT_EQ(outcome.result, WKE_LOADING_FAILED);
    EXPECT_EQ(outcome.reason, "the page crashed");
    PumpFor(300);
    EXPECT_EQ(watcher.all().size(), 1u);  // one report, the failure
    EXPECT_TRUE(wkeIsPageCrashed(view_));
    EXPECT_FALSE(wkeIsLoaded(view_));
    ExpectNothingWaits();
}

// After a load that succeeded: nothing waits the script limit on the dead page, and the next
// load brings the view back.
TEST_F(PageCrash, APageThatCrashedAfterItsLoadIsNeverWaitedOn) {
    LoadLivePage();
    KillRenderers();
    ASSERT_TRUE(PumpUntil([&] { return wkeIsPageCrashed(view_); }, 5000));
    ExpectNothingWaits();
    EXPECT_TRUE(wkeIsPageCrashed(view_));

    LoadLivePage();  // a new renderer for the same view
    EXPECT_FALSE(wkeLastRunFailed(view_));
}

// The renderer dies in the middle of a script run, while the page waits for a bound
// function's answer: the run returns failed at once instead of waiting out its limits.
TEST_F(PageCrash, ARendererThatDiesDuringARunEndsTheRunAtOnce) {
    wkeJsBindFunction(
        "KillMyRenderer",
        [](jsExecState es, void*) {
            KillRenderers();
            // The crash is heard while the answer is being handed back to the page.
            return jsString(es, "too late");
        },
        nullptr, 0);
    LoadLivePage();
    auto start = Clock::now();
    EXPECT_EQ(Eval(view_, "var a = window.top.KillMyRenderer(); while (true) {} return a;"),
              "undefined");
    EXPECT_LT(MsSince(start), kScriptLimitMs);
    EXPECT_TRUE(wkeLastRunFailed(view_));
    EXPECT_TRUE(PumpUntil([&] { return wkeIsPageCrashed(view_); }, 5000));
    ExpectNothingWaits();
}

// A browser that was stopped (and so let a command go unanswered) and then resumed has sent
// what it owed: the very next call is answered, without the host's loop having run between.
TEST(StoppedBrowser, IsHeardAgainAsSoonAsItHasAnswered) {
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 400, 300);
    ASSERT_NE(view, nullptr);
    wkeLoadHTML(view, "<p>x</p>");
    ASSERT_TRUE(PumpUntil([&] { return wkeIsLoaded(view); }));
    testing::internal::CaptureStderr();
    std::vector<pid_t> browsers = Browsers();
    ASSERT_FALSE(browsers.empty());
    for (pid_t pid : browsers) kill(-pid, SIGSTOP);
    EXPECT_EQ(Eval(view, "return 1"), "undefined");  // waits once, then gives up on it
    EXPECT_EQ(Eval(view, "return 2"), "undefined");  // at once; asks whether it is back
    wkeWake(nullptr);  // what was pending is out of the way: only the browser can wake us now
    for (pid_t pid : browsers) kill(-pid, SIGCONT);
    pollfd answered{wkeGetEventFd(), POLLIN, 0};
    ASSERT_EQ(poll(&answered, 1, 10000), 1);
    EXPECT_EQ(Eval(view, "return 3"), "3");
    testing::internal::GetCapturedStderr();
    wkeDestroyWebWindow(view);
}

// Renderers that stop while the browser goes on: the page that let a run go unanswered is
// given up on alone; the browser goes on answering for every other page at once, and that
// page is heard again as soon as its renderer answers.
TEST(StoppedRenderer, CostsItsOwnPageOneRunNotTheBrowser) {
    wkeWebView busy = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 400, 300);
    wkeWebView other = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 400, 300);
    HttpServer server([](const HttpRequest&) {
        return HttpResponse{200, "text/html", "<script>document.cookie='seen=1'</script>"};
    });
    for (wkeWebView view : {busy, other}) {
        ASSERT_NE(view, nullptr);
        ASSERT_EQ(LoadAndWait(view, server.Url("/")), WKE_LOADING_SUCCEEDED);
    }
    std::vector<pid_t> renderers = Renderers();
    ASSERT_FALSE(renderers.empty());
    testing::internal::CaptureStderr();
    for (pid_t pid : renderers) kill(pid, SIGSTOP);
    EXPECT_EQ(Eval(busy, "return 1"), "undefined");  // the one wait
    // The browser itself answers for the other page at once.
    auto asked = Clock::now();
    EXPECT_EQ(std::string(wkeGetCookie(other)), "seen=1");
    EXPECT_LT(MsSince(asked), 2000);
    for (pid_t pid : renderers) kill(pid, SIGCONT);
    EXPECT_TRUE(PumpUntil([&] { return Eval(busy, "return 3") == "3"; }, 10000));
    testing::internal::GetCapturedStderr();
    wkeDestroyWebWindow(busy);
    wkeDestroyWebWindow(other);
}

}  // namespace
