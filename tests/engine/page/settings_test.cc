// What pages see after the view's settings change, and cookies.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/process/browser_choice.h"
#include "engine/process/chromium_switches.h"
#include "engine/capi/wke.h"
#include "tests/support/browser_processes.h"
#include "tests/support/engine_session.h"
#include "tests/support/http_server.h"

using namespace testsupport;

namespace {

const char* kPhone =
    "Mozilla/5.0 (iPhone; CPU iPhone OS 11_0 like Mac OS X) AppleWebKit/604.1.38 (KHTML, like "
    "Gecko) "
    "Version/11.0 Mobile/15A372 Safari/604.1";

std::atomic<int> pictureRequests{0};

class Settings : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        other_ = new HttpServer([](const HttpRequest&) {
            return HttpResponse{200, "text/html", "<p>x</p>"};
        });
        server_ = new HttpServer([](const HttpRequest& r) {
            HttpResponse page;
            if (r.path == "/ua") return HttpResponse{200, "text/plain", r.header("User-Agent")};
            if (r.path == "/frame")
                page.body = "<iframe src='" + other_->Url("/x") + "'></iframe>";
            else if (r.path == "/img")
                page.body = "<img id=i src='/pic.png'>";
            else if (r.path == "/pic.png") {
                ++pictureRequests;
                return HttpResponse{404, "image/png", ""};
            } else
                page.body = "<p>page</p>";
            return page;
        });
    }
    static void TearDownTestSuite() {
        delete server_;
        delete other_;
    }
    void SetUp() override {
        view_ = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 600, 510);
        ASSERT_NE(view_, nullptr);
    }
    void TearDown() override { wkeDestroyWebWindow(view_); }
    void Load(const std::string& path) {
        ASSERT_EQ(LoadAndWait(view_, server_->Url(path)), WKE_LOADING_SUCCEEDED);
    }

    static HttpServer* server_;
    static HttpServer* other_;
    wkeWebView view_ = nullptr;
};
HttpServer* Settings::server_ = nullptr;
HttpServer* Settings::other_ = nullptr;

TEST_F(Settings, APhoneProfileIsSeenByPagesAndTheirFrames) {
    wkeSetDeviceParameter(view_, "navigator.platform", "Linux armv8l", 0, 0);
    wkeSetDeviceParameter(view_, "navigator.maxTouchPoints", nullptr, 5, 0);
    wkeSetDeviceParameter(view_, "navigator.hardwareConcurrency", nullptr, 3, 0);
    wkeSetDeviceParameter(view_, "screen.width", nullptr, 360, 0);
    wkeSetDeviceParameter(view_, "screen.height", nullptr, 720, 0);
    wkeSetDeviceParameter(view_, "screen.availWidth", nullptr, 361, 0);
    wkeSetDeviceParameter(view_, "screen.availHeight", nullptr, 721, 0);
    wkeSetTouchEnabled(view_, true);
    wkeSetUserAgent(view_, kPhone);
    Load("/frame");
    const std::string probe =
        "return [navigator.platform, navigator.maxTouchPoints, navigator.hardwareConcurrency, "
        "screen.width,"
        " screen.height, screen.availWidth, screen.availHeight, navigator.userAgent,"
        " 'ontouchstart' in window, typeof TouchEvent].join('|');";
    std::string expected =
        std::string("Linux armv8l|5|3|360|720|361|721|") + kPhone + "|true|function";
    EXPECT_EQ(Eval(view_, probe, 1), expected);
    EXPECT_EQ(Eval(view_, probe, 2), expected);  // a cross-origin frame sees the same
    Load("/ua");
    EXPECT_EQ(Eval(view_, "return document.body.innerText"), kPhone);  // and so does the server
}

