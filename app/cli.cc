#include "app/cli.h"

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/startup.h"
#include "app/stream_workflow.h"
#include "app/texts.h"
#include "hostctl/engine_library.h"
#include "platform/codepage.h"

namespace app {
namespace {

constexpr const char* kHelp =
    "Usage: qirlen                      open the window\n"
    "       qirlen --cli LINK [--timeout SECONDS]\n"
    "\n"
    "Turns the share link of a Douyin live room into the room's live-stream address (an HLS\n"
    "playlist, .m3u8). LINK may be the whole text the app shares; its v.douyin.com link is used.\n"
    "\n"
    "--cli       fetch without a window: prints what the window's result box would show\n"
    "            (UTF-8) on standard output\n"
    "--timeout   seconds to wait for the page (default 30)\n"
    "\n"
    "Exit status: 0 address found; 2 the page has no stream or the live has ended;\n"
    "3 the text holds no share link; 4 the page did not load in time or failed to load.\n"
    "\n"
    "Environment: QIRLEN_PLAYER_HOST (the online player's host), QIRLEN_CHROMIUM (the browser),\n"
    "QIRLEN_CHROMIUM_ARGS (extra browser switches).\n";

// The command line's view, set up like the window's: the phone profile, touch, user agent.
class CliPage : public StreamWorkflow::Page, public StartupBrowser {
  public:
    intptr_t WebView() override { return View(); }
    void SetTouchEnabled(intptr_t v, bool enabled) override {
        if (hostctl::Engine().wkeSetTouchEnabled)
            hostctl::Engine().wkeSetTouchEnabled(reinterpret_cast<wkeWebView>(v), enabled);
    }
    void SetUserAgentProperty(const std::string& ua) override {
        const hostctl::EngineEntries& e = hostctl::Engine();
        if (!view || !e.wkeSetUserAgent || !e.wkeReload) return;
        e.wkeSetUserAgent(view, ua.c_str());
        e.wkeReload(view);
    }
    void Load(const std::string& address) override {
        if (view && hostctl::Engine().wkeLoadURL)
            hostctl::Engine().wkeLoadURL(view, address.c_str());
    }
    intptr_t View() override { return reinterpret_cast<intptr_t>(view); }
    wkeWebView view = nullptr;
};

struct FetchState {
    StreamWorkflow* workflow = nullptr;
    std::optional<std::string> message;
    bool loadFailed = false;
    std::string reason;
};

void OnFinished(wkeWebView, void* param, const wkeString, wkeLoadingResult result,
                const wkeString reason) {
    auto* state = static_cast<FetchState*>(param);
    if (result == WKE_LOADING_FAILED) {
        state->loadFailed = true;
        state->reason =
            hostctl::Engine().wkeGetString ? hostctl::Engine().wkeGetString(reason) : "";
    }
    if (auto message = state->workflow->FinishFetch(result)) state->message = message;
}

int Fetch(const std::string& link, int timeoutSeconds) {
    if (!hostctl::EngineLibrary::Load()) return kCliLoadFailed;
    const hostctl::EngineEntries& e = hostctl::Engine();
    CliPage page;
    page.view = e.wkeCreateWebWindow
                    ? e.wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 600, 510)
                    : nullptr;
    ProgramState program;
    RunStartupSequence(page);
    StreamWorkflow workflow(page);
    FetchState state{&workflow};
    if (page.view && e.wkeOnLoadingFinish) e.wkeOnLoadingFinish(page.view, OnFinished, &state);
    if (!workflow.StartFetch(platform::Utf8ToGbk(link))) return kCliWrongLink;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (page.view && !state.message && !state.loadFailed &&
           std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{e.wkeGetEventFd(), POLLIN, 0};
        poll(&pfd, 1, 200);
        e.wkeWake(nullptr);
    }
    int code = kCliLoadFailed;
    if (state.message) {
        std::printf("%s\n", platform::GbkToUtf8(*state.message).c_str());
        code = workflow.lastSucceeded() ? kCliSuccess : kCliFailureMessage;
    } else {
        if (state.loadFailed)
            std::fprintf(stderr, "qirlen: the page did not load: %s\n", state.reason.c_str());
        else
            std::fprintf(stderr, "qirlen: no page arrived within %d seconds\n", timeoutSeconds);
    }
    if (e.wkeShutdown) e.wkeShutdown();
    return code;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    std::string link;
    bool cli = false;
    int timeout = 30;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--cli") {
            cli = true;
        } else if (arg == "--timeout" && i + 1 < argc) {
            timeout = std::atoi(argv[++i]);
        } else if (arg.rfind("--timeout=", 0) == 0) {
            timeout = std::atoi(arg.c_str() + 10);
        } else if (cli && link.empty()) {
            link = arg;
        } else {
            std::fprintf(stderr, "qirlen: unexpected argument %s\n%s", arg.c_str(), kHelp);
            return kCliUsage;
        }
    }
    if (!cli) return -1;
    if (link.empty() || timeout <= 0) {
        std::fputs(kHelp, stderr);
        return kCliUsage;
    }
    return Fetch(link, timeout);
}

}  // namespace app
