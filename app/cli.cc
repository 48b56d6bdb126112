#include "app/cli.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/browser_version.h"
#include "app/cli_options.h"
#include "app/cli_output.h"
#include "app/output_checks.h"
#include "app/run_guard.h"
#include "app/startup.h"
#include "app/stream_workflow.h"
#include "app/text_rules.h"
#include "app/texts.h"
#include "hostctl/engine_library.h"
#include "platform/codepage.h"
#include "platform/sinks.h"

namespace app {
namespace {

constexpr const char* kHelp =
    "Usage: qirlen                      open the window\n"
    "       qirlen --cli LINK... [--timeout SECONDS] [--quality NAME] [--codec h264|h265]\n"
    "                            [--format hls|flv] [--list | --json] [--copy] [--browser URL]\n"
    "       qirlen --cli - [options]    the links one per line on standard input\n"
    "       qirlen --version | --help\n"
    "\n"
    "Turns a Douyin live room's link into the room's live-stream address (an HLS playlist,\n"
    ".m3u8). LINK is a share link (v.douyin.com/...) or the whole text the app shares, or a\n"
    "room of the web site: live.douyin.com/<id>, www.douyin.com/follow/live/<id> or\n"
    "www.douyin.com/root/live/<id>. A share link of a broadcast that has ended gives the\n"
    "streamer's current room when they are live again (said on standard error).\n"
    "\n"
    "--cli       fetch without a window; the address alone goes to standard output, one line\n"
    "            per LINK, in order, with one browser (an empty line for a LINK that failed)\n"
    "--timeout   seconds each LINK may take, the browser's start included (default 30)\n"
    "--quality   a quality by key (origin, uhd/FULL_HD1, hd/HD1, sd/SD2, ld/SD1, md, ao) or by\n"
    "            name (原画, 蓝光, 超清, 高清, 标清, ...) instead of the best one; audio only "
    "(ao)\n"
    "            only when asked. Where the player's names and the address maps' names\n"
    "            (resolution_name) disagree, a name means the maps' stream\n"
    "--codec     only streams of that codec (most browsers play h264 only)\n"
    "--format    flv for the FLV address instead of the HLS playlist (default hls)\n"
    "--list      one line per stream: keys, names, resolution, codec, then its hls, flv,\n"
    "            backup hls and backup flv addresses (- where there is none), best first\n"
    "--json      the room and the chosen address as one JSON object per LINK\n"
    "--copy      also put the address on the clipboard (needs a display)\n"
    "--browser   attach to a running Chromium instead of starting one: ws://HOST:PORT/devtools/\n"
    "            browser/ID or http://HOST:PORT (also QIRLEN_BROWSER_URL, also for the window)\n"
    "\n"
    "Addresses whose signature has expired are passed over for a stream whose address has not.\n"
    "Messages go to standard error (UTF-8), e.g. how long a signed address stays valid; with\n"
    "several links each line starts with its LINK.\n"
    "Exit status (with several links: 0 when all resolved, else the first failure's): 0\n"
    "address found; 1 no display for the window; 2 the page has no stream, the live has\n"
    "ended, there is no such quality, codec or format, or every address has expired; 3 the\n"
    "text holds no room link; 4 the page did not load in time, failed to load or did not\n"
    "answer, the platform refused or failed (an empty page, HTTP 403/444/5xx), or the\n"
    "browser could not run; 5 the platform asks for a verification; 6 the answer could not\n"
    "be written to standard output (a full disk, say); 64 wrong usage.\n"
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
    bool crashed = false;  // the page died before it gave its answer
    std::string reason;
};

bool PageCrashed(wkeWebView view) {
    const hostctl::EngineEntries& e = hostctl::Engine();
    return view && e.wkeIsPageCrashed && e.wkeIsPageCrashed(view);
}

void OnFinished(wkeWebView view, void* param, const wkeString, wkeLoadingResult result,
                const wkeString reason) {
    auto* state = static_cast<FetchState*>(param);
    if (state->message || state->loadFailed) return;  // this link has its answer already
    // The streamer's current room could not be looked up: the shared broadcast has ended.
    if (result == WKE_LOADING_FAILED && state->workflow->lookingUpStreamer()) {
        state->message = state->workflow->AbandonStreamerLookup();
        return;
    }
    if (result == WKE_LOADING_FAILED) {
        state->loadFailed = true;
        state->reason =
            hostctl::Engine().wkeGetString ? hostctl::Engine().wkeGetString(reason) : "";
    }
    if (auto message = state->workflow->FinishFetch(result)) state->message = message;
    // A page that died while it was read holds nothing, whatever the reading said; one
    // that gave its address first has answered.
    bool answered = state->message && state->workflow->lastSucceeded();
    if ((state->message || state->loadFailed) && !answered && PageCrashed(view))
        state->crashed = true;
}

std::string EngineFailure() {
    const hostctl::EngineEntries& e = hostctl::Engine();
    const char* why = e.wkeEngineFailure ? e.wkeEngineFailure() : "";
    return why ? why : "";
}

// A browser that never answered did not start, whenever its end was noticed.
std::string BrowserFailureLine(const std::string& why) {
    const hostctl::EngineEntries& e = hostctl::Engine();
    bool answered = e.wkeEngineEverAnswered && e.wkeEngineEverAnswered();
    return std::string("qirlen: the browser ") +
           (answered ? "stopped: " : "could not be started: ") + why;
}

// The command line judges the page it loaded: a window the page opens is never made.
wkeWebView RefuseNewWindow(wkeWebView, void*, wkeNavigationType, const wkeString,
                           const wkeWindowFeatures*) {
    return nullptr;
}

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t from = 0; from <= dirs.size();) {
        size_t colon = dirs.find(':', from);
        std::string dir = dirs.substr(from, colon == std::string::npos ? colon : colon - from);
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
        if (colon == std::string::npos) break;
        from = colon + 1;
    }
    return false;
}

