#pragma once
// The window's test fixture: a new window for each test, as the program makes it, what it
// showed, copied and opened recorded, and the sample live room for all of them. The window's
// tests are in several files and share this one fixture.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "app/startup.h"
#include "app/text_rules.h"
#include "app/texts.h"
#include "hostctl/browser_control.h"
#include "tests/support/sample_live_room.h"
#include "tests/support/window_session.h"

namespace apptest {

class Window : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { room = new testsupport::SampleLiveRoom(SampleRoomPort()); }
    static void TearDownTestSuite() { delete room; }
    void SetUp() override {
        recorder_.Install();
        window_ = std::make_unique<app::MainWindow>(app::OnMainWindowCreated);
        window_->show();
    }
    void TearDown() override { window_.reset(); }

    // Counts every load the window's browser reports in `loads`, the window still hearing them.
    void CountLoads(int& loads) {
        hostctl::BrowserEvents events = window_->browser().events();
        auto finished = events.loadingFinished;
        events.loadingFinished = [&loads, finished](const std::string& url, int result,
                                                    const std::string& reason) {
            ++loads;
            finished(url, result, reason);
        };
        window_->browser().SetEvents(events);
    }
    // Types into the link box as a user would and presses the fetch button.
    void Fetch(const std::string& utf8) {
        window_->linkBox().setFocus();
        ASSERT_TRUE(WaitFor([&] { return window_->linkBox().hasFocus(); }));
        window_->linkBox().setText(QString::fromUtf8(utf8.c_str()));
        window_->fetchButton().click();
    }
    std::string Result() { return app::FromQt(window_->resultBox().toPlainText()); }
    bool WaitForResult() {
        return WaitFor([&] {
            return window_->fetchButton().isEnabled() &&
                   !window_->resultBox().toPlainText().isEmpty();
        });
    }
    QString Caption() { return window_->fetchButton().text(); }

    // The sample live room, one for all the window's tests.
    static inline testsupport::SampleLiveRoom* room = nullptr;
    SinkRecorder recorder_;
    std::unique_ptr<app::MainWindow> window_;
};

// A text of the program (GBK) from its UTF-8 spelling here.
inline std::string Expected(const std::string& utf8) {
    return app::texts::Gbk(utf8.c_str());
}

}  // namespace apptest
