// The engine attached to a browser it did not start, over the DevTools WebSocket: it works
// there, keeps to its own pages and context, leaves the browser running, and fails clearly
// and at once when the browser is not there, not DevTools, killed or silent.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "tests/support/engine_copy.h"
#include "tests/support/http_server.h"
#include "tests/support/remote_browser.h"

using testsupport::EngineCopy;
using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::HttpServer;
using testsupport::RemoteBrowser;

namespace {

using Clock = std::chrono::steady_clock;

long SecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count();
}

class Attached : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        setenv("QIRLEN_ENGINE_QUIET", "1", 1);
        setenv("QIRLEN_SCRIPT_TIMEOUT_MS", "2000", 1);
        site = new HttpServer([](const HttpRequest& r) {
            return HttpResponse{200, "text/html", "<title>" + r.path + "</title><p>page</p>"};
        });
        browser = new RemoteBrowser();
    }
    static void TearDownTestSuite() {
        delete browser;
        delete site;
    }
    void SetUp() override { ASSERT_TRUE(browser->ok()) << "the browser did not start"; }

    static inline HttpServer* site = nullptr;
    static inline RemoteBrowser* browser = nullptr;
};

TEST_F(Attached, BothAddressFormsRunPagesInTheBrowserAndLeaveItRunning) {
    EngineCopy engine(NODE_MODULE);
    ASSERT_TRUE(engine.ok());
    for (const std::string& url : {browser->wsUrl(), browser->httpUrl()}) {
        SCOPED_TRACE(url);
        auto before = browser->PageIds();
        setenv("QIRLEN_BROWSER_URL", url.c_str(), 1);
        engine.wkeInitializeEx(nullptr);
        wkeWebView view = engine.NewView();
        ASSERT_NE(view, nullptr) << engine.failure();
        ASSERT_TRUE(engine.Load(view, site->Url("/attached")));
        EXPECT_EQ(engine.Eval(view, "return document.title + ' ' + (6 * 7);"), "/attached 42");
        // The page is the remote browser's: one more there, none started here.
        EXPECT_EQ(browser->PageIds().size(), before.size() + 1);
        engine.wkeShutdown();
        EXPECT_TRUE(browser->Answers());
        EXPECT_EQ(browser->PageIds(), before) << "only the engine's own page goes";
        EXPECT_EQ(engine.failure(), "");
    }
}

TEST_F(Attached, TwoEnginesOnOneBrowserKeepViewsAndCookiesApart) {
    setenv("QIRLEN_BROWSER_URL", browser->wsUrl().c_str(), 1);
    EngineCopy a(NODE_MODULE), b(NODE_MODULE);
    ASSERT_TRUE(a.ok() && b.ok());
    a.wkeInitializeEx(nullptr);
    b.wkeInitializeEx(nullptr);
    wkeWebView va = a.NewView(), vb = b.NewView();
    ASSERT_NE(va, nullptr) << a.failure();
    ASSERT_NE(vb, nullptr) << b.failure();
    ASSERT_TRUE(a.Load(va, site->Url("/a")));
    ASSERT_TRUE(b.Load(vb, site->Url("/b")));
    a.Eval(va, "document.cookie = 'who=a; max-age=600'; localStorage.setItem('who', 'a');");
    EXPECT_EQ(b.Eval(vb, "return document.cookie + '|' + localStorage.getItem('who');"), "|null");
    b.Eval(vb, "document.cookie = 'who=b; max-age=600';");
    EXPECT_EQ(a.Eval(va, "return document.cookie;"), "who=a");
    // Both views are handle 1 of their engine, and each engine drives its own page.
    EXPECT_EQ(a.Eval(va, "return document.title;"), "/a");
    EXPECT_EQ(b.Eval(vb, "return document.title;"), "/b");

    // One engine ending takes nothing of the other's.
    a.wkeShutdown();
    EXPECT_EQ(b.Eval(vb, "return document.title + ' ' + document.cookie;"), "/b who=b");
    EXPECT_EQ(b.failure(), "");
    EXPECT_EQ(browser->PageIds().size(), 1u);
    b.wkeShutdown();
    EXPECT_TRUE(browser->Answers());
}

