#include "app/cli.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "app/cli_options.h"
#include "app/output_checks.h"
#include "app/run_guard.h"
#include "app/startup.h"
#include "app/stream_workflow.h"
#include "hostctl/engine_library.h"
#include "platform/codepage.h"
#include "platform/sinks.h"

namespace app {
namespace {

constexpr const char* kHelp =
    "Usage: qirlen                      open the window\n"
    "       qirlen --cli LINK [--timeout SECONDS] [--quality NAME] [--list | --json] [--copy]\n"
    "              [--browser URL]\n"
    "       qirlen --version | --help\n"
    "\n"
    "Turns the share link of a Douyin live room into the room's live-stream address (an HLS\n"
    "playlist, .m3u8). LINK may be the whole text the app shares; its v.douyin.com link is used.\n"
    "\n"
    "--cli       fetch without a window; the address alone goes to standard output, one line\n"
    "--timeout   seconds the whole run may take, the browser's start included (default 30)\n"
    "--quality   a quality by name (origin, uhd, hd, sd, ld, md, ao, FULL_HD1, HD1, ...)\n"
    "            instead of the best one; audio only (ao) only when asked\n"
    "--list      every quality of the room: key, name, resolution, codec, kind, address\n"
    "--json      the room and the chosen address as one JSON object\n"
    "--copy      also put the address on the clipboard (needs a display)\n"
    "--browser   attach to a running Chromium instead of starting one: ws://HOST:PORT/devtools/\n"
    "            browser/ID or http://HOST:PORT (also QIRLEN_BROWSER_URL, also for the window)\n"
    "\n"
    "Messages go to standard error (UTF-8), e.g. how long a signed address stays valid.\n"
    "Exit status: 0 address found; 1 no display for the window; 2 the page has no stream,\n"
    "the live has ended, or there is no such quality; 3 the text holds no share link; 4 the\n"
    "page did not load in time, failed to load or did not answer, or the browser could not\n"
    "run; 5 the platform asks for a verification; 6 the answer could not be written to\n"
    "standard output (a full disk, say); 64 wrong usage.\n"
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

// One line on standard error; nothing in it (a page's text included) breaks the line or
// steers the terminal.
void Say(const std::string& utf8) {
    std::fprintf(stderr, "%s\n", WithoutControlCharacters(utf8).c_str());
}

// The command line judges the page it loaded: a window the page opens is never made.
wkeWebView RefuseNewWindow(wkeWebView, void*, wkeNavigationType, const wkeString,
                           const wkeWindowFeatures*) {
    return nullptr;
}

std::string Utf8(const std::string& gbk) {
    return platform::GbkToUtf8(gbk);
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

nlohmann::json QualityJson(const Quality& q) {
    return {{"key", q.key},     {"name", Utf8(q.name)}, {"resolution", q.resolution},
            {"codec", q.codec}, {"hls", q.hls},         {"flv", q.flv}};
}

void PrintJson(const StreamWorkflow& workflow) {
    const RoomData& room = workflow.room();
    nlohmann::json out = {
        {"roomId", room.roomId},
        {"title", Utf8(room.title)},
        {"owner", Utf8(room.owner)},
        {"status", room.status},
        {"quality", workflow.chosenQuality() ? workflow.chosenQuality()->key : ""},
        {"address", workflow.streamAddress()},
        {"expiry", nullptr},
        {"qualities", nlohmann::json::array()}};
    if (auto expiry = workflow.streamExpiry()) {
        out["expiry"] = *expiry;
        out["expiresAt"] = LocalTimeText(*expiry);
    }
    for (const Quality& q : room.qualities) out["qualities"].push_back(QualityJson(q));
    std::printf("%s\n", out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
}

// One line per address: key, name, resolution, codec, hls or flv, address.
void PrintList(const StreamWorkflow& workflow) {
    if (workflow.room().qualities.empty()) {
        std::printf("stream\t\t\t\thls\t%s\n", workflow.streamAddress().c_str());
        return;
    }
    for (const Quality& q : workflow.room().qualities) {
        for (const auto& [kind, address] : {std::pair{"hls", q.hls}, std::pair{"flv", q.flv}})
            if (!address.empty())
                std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", q.key.c_str(), Utf8(q.name).c_str(),
                            q.resolution.c_str(), q.codec.c_str(), kind, address.c_str());
    }
}

std::string QualityKeys(const RoomData& room) {
    std::string keys;
    for (const Quality& q : room.qualities) keys += (keys.empty() ? "" : ", ") + q.key;
    return keys.empty() ? "none" : keys;
}

// What a finished fetch prints and how the program exits.
int Report(const StreamWorkflow& workflow, const std::string& message, const CliOptions& o) {
    switch (workflow.lastOutcome()) {
        case FetchOutcome::kSuccess:
            break;
        case FetchOutcome::kVerification:
            Say(Utf8(message));
            return kCliVerification;
        case FetchOutcome::kNoAnswer:
            Say("qirlen: the page did not answer: its own script kept it busy or it broke down, "
                "so the room could not be read");
            return kCliLoadFailed;
        case FetchOutcome::kNoSuchQuality:
            Say("qirlen: the room has no quality " + Utf8(o.quality) +
                " (it has: " + QualityKeys(workflow.room()) + ")");
            return kCliFailureMessage;
        default:
            Say(Utf8(message));
            return kCliFailureMessage;
    }
    if (o.json)
        PrintJson(workflow);
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
    if (auto expiry = workflow.streamExpiry()) Say("valid until " + LocalTimeText(*expiry));
    if (o.copy) CopyToDesktopClipboard(workflow.streamAddress());
    return kCliSuccess;
}

std::string TimeoutLine(const CliOptions& o) {
    return "qirlen: no page arrived within " + std::to_string(o.timeoutSeconds) + " seconds";
}

int Fetch(const CliOptions& o) {
    // A wrong link answers at once, before any browser starts.
    if (!CheckShareLink(o.link)) return kCliWrongLink;
    // The deadline covers the whole run: a browser that stalls holds the main thread inside
    // the engine (while it starts, say), so the guard's own thread ends the run then.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(o.timeoutSeconds);
    bool guarded = run_guard::Start();
    run_guard::SetDeadline(deadline, TimeoutLine(o), kCliLoadFailed);
    setenv("QIRLEN_ENGINE_QUIET", "1", 1);  // the one line about a missing browser is ours
    if (!hostctl::EngineLibrary::Load()) {
        run_guard::Settle();
        Say("qirlen: the browser could not be started: the engine module node.so is missing");
        return kCliLoadFailed;
    }
    const hostctl::EngineEntries& e = hostctl::Engine();
    run_guard::SetBrowserTerminator(e.wkeTerminateBrowser);
    if (std::string why = EngineFailure(); !why.empty()) {
        run_guard::Settle();
        Say(BrowserFailureLine(why));
        return kCliLoadFailed;
    }
    CliPage page;
    page.view = e.wkeCreateWebWindow
                    ? e.wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 600, 510)
                    : nullptr;
    if (page.view && e.wkeOnCreateView) e.wkeOnCreateView(page.view, RefuseNewWindow, nullptr);
    ProgramState program;
    RunStartupSequence(page);
    StreamWorkflow workflow(page);
    workflow.SetWantedQuality(o.quality);
    workflow.SetAlwaysReadRoom(o.list || o.json);
    FetchState state{&workflow};
    if (page.view && e.wkeOnLoadingFinish) e.wkeOnLoadingFinish(page.view, OnFinished, &state);
    workflow.StartFetch(o.link);
    while (page.view && !state.message && !state.loadFailed && EngineFailure().empty() &&
           (guarded || std::chrono::steady_clock::now() < deadline)) {
        pollfd pfd{e.wkeGetEventFd(), POLLIN, 0};
        poll(&pfd, 1, 200);
        e.wkeWake(nullptr);
    }
    run_guard::Settle();
    int code = kCliLoadFailed;
    if (state.crashed)
        Say("qirlen: the page crashed");
    else if (state.message)
        code = Report(workflow, *state.message, o);
    else if (std::string why = EngineFailure(); !why.empty())
        Say(BrowserFailureLine(why));
    else if (state.loadFailed)
        Say("qirlen: the page did not load: " + state.reason);
    else
        Say(TimeoutLine(o));
    if (e.wkeShutdown) e.wkeShutdown();
    return code;
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
        return kCliSuccess;
    }
    // The engine reads the browser to attach to when it starts, in the window as in --cli.
    if (!o.browserUrl.empty()) setenv("QIRLEN_BROWSER_URL", o.browserUrl.c_str(), 1);
    if (!o.cli) return -1;
    return Fetch(o);
}

}  // namespace app