TEST_F(Settings, ScriptAndImagesCanBeSwitchedOff) {
    wkeSetDebugConfig(view_, "imageEnable", "0");
    Load("/img");
    EXPECT_EQ(pictureRequests, 0);
    wkeSetDebugConfig(view_, "imageEnable", "1");
    Load("/img");
    EXPECT_EQ(pictureRequests, 1);
    wkeSetDebugConfig(view_, "jsEnable", "0");
    wkeLoadHTML(view_, "<script>document.title='ran'</script>");
    PumpFor(500);
    EXPECT_NE(Eval(view_, "return document.title"), "ran");
    wkeSetDebugConfig(view_, "jsEnable", nullptr);  // anything but "0" turns it back on
    wkeLoadHTML(view_, "<script>document.title='ran'</script>");
    PumpUntil([&] { return Eval(view_, "return document.title") == "ran"; }, 3000);
    EXPECT_EQ(Eval(view_, "return document.title"), "ran");
}

struct Cookie {
    std::string name, value, domain;
    int expires;
};

TEST_F(Settings, CookiesCanBeSetReadAndVisited) {
    Load("/");
    // The host's texts are GBK: 你好, and 鹿 whose two bytes happen to be valid UTF-8 too.
    wkeSetCookie(view_, server_->Url("/").c_str(), "greeting=\xC4\xE3\xBA\xC3; path=/");
    wkeSetCookie(view_, server_->Url("/").c_str(), "deer=\xC2\xB9; path=/");
    wkeSetCookie(view_, server_->Url("/").c_str(), "kept=1; path=/; max-age=3600");
    std::string cookies = wkeGetCookie(view_);
    EXPECT_NE(cookies.find("greeting=你好"), std::string::npos) << cookies;
    EXPECT_NE(cookies.find("kept=1"), std::string::npos) << cookies;
    EXPECT_NE(cookies.find("deer=鹿"), std::string::npos) << cookies;
    EXPECT_EQ(Eval(view_, "return document.cookie.indexOf('kept=1') >= 0"), "true");

    std::vector<Cookie> seen;
    wkeVisitAllCookie(
        view_, &seen,
        [](void* p, const char* name, const char* value, const char* domain, const char*, int, int,
           int* expires) {
            static_cast<std::vector<Cookie>*>(p)->push_back({name, value, domain, *expires});
            return false;
        });
    auto greeting = std::find_if(seen.begin(), seen.end(),
                                 [](const Cookie& c) { return c.name == "greeting"; });
    ASSERT_NE(greeting, seen.end());
    EXPECT_EQ(greeting->value, "你好");
    EXPECT_EQ(greeting->domain, "127.0.0.1");
    auto kept =
        std::find_if(seen.begin(), seen.end(), [](const Cookie& c) { return c.name == "kept"; });
    ASSERT_NE(kept, seen.end());
    EXPECT_GT(kept->expires, time(nullptr));

    int visits = 0;
    wkeVisitAllCookie(
        view_, &visits,
        [](void* p, const char*, const char*, const char*, const char*, int, int, int*) {
            ++*static_cast<int*>(p);
            return true;  // stop at the first
        });
    EXPECT_EQ(visits, 1);
}

// The kinds of process (--type=..., and the utility's service) in the browser's group.
std::multiset<std::string> BrowserProcessKinds() {
    std::multiset<std::string> kinds;
    for (pid_t child : LiveChildren()) {
        if (CommandLine(child).find("--remote-debugging-pipe") == std::string::npos) continue;
        for (pid_t pid : RunningInGroup(child)) {
            std::istringstream words(CommandLine(pid));
            std::string word, kind = "browser";
            while (words >> word) {
                if (word.rfind("--type=", 0) == 0) kind = word.substr(7);
                if (word.rfind("--utility-sub-type=", 0) == 0) kind += ":" + word.substr(19);
            }
            if (CommandLine(pid).find("/bin/sh") == std::string::npos) kinds.insert(kind);
        }
    }
    return kinds;
}

