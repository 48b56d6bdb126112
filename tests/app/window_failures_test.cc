// The window when a fetch goes wrong: a page that never loads or fails to, a page that
// crashes, a browser that dies, and pages that reload themselves after the fetch.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>

#include "app/main_window.h"
#include "app/startup.h"
#include "app/texts.h"
#include "hostctl/browser_control.h"
#include "tests/app/stalling_server.h"
#include "tests/support/http_server.h"
#include "tests/support/process_tree.h"
#include "tests/support/sample_live_room.h"
#include "tests/support/window_session.h"

namespace {

using namespace std::chrono_literals;
using testsupport::SampleLiveRoom;
using testsupport::StallingServer;

// Longer than any wait of these tests: only what a test arranges ends its fetch.
constexpr auto kNoDeadline = 10min;
constexpr int kBoundMs = 60000;  // a generous bound for a loaded machine

class WindowFailures : public ::testing::Test {
  protected:
    void SetUp() override {
        recorder_.Install();
        window_ = std::make_unique<app::MainWindow>(app::OnMainWindowCreated);
        window_->SetFetchTimeout(kNoDeadline);
        window_->show();
        // Every load the view reports, whoever started it.
        hostctl::BrowserEvents events = window_->browser().events();
        auto finished = events.loadingFinished;
        events.loadingFinished = [this, finished](const std::string& url, int result,
                                                  const std::string& reason) {
            ++loads_;
            finished(url, result, reason);
        };
        window_->browser().SetEvents(events);
    }

    // The view goes before the sites it may still be loading from.
    void TearDown() override { window_.reset(); }

    void Fetch(const std::string& link) {
        window_->linkBox().setText(QString::fromStdString(link));
        window_->fetchButton().click();
        ASSERT_TRUE(window_->fetching());
    }
    std::string Result() { return app::FromQt(window_->resultBox().toPlainText()); }
    // The fetch has ended: its message is shown and the button is back.
    bool WaitForOutcome() {
        return WaitFor([&] { return !window_->fetching(); }, kBoundMs);
    }
    void ExpectIdleWith(const std::string& message) {
        EXPECT_EQ(Result(), message);
        EXPECT_TRUE(window_->fetchButton().isEnabled());
        EXPECT_EQ(window_->fetchButton().text(), QString::fromUtf8("获取m3u8地址"));
        EXPECT_TRUE(window_->resultBox().toolTip().isEmpty());
    }
    std::string Success(const std::string& address) {
        std::string shown = address + app::texts::SuccessSuffix();
        shown.replace(shown.find("\r\n"), 2, "\n");  // the box shows CR LF as one line break
        return shown;
    }

