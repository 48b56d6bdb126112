// Cookies and local storage kept in the view's two storage directories outlive the engine.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/wke.h"
#include "tests/support/engine_session.h"
#include "tests/support/http_server.h"

using namespace testsupport;

namespace {

std::u16string Wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

wkeWebView OpenView(const std::string& dir) {
    wkeInitializeEx(nullptr);
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 400, 300);
    wkeSetLocalStorageFullPath(view, Wide(dir + "/缓存目录").c_str());
    wkeSetCookieJarPath(view, Wide(dir + "/cookie目录").c_str());
    return view;
}

TEST(Persistence, CookiesAndLocalStorageSurviveARestart) {
    std::string dir =
        std::filesystem::temp_directory_path() / ("qirlen-persist-" + std::to_string(getpid()));
    HttpServer server([](const HttpRequest&) {
        return HttpResponse{200, "text/html", "<p>page</p>"};
    });

    wkeWebView view = OpenView(dir);
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(LoadAndWait(view, server.Url("/")), WKE_LOADING_SUCCEEDED);
    Eval(view,
         "document.cookie = 'visit=第一次; max-age=3600'; localStorage.setItem('note', '记住');");
    wkeSetCookie(view, server.Url("/").c_str(), "jar=1; max-age=3600");
    wkeShutdown();
    // What is kept holds HttpOnly and session cookies: the user's alone.
    using std::filesystem::perms;
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        perms mode = entry.status().permissions() & perms::all;
        if (entry.is_directory()) {
            EXPECT_EQ(mode, perms::owner_all) << entry.path();
        } else {
            ++files;
            EXPECT_EQ(mode, perms::owner_read | perms::owner_write) << entry.path();
        }
    }
    EXPECT_EQ(files, 2);  // the cookie jar and the local storage

    view = OpenView(dir);
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(LoadAndWait(view, server.Url("/")), WKE_LOADING_SUCCEEDED);
    std::string cookies = wkeGetCookie(view);
    EXPECT_NE(cookies.find("visit=第一次"), std::string::npos) << cookies;
    EXPECT_NE(cookies.find("jar=1"), std::string::npos) << cookies;
    EXPECT_EQ(Eval(view, "return localStorage.getItem('note')"), "记住");
    wkeShutdown();

    // Without the directories nothing is carried over.
    wkeInitializeEx(nullptr);
    view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 400, 300);
    ASSERT_EQ(LoadAndWait(view, server.Url("/")), WKE_LOADING_SUCCEEDED);
    EXPECT_EQ(std::string(wkeGetCookie(view)), "");
    EXPECT_EQ(Eval(view, "return localStorage.getItem('note')"), "null");
    wkeShutdown();
    std::filesystem::remove_all(dir);
}

// A process that has ended, for an owner that is gone.
pid_t EndedProcess() {
    pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

// A profile left by a killed host goes only when its browser is gone too, and a profile that
// lost its owner file goes once it has been left alone.
TEST(Persistence, AbandonedProfilesGoOnlyWhenTheirBrowserIsGone) {
    namespace fs = std::filesystem;
    pid_t browser = fork();  // stands in for a browser that outlived its killed host
    if (browser == 0) {
        setpgid(0, 0);
        pause();
        _exit(0);
    }
    setpgid(browser, browser);
    std::string tag = std::to_string(getpid());
    fs::path busy = fs::path("/tmp") / ("qirlen-profile-busy" + tag);
    fs::path ownerless = fs::path("/tmp") / ("qirlen-profile-ownerless" + tag);
    fs::path fresh = fs::path("/tmp") / ("qirlen-profile-fresh" + tag);
    for (const auto& d : {busy, ownerless, fresh}) fs::create_directories(d);
    std::ofstream(busy / "owner") << EndedProcess() << " " << browser << "\n";
    fs::last_write_time(ownerless, fs::file_time_type::clock::now() - std::chrono::hours(1));

    auto startEngine = [] {
        wkeInitializeEx(nullptr);
        wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 100, 100);
        wkeShutdown();
    };
    startEngine();
    EXPECT_TRUE(fs::exists(busy));  // its browser still runs
    EXPECT_FALSE(fs::exists(ownerless));
    EXPECT_TRUE(fs::exists(fresh));
    kill(browser, SIGKILL);
    waitpid(browser, nullptr, 0);
    startEngine();
    EXPECT_FALSE(fs::exists(busy));
    fs::remove_all(fresh);
}

TEST(Persistence, AFreshViewRunsScriptsBeforeAnyLoad) {
    wkeInitializeEx(nullptr);
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 400, 300);
    EXPECT_EQ(Eval(view, "return location.href"), "about:blank");
    EXPECT_FALSE(wkeIsLoaded(view));
    wkeShutdown();
}

}  // namespace