// One view needs no network process, GPU process or unsandboxed zygote of its own: the
// network service and the software GPU run in the browser; pages still get WebGL.
TEST_F(Settings, TheBrowserRunsNoNetworkOrGpuProcessOfItsOwn) {
    Load("/ua");  // the network service runs from the first request on
    std::string webgl = Eval(view_,
                             "var g = document.createElement('canvas').getContext('webgl');"
                             "if (!g) return 'none'; g.clearColor(0, 1, 0, 1);"
                             "g.clear(g.COLOR_BUFFER_BIT); var px = new Uint8Array(4);"
                             "g.readPixels(0, 0, 1, 1, g.RGBA, g.UNSIGNED_BYTE, px);"
                             "return px.join(',');");
    EXPECT_EQ(webgl, "0,255,0,255");
    std::multiset<std::string> kinds = BrowserProcessKinds();
    std::string all;
    for (const auto& k : kinds) all += k + " ";
    EXPECT_EQ(kinds.count("browser"), 1u) << all;
    EXPECT_GE(kinds.count("renderer"), 1u) << all;
    EXPECT_EQ(kinds.count("utility:network.mojom.NetworkService"), 0u) << all;
    EXPECT_EQ(kinds.count("gpu-process"), 0u) << all;
    EXPECT_LE(kinds.count("zygote"), 1u) << all;
}

TEST(Chromium, RunsWithoutATcpPortAndWithTheSandboxOnlyForNonRoot) {
    auto switches = engine::ChromiumSwitches("/tmp/p");
    bool noSandbox = std::find(switches.begin(), switches.end(), "--no-sandbox") != switches.end();
    EXPECT_EQ(noSandbox, geteuid() == 0);
    for (const auto& s : switches) {
        EXPECT_EQ(s.find("--remote-debugging-port"), std::string::npos);
        EXPECT_EQ(s.find("LocalNetworkAccessChecks"), std::string::npos);  // they stay on
    }

    // No socket of ours or of any child listens on TCP.
    std::set<std::string> listening;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::istringstream f(line);
            std::string sl, local, remote, state, q, t, r, uid, timeout, inode;
            f >> sl >> local >> remote >> state >> q >> t >> r >> uid >> timeout >> inode;
            if (state == "0A") listening.insert("socket:[" + inode + "]");
        }
    }
    std::string mine = std::to_string(getpid());
    int checked = 0;
    DIR* proc = opendir("/proc");
    while (dirent* e = readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
        std::string pid, comm, state, ppid, pgrp;
        if (!(stat >> pid >> comm >> state >> ppid >> pgrp)) continue;
        if (ppid != mine && pid != mine) continue;
        ++checked;
        std::string fdDir = std::string("/proc/") + e->d_name + "/fd";
        DIR* fds = opendir(fdDir.c_str());
        while (fds && (e = readdir(fds))) {
            char target[256] = {};
            if (readlink((fdDir + "/" + e->d_name).c_str(), target, sizeof target - 1) > 0)
                EXPECT_EQ(listening.count(target), 0u) << fdDir << " " << target;
        }
        if (fds) closedir(fds);
    }
    closedir(proc);
    EXPECT_GE(checked, 2);  // this process and Chromium
}

// The first view after a start takes the blank tab the browser opened with; the next one gets
// a tab of its own. Each has the size it was made with, and no tab is left idle.
TEST(Tabs, TheFirstViewTakesTheBrowsersOwnTabAndNoneIsLeftIdle) {
    wkeShutdown();  // a start of its own, whatever ran before
    HttpServer server([](const HttpRequest&) {
        return HttpResponse{200, "text/html", "<p>size</p>"};
    });
    wkeWebView first = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 600, 510);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(LoadAndWait(first, server.Url("/a")), WKE_LOADING_SUCCEEDED);
    // (chromium runs renderers of its own for its browser UI; the shell has none)
    if (engine::FindChromium().find("headless-shell") != std::string::npos)
        EXPECT_EQ(BrowserProcessKinds().count("renderer"), 1u);
    wkeWebView second = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 520, 300);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(LoadAndWait(second, server.Url("/b")), WKE_LOADING_SUCCEEDED);
    const char* size =
        "return innerWidth + 'x' + innerHeight + ' ' + outerWidth + 'x' + outerHeight;";
    EXPECT_EQ(Eval(first, size), "600x510 600x510");
    EXPECT_EQ(Eval(second, size), "520x300 520x300");
    wkeDestroyWebWindow(second);
    wkeDestroyWebWindow(first);
}

}  // namespace