// A page that another client of the browser has open is neither closed nor held up.
TEST_F(Attached, AnotherClientsPageIsLeftAlone) {
    setenv("QIRLEN_BROWSER_URL", browser->wsUrl().c_str(), 1);
    EngineCopy other(NODE_MODULE), engine(NODE_MODULE);
    ASSERT_TRUE(other.ok() && engine.ok());
    other.wkeInitializeEx(nullptr);
    wkeWebView theirs = other.NewView();
    ASSERT_TRUE(other.Load(theirs, site->Url("/theirs")));
    engine.wkeInitializeEx(nullptr);
    wkeWebView ours = engine.NewView();
    ASSERT_TRUE(engine.Load(ours, site->Url("/ours")));
    // A page the other client opens while this engine watches is not taken for a popup.
    ASSERT_TRUE(other.Load(other.NewView(), site->Url("/later")));
    engine.wkeShutdown();
    EXPECT_EQ(other.Eval(theirs, "return document.title;"), "/theirs");
    EXPECT_EQ(browser->PageIds().size(), 2u);
    other.wkeShutdown();
}

// The browser context goes with the connection, whatever ends it: a host killed outright,
// with no chance to close anything, leaves none of its pages in a browser others share.
TEST_F(Attached, AKilledHostLeavesNoneOfItsPages) {
    setenv("QIRLEN_BROWSER_URL", browser->wsUrl().c_str(), 1);
    auto before = browser->PageIds();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t host = fork();
    if (host == 0) {
        close(ready[0]);
        EngineCopy engine(NODE_MODULE);
        engine.wkeInitializeEx(nullptr);
        wkeWebView a = engine.NewView(), b = engine.NewView();
        char loaded = a && b && engine.Load(a, site->Url("/a")) && engine.Load(b, site->Url("/b"));
        (void)!write(ready[1], &loaded, 1);
        for (;;) pause();
    }
    ASSERT_GT(host, 0);
    close(ready[1]);
    char loaded = 0;
    EXPECT_EQ(read(ready[0], &loaded, 1), 1);
    close(ready[0]);
    EXPECT_TRUE(loaded);
    EXPECT_EQ(browser->PageIds().size(), before.size() + 2);
    kill(host, SIGKILL);
    waitpid(host, nullptr, 0);
    auto start = Clock::now();
    while (browser->PageIds() != before && SecondsSince(start) < 10) usleep(20000);
    EXPECT_EQ(browser->PageIds(), before);
    EXPECT_TRUE(browser->Answers());
}

struct KillDuringRun {
    RemoteBrowser* browser;
};

jsValue KillTheBrowser(jsExecState, void* param) {
    static_cast<KillDuringRun*>(param)->browser->Kill();
    return 0;
}

TEST(AttachedEnd, ABrowserKilledDuringARunFailsTheRunAndSaysWhy) {
    setenv("QIRLEN_ENGINE_QUIET", "1", 1);
    RemoteBrowser doomed;
    ASSERT_TRUE(doomed.ok());
    HttpServer site([](const HttpRequest&) { return HttpResponse{200, "text/html", "<p>x</p>"}; });
    setenv("QIRLEN_BROWSER_URL", doomed.httpUrl().c_str(), 1);
    EngineCopy engine(NODE_MODULE);
    ASSERT_TRUE(engine.ok());
    KillDuringRun kill{&doomed};
    engine.wkeJsBindFunction("killTheBrowser", KillTheBrowser, &kill, 0);
    engine.wkeInitializeEx(nullptr);
    wkeWebView view = engine.NewView();
    ASSERT_TRUE(engine.Load(view, site.Url("/")));
    auto start = Clock::now();
    // The script goes on after the browser is gone: only the closed socket ends the run.
    std::string result = engine.Eval(view, "killTheBrowser(); for (;;) {}");
    EXPECT_NE(result, "42");
    EXPECT_LE(SecondsSince(start), 10);
    EXPECT_NE(engine.failure().find("closed the connection"), std::string::npos)
        << engine.failure();
    start = Clock::now();
    EXPECT_EQ(engine.NewView(), nullptr);
    EXPECT_EQ(engine.Eval(view, "return 42;"), "undefined");
    EXPECT_LE(SecondsSince(start), 1);
    engine.wkeShutdown();
}

