// Cookies and local storage kept in the view's two storage directories outlive the engine.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "engine/capi/wke.h"
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

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

HttpResponse Page(const std::string& html) {
    HttpResponse page;
    page.body = html;
    return page;
}

// A view keeping its local storage in `dir` (ASCII, so that the test can put files there).
wkeWebView OpenViewKeepingStorageIn(const std::string& dir) {
    wkeInitializeEx(nullptr);
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 400, 300);
    wkeSetLocalStorageFullPath(view, Wide(dir).c_str());
    return view;
}

// Local storage items as the engine keeps them: [[key, value]].
nlohmann::json Items(const std::string& key, const std::string& value) {
    return nlohmann::json::array({nlohmann::json::array({key, value})});
}

std::string TempDir(const std::string& name) {
    std::string dir = std::filesystem::temp_directory_path() /
                      ("qirlen-" + name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    return dir;
}

// A framed origin's kept storage is put back only under the top-level page it was kept under:
// a later page of another site that frames the origin finds nothing (the same-origin policy is
// off, so what is put back in a frame is the top page's to read).
TEST(Persistence, KeptStorageComesBackOnlyUnderItsOwnTopLevelPage) {
    std::string dir = TempDir("partition");
    int port = 0;
    HttpServer server([&port](const HttpRequest& r) {
        if (r.path == "/framing")  // served as http://localhost:PORT, another site
            return Page("<iframe src='http://127.0.0.1:" + std::to_string(port) +
                        "/victim'></iframe>");
        return Page("<p>victim</p>");
    });
    port = server.port();
    std::string victim = server.Url("/victim");
    std::string framing = "http://localhost:" + std::to_string(port) + "/framing";

    wkeWebView view = OpenView(dir);
    ASSERT_EQ(LoadAndWait(view, victim), WKE_LOADING_SUCCEEDED);
    Eval(view, "localStorage.setItem('token', 'victim secret');");
    wkeShutdown();

    view = OpenView(dir);
    ASSERT_EQ(LoadAndWait(view, framing), WKE_LOADING_SUCCEEDED);
    ASSERT_TRUE(PumpUntil([&] { return Eval(view, "return frames.length") == "1"; }));
    ASSERT_TRUE(PumpUntil([&] { return Eval(view, "return location.href", 2) == victim; }));
    EXPECT_EQ(Eval(view, "return localStorage.getItem('token')", 2), "null");
    EXPECT_EQ(Eval(view, "return frames[0].localStorage.getItem('token')"), "null");
    // Under its own top-level page it is there.
    ASSERT_EQ(LoadAndWait(view, victim), WKE_LOADING_SUCCEEDED);
    EXPECT_EQ(Eval(view, "return localStorage.getItem('token')"), "victim secret");
    wkeShutdown();
    std::filesystem::remove_all(dir);
}

// Files of earlier versions map each origin to its items: kept as the origin's own, and
// what is kept is bounded to those used last.
TEST(Persistence, KeptStorageReadsTheOldFileAndKeepsOnlyTheLastUsed) {
    std::string dir = TempDir("bounded");
    HttpServer server([](const HttpRequest&) { return Page("<p>page</p>"); });
    std::string origin = server.Url("/").substr(0, server.Url("/").size() - 1);
    nlohmann::json old = nlohmann::json::object();
    for (int i = 0; i < 40; ++i)
        old["http://site" + std::to_string(i) + ".example"] = Items("k", std::to_string(i));
    old[origin] = Items("note", "from an older version");
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/local_storage.json") << old.dump();

    wkeWebView view = OpenViewKeepingStorageIn(dir);
    ASSERT_EQ(LoadAndWait(view, server.Url("/")), WKE_LOADING_SUCCEEDED);
    EXPECT_EQ(Eval(view, "return localStorage.getItem('note')"), "from an older version");
    wkeShutdown();

    nlohmann::json kept =
        nlohmann::json::parse(ReadText(dir + "/local_storage.json"), nullptr, false);
    ASSERT_TRUE(kept.is_object()) << kept;
    const auto& list = kept.value("kept", nlohmann::json::array());
    EXPECT_EQ(list.size(), 32u);
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].value("origin", ""), origin);  // the one used last comes first
    EXPECT_EQ(list[0].value("top", ""), origin);
    std::filesystem::remove_all(dir);
}

// Other programs sharing the cookie directory keep more cookies of one site than the browser
// holds (past 180 it evicts some): a program that takes them in, and whose page then sets more,
// saves its own without dropping any of theirs.
TEST(Persistence, CookiesPastTheBrowsersCapForASiteStayInTheSharedJar) {
    std::string dir = TempDir("cookie-cap");
    HttpServer server([](const HttpRequest&) { return Page("<p>page</p>"); });
    nlohmann::json others = nlohmann::json::array();
    for (int i = 0; i < 300; ++i)
        others.push_back({{"name", "other" + std::to_string(i)},
                          {"value", "1"},
                          {"domain", "127.0.0.1"},
                          {"path", "/"},
                          {"expires", static_cast<double>(std::time(nullptr) + 3600)}});
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/cookies.json") << others.dump();

    wkeInitializeEx(nullptr);
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 400, 300);
    wkeSetCookieJarPath(view, Wide(dir).c_str());
    ASSERT_EQ(LoadAndWait(view, server.Url("/")), WKE_LOADING_SUCCEEDED);
    std::string held = Eval(view, "return document.cookie.split('; ').length");
    EXPECT_LE(std::atoi(held.c_str()), 180) << "the browser held them all";
    Eval(view, "for (var i = 0; i < 40; i++) document.cookie = 'mine' + i + '=1; max-age=3600';");
    wkeShutdown();

    auto count = [&](const char* prefix) {
        int n = 0;
        for (const auto& c : nlohmann::json::parse(ReadText(dir + "/cookies.json")))
            n += c.value("name", "").rfind(prefix, 0) == 0;
        return n;
    };
    EXPECT_EQ(count("other"), 300);
    int saved = count("other") + count("mine");  // of its own, those the browser held
    EXPECT_GT(saved, 300);

    // The next run's page removes every cookie it has: those go, the ones the browser never
    // took in stay.
    wkeInitializeEx(nullptr);
    view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 400, 300);
    wkeSetCookieJarPath(view, Wide(dir).c_str());
    ASSERT_EQ(LoadAndWait(view, server.Url("/")), WKE_LOADING_SUCCEEDED);
    int removed =
        std::atoi(Eval(view,
                       "var names = document.cookie.split('; ').map(function (c) {"
                       "  return c.split('=')[0]; });"
                       "names.forEach(function (n) { document.cookie = n + '=; max-age=0'; });"
                       "return document.cookie === '' ? names.length : -1")
                      .c_str());
    wkeShutdown();
    EXPECT_GT(removed, 0);
    EXPECT_EQ(count("other") + count("mine"), saved - removed);
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
