#pragma once
// A test fixture with one view of the real module for each test, driven the way a program
// that uses the library drives it: a session makes the view, loads a page and waits until it
// and its frames are there; the test asks the page.
#include <gtest/gtest.h>
#include <qirlen/session.h>

#include <string>
#include <vector>

#include "automation/script_bridge.h"
#include "automation/web_automation.h"
#include "tests/support/host_loop.h"

namespace testsupport {

class PageView : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(session_.Ok()) << session_.Error();
        view_ = session_.View();
        web_ = session_.Automation();
    }

    // Loads `url` and waits until it has loaded with `frames` frames.
    void LoadUrl(const std::string& url, int frames = 1) {
        ASSERT_TRUE(session_.Load(url, 10000)) << session_.Error();
        std::vector<int32_t> ids;
        ASSERT_TRUE(session_.PumpUntil([&] { return web_.GetFrameIds(ids) == frames; }, 10000));
    }
    // Runs a GBK script and gives what it passed to GetAttributeBack.
    std::string Ask(const std::string& script, int frame = 1) {
        automation::Bridge().attributeReply.clear();
        automation::RunScript(view_, frame, script, false);
        return automation::Bridge().attributeReply;
    }
    // How many loads of the view have succeeded, the page's own included.
    int loads() const { return session_.PagesLoaded(); }

    qirlen::Session session_;
    wkeWebView view_ = nullptr;
    automation::WebAutomation web_;
};

}  // namespace testsupport
