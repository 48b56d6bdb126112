#pragma once
// What the program sets up before its window exists and takes down after it is gone, and
// the start-up handler that makes the view pass for a phone.
#include <cstdint>
#include <string>

#include "automation/web_automation.h"

namespace app {

class MainWindow;

// The program's one automation object and the automation layer's module-wide state, for
// the whole run.
class ProgramState {
  public:
    ProgramState();
    ~ProgramState();
    static automation::WebAutomation& Automation();
};

// The user agent the view presents (a phone's).
extern const char* const kPhoneUserAgent;

// What the start-up sequence needs of the browser: the window's control, or the command
// line's bare view.
class StartupBrowser {
  public:
    virtual ~StartupBrowser() = default;
    virtual intptr_t WebView() = 0;
    virtual void SetTouchEnabled(intptr_t view, bool enabled) = 0;
    virtual void SetUserAgentProperty(const std::string& userAgent) = 0;  // applies and reloads
};

// Attaches the automation layer and makes the view pass for a phone.
void RunStartupSequence(StartupBrowser& browser);

// Runs once when the window and its controls exist, before the window is shown.
void OnMainWindowCreated(MainWindow& window);

}  // namespace app
