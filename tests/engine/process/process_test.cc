// The browser's processes and profile: a new start after the browser died, stopping with a
// stopped renderer, a group whose only member left is a zombie, and profiles left by engines
// that are gone or that live elsewhere.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "engine/process/process_group.h"
#include "engine/process/profile_dir.h"
#include "engine/capi/wke.h"
#include "tests/support/browser_processes.h"
#include "tests/support/engine_session.h"
#include "tests/support/http_server.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

wkeWebView NewView() {
    return wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 200, 200);
}

// The engine's one browser, once it has a loaded page (and so a renderer). Among this
// process's children: helpers that detach from the browser may be adopted by it.
pid_t BrowserWithAPage(wkeWebView view) {
    wkeLoadHTML(view, "<p>x</p>");
    if (!PumpUntil([&] { return wkeIsLoaded(view); })) return -1;
    std::vector<pid_t> browsers;
    for (pid_t pid : LiveChildren())
        if (CommandLine(pid).find("--remote-debugging-pipe") != std::string::npos)
            browsers.push_back(pid);
    return browsers.size() == 1 ? browsers[0] : -1;
}

void KillLeftovers(pid_t group) {
    for (pid_t pid : RunningInGroup(group)) {
        kill(pid, SIGKILL);
        kill(pid, SIGCONT);
    }
}

// This process adopts the orphans of its descendants while it lives, as a container's
// init does, and reaps them at its end.
struct OrphansComeToUs {
    OrphansComeToUs() { prctl(PR_SET_CHILD_SUBREAPER, 1); }
    ~OrphansComeToUs() {
        prctl(PR_SET_CHILD_SUBREAPER, 0);
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
    }
};

class BrowserProcess : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::internal::CaptureStderr();
        wkeInitializeEx(nullptr);
    }
    void TearDown() override {
        wkeShutdown();
        testing::internal::GetCapturedStderr();
    }
};

TEST_F(BrowserProcess, AfterTheBrowserDiedANewStartWorksAndOldViewsStayInert) {
    // Never destroyed: the server's connection threads, for the spare connections a browser
    // keeps open, outlive it and would use it after its end.
    static HttpServer& server = *new HttpServer([](const HttpRequest&) {
        return HttpResponse{200, "text/html", "<p>hi</p>"};
    });
    wkeWebView old = NewView();
    ASSERT_NE(old, nullptr);
    pid_t browser = BrowserWithAPage(old);
    ASSERT_GT(browser, 0);
    std::string oldProfile = ProfileOf(browser);
    int eventFd = wkeGetEventFd();

    kill(browser, SIGKILL);  // the browser alone: its helpers are left to the engine
    ASSERT_TRUE(PumpUntil([] { return *wkeEngineFailure() != '\0'; }));
    wkeShutdown();
    EXPECT_TRUE(RunningInGroup(browser).empty());
    EXPECT_FALSE(fs::exists(oldProfile));
    wkeInitializeEx(nullptr);

    EXPECT_STREQ(wkeEngineFailure(), "");  // a host that checks it goes on
    EXPECT_EQ(wkeGetEventFd(), eventFd);   // the host's watch on it still serves
    wkeWebView fresh = NewView();
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, old);
    EXPECT_EQ(LoadAndWait(fresh, server.Url("/")), WKE_LOADING_SUCCEEDED);
    EXPECT_EQ(Eval(fresh, "return document.body.textContent"), "hi");

    // Every call on a view from before does nothing and answers empty.
    wkeLoadURL(old, server.Url("/").c_str());
    EXPECT_EQ(Eval(old, "return 1"), "undefined");
    EXPECT_TRUE(wkeLastRunFailed(old));
    EXPECT_FALSE(wkeIsLoaded(old));
    EXPECT_STREQ(wkeGetURL(old), "");
    wkeResize(old, 50, 50);
    wkeDestroyWebWindow(old);
    EXPECT_EQ(Eval(fresh, "return 2"), "2");
}

