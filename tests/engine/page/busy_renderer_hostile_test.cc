// Pages that keep their renderer busy: a DOM tens of thousands of levels deep, a page that
// spins after it loaded. A page's renderer being busy past a run's limit must cost that run,
// not the engine's hearing: the engine takes up the browser again as soon as it answers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/hostile_site.h"
#include "tests/support/page_view.h"

namespace {

using testsupport::PumpHostLoop;
using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class BusyRenderer : public testsupport::PageView {
  protected:
    void Load(const std::string& path, const std::string& html) {
        hostile::Local().Serve(path, html);
        LoadUrl(hostile::Local().Url(hostile::kShareHost, path));
    }
};

// The deep page is built by script once it has loaded (a load that lays out 30,000 levels
// takes longer than anyone waits for it): the HTML parser would flatten nesting past a few
// hundred levels, appendChild does not.
constexpr const char* kDeepPage =
    "<!doctype html><body><p id='shallow'>top</p><script>"
    "addEventListener('load', function () { setTimeout(function () {"
    " var at = document.body;"
    " for (var i = 0; i < 30000; ++i) { var d = document.createElement('div');"
    "  at.appendChild(d); at = d; }"
    " var p = document.createElement('p'); p.id = 'deepest'; p.textContent = 'here';"
    " at.appendChild(p); }, 0); });"
    "</script></body>";

// The first look may run out of time while the renderer lays the tree out; whatever it
// answers, the engine must find the element once the renderer is through.
// Disabled: with the Chromium here the renderer crashes (SIGSEGV) under the first look at
// this page, so the case sees a crashed page, not a busy one. A stopped renderer stands in
// for the busy one in StoppedRenderer.CostsItsOwnPageOneRunNotTheBrowser
// (engine_page_faults_test).
TEST_F(BusyRenderer, DISABLED_ADeepDomCostsOneRunNotTheEngineItsHearing) {
    hostile::Local().Serve("/busy/deep", kDeepPage);
    int before = loads();
    hostctl::Engine().wkeLoadURL(view_,
                                 hostile::Local().Url(hostile::kShareHost, "/busy/deep").c_str());
    ASSERT_TRUE(PumpHostLoop([&] { return loads() > before; }, 60000));
    bool firstAnswer = web_.ElementExists("id", "deepest");
    // Never deaf for good: a later look finds it, however long the first one took.
    bool found = firstAnswer;
    auto start = Clock::now();
    while (!found && MsSince(start) < 120000) {
        PumpHostLoop([] { return false; }, 200);
        found = web_.ElementExists("id", "deepest");
    }
    EXPECT_TRUE(found) << "first look: " << firstAnswer;
    EXPECT_EQ(web_.GetElementAttribute("id", "deepest", 0, "id"), "deepest");
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A page that spins for seconds once it has loaded: what the view keeps is saved when the
// page answers, and meanwhile neither the load's notification nor the host's next call
// waits for it.
TEST_F(BusyRenderer, APageSpinningAfterItsLoadDelaysNeitherTheLoadNorTheHost) {
    std::string dir =
        std::filesystem::temp_directory_path() / ("qirlen-busy-save-" + std::to_string(getpid()));
    std::u16string wide(dir.begin(), dir.end());
    hostctl::Engine().wkeSetLocalStorageFullPath(view_, wide.c_str());
    hostctl::Engine().wkeSetCookieJarPath(view_, wide.c_str());
    const std::string path = "/busy/spins-after-load";
    hostile::Local().Serve(
        path,
        "<!doctype html><p>spins</p><script>"
        "document.cookie = 'visit=1; max-age=3600'; localStorage.setItem('kept', 'yes');"
        "addEventListener('load', function () { setTimeout(function () {"
        " var end = Date.now() + 8000; while (Date.now() < end); }, 0); });"
        "</script>");
    int before = loads();
    auto start = Clock::now();
    hostctl::Engine().wkeLoadURL(view_, hostile::Local().Url(hostile::kShareHost, path).c_str());
    ASSERT_TRUE(PumpHostLoop([&] { return loads() > before; }, 20000));
    EXPECT_LT(MsSince(start), 4000);
    auto asked = Clock::now();
    EXPECT_EQ(std::string(hostctl::Engine().wkeGetCookie(view_)), "visit=1");
    EXPECT_LT(MsSince(asked), 1500);
    // Saved all the same, once the page is free again.
    EXPECT_TRUE(PumpHostLoop(
        [&] { return ReadText(dir + "/local_storage.json").find("kept") != std::string::npos; },
        30000));
    EXPECT_NE(ReadText(dir + "/cookies.json").find("visit"), std::string::npos);
    std::filesystem::remove_all(dir);
}

}  // namespace