// Hands the address to the desktop's clipboard tool, which keeps it after we exit.
void CopyToDesktopClipboard(const std::string& address) {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* x11 = std::getenv("DISPLAY");
    bool onWayland = wayland && *wayland, onX11 = x11 && *x11;
    if (!onWayland && !onX11) {
        Say("qirlen: no display, so nothing was copied");
        return;
    }
    struct Tool {
        const char* program;
        const char* command;
        bool wayland;
    } tools[] = {{"wl-copy", "wl-copy", true},
                 {"xclip", "xclip -selection clipboard", false},
                 {"xsel", "xsel --clipboard --input", false}};
    for (const Tool& tool : tools) {
        if ((tool.wayland ? !onWayland : !onX11) || !OnPath(tool.program)) continue;
        FILE* pipe = popen((std::string(tool.command) + " 2>/dev/null").c_str(), "w");
        if (!pipe) continue;
        std::fputs(address.c_str(), pipe);
        if (pclose(pipe) == 0) return;
    }
    Say("qirlen: no clipboard tool (wl-copy, xclip or xsel) took the address");
}

// What a finished fetch prints and how that link ends.
int Report(const StreamWorkflow& workflow, const std::string& message, const CliOptions& o,
           const std::string& link) {
    int code = kCliFailureMessage;
    switch (workflow.lastOutcome()) {
        case FetchOutcome::kSuccess:
            code = kCliSuccess;
            break;
        case FetchOutcome::kVerification:
            code = kCliVerification;
            Say(Utf8(message));
            break;
        case FetchOutcome::kNoAnswer:
            code = kCliLoadFailed;
            Say("qirlen: the page did not answer: its own script kept it busy or it broke down, "
                "so the room could not be read");
            break;
        case FetchOutcome::kRefused:
            code = kCliLoadFailed;
            Say(Utf8(message) + " (the platform answered with " + workflow.refusalCause() + ")");
            break;
        case FetchOutcome::kNoSuchQuality:
        case FetchOutcome::kNoSuchCodec:
        case FetchOutcome::kNoSuchFormat:
            Say(NoStreamLine(workflow, o));
            break;
        default:
            Say(Utf8(message));
            break;
    }
    if (code != kCliSuccess) return code;
    if (o.json)
        PrintJson(workflow, o, o.links.size() > 1 || o.links[0] == "-" ? link : "");
    else if (o.list)
        PrintList(workflow);
    else
        std::printf("%s\n", workflow.streamAddress().c_str());
    // The answer is what the caller runs us for: one that did not reach standard output (a
    // full disk, a closed file) is a failure, not a success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        Say(std::string("qirlen: the answer could not be written to standard output: ") +
            std::strerror(errno));
        return kCliWriteFailed;
    }
    if (workflow.fromStreamersCurrentRoom())
        Say("qirlen: the shared broadcast has ended; the streamer is live again, so this is the "
            "address of their current room " +
            texts::StreamerRoomAddress(workflow.room().webRid));
    if (auto expiry = workflow.streamExpiry()) Say("valid until " + LocalTimeText(*expiry));
    if (o.copy) CopyToDesktopClipboard(workflow.streamAddress());
    return kCliSuccess;
}

