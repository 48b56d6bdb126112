// The SDK as a program outside this tree uses it: linked against libqirlen-automation.so
// alone, nothing of the program exported (no -rdynamic), the engine found beside the library.
#include <gtest/gtest.h>
#include <qirlen/session.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "tests/support/http_server.h"

namespace {

using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::HttpServer;

// Pages by path; a path with a delay answers that much later.
struct Site {
    std::map<std::string, std::string> pages;
    std::map<std::string, int> delaysMs;
    std::vector<std::string> paths;  // as requested
    std::mutex lock;
    HttpServer server{[this](const HttpRequest& r) {
        int delay = 0;
        std::string body;
        {
            std::lock_guard guard(lock);
            paths.push_back(r.path);
            if (delaysMs.count(r.path)) delay = delaysMs[r.path];
            if (!pages.count(r.path)) return HttpResponse{404, "text/plain", "none", {}};
            body = pages[r.path];
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        return HttpResponse{200, "text/html; charset=utf-8", body, {}};
    }};
};

// The encoding is process-wide: each test leaves it as it found it.
struct Utf8Texts {
    Utf8Texts() { qirlen::SetTextEncoding(qirlen::TextEncoding::Utf8); }
    ~Utf8Texts() { qirlen::SetTextEncoding(qirlen::TextEncoding::Gbk); }
};

std::string InnerText(qirlen::Session& s, const std::string& id, int frame = 1) {
    return s.Automation().GetElementInnerText("getElementById", id, 0, frame);
}

// A frame the page adds from its load handler, whose document comes a while later, is there
// and complete when Load returns.
TEST(Session, LoadReturnsOnceEveryFrameHasLoaded) {
    Site site;
    site.pages["/"] =
        "<p id=top>top</p><iframe src='/first'></iframe><script>onload = () => {"
        " const f = document.createElement('iframe'); f.src = '/late';"
        " document.body.append(f); };</script>";
    site.pages["/first"] = "<p id=first>first</p>";
    site.pages["/late"] = "<p id=late>late</p>";
    site.delaysMs["/late"] = 1500;
    qirlen::Session session;
    ASSERT_TRUE(session.Ok()) << session.Error();
    ASSERT_TRUE(session.Load(site.server.Url("/"), 20000)) << session.Error();
    std::vector<int32_t> frames;
    EXPECT_EQ(session.Automation().GetFrameIds(frames), 3);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(InnerText(session, "top"), "top");
    EXPECT_EQ(InnerText(session, "first", frames[1]), "first");
    EXPECT_EQ(InnerText(session, "late", frames[2]), "late");
}

// A page whose frames cannot be counted yet (for its first three tries the walk over its
// frames throws) is waited for, not taken as loaded: neither by the count of the page before
// it (its windows still answer their numbers) nor by a count of none (nor do they).
TEST(Session, LoadWaitsWhileTheFrameCountIsNotKnown) {
    Site site;
    site.pages["/before"] = "<p>a page that was counted</p>";
    for (const char* numbers : {"",
                                "Object.defineProperty(window, 'IDRECORD', {get: () => "
                                "tries > 3 ? 1 : 0});"}) {
        SCOPED_TRACE(*numbers ? "no window answers" : "the windows answer");
        site.pages["/"] =
            std::string("<p id=state>not counted</p><script>var tries = 0;") + numbers +
            "Object.defineProperty(window, 'frames', {get: () => {"
            " if (++tries <= 3) throw 0;"
            " document.getElementById('state').textContent = 'counted'; return window; }});"
            "</script>";
        qirlen::Session session;
        ASSERT_TRUE(session.Load(site.server.Url("/before"), 20000)) << session.Error();
        ASSERT_TRUE(session.Load(site.server.Url("/"), 20000)) << session.Error();
        EXPECT_EQ(InnerText(session, "state"), "counted");
    }
}

TEST(Session, LoadSaysWhyItFailed) {
    qirlen::Session session;
    ASSERT_TRUE(session.Ok()) << session.Error();
    int port = testsupport::UnusedPort();
    EXPECT_FALSE(session.Load("http://127.0.0.1:" + std::to_string(port) + "/", 20000));
    EXPECT_NE(session.Error().find("failed to load"), std::string::npos) << session.Error();

    Site site;
    site.pages["/slow"] = "<p>at last</p>";
    site.delaysMs["/slow"] = 4000;
    EXPECT_FALSE(session.Load(site.server.Url("/slow"), 300));
    EXPECT_EQ(session.Error(), "the page did not load within 300 ms");

    // A later load is not confused by the one it replaced.
    site.pages["/"] = "<p id=ok>fine</p>";
    ASSERT_TRUE(session.Load(site.server.Url("/"), 20000)) << session.Error();
    EXPECT_EQ(InnerText(session, "ok"), "fine");
    EXPECT_TRUE(session.Error().empty());
}

// Under the UTF-8 switch every text in and out is UTF-8: locator texts, values written and
// read, texts the page holds, lists and the address loaded.
TEST(Session, Utf8TextsRoundTripEmojiIncluded) {
    Site site;
    site.pages["/%E9%A1%B5"] =
        "<input id='名🙂'><p id=p>页面 😀</p><select id=s><option>一</option>"
        "<option value='🍉'>西瓜 🍉</option></select>"
        "<p id=platform onclick='this.textContent = navigator.platform'></p>";
    Utf8Texts utf8;
    qirlen::Session session;
    ASSERT_TRUE(session.Load(site.server.Url("/页"), 20000)) << session.Error();
    automation::WebAutomation& web = session.Automation();

    ASSERT_TRUE(web.SetElementValue("getElementById", "名🙂", "值 🎉 ü"));
    EXPECT_EQ(web.GetElementValue("getElementById", "名🙂"), "值 🎉 ü");
    EXPECT_EQ(web.GetElementValue("querySelectorAll", "input"), "值 🎉 ü");
    EXPECT_EQ(InnerText(session, "p"), "页面 😀");
    std::vector<automation::ElementInfo> found;
    ASSERT_TRUE(web.FindElementsById("名🙂", found));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].id, "名🙂");
    std::vector<std::string> texts, values;
    EXPECT_EQ(web.GetSelectOptions("getElementById", "s", texts, values), 2);
    EXPECT_EQ(texts, (std::vector<std::string>{"一", "西瓜 🍉"}));
    EXPECT_EQ(values[1], "🍉");

