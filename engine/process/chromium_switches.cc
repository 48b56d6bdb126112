#include "engine/process/chromium_switches.h"

#include <unistd.h>

namespace engine {

std::vector<std::string> ChromiumSwitches(const std::string& profileDir,
                                          const std::vector<std::string>& extra) {
    std::vector<std::string> s = {
        // No window and no display: the views are never on a screen.
        "--headless",
        // The protocol runs on fds 3 and 4 of the child; no TCP port is opened.
        "--remote-debugging-pipe",
        // A private profile per engine start, so runs never share state by accident.
        "--user-data-dir=" + profileDir,
        // One blank tab opens with the browser: its renderer starts while the browser does,
        // and the first view takes it (a tab made later waits for a renderer of its own).
        "about:blank",
        "--no-first-run",
        "--no-default-browser-check",
        // The machines we run on have no GPU, and rendering in software is enough. The
        // software GPU (it composites and gives pages WebGL) runs on a thread of the browser:
        // with the unsandboxed zygote, which only started it, that is about 10 MB less, and
        // the start is not slower. A crash in it now ends the browser, which the engine
        // reports like any other browser crash.
        "--disable-gpu",
        "--in-process-gpu",
        "--no-unsandboxed-zygote",
        // One view needs no network process of its own (some 25 MB): its page dies with a
        // crashed network service either way.
        "--enable-features=NetworkServiceInProcess2",
        // Background traffic to Google's services fails on closed networks and costs time.
        "--disable-background-networking",
        "--disable-component-update",
        "--disable-sync",
        "--disable-default-apps",
        "--disable-extensions",
        "--disable-quic",
        // Pages must run as if visible: hidden views keep their timers and promises going.
        "--disable-background-timer-throttling",
        "--disable-renderer-backgrounding",
        "--disable-backgrounding-occluded-windows",
        // Bound functions are reached through window.top from every frame, cross-origin
        // frames included, and every frame of a view must answer on the view's one session:
        // all frames of a page share one renderer and may script each other.
        "--disable-web-security",
        "--disable-site-isolation-trials",
        "--disable-features=IsolateOrigins,site-per-process",
        // Any page reads any answer then, so a site's cookies go only with requests within
        // the top-level site (see browser/network_guard.cc); this also covers workers, which the
        // headless shell otherwise lets send them anywhere.
        "--test-third-party-cookie-phaseout",
        // A hidden view never plays sound.
        "--mute-audio",
        // Password and translation prompts have no one to answer them.
        "--password-store=basic",
        "--disable-translate",
    };
    // The sandbox cannot start as root; as any other user it stays on. Its zygotes stay in
    // either case: with renderers started without them, a browser that a page floods with
    // bound calls went silent for good on a loaded machine.
    if (geteuid() == 0) s.push_back("--no-sandbox");
    s.insert(s.end(), extra.begin(), extra.end());
    return s;
}

}  // namespace engine
