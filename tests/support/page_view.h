#pragma once
// A test fixture with one view of the real module for each test, driven the way the program
// drives it: load a page, wait until it and its frames are there, ask the page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/script_bridge.h"
#include "automation/web_automation.h"
#include "hostctl/engine_library.h"
#include "tests/support/host_loop.h"

namespace testsupport {

class PageView : public ::testing::Test {
  protected:
    void SetUp() override {
        view_ =
            hostctl::Engine().wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 800, 600);
        ASSERT_NE(view_, nullptr);
        hostctl::Engine().wkeOnLoadingFinish(
            view_,
            [](wkeWebView, void* loads, const wkeString, wkeLoadingResult r, const wkeString) {
                if (r == WKE_LOADING_SUCCEEDED) ++*static_cast<int*>(loads);
            },
            &loads_);
        web_.BindView(view_);
    }
    void TearDown() override { hostctl::Engine().wkeDestroyWebWindow(view_); }

    // Loads `url` and waits until it has loaded with `frames` frames.
    void LoadUrl(const std::string& url, int frames = 1) {
        int before = loads_;
        hostctl::Engine().wkeLoadURL(view_, url.c_str());
        ASSERT_TRUE(PumpHostLoop([&] { return loads_ > before; }));
        std::vector<int32_t> ids;
        ASSERT_TRUE(PumpHostLoop([&] { return web_.GetFrameIds(ids) == frames; }));
    }
    // Runs a GBK script and gives what it passed to GetAttributeBack.
    std::string Ask(const std::string& script, int frame = 1) {
        automation::Bridge().attributeReply.clear();
        automation::RunScript(view_, frame, script, false);
        return automation::Bridge().attributeReply;
    }

    wkeWebView view_ = nullptr;
    automation::WebAutomation web_;
    int loads_ = 0;
};

}  // namespace testsupport