    // Texts the engine takes in its own encoding: a cookie, the platform pages are told.
    ASSERT_TRUE(web.SetCookie(site.server.Url("/"), "b=二; path=/"));
    EXPECT_NE(web.GetCookies().find("b=二"), std::string::npos) << web.GetCookies();
    ASSERT_TRUE(web.SetPlatform("平台"));
    ASSERT_TRUE(web.ClickElement("getElementById", "platform"));
    EXPECT_EQ(InnerText(session, "platform"), "平台");
}

// GBK stays the default: the same page reads back in GBK, and a character GBK lacks is "?".
TEST(Session, GbkIsTheDefault) {
    Site site;
    site.pages["/"] = "<p id=p>页面 😀</p>";
    qirlen::Session session;
    ASSERT_EQ(qirlen::GetTextEncoding(), qirlen::TextEncoding::Gbk);
    ASSERT_TRUE(session.Load(site.server.Url("/"), 20000)) << session.Error();
    EXPECT_EQ(InnerText(session, "p"), "\xD2\xB3\xC3\xE6 ?");
}

// The file chooser answers in a program that exports nothing of its own.
TEST(Session, FileInputIsFilledWithoutTheProgramsExports) {
    auto dir = std::filesystem::temp_directory_path() / ("qirlen-sdk-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "note.txt") << "hello";
    Site site;
    site.pages["/"] =
        "<input type=file id=f onchange=\"document.getElementById('out').textContent ="
        " this.files[0].name + ':' + this.files[0].size\"><p id=out></p>";
    qirlen::Session session;
    ASSERT_TRUE(session.Load(site.server.Url("/"), 20000)) << session.Error();
    ASSERT_TRUE(session.Automation().SetFileInputPath({"getElementById", "f"},
                                                      (dir / "note.txt").string()));
    EXPECT_TRUE(session.PumpUntil([&] { return InnerText(session, "out") == "note.txt:5"; }, 10000))
        << InnerText(session, "out");
    std::filesystem::remove_all(dir);
}

// Sessions side by side have views of their own; when the last one ends the engine stops,
// and a later session starts it again.
TEST(Session, SessionsShareTheEngineAndALaterOneRestartsIt) {
    Site site;
    site.pages["/a"] = "<p id=p>a</p>";
    site.pages["/b"] = "<p id=p>b</p>";
    {
        qirlen::Session first, second;
        ASSERT_TRUE(first.Ok() && second.Ok());
        EXPECT_NE(first.View(), second.View());
        ASSERT_TRUE(first.Load(site.server.Url("/a"), 20000)) << first.Error();
        ASSERT_TRUE(second.Load(site.server.Url("/b"), 20000)) << second.Error();
        EXPECT_EQ(InnerText(first, "p"), "a");
        EXPECT_EQ(InnerText(second, "p"), "b");
    }
    qirlen::Session again;
    ASSERT_TRUE(again.Ok()) << again.Error();
    ASSERT_TRUE(again.Load(site.server.Url("/b"), 20000)) << again.Error();
    EXPECT_EQ(InnerText(again, "p"), "b");
}

}  // namespace