// A stopped renderer never learns that its browser quit or died, and with the zygote that
// would reap it stopped too, Chromium cannot end it either. The kernel wakes the stopped
// members of a group that its leader's exit orphans, but not when the orphans go to a reaper
// in the same session (a container's shell or init), as they do here: they would stay,
// stopped, for good. Whether the browser quits when asked or died before, nothing of its
// group may be left.
TEST_F(BrowserProcess, ShutdownEndsTheWholeGroupStoppedProcessesIncluded) {
    OrphansComeToUs reaper;
    for (bool browserDiedFirst : {false, true}) {
        SCOPED_TRACE(browserDiedFirst ? "the browser died first" : "the browser was running");
        wkeInitializeEx(nullptr);
        wkeWebView view = NewView();
        ASSERT_NE(view, nullptr);
        pid_t browser = BrowserWithAPage(view);
        ASSERT_GT(browser, 0);
        pid_t renderer = -1;
        for (pid_t pid : RunningInGroup(browser))
            if (CommandLine(pid).find("--type=renderer") != std::string::npos) renderer = pid;
        ASSERT_GT(renderer, 0) << "no renderer in the browser's group";
        kill(renderer, SIGSTOP);
        if (pid_t zygote = ParentOf(renderer); zygote != browser) kill(zygote, SIGSTOP);
        if (browserDiedFirst) {
            kill(browser, SIGKILL);
            ASSERT_TRUE(PumpUntil([] { return *wkeEngineFailure() != '\0'; }));
        }
        wkeShutdown();
        std::vector<pid_t> left = RunningInGroup(browser);
        bool rendererLeft = std::find(left.begin(), left.end(), renderer) != left.end();
        EXPECT_TRUE(left.empty()) << left.size() << " processes left, the renderer "
                                  << (rendererLeft ? "among them" : "not among them");
        KillLeftovers(browser);
    }
}