std::string TimeoutLine(const CliOptions& o) {
    return "qirlen: no page arrived within " + std::to_string(o.timeoutSeconds) + " seconds";
}

// The browser and its one view, started once for every link of the run.
struct Browser {
    CliPage page;
    ProgramState program;
};

// Resolves one link in the run's view; the line that says why it failed is on standard error.
void OnBlank(wkeWebView, void* param, const wkeString, wkeLoadingResult, const wkeString) {
    *static_cast<bool*>(param) = true;
}

// A failed load leaves the view on the browser's error page, and the engine may take the
// next load's first answer for that page's failure: before the next link the view goes
// back to a blank page.
void LeaveErrorPage(CliPage& page, std::chrono::steady_clock::time_point deadline) {
    const hostctl::EngineEntries& e = hostctl::Engine();
    bool blank = false;
    if (e.wkeOnLoadingFinish) e.wkeOnLoadingFinish(page.view, OnBlank, &blank);
    page.Load("about:blank");
    while (!blank && EngineFailure().empty() && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{e.wkeGetEventFd(), POLLIN, 0};
        poll(&pfd, 1, 200);
        e.wkeWake(nullptr);
    }
    if (e.wkeOnLoadingFinish) e.wkeOnLoadingFinish(page.view, nullptr, nullptr);
}

// A lone link leaves its deadline to the guard and settles it before reporting.
int ResolveLink(CliPage& page, const std::string& link, const CliOptions& o,
                std::chrono::steady_clock::time_point deadline, bool lone, bool guarded) {
    const hostctl::EngineEntries& e = hostctl::Engine();
    StreamWorkflow workflow(page);
    workflow.SetWish({o.quality, o.codec, o.flv});
    workflow.SetAlwaysReadRoom(o.list || o.json);
    FetchState state{&workflow};
    if (e.wkeOnLoadingFinish) e.wkeOnLoadingFinish(page.view, OnFinished, &state);
    workflow.StartFetch(link);
    while (!state.message && !state.loadFailed && EngineFailure().empty() &&
           ((lone && guarded) || std::chrono::steady_clock::now() < deadline)) {
        pollfd pfd{e.wkeGetEventFd(), POLLIN, 0};
        poll(&pfd, 1, 200);
        e.wkeWake(nullptr);
    }
    if (e.wkeOnLoadingFinish) e.wkeOnLoadingFinish(page.view, nullptr, nullptr);
    if (lone) run_guard::Settle();
    if (!lone && state.loadFailed) LeaveErrorPage(page, deadline);
    if (state.crashed) {
        Say("qirlen: the page crashed");
    } else if (state.message) {
        return Report(workflow, *state.message, o, link);
    } else if (std::string why = EngineFailure(); !why.empty()) {
        Say(BrowserFailureLine(why));
    } else if (state.loadFailed && IsPlatformRefusal(state.reason)) {
        Say(Utf8(texts::FailurePlatformRefused()) + " (the page did not load: " + state.reason +
            ")");
    } else if (state.loadFailed) {
        Say("qirlen: the page did not load: " + state.reason);
    } else {
        Say(TimeoutLine(o));
    }
    return kCliLoadFailed;
}

// The links of the run: the arguments, or standard input's lines for "-" (blank lines and
// the blanks around a link left out).
std::vector<std::string> LinksOf(const CliOptions& o) {
    if (o.links.size() != 1 || o.links[0] != "-") return o.links;
    std::vector<std::string> links;
    char* line = nullptr;
    size_t size = 0;
    for (ssize_t n; (n = getline(&line, &size, stdin)) >= 0;) {
        std::string text(line, static_cast<size_t>(n));
        size_t first = text.find_first_not_of(" \t\r\n");
        if (first == std::string::npos) continue;
        text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
        links.push_back(ArgumentText(text.c_str()));
    }
    std::free(line);
    return links;
}

