#pragma once
// The command line's browser and its one view, set up like the window's. A run of many links
// keeps one browser while it works; one found dead or deaf is replaced, so that the links
// after it do not fail with it.
#include <chrono>
#include <functional>
#include <string>

#include "app/startup.h"
#include "app/stream_workflow.h"
#include "hostctl/engine_library.h"

namespace app {

// The command line's view: the phone profile, touch, user agent.
class CliPage : public StreamWorkflow::Page, public StartupBrowser {
  public:
    intptr_t WebView() override { return View(); }
    void SetTouchEnabled(intptr_t v, bool enabled) override;
    void SetUserAgentProperty(const std::string& ua) override;
    void Load(const std::string& address) override;
    intptr_t View() override { return reinterpret_cast<intptr_t>(view); }
    wkeWebView view = nullptr;
    // Runs before every page load but the blank page's (a service paces them), maybe from
    // inside the engine's events: it may wait, never call the engine.
    std::function<void()> beforeLoad;
};

// The line for a browser that could not start or stopped, by whether it ever answered.
std::string BrowserFailureLine(const std::string& why);
// Waits up to `ms` for the engine's events and hands them on; with `fd`, returns early
// with true once that descriptor can be read (or has hung up).
bool ServeEngine(int ms, int fd = -1);

class CliBrowser {
  public:
    using Clock = std::chrono::steady_clock;

    // A browser that answers, for the next link: started the first time; one that died or
    // was found deaf replaced (killed, its profile removed, a new one started), which a
    // line on standard error tells. False when none could be started: failure() says why,
    // and no start is tried again.
    bool Ready();
    // The last link's page did not load or did not answer in time: the browser may be deaf
    // (stopped, say) or only the page slow or broken.
    void Doubt() { doubted_ = true; }
    // Before the next link, a browser in doubt shows a blank page within a few seconds or
    // is taken for deaf. The blank page also takes the view off the error page, whose failure the
    // engine could otherwise take for the next load's.
    void SettleDoubt();
    // Whether the browser died after it had started (under the last try, say): replaced, it
    // may take that link again.
    bool DiedAfterAnswering() const;
    // Ends the browser at the end of the run.
    void Shutdown();
    // After a browser that could not start: the next Ready starts one anew (a service keeps
    // trying where a run gives up).
    void Forgive();
    // How many browsers were found dead or deaf and replaced.
    int replacements() const { return replacements_; }

    CliPage& page() { return page_; }
    const std::string& failure() const { return failure_; }

  private:
    bool Start();
    bool Replace(const std::string& why);
    bool ShowsBlankPage(Clock::time_point deadline);

    CliPage page_;
    ProgramState program_;
    bool doubted_ = false;
    bool deaf_ = false;
    std::string failure_;
    int replacements_ = 0;  // the browser line once none could be started
};

}  // namespace app
