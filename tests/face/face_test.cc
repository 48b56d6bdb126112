// The modern face as a program uses it: linked against the SDK's shared library alone, one
// browser for the whole binary, pages served on loopback.
#include <gtest/gtest.h>
#include <qirlen/qirlen.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>

#include "tests/face/sent_commands.h"
#include "tests/support/http_server.h"

namespace {

using qirlen::By;
using qirlen::ErrorKind;
using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::HttpServer;

// The commands the engine sends, counted from the start (before the browser).
testsupport::SentCommands& Sent() {
    return testsupport::SentCommands::Start();
}

qirlen::Browser& TheBrowser() {
    Sent();
    static auto* browser = new qirlen::Browser();  // ends with the process
    return *browser;
}

qirlen::Page NewPage() {
    auto page = TheBrowser().NewPage();
    if (!page) ADD_FAILURE() << page.error().message;
    return std::move(page).value();
}

// Pages by path (the query aside); a response of its own where one is given.
struct Site {
    std::map<std::string, HttpResponse> pages;
    std::mutex lock;
    HttpServer server{[this](const HttpRequest& r) {
        std::lock_guard guard(lock);
        auto page = pages.find(r.path.substr(0, r.path.find('?')));
        return page == pages.end() ? HttpResponse{404, "text/html", "<h1>none here</h1>", {}}
                                   : page->second;
    }};
    void Add(const std::string& path, std::string body) {
        std::lock_guard guard(lock);
        pages[path] = HttpResponse{200, "text/html; charset=utf-8", std::move(body), {}};
    }
    // The same server under another origin (another host name for loopback).
    std::string OtherOrigin(const std::string& path) {
        return "http://localhost:" + std::to_string(server.port()) + path;
    }
};

std::string Json(const qirlen::Result<std::string>& r) {
    return r ? r.value() : "error: " + r.error().message;
}

// Logging in through a form: trusted typing fires input and change, the click submits, the
// next page and its cookie are read.
TEST(Face, LogsInThroughAFormAndReadsTheNextPageAndItsCookie) {
    Site site;
    site.Add("/login",
             "<title>登录</title><form action=/welcome><input id=user name=user>"
             "<input id=password name=password type=password><button>登录</button></form>"
             "<script>window.seen = [];"
             "for (const t of ['input', 'change']) document.addEventListener(t, e =>"
             " seen.push(t + ':' + e.target.id + ':' + e.isTrusted), true);</script>");
    site.pages["/welcome"] = {200,
                              "text/html; charset=utf-8",
                              "<title>欢迎</title><h1></h1><script>document.querySelector('h1')"
                              ".textContent = '欢迎 ' + new URLSearchParams(location.search)"
                              ".get('user');</script>",
                              {{"Set-Cookie", "session=s3cret; Path=/welcome"}}};
    qirlen::Page page = NewPage();
    auto loaded = page.Goto(site.server.Url("/login"));
    ASSERT_TRUE(loaded) << loaded.error().message;
    EXPECT_EQ(loaded.value().status, 200);
    EXPECT_EQ(page.Title().value_or(""), "登录");
    ASSERT_TRUE(page.Locator(By::Id, "user").Fill("李雷 🙂").ok());
    ASSERT_TRUE(page.Locator(By::Css, "#password").Fill("p@ss").ok());
    EXPECT_EQ(Json(page.Evaluate("seen.join(' ')")),
              "\"input:user:true change:user:true input:password:true change:password:true\"");
    EXPECT_EQ(page.Locator(By::Id, "user").Value().value_or(""), "李雷 🙂");
    ASSERT_TRUE(page.Locator(By::Text, "登录").Click().ok());
    auto arrived = page.WaitForUrl(
        [](const std::string& url) { return url.find("/welcome?") != std::string::npos; });
    ASSERT_TRUE(arrived) << arrived.error().message;
    EXPECT_EQ(page.Locator(By::Css, "h1").Text().value_or(""), "欢迎 李雷 🙂");
    auto cookies = page.Cookies();
    ASSERT_TRUE(cookies);
    ASSERT_EQ(cookies.value().size(), 1u);
    EXPECT_EQ(cookies.value()[0].name + "=" + cookies.value()[0].value, "session=s3cret");
}

// A table of 200 rows read in one script, and links read in every frame: one of the page's
// origin, one of another (and a trusted click there lands in that frame).
TEST(Face, ReadsATableAndTheLinksOfFramesOfAnyOrigin) {
    Site site;
    std::string rows;
    for (int i = 1; i <= 200; ++i)
        rows +=
            "<tr><td>" + std::to_string(i) + "</td><td>名 \"" + std::to_string(i) + "\"</td></tr>";
    site.Add("/", "<table>" + rows +
                      "</table><a href='/top'>top</a>"
                      "<iframe src='/same'></iframe><iframe src='" +
                      site.OtherOrigin("/other") + "'></iframe>");
    site.Add("/same", "<a href='/s1'>s1</a><a href='/s2'>s2</a>");
    site.Add("/other",
             "<a href='/o1'>o1</a><button onclick='this.textContent = "
             "\"trusted \" + event.isTrusted'>press</button>");
    qirlen::Page page = NewPage();
    ASSERT_TRUE(page.Goto(site.server.Url("/")));
    auto table = page.Evaluate(
        "[...document.querySelectorAll('tr')].map(r => [...r.cells].map(c => c.textContent))");
    ASSERT_TRUE(table) << table.error().message;
    EXPECT_EQ(table.value().rfind("[[\"1\",\"名 \\\"1\\\"\"],[\"2\"", 0), 0u) << table.value();
    EXPECT_EQ(page.Locator(By::Css, "tr").Count().value_or(0), 200);
    EXPECT_EQ(page.Locator(By::XPath, "//tr[200]/td[2]").Text().value_or(""), "名 \"200\"");

    std::vector<std::string> links;
    auto add = [&](const qirlen::Locator& scope) {
        for (const auto& link : scope.All().value())
            links.push_back(link.Attribute("href").value().value_or("?"));
    };
    add(page.Locator(By::Css, "a"));
    auto frames = page.Locator(By::Css, "iframe").All();
    ASSERT_TRUE(frames);
    for (const auto& frame : frames.value()) add(frame.Frame().Find(By::Css, "a"));
    EXPECT_EQ(links, (std::vector<std::string>{"/top", "/s1", "/s2", "/o1"}));

    auto other = page.Locator(By::Css, "iframe").Nth(1).Frame().Find(By::Css, "button");
    ASSERT_TRUE(other.Click().ok());
    EXPECT_EQ(other.Text().value_or(""), "trusted true");
}

// An element a script adds after 1.5 s is waited for, clicked with trusted input and pictured
// by the browser itself, at its size.
TEST(Face, WaitsForAnElementClicksItAndSavesItsPicture) {
    Site site;
    site.Add("/",
             "<body style='margin:0'><script>setTimeout(() => {"
             " const b = document.createElement('button'); b.id = 'late';"
             " b.style = 'width:120px;height:40px;border:0;background:#c00;color:#fff';"
             " b.textContent = 'late';"
             " b.onclick = e => b.textContent = 'clicked ' + e.isTrusted;"
             " document.body.append(b); }, 1500);</script>");
    qirlen::Page page = NewPage();
    ASSERT_TRUE(page.Goto(site.server.Url("/")));
    auto late = page.Locator(By::Id, "late");
    auto clicked = late.Click();
    ASSERT_TRUE(clicked) << clicked.error().message;
    EXPECT_EQ(late.Text().value_or(""), "clicked true");
    auto png = late.Screenshot();
    ASSERT_TRUE(png) << png.error().message;
    ASSERT_GT(png.value().size(), 24u);
    EXPECT_EQ(png.value().substr(1, 3), "PNG");
    auto be32 = [&](size_t at) {
        auto b = [&](size_t i) { return static_cast<unsigned char>(png.value()[at + i]); };
        return (b(0) << 24) | (b(1) << 16) | (b(2) << 8) | b(3);
    };
    EXPECT_EQ(be32(16), 120);  // IHDR width
    EXPECT_EQ(be32(20), 40);   // and height
}

// Each failure says what kind it is.
TEST(Face, FailuresSayTheirKind) {
    Site site;
    site.Add("/", "<p id=shown>here</p><p id=hidden style='display:none'>not shown</p>");
    qirlen::Page page = NewPage();
    ASSERT_TRUE(page.Goto(site.server.Url("/")));
    struct Case {
        const char* what;
        qirlen::Result<void> result;
        ErrorKind kind;
        const char* says;
    };
    auto done = [](auto&& r) -> qirlen::Result<void> {
        if (r) return {};
        return r.error();
    };
    const Case cases[] = {
        {"bad CSS", done(page.Locator(By::Css, "p[").Text(300)), ErrorKind::InvalidArgument,
         "not a valid selector"},
        {"bad XPath", done(page.Locator(By::XPath, "//p[").Count()), ErrorKind::InvalidArgument,
         "XPath"},
        {"missing element", done(page.Locator(By::Id, "none").Click(300)), ErrorKind::NotFound,
         "nothing matches id 'none'"},
        {"hidden element", page.Locator(By::Id, "hidden").Click(300), ErrorKind::Timeout,
         "not visible"},
        {"script throws", done(page.Evaluate("throw new Error('boom')")), ErrorKind::ScriptError,
         "boom"},
        {"unknown key", page.Locator(By::Id, "shown").Press("NoSuchKey"),
         ErrorKind::InvalidArgument, "NoSuchKey"},
        {"no browser page",
         done(page.Goto("http://127.0.0.1:" + std::to_string(testsupport::UnusedPort()) + "/")),
         ErrorKind::Navigation, "ERR_CONNECTION_REFUSED"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_FALSE(c.result.ok());
        EXPECT_EQ(c.result.error().kind, c.kind) << c.result.error().message;
        EXPECT_NE(c.result.error().message.find(c.says), std::string::npos)
            << c.result.error().message;
    }
    auto missing = page.Goto(site.server.Url("/missing"));
    ASSERT_TRUE(missing) << missing.error().message;
    EXPECT_EQ(missing.value().status, 404);
    EXPECT_EQ(missing.value().url, site.server.Url("/missing"));
}

// Two pages used in turn: each call gets its own page's answer, also while the other page
// still has a promise pending.
TEST(Face, PagesUsedInTurnKeepTheirOwnAnswers) {
    Site site;
    site.Add("/a", "<title>A</title><p>page a</p>");
    site.Add("/b", "<title>B</title><p>page b</p>");
    qirlen::Page a = NewPage(), b = NewPage();
    ASSERT_TRUE(a.Goto(site.server.Url("/a")));
    ASSERT_TRUE(b.Goto(site.server.Url("/b")));
    a.Evaluate("setTimeout(() => document.title = 'A later', 50), 0").value();
    for (int turn = 0; turn < 5; ++turn) {
        EXPECT_EQ(Json(b.Evaluate("new Promise(r => setTimeout(() => r(document.title), 30))")),
                  "\"B\"");
        EXPECT_EQ(a.Locator(By::Css, "p").Text().value_or(""), "page a");
        EXPECT_EQ(b.Locator(By::Css, "p").Text().value_or(""), "page b");
    }
    EXPECT_EQ(a.Title().value_or(""), "A later");
    EXPECT_EQ(b.Url().value_or(""), site.server.Url("/b"));
}

// Cookies, dialogs, the console and the other inputs, in UTF-8 throughout.
TEST(Face, CookiesDialogsConsoleAndFormInputs) {
    Site site;
    site.Add("/",
             "<input type=checkbox id=agree><select id=city><option value=bj>北京"
             "</option><option value=sh>上海</option></select><input type=file id=file>"
             "<input id=q onkeydown='window.key = event.key + \":\" + event.isTrusted'>");
    qirlen::Page page = NewPage();
    ASSERT_TRUE(page.Goto(site.server.Url("/")));

    ASSERT_TRUE(page.SetCookie({"b", "二", "", "/"}).ok());
    page.Evaluate("document.cookie = 'c=三'").value();
    EXPECT_EQ(Json(page.Evaluate("document.cookie")), "\"b=二; c=三\"");
    std::map<std::string, std::string> cookies;
    for (const auto& c : page.Cookies().value()) cookies[c.name] = c.value;
    EXPECT_EQ(cookies, (std::map<std::string, std::string>{{"b", "二"}, {"c", "三"}}));

    std::vector<std::string> seen;
    page.OnDialog([&](const qirlen::Dialog& d) {
        seen.push_back(d.type + ":" + d.message);
        return qirlen::DialogAnswer{true, "李雷"};
    });
    page.OnConsole([&](const qirlen::ConsoleMessage& m) { seen.push_back(m.type + ":" + m.text); });
    EXPECT_EQ(Json(page.Evaluate("console.log('你好', 42), prompt('名字?')")), "\"李雷\"");
    EXPECT_EQ(seen, (std::vector<std::string>{"log:你好 42", "prompt:名字?"}));

    auto checked = page.Locator(By::Id, "agree").Check();
    ASSERT_TRUE(checked) << checked.error().message;
    ASSERT_TRUE(page.Locator(By::Id, "city").SelectOption("上海").ok());
    auto file = std::filesystem::temp_directory_path() / "qirlen-face-upload.txt";
    std::ofstream(file) << "x";
    ASSERT_TRUE(page.Locator(By::Id, "file").SetInputFiles({file.string()}).ok());
    ASSERT_TRUE(page.Locator(By::Id, "q").Press("Enter").ok());
    EXPECT_EQ(Json(page.Evaluate("[agree.checked, city.value, file.files[0].name, key]")),
              "[true,\"sh\",\"qirlen-face-upload.txt\",\"Enter:true\"]");
    std::filesystem::remove(file);
}

// On a page that is ready, an operation is one script call that finds, checks and acts, then
// only the browser's own input or picture. The face's world is made once per document, and
// anew in the next document the page goes to.
TEST(Face, EachOperationTakesTheFewestCommands) {
    Site site;
    site.Add("/",
             "<p id=p>text</p><input id=t oninput='inputs++'><button id=b onclick='clicks++'>b"
             "</button><div id=card style='width:50px;height:20px'>c</div>"
             "<script>var inputs = 0, clicks = 0;</script>");
    site.Add("/next", "<p id=p>next</p>");
    qirlen::Page page = NewPage();
    ASSERT_TRUE(page.Goto(site.server.Url("/")));
    using Methods = std::vector<std::string>;
    const std::string call = "Runtime.callFunctionOn", mouse = "Input.dispatchMouseEvent";
    const Methods newWorld = {"Page.createIsolatedWorld", "Runtime.evaluate", call};
    Sent().Take();
    EXPECT_EQ(page.Locator(By::Id, "p").Text().value_or(""), "text");
    EXPECT_EQ(Sent().Take(), newWorld);
    struct Case {
        const char* what;
        std::function<bool()> run;
        Methods methods;
    } cases[] = {
        {"Evaluate", [&] { return page.Evaluate("1").ok(); }, {"Runtime.evaluate"}},
        {"Text", [&] { return page.Locator(By::Id, "p").Text().ok(); }, {call}},
        {"Click",
         [&] { return page.Locator(By::Id, "b").Click().ok(); },
         {call, mouse, mouse, mouse}},
        {"Fill",
         [&] { return page.Locator(By::Id, "t").Fill("x").ok(); },
         {call, "Input.insertText", call}},
        {"Screenshot",
         [&] { return page.Locator(By::Id, "card").Screenshot().ok(); },
         {call, "Page.captureScreenshot"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(c.run());
        EXPECT_EQ(Sent().Take(), c.methods);
    }
    EXPECT_EQ(Json(page.Evaluate("[inputs, clicks]")), "[1,1]");

    page.Evaluate("location.href = '/next', 0").value();
    ASSERT_TRUE(page.WaitForUrl(site.server.Url("/next")));
    Sent().Take();
    EXPECT_EQ(page.Locator(By::Id, "p").Text().value_or(""), "next");
    EXPECT_EQ(Sent().Take(), newWorld);
}

}  // namespace