// The profile's lock is held by the engine and by its browser: a browser that outlives its
// killed host keeps writing into the profile until it notices, so the profile is not
// abandoned before both are gone.
TEST(ProfileOwners, TheProfileIsOwnedWhileItsHostOrItsBrowserLives) {
    OrphansComeToUs reaper;  // keeps the browser's group from being orphaned, and so woken
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    pid_t host = fork();
    if (host == 0) {
        wkeInitializeEx(nullptr);
        wkeWebView view = NewView();
        pid_t browser = view ? BrowserWithAPage(view) : -1;
        (void)!write(report[1], &browser, sizeof browser);
        for (;;) pause();
    }
    close(report[1]);
    pid_t browser = -1;
    ASSERT_EQ(read(report[0], &browser, sizeof browser), static_cast<ssize_t>(sizeof browser));
    close(report[0]);
    ASSERT_GT(browser, 0);
    std::string profile = ProfileOf(browser);
    ASSERT_FALSE(profile.empty());
    fs::path parent = fs::path(profile).parent_path();
    int fd = open((profile + "/owner.lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0) << profile;
    EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);

    kill(-browser, SIGSTOP);  // so that it cannot notice its host's end
    kill(host, SIGKILL);
    waitpid(host, nullptr, 0);
    engine::RemoveAbandonedProfiles(parent);
    EXPECT_TRUE(fs::exists(profile)) << "removed while its browser lived";

    KillLeftovers(browser);
    // The lock goes with the last process that holds it, which a busy machine may reap
    // after the group has gone.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool unlocked = false;
    while (!(unlocked = flock(fd, LOCK_EX | LOCK_NB) == 0) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(unlocked);
    close(fd);
    engine::RemoveAbandonedProfiles(parent);
    EXPECT_FALSE(fs::exists(profile));
}

// Another engine's profile, as seen from a PID namespace that is not its own: the ids in its
// owner file name no process here, or one that is not the owner.
class ForeignProfiles : public ::testing::Test {
  protected:
    void SetUp() override {
        parent_ = fs::temp_directory_path() / ("qirlen-profiles-test-" + std::to_string(getpid()));
        fs::remove_all(parent_);
        fs::create_directories(parent_);
    }
    void TearDown() override {
        if (holder_ > 0) {
            kill(holder_, SIGKILL);
            waitpid(holder_, nullptr, 0);
        }
        fs::remove_all(parent_);
    }
    fs::path Profile(const std::string& name, const std::string& ownerIds, bool withLock) {
        fs::path dir = parent_ / (std::string(engine::kProfilePrefix) + name);
        fs::create_directories(dir / "Default");
        std::ofstream(dir / "Default" / "Cookies") << "data";
        if (!ownerIds.empty()) std::ofstream(dir / "owner") << ownerIds << "\n";
        if (withLock) std::ofstream(dir / "owner.lock");
        return dir;
    }
    // Another process takes the profile's lock and keeps it until it is killed.
    void HoldLock(const fs::path& dir) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        holder_ = fork();
        if (holder_ == 0) {
            int fd = open((dir / "owner.lock").c_str(), O_RDWR);
            char ok = fd >= 0 && flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
            (void)!write(ready[1], &ok, 1);
            for (;;) pause();
        }
        close(ready[1]);
        char ok = 0;
        ASSERT_EQ(read(ready[0], &ok, 1), 1);
        close(ready[0]);
        ASSERT_EQ(ok, 'y');
    }
    fs::path parent_;
    pid_t holder_ = -1;
};

TEST_F(ForeignProfiles, ALockedProfileIsKeptAndAnUnlockedOneRemovedWhateverTheIdsSay) {
    // Ids that exist nowhere here, as in another namespace: the lock says it lives.
    fs::path live = Profile("live01", "2147483000 2147483001", true);
    HoldLock(live);
    // Ids of a process that lives here (init), but nobody holds its lock: abandoned.
    fs::path dead = Profile("dead01", "1 1", true);
    // From an engine without the lock, whose host lives: judged by the ids, as it always was.
    fs::path older = Profile("old001", "1", false);
    // Not ours at all.
    fs::path other = parent_ / "someone-else";
    fs::create_directories(other);

    engine::RemoveAbandonedProfiles(parent_);
    EXPECT_TRUE(fs::exists(live / "Default" / "Cookies"));
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(older));
    EXPECT_TRUE(fs::exists(other));

    kill(holder_, SIGKILL);  // its owner ends: the profile is abandoned now
    waitpid(holder_, nullptr, 0);
    holder_ = -1;
    engine::RemoveAbandonedProfiles(parent_);
    EXPECT_FALSE(fs::exists(live));
}

// The engine's own profile is never seen unlocked, even while it is being made.
TEST_F(ForeignProfiles, ANewProfileIsLockedFromTheStart) {
    std::string why;
    engine::OwnedProfile mine = engine::CreateProfile(parent_, &why);
    ASSERT_FALSE(mine.path.empty()) << why;
    engine::RemoveAbandonedProfiles(parent_);
    EXPECT_TRUE(fs::exists(mine.path));
    close(mine.lockFd);
    engine::RemoveAbandonedProfiles(parent_);
    EXPECT_FALSE(fs::exists(mine.path));
}

// A member of the group that has exited but is not reaped (its parent busy, or an init that
// never reaps) runs nothing: waiting for the group ends at once instead of at the timeout.
TEST(ProcessGroup, AZombieLeftInTheGroupDoesNotCountAsRunning) {
    pid_t leader = fork();
    if (leader == 0) {
        setpgid(0, 0);
        for (;;) pause();
    }
    ASSERT_GT(leader, 0);
    setpgid(leader, leader);  // here too, so that the group is there whichever side runs first
    EXPECT_TRUE(engine::GroupRuns(leader));
    kill(leader, SIGKILL);
    siginfo_t exited{};
    ASSERT_EQ(waitid(P_PID, leader, &exited, WEXITED | WNOWAIT), 0);  // a zombie from here on
    EXPECT_FALSE(engine::GroupRuns(leader));
    EXPECT_TRUE(engine::WaitUntilGroupEnds(leader, 5000));
    waitpid(leader, nullptr, 0);
}

}  // namespace
