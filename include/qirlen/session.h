#pragma once
// The automation library for a program of its own: one include gives the session (the engine
// loaded, a view made, pages loaded and waited for), automation::WebAutomation and
// locate::Locator.
//
//   qirlen::SetTextEncoding(qirlen::TextEncoding::Utf8);
//   qirlen::Session session;
//   if (!session.Load("https://example.org/", 30000)) return puts(session.Error().c_str()), 1;
//   session.Automation().SetElementValue("getElementById", "q", "你好 🙂");
//
// Everything runs on the thread that made the first session; one operation at a time in the
// process (the reply slots the page answers into are process-wide).
#include <functional>
#include <string>

#include "automation/web_automation.h"
#include "engine/capi/wke.h"
#include "locate/locator.h"

namespace qirlen {

// The encoding of every text into and out of WebAutomation, Session and Locator:
// GBK (code page 936, the default) or UTF-8. Process-wide; set it once, before the first
// operation.
enum class TextEncoding { Gbk, Utf8 };
void SetTextEncoding(TextEncoding encoding);
TextEncoding GetTextEncoding();

class Session {
  public:
    // Loads the engine (QIRLEN_ENGINE names node.so, else it is looked for beside this
    // library, then in its qirlen/ directory), starts it, binds the library to it and makes a
    // view. Never throws: on failure Ok() is false and Error() says why.
    Session();
    // Destroys the view; the last session of the process also shuts the engine down (its
    // browser ends) unless another host of the process had started it before the first
    // session. The engine module stays loaded, so a later session starts it again.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Ok() const { return view_ != nullptr; }
    // Why the session did not start, or why the last Load failed (the program's text).
    const std::string& Error() const { return error_; }

    // Navigates and returns once the page and every frame of it have loaded (each frame's
    // document complete): true, or false when the load failed, the engine has no browser or
    // `timeoutMs` passed, with the reason in Error().
    bool Load(const std::string& url, int timeoutMs = 30000);

    // How many loads of the view have succeeded, the page's own navigations (a link, a form,
    // a script) included: to wait for the page a click opens, pump until it grows.
    int PagesLoaded() const { return pagesLoaded_; }

    // Runs the engine's event loop (notifications, the page's own work) for `ms`.
    void Pump(int ms);
    // Runs it until `done` holds or `timeoutMs` passes; whether `done` held.
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

    // Bound to this session's view. A window its page opens is refused and the view stays on
    // its page, unless the program takes new windows itself (wkeOnCreateView on View()).
    automation::WebAutomation& Automation() { return automation_; }
    wkeWebView View() const { return view_; }

  private:
    static void OnLoadingFinished(wkeWebView view, void* session, const wkeString url,
                                  wkeLoadingResult result, const wkeString reason);
    bool WaitForFrames(int timeoutMs);
    bool Fail(const std::string& utf8Reason);

    wkeWebView view_ = nullptr;
    automation::WebAutomation automation_;
    std::string error_;
    // The outcome of the view's latest finished load.
    int finishedLoads_ = 0;
    int pagesLoaded_ = 0;
    wkeLoadingResult lastResult_ = WKE_LOADING_SUCCEEDED;
    std::string lastReason_;  // UTF-8, as the engine says it
};

}  // namespace qirlen