TEST(AttachedEnd, ASilentBrowserIsGivenUpOnAsDead) {
    setenv("QIRLEN_ENGINE_QUIET", "1", 1);
    setenv("QIRLEN_SCRIPT_TIMEOUT_MS", "2000", 1);
    RemoteBrowser silent;
    ASSERT_TRUE(silent.ok());
    HttpServer site([](const HttpRequest&) { return HttpResponse{200, "text/html", "<p>x</p>"}; });
    setenv("QIRLEN_BROWSER_URL", silent.wsUrl().c_str(), 1);
    EngineCopy engine(NODE_MODULE);
    ASSERT_TRUE(engine.ok());
    engine.wkeInitializeEx(nullptr);
    wkeWebView view = engine.NewView();
    ASSERT_TRUE(engine.Load(view, site.Url("/")));
    silent.Pause();
    auto start = Clock::now();
    EXPECT_EQ(engine.Eval(view, "return 42;"), "undefined");
    EXPECT_LE(SecondsSince(start), 15);
    EXPECT_NE(engine.failure().find("did not answer"), std::string::npos) << engine.failure();
    start = Clock::now();
    EXPECT_EQ(engine.Eval(view, "return 42;"), "undefined");
    EXPECT_LE(SecondsSince(start), 1) << "given up on, not waited for again";
    silent.Resume();
    engine.wkeShutdown();
}

// The socket holds the pipe's bound: a message longer than the limit ends the connection
// (the browser goes on) instead of being gathered in the host's memory.
TEST(AttachedEnd, AMessageOverTheLimitEndsTheConnectionAndNotTheBrowser) {
    setenv("QIRLEN_ENGINE_QUIET", "1", 1);
    setenv("QIRLEN_MAX_MESSAGE_BYTES", "8388608", 1);
    RemoteBrowser browser;
    ASSERT_TRUE(browser.ok());
    HttpServer site([](const HttpRequest&) { return HttpResponse{200, "text/html", "<p>x</p>"}; });
    setenv("QIRLEN_BROWSER_URL", browser.wsUrl().c_str(), 1);
    EngineCopy engine(NODE_MODULE);
    ASSERT_TRUE(engine.ok());
    engine.wkeInitializeEx(nullptr);
    wkeWebView view = engine.NewView();
    ASSERT_TRUE(engine.Load(view, site.Url("/")));
    EXPECT_EQ(engine.Eval(view, "return 'x'.repeat(4 << 20).length;"), "4194304");
    auto start = Clock::now();
    EXPECT_EQ(engine.Eval(view, "return 'x'.repeat(16 << 20);"), "undefined");
    EXPECT_LE(SecondsSince(start), 10);
    EXPECT_NE(engine.failure().find("longer than 8388608 bytes"), std::string::npos)
        << engine.failure();
    EXPECT_TRUE(browser.Answers());
    engine.wkeShutdown();
    unsetenv("QIRLEN_MAX_MESSAGE_BYTES");
}

// What is not a DevTools browser is said at the start, in one line, and nothing waits.
TEST(AttachedEnd, AnAddressThatIsNoBrowserFailsTheStartWithItsReason) {
    setenv("QIRLEN_ENGINE_QUIET", "1", 1);
    HttpServer web([](const HttpRequest& r) {
        if (r.path == "/json/version")
            return HttpResponse{200, "application/json", "{\"Browser\":1}"};
        return HttpResponse{404, "text/html", "<p>no</p>"};
    });
    HttpServer page([](const HttpRequest& r) {
        return HttpResponse{r.path == "/" ? 200 : 404, "text/html", "<p>hi</p>"};
    });
    std::string refused = "127.0.0.1:" + std::to_string(testsupport::UnusedPort());
    struct Case {
        std::string url, says;
    } cases[] = {
        {"http://" + refused, "cannot reach the browser at " + refused},
        {"ws://" + refused + "/devtools/browser/x", "cannot reach the browser at " + refused},
        {page.Url("/"), "is not a DevTools endpoint (HTTP 404 for /json/version)"},
        {web.Url("/"),
         "is not a DevTools endpoint (its /json/version names no webSocketDebuggerUrl)"},
        {"ws://127.0.0.1:" + std::to_string(page.port()) + "/devtools/browser/x?token=s3cret",
         "refused the WebSocket handshake (HTTP 404)"},
        {"ftp://127.0.0.1/", "is not a ws://, wss://, http:// or https:// address"},
    };
    EngineCopy engine(NODE_MODULE);
    ASSERT_TRUE(engine.ok());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        setenv("QIRLEN_BROWSER_URL", c.url.c_str(), 1);
        auto start = Clock::now();
        engine.wkeInitializeEx(nullptr);
        EXPECT_EQ(engine.NewView(), nullptr);
        std::string failure = engine.failure();
        EXPECT_NE(failure.find(c.says), std::string::npos) << failure;
        EXPECT_EQ(failure.find('\n'), std::string::npos);
        EXPECT_EQ(failure.find("s3cret"), std::string::npos) << "a token is never shown";
        EXPECT_LE(SecondsSince(start), 5);
        engine.wkeShutdown();
    }
}

}  // namespace
