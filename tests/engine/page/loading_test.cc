// Loads and their one loading-finished notification each.
#include <gtest/gtest.h>

#include <thread>

#include "engine/capi/wke.h"
#include "tests/support/engine_session.h"
#include "tests/support/http_server.h"

using namespace testsupport;

namespace {

class Loading : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        server_ = new HttpServer([](const HttpRequest& r) {
            HttpResponse page;
            if (r.path == "/missing") {
                page.status = 404;
                page.body = "<p>not here</p>";
            } else if (r.path == "/slow") {
                std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                page.body = "<p>slow</p>";
            } else if (r.path == "/redirect") {
                page.status = 302;
                page.headers.push_back({"Location", "/landing"});
            } else if (r.path == "/link") {
                page.body = "<a id=go href='/landing'>go</a>";
            } else {
                page.body = "<title>landing</title><p>landing</p>";
            }
            return page;
        });
    }
    static void TearDownTestSuite() { delete server_; }
    void SetUp() override {
        view_ = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 640, 480);
        ASSERT_NE(view_, nullptr);
    }
    void TearDown() override { wkeDestroyWebWindow(view_); }

    static HttpServer* server_;
    wkeWebView view_ = nullptr;
};
HttpServer* Loading::server_ = nullptr;

TEST_F(Loading, APageThatLoadsSucceedsEvenWithAnErrorStatus) {
    LoadWatcher watcher(view_);
    wkeLoadURL(view_, server_->Url("/redirect").c_str());
    LoadOutcome ok = watcher.Wait();
    EXPECT_EQ(ok.result, WKE_LOADING_SUCCEEDED);
    EXPECT_EQ(ok.url, server_->Url("/landing"));
    EXPECT_TRUE(wkeIsLoaded(view_));
    EXPECT_TRUE(wkeIsLoadComplete(view_));
    EXPECT_FALSE(wkeIsLoadFailed(view_));
    EXPECT_EQ(std::string(wkeGetURL(view_)), server_->Url("/landing"));

    wkeLoadURL(view_, server_->Url("/missing").c_str());
    EXPECT_EQ(watcher.Wait().result, WKE_LOADING_SUCCEEDED);
    PumpFor(300);
    EXPECT_EQ(watcher.all().size(), 2u);  // exactly one notification per load
}

// A view that has loaded nothing reloads its blank page to take up a new setting; a load
// asked for meanwhile ends with its own page, not with the blank page's reload.
TEST_F(Loading, ALoadAskedForDuringTheBlankPagesReloadEndsWithItsOwnPage) {
    LoadWatcher watcher(view_);
    wkeSetUserAgent(view_, "Phone/1.0");
    wkeReload(view_);
    wkeLoadURL(view_, server_->Url("/slow").c_str());
    LoadOutcome outcome = watcher.Wait();
    EXPECT_EQ(outcome.result, WKE_LOADING_SUCCEEDED);
    EXPECT_EQ(outcome.url, server_->Url("/slow"));
    EXPECT_EQ(Eval(view_, "return document.body.textContent;"), "slow");
    PumpFor(300);
    EXPECT_EQ(watcher.all().size(), 1u);
}

TEST_F(Loading, NetworkFailuresReportAReason) {
    LoadWatcher watcher(view_);
    for (std::string url :
         {"http://127.0.0.1:" + std::to_string(UnusedPort()) + "/",
          std::string("http://no-such-host.invalid/"), std::string("plain words")}) {
        wkeLoadURL(view_, url.c_str());
        LoadOutcome failed = watcher.Wait();
        EXPECT_EQ(failed.result, WKE_LOADING_FAILED) << url;
        EXPECT_FALSE(failed.reason.empty()) << url;
        EXPECT_TRUE(wkeIsLoadFailed(view_));
    }
    PumpFor(300);
    EXPECT_EQ(watcher.all().size(), 3u);
}

TEST_F(Loading, StoppingOrReplacingALoadCancelsIt) {
    LoadWatcher watcher(view_);
    wkeLoadURL(view_, server_->Url("/slow").c_str());
    wkeStopLoading(view_);
    EXPECT_EQ(watcher.Wait().result, WKE_LOADING_CANCELED);

    wkeLoadURL(view_, server_->Url("/slow").c_str());
    wkeLoadURL(view_, server_->Url("/landing").c_str());
    PumpUntil([&] { return watcher.all().size() >= 3; });
    PumpFor(1800);  // the slow answer arrives and must not add a notification
    ASSERT_EQ(watcher.all().size(), 3u);
    EXPECT_EQ(watcher.all()[1].result, WKE_LOADING_CANCELED);
    EXPECT_EQ(watcher.all()[2].result, WKE_LOADING_SUCCEEDED);
}

TEST_F(Loading, LoadsThePageStartsItselfAreReportedToo) {
    ASSERT_EQ(LoadAndWait(view_, server_->Url("/link")), WKE_LOADING_SUCCEEDED);
    LoadWatcher watcher(view_);
    Eval(view_, "document.getElementById('go').click();");
    LoadOutcome followed = watcher.Wait();
    EXPECT_EQ(followed.result, WKE_LOADING_SUCCEEDED);
    EXPECT_EQ(followed.url, server_->Url("/landing"));

    wkeReload(view_);
    EXPECT_EQ(watcher.Wait().result, WKE_LOADING_SUCCEEDED);
    PumpFor(300);
    EXPECT_EQ(watcher.all().size(), 2u);
}

TEST_F(Loading, HtmlAndWideAddressesLoad) {
    LoadWatcher watcher(view_);
    wkeLoadHTML(view_, "<title>直接</title><p id=p>内容</p>");
    EXPECT_EQ(watcher.Wait().result, WKE_LOADING_SUCCEEDED);
    EXPECT_EQ(Eval(view_, "return document.getElementById('p').textContent"), "内容");
    std::string landing = server_->Url("/landing");
    std::u16string wide(landing.begin(), landing.end());
    wkeLoadURLW(view_, wide.c_str());
    EXPECT_EQ(watcher.Wait().result, WKE_LOADING_SUCCEEDED);
    PumpUntil([&] { return std::string(wkeGetTitle(view_)) == "landing"; }, 3000);
    EXPECT_EQ(std::string(wkeGetTitle(view_)), "landing");
}

TEST_F(Loading, NotificationsComeOnlyFromTheEventLoop) {
    bool finished = false;
    wkeOnLoadingFinish(
        view_,
        [](wkeWebView, void* flag, const wkeString, wkeLoadingResult, const wkeString) {
            *static_cast<bool*>(flag) = true;
        },
        &finished);
    wkeLoadURL(view_, server_->Url("/landing").c_str());
    // A script run reads the pipe while it waits, but keeps notifications queued.
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < until) Eval(view_, "return 1;");
    EXPECT_FALSE(finished);
    EXPECT_TRUE(PumpUntil([&] { return finished; }));
}

}  // namespace
