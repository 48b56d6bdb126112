#include "app/startup.h"

#include "app/main_window.h"
#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "hostctl/browser_control.h"

namespace app {

const char* const kPhoneUserAgent =
    "Mozilla/5.0 (iPhone; CPU iPhone OS 14_0_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
    "Gecko) "
    "Mobile/15E148 AliApp(DingTalk/4.5.15) cn.xuexi.qg/13900895 Channel/201200 Device/XueXi "
    "XueXi/2.17.0 "
    "language/zh-Hans";

namespace {
automation::WebAutomation* automationObject = nullptr;
}

ProgramState::ProgramState() {
    automationObject = new automation::WebAutomation();
    automation::ResetBridge();
}

ProgramState::~ProgramState() {
    delete automationObject;
    automationObject = nullptr;
    automation::ReleaseEngineBinding();
    automation::ResetBridge();
}

automation::WebAutomation& ProgramState::Automation() {
    static automation::WebAutomation unbound;  // only when no ProgramState exists
    return automationObject ? *automationObject : unbound;
}

void RunStartupSequence(StartupBrowser& browser) {
    automation::InitializeEngineBinding();
    automation::WebAutomation& web = ProgramState::Automation();
    web.BindView(reinterpret_cast<wkeWebView>(browser.WebView()));
    web.SetPlatform("Linux armv8l");
    web.SetMaxTouchPoints(5);
    web.SetScreenSize(360, 720);
    web.SetScreenAvailSize(360, 720);
    browser.SetTouchEnabled(browser.WebView(), true);
    browser.SetUserAgentProperty(kPhoneUserAgent);
}

void OnMainWindowCreated(MainWindow& window) {
    struct ControlBrowser : StartupBrowser {
        hostctl::BrowserControl& control;
        explicit ControlBrowser(hostctl::BrowserControl& c) : control(c) {}
        intptr_t WebView() override { return control.GetWebView(); }
        void SetTouchEnabled(intptr_t view, bool enabled) override {
            hostctl::BrowserControl::SetTouchEnabled(view, enabled);
        }
        void SetUserAgentProperty(const std::string& ua) override {
            control.SetUserAgentProperty(ua);
        }
    } browser(window.browser());
    RunStartupSequence(browser);
}

}  // namespace app
