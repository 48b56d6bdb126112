#include "app/cli.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/browser_version.h"
#include "app/cli_browser.h"
#include "app/cli_options.h"
#include "app/cli_output.h"
#include "app/link_lines.h"
#include "app/link_resolver.h"
#include "app/output_checks.h"
#include "app/run_guard.h"
#include "app/startup.h"
#include "app/stream_workflow.h"
#include "app/text_rules.h"
#include "app/texts.h"
#include "platform/codepage.h"
#include "platform/sinks.h"

namespace app {
namespace {

using Clock = std::chrono::steady_clock;
// How long the guard lets a link's own deadline act before it ends the run itself.
constexpr auto kGuardGrace = std::chrono::seconds(12);

constexpr const char* kHelp =
    "Usage: qirlen                      open the window\n"
    "       qirlen --cli LINK... [--timeout SECONDS] [--quality NAME] [--codec h264|h265]\n"
    "                            [--format hls|flv] [--list | --json] [--copy] [--browser URL]\n"
    "       qirlen --cli --wait[=SECONDS] LINK [options]   waits until the room is live\n"
    "       qirlen --cli - [options]    the links one per line on standard input, each answered\n"
    "                                   as it arrives (a line of more than 8 KB holds none)\n"
    "       qirlen --version | --help\n"
    "\n"
    "Turns a Douyin live room's link into the room's live-stream address (an HLS playlist,\n"
    ".m3u8). LINK is a share link (v.douyin.com/...) or the whole text the app shares, or a\n"
    "room of the web site: live.douyin.com/<id>, www.douyin.com/follow/live/<id> or\n"
    "www.douyin.com/root/live/<id>. A share link of a broadcast that has ended gives the\n"
    "streamer's current room when they are live again (said on standard error).\n"
    "\n"
    "--cli       fetch without a window; the address alone goes to standard output, one line\n"
    "            per LINK, in order, with one browser (an empty line for a LINK that failed);\n"
    "            a browser that dies or stops answering is replaced for the next LINK\n"
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
    "--wait      while the room is not live (or its page did not load), check again every\n"
    "            30 s (or SECONDS), each check within --timeout; then answer as usual\n"
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

// What a resolved link prints: the answer on standard output, the notes on standard error.
int PrintAnswer(const StreamWorkflow& workflow, const CliOptions& o, const std::string& link) {
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

// Resolves one link; the line that says why it failed is on standard error. A lone link
// leaves its deadline to the guard. The run is settled before anything is reported.
int ResolveLink(CliBrowser& browser, const std::string& link, const CliOptions& o,
                Clock::time_point deadline, bool lone, bool guarded) {
    LinkResult result = ResolveInBrowser(browser, link, o, deadline, lone && guarded);
    if (!result.line.empty()) Say(result.line);
    if (result.code != kCliSuccess) return result.code;
    return PrintAnswer(*result.workflow, o, link);
}

// Whether a check that found no address leaves the room worth waiting for: not live yet (no
// stream, or ended), or a page that did not load or answer. A refusal or verification of
// the platform, a browser that cannot run, a live room without the stream asked for are
// answers.
bool WorthWaiting(const LinkResult& result, const CliBrowser& browser) {
    if (result.code == kCliFailureMessage)
        return !result.workflow || result.workflow->room().status != kRoomLive;
    return result.code == kCliLoadFailed && !result.refused && browser.failure().empty();
}

// --wait: the room checked every o.waitSeconds, each check within --timeout, until it is
// live (then answered as usual) or a check gives another answer. Between checks the
// browser is served and no deadline runs; what a check said goes to standard error when it
// differs from the check before.
int WaitUntilLive(CliBrowser& browser, const std::string& link, const CliOptions& o) {
    std::string said;
    for (;;) {
        Clock::time_point start = Clock::now(),
                          deadline = start + std::chrono::seconds(o.timeoutSeconds);
        browser.SettleDoubt();
        // The check gives up by itself at its deadline; the guard only if it cannot.
        run_guard::SetDeadline(deadline + kGuardGrace, TimeoutLine(o), kCliLoadFailed);
        LinkResult result = ResolveInBrowser(browser, link, o, deadline, false);
        if (result.code == kCliSuccess) return PrintAnswer(*result.workflow, o, link);
        if (!WorthWaiting(result, browser)) {
            Say(result.line);
            return result.code;
        }
        if (result.line != said)
            Say(result.line + " (waiting: checked every " + std::to_string(o.waitSeconds) + " s)");
        said = result.line;
        for (auto next = start + std::chrono::seconds(o.waitSeconds); Clock::now() < next;)
            ServeEngine(static_cast<int>(std::min<long long>(
                1000,
                std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count() +
                    1)));
    }
}

// The links of the run, one at a time: the arguments, or standard input's lines for "-",
// each as soon as it has arrived (blank lines and the blanks around a link left out).
class LinkSource {
  public:
    struct Link {
        std::string text;      // GBK
        bool tooLong = false;  // a line too long to be a link: the text is its start
    };

    explicit LinkSource(const CliOptions& o)
        : arguments_(o.links), fromInput_(o.links.size() == 1 && o.links[0] == "-") {}

    std::optional<Link> Next() {
        if (!fromInput_) {
            if (next_ == arguments_.size()) return std::nullopt;
            return Link{arguments_[next_++]};
        }
        while (auto line = input_.Next()) {
            if (line->tooLong) return Link{ArgumentText(line->text.c_str()), true};
            const std::string& text = line->text;
            size_t first = text.find_first_not_of(" \t\r");
            if (first == std::string::npos) continue;
            std::string link = text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
            return Link{ArgumentText(link.c_str())};
        }
        return std::nullopt;
    }

  private:
    const std::vector<std::string>& arguments_;
    size_t next_ = 0;
    bool fromInput_;
    // While it waits for a line, the browser is served: its events are handled, and one
    // that dies meanwhile is noticed before the next link.
    LineReader input_{STDIN_FILENO, [](int fd) {
                          while (!ServeEngine(1000, fd)) {
                          }
                      }};
};

// Says why a link is no link to load; false when it is one.
bool RefusedLink(const LinkSource::Link& link) {
    if (link.tooLong) {
        Say("qirlen: a line of more than " + std::to_string(LineReader::kMaxLineBytes) +
            " bytes holds no link");
        return true;
    }
    if (LinkToLoad(link.text)) return false;
    Say(Utf8(texts::WrongLinkMessage()));
    return true;
}

int Fetch(const CliOptions& o) {
    bool many = o.links.size() > 1 || o.links[0] == "-";
    // A lone wrong link answers at once, before any browser starts.
    if (!many && !CheckShareLink(o.links[0])) return kCliWrongLink;
    // Each link's deadline covers its whole fetch (the browser's start too, when it needs
    // one): a browser that stalls holds the main thread inside the engine, so the guard's
    // own thread ends the run then. With several links the loop gives up on a link by itself
    // first, and the guard ends the run only later: a browser that stops while the page is
    // read holds the main thread in the engine's wait for the read (about 10 s), after which
    // the browser is replaced and the run goes on. Between links, while the next one is
    // awaited, no deadline runs.
    auto timeout = std::chrono::seconds(o.timeoutSeconds);
    auto grace = many ? kGuardGrace : std::chrono::seconds(0);
    bool guarded = run_guard::Start();
    CliBrowser browser;  // started for the first link that needs it
    if (o.waitSeconds) {
        int code = WaitUntilLive(browser, o.links[0], o);
        browser.Shutdown();
        return code;
    }
    LinkSource links(o);
    int first = kCliSuccess;
    while (auto link = links.Next()) {
        // A line too long is named by its start alone.
        if (many) SetSayPrefix(Utf8(link->text) + (link->tooLong ? "...: " : ": "));
        int code = kCliWrongLink;
        if (!RefusedLink(*link)) {
            browser.SettleDoubt();  // on its own time, not the link's
            auto deadline = Clock::now() + timeout;
            run_guard::SetDeadline(deadline + grace, TimeoutLine(o), kCliLoadFailed);
            code = ResolveLink(browser, link->text, o, deadline, !many, guarded);
        }
        if (code != kCliSuccess && many) {
            if (o.json)
                PrintJsonFailure(link->text + (link->tooLong ? "..." : ""), code);
            else
                std::printf("\n");
            std::fflush(stdout);
        }
        if (first == kCliSuccess) first = code;
        if (code == kCliWriteFailed) break;
    }
    SetSayPrefix("");
    browser.Shutdown();
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