    SinkRecorder recorder_;
    std::unique_ptr<app::MainWindow> window_;
    int loads_ = 0;
    SampleLiveRoom room_;
    StallingServer site_;
};

// A load that never ends stops at the deadline with a message; the previous room's address
// and its validity are not left as if they were the answer.
TEST_F(WindowFailures, APageThatNeverLoadsEndsAtTheDeadline) {
    Fetch(room_.ShareLink(SampleLiveRoom::kLiveToken));
    ASSERT_TRUE(WaitForOutcome());
    ASSERT_EQ(Result(), Success(SampleLiveRoom::kStreamAddress));
    EXPECT_FALSE(window_->resultBox().toolTip().isEmpty());

    site_.Serve("/never/", StallingServer::StallingPage());
    window_->SetFetchTimeout(1500ms);
    Fetch(site_.Url("/never/"));
    ASSERT_TRUE(WaitFor([&] { return site_.Stalled(); }, kBoundMs));
    ASSERT_TRUE(WaitForOutcome());
    ExpectIdleWith(app::texts::FailurePageNotLoaded());
    EXPECT_EQ(recorder_.copied.size(), 1u);  // only the first room's address was copied
}

// A load that fails says so at once, without waiting for the deadline.
TEST_F(WindowFailures, ALoadThatFailsSaysSoAtOnce) {
    Fetch("http://v.douyin.com:" + std::to_string(testsupport::UnusedPort()) + "/gone/");
    ASSERT_TRUE(WaitForOutcome());
    ExpectIdleWith(app::texts::FailurePageNotLoaded());

    // An endless chain of redirects, which the browser gives up.
    testsupport::HttpServer redirects([](const testsupport::HttpRequest& request) {
        testsupport::HttpResponse moved;
        moved.status = 302;
        moved.headers.push_back({"Location", request.path + "x"});
        return moved;
    });
    Fetch("http://v.douyin.com:" + std::to_string(redirects.port()) + "/r");
    ASSERT_TRUE(WaitForOutcome());
    ExpectIdleWith(app::texts::FailurePageNotLoaded());
    EXPECT_TRUE(recorder_.copied.empty());
}

// The page's renderer dies while the page loads: the window says so at once and is usable.
TEST_F(WindowFailures, ACrashedPageSaysSo) {
    site_.Serve("/crash/", StallingServer::StallingPage());
    Fetch(site_.Url("/crash/"));
    ASSERT_TRUE(WaitFor([&] { return site_.Stalled(); }, kBoundMs));
    ASSERT_GT(testsupport::KillBelow(getpid(), testsupport::kRendererMarker), 0);
    ASSERT_TRUE(WaitForOutcome());
    ExpectIdleWith(app::texts::FailurePageCrashed());

    site_.Release();
    Fetch(room_.ShareLink(SampleLiveRoom::kLiveToken));
    ASSERT_TRUE(WaitForOutcome());
    EXPECT_EQ(Result(), Success(SampleLiveRoom::kStreamAddress));
}

// A room page that reloads itself: one press, one extraction, one copy, however often the
// page loads afterwards. (The page starts reloading once the test has read the result:
// its request under /stall answers then, and at once on every later load.)
TEST_F(WindowFailures, OnePressExtractsOnce) {
    site_.Serve("/reloading/",
                "<div id='__APP_ROOT__'><div><div class='reflow-content'><div class='video-box'>"
                "<div><video src='https://pull.sample-cdn.invalid/own.m3u8'></video></div>"
                "</div></div></div></div>"
                "<script>fetch('/stall-then-reload').then(() => location.reload())</script>");
    Fetch(site_.Url("/reloading/"));
    ASSERT_TRUE(WaitForOutcome());
    std::string first = Result();
    EXPECT_EQ(first, Success("https://pull.sample-cdn.invalid/own.m3u8"));
    int before = loads_;
    site_.Release();
    ASSERT_TRUE(WaitFor([&] { return loads_ >= before + 4; }, kBoundMs));
    EXPECT_EQ(recorder_.copied.size(), 1u);
    EXPECT_EQ(Result(), first);
    // The page stops reloading before its site goes.
    window_->browser().LoadAddress("about:blank");
    int now = loads_;
    EXPECT_TRUE(WaitFor([&] { return loads_ > now; }, kBoundMs));
}

// Chromium dies during a fetch: the window says the browser stopped, and the next press
// starts a new one, set up as at start (the room gives its stream only to a phone).
// It replaces the binary's browser, so it comes last in the binary.
TEST_F(WindowFailures, RecoversAfterTheBrowserDies) {
    site_.Serve("/dying/", StallingServer::StallingPage());
    Fetch(site_.Url("/dying/"));
    ASSERT_TRUE(WaitFor([&] { return site_.Stalled(); }, kBoundMs));
    ASSERT_GT(testsupport::KillBelow(getpid(), testsupport::kBrowserMarker), 0);
    ASSERT_TRUE(WaitForOutcome());
    ExpectIdleWith(app::texts::FailureBrowserStopped());

    site_.Release();
    Fetch(room_.ShareLink(SampleLiveRoom::kLiveToken));
    ASSERT_TRUE(WaitForOutcome());
    EXPECT_EQ(Result(), Success(SampleLiveRoom::kStreamAddress));
    EXPECT_EQ(app::ProgramState::Automation().GetView(),
              reinterpret_cast<wkeWebView>(window_->browser().GetWebView()));
}

}  // namespace