// Starts the browser; the line that says why it could not is on standard error.
bool StartBrowser(Browser& browser) {
    setenv("QIRLEN_ENGINE_QUIET", "1", 1);  // the one line about a missing browser is ours
    if (!hostctl::EngineLibrary::Load()) {
        Say("qirlen: the browser could not be started: the engine module node.so is missing");
        return false;
    }
    const hostctl::EngineEntries& e = hostctl::Engine();
    run_guard::SetBrowserTerminator(e.wkeTerminateBrowser);
    if (std::string why = EngineFailure(); !why.empty()) {
        Say(BrowserFailureLine(why));
        return false;
    }
    CliPage& page = browser.page;
    page.view = e.wkeCreateWebWindow
                    ? e.wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 600, 510)
                    : nullptr;
    if (!page.view) {
        // Making the view is where a browser that has just exited is noticed.
        std::string why = EngineFailure();
        Say(why.empty() ? "qirlen: the browser could not be started: no view"
                        : BrowserFailureLine(why));
        return false;
    }
    if (e.wkeOnCreateView) e.wkeOnCreateView(page.view, RefuseNewWindow, nullptr);
    RunStartupSequence(page);
    return true;
}

int Fetch(const CliOptions& o) {
    std::vector<std::string> links = LinksOf(o);
    bool many = o.links.size() > 1 || o.links[0] == "-";
    // A lone wrong link answers at once, before any browser starts.
    if (!many && !CheckShareLink(links[0])) return kCliWrongLink;
    if (links.empty()) return kCliSuccess;
    // Each link's deadline covers its whole fetch (the first one the browser's start too): a
    // browser that stalls holds the main thread inside the engine, so the guard's own thread
    // ends the run then. With several links the loop gives up on a link by itself first, and
    // the guard ends the run only a little later, for a browser that stalls.
    auto timeout = std::chrono::seconds(o.timeoutSeconds);
    auto grace = many ? std::chrono::seconds(5) : std::chrono::seconds(0);
    auto deadline = std::chrono::steady_clock::now() + timeout;
    bool guarded = run_guard::Start();
    run_guard::SetDeadline(deadline + grace, TimeoutLine(o), kCliLoadFailed);
    // Lines about the browser itself name no link.
    Browser browser;
    bool started = StartBrowser(browser);
    int first = kCliSuccess;
    for (size_t i = 0; started && i < links.size(); ++i) {
        const std::string& link = links[i];
        if (many) SetSayPrefix(Utf8(link) + ": ");
        if (i > 0) {
            deadline = std::chrono::steady_clock::now() + timeout;
            run_guard::SetDeadline(deadline + grace, TimeoutLine(o), kCliLoadFailed);
        }
        int code;
        if (!LinkToLoad(link)) {
            Say(Utf8(texts::WrongLinkMessage()));
            code = kCliWrongLink;
        } else {
            code = ResolveLink(browser.page, link, o, deadline, !many, guarded);
        }
        if (code != kCliSuccess && many) {
            if (o.json)
                PrintJsonFailure(link, code);
            else
                std::printf("\n");
            std::fflush(stdout);
        }
        if (first == kCliSuccess) first = code;
        if (code == kCliWriteFailed) break;
    }
    SetSayPrefix("");
    run_guard::Settle();
    if (!started) {
        // One line for each link all the same, so that a reader stays in step.
        for (size_t i = 0; many && i < links.size(); ++i) {
            if (o.json)
                PrintJsonFailure(links[i], kCliLoadFailed);
            else
                std::printf("\n");
        }
        return kCliLoadFailed;
    }
    const hostctl::EngineEntries& e = hostctl::Engine();
    if (e.wkeShutdown) e.wkeShutdown();
    return first;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    ParsedOptions parsed = ParseCliOptions(argc, argv);
    const CliOptions& o = parsed.options;
    if (!parsed.error.empty()) {
        Say("qirlen: " + parsed.error + " (see qirlen --help)");
        return kCliUsage;
    }
    if (o.help) {
        std::fputs(kHelp, stdout);
        return kCliSuccess;
    }
    if (o.version) {
        std::printf("qirlen %s\n", QIRLEN_VERSION);
        std::fflush(stdout);
        std::printf("%s\n", BrowserLine().c_str());
        return kCliSuccess;
    }
    // The engine reads the browser to attach to when it starts, in the window as in --cli.
    if (!o.browserUrl.empty()) setenv("QIRLEN_BROWSER_URL", o.browserUrl.c_str(), 1);
    if (!o.cli) return -1;
    return Fetch(o);
}

}  // namespace app
