// wkeTerminateBrowser as a host that exits on a signal or a deadline uses it: from another
// thread, while the engine's own thread waits on the browser. It leaves the engine unusable
// for good, so it has a test binary of its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "engine/capi/wke.h"
#include "tests/support/browser_processes.h"
#include "tests/support/engine_session.h"

using namespace testsupport;

namespace {

// Whether the thread sleeps in poll: where the engine waits for the browser's answer.
bool WaitsInPoll(pid_t thread) {
    std::ifstream file("/proc/self/task/" + std::to_string(thread) + "/syscall");
    long number = -1;
    if (!(file >> number)) return false;
#ifdef SYS_poll
    if (number == SYS_poll) return true;
#endif
    return number == SYS_ppoll;
}

TEST(Terminate, FromAnotherThreadWhileTheEngineWaitsEndsTheGroupAndTheProfile) {
    // A script's own limit would end the engine's wait after a minute; the end must come
    // long before that.
    setenv("QIRLEN_SCRIPT_TIMEOUT_MS", "60000", 1);
    wkeInitializeEx(nullptr);
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 200, 200);
    ASSERT_NE(view, nullptr);
    wkeLoadHTML(view, "<p>x</p>");
    ASSERT_TRUE(PumpUntil([&] { return wkeIsLoaded(view); }));
    std::vector<pid_t> browsers = LiveChildren();
    ASSERT_EQ(browsers.size(), 1u);
    pid_t browser = browsers[0];
    std::string profile = ProfileOf(browser);
    ASSERT_TRUE(std::filesystem::is_directory(profile)) << profile;
    ASSERT_GT(RunningInGroup(browser).size(), 1u);  // the browser and its helpers

    // The whole group stopped: the engine's next call waits for an answer that cannot come.
    kill(-browser, SIGSTOP);
    pid_t engineThread = static_cast<pid_t>(syscall(SYS_gettid));
    std::atomic<bool> calling{false};
    std::thread host([&] {
        while (!calling || !WaitsInPoll(engineThread))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        wkeTerminateBrowser();
    });
    auto start = std::chrono::steady_clock::now();
    calling = true;
    std::string answer = Eval(view, "return 1");
    auto took = std::chrono::steady_clock::now() - start;
    host.join();

    EXPECT_EQ(answer, "undefined");
    EXPECT_TRUE(wkeLastRunFailed(view));
    EXPECT_LT(took, std::chrono::seconds(20));
    EXPECT_TRUE(RunningInGroup(browser).empty());  // stopped ones included
    EXPECT_FALSE(std::filesystem::exists(profile)) << profile;
    EXPECT_STRNE(wkeEngineFailure(), "");

    // Unusable for good: no browser starts again, not even on a new start.
    wkeShutdown();
    wkeInitializeEx(nullptr);
    EXPECT_EQ(wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 200, 200), nullptr);
    EXPECT_TRUE(LiveChildren().empty());
    for (pid_t pid : RunningInGroup(browser)) kill(pid, SIGKILL);  // should the test fail
}

}  // namespace
