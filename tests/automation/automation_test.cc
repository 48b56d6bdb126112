// The automation core against the real engine (and, for "touches nothing", a recording
// double): the bridge handlers, frames, page operations, device emulation and cookies.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "automation/web_automation.h"
#include "hostctl/engine_library.h"
#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/paths.h"
#include "platform/sinks.h"
#include "tests/support/host_loop.h"
#include "tests/support/http_server.h"

using automation::Bridge;
using automation::WebAutomation;
using hostctl::Engine;
using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::HttpServer;

namespace {

std::string Gbk(const char* utf8) {
    return platform::Utf8ToGbk(utf8);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    return testsupport::PumpHostLoop(done, timeoutMs);
}

int loads = 0;
void CountLoad(wkeWebView, void*, const wkeString, wkeLoadingResult result, const wkeString) {
    if (result == WKE_LOADING_SUCCEEDED) ++loads;
}

HttpServer* other = nullptr;
HttpServer* server = nullptr;
const std::string kIcon = "icon bytes \x01\x02";

class Automation : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        other = new HttpServer([](const HttpRequest&) {
            return HttpResponse{200, "text/html", "<p>far</p>"};
        });
        server = new HttpServer([](const HttpRequest& r) {
            HttpResponse page;
            if (r.path == "/icon.ico") return HttpResponse{200, "image/x-icon", kIcon};
            if (r.path == "/two")
                page.body = "<iframe src='/plain'></iframe><iframe src='/plain'></iframe>";
            else if (r.path == "/nested")
                page.body =
                    "<iframe src='/two'></iframe><iframe src='" + other->Url("/") + "'></iframe>";
            else if (r.path == "/stops-itself")  // an anti-debugging loop
                page.body =
                    "<body style='margin:0'><div style='height:5000px'>x</div><input id=i>"
                    "<script>setInterval(function(){debugger;},20);</script></body>";
            else if (r.path == "/long")  // quirks mode: the body is what scrolls
                page.body =
                    "<body style='margin:0'><div style='height:5000px;width:5000px'>long</div>"
                    "<button id=b style='position:absolute;left:0;top:0;width:80px;height:30px'"
                    " onclick='window.clicked=1'>b</button></body>";
            else
                page.body = "<!doctype html><title>plain</title><p>plain</p>";
            return page;
        });
    }
    void SetUp() override {
        view_ = Engine().wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 800, 600);
        ASSERT_NE(view_, nullptr);
        Engine().wkeOnLoadingFinish(view_, CountLoad, nullptr);
        web_.BindView(view_);
    }
    void TearDown() override { Engine().wkeDestroyWebWindow(view_); }
    void Load(const std::string& path) {
        int before = loads;
        Engine().wkeLoadURL(view_, server->Url(path).c_str());
        ASSERT_TRUE(PumpUntil([&] { return loads > before; }));
    }
    // Runs a script that calls the bridge; the slots tell what arrived.
    void Run(const std::string& gbkScript, int frame = 1) {
        automation::RunScript(view_, frame, gbkScript, false);
    }

    wkeWebView view_ = nullptr;
    WebAutomation web_;
};

// Runs first: nothing has been bound in this process yet.
TEST_F(Automation, AnEngineModuleThatIsNotThereIsReportedOnceAndBindsNothing) {
    std::vector<std::string> titles;
    auto old = platform::SetMessageBoxSink([&](const std::string& text, const std::string& title,
                                               unsigned style) {
        titles.push_back(title);
        EXPECT_EQ(text, Gbk("网页自动化模块初始化失败！\r\n为了保护您的程序，本次初始化被终止！"));
        EXPECT_EQ(style, platform::kMbIconError);
        return 1;
    });
    automation::InitializeEngineBinding("engine-not-loaded.so");
    platform::SetMessageBoxSink(old);
    EXPECT_EQ(titles, std::vector<std::string>{Gbk("温馨提示")});
    EXPECT_EQ(automation::EngineModuleName(), "engine-not-loaded.so");
    Load("/plain");
    std::u16string probe = u"return typeof window.GetAttributeBack + typeof window.enumresources";
    EXPECT_EQ(std::string(Engine().jsToString(nullptr, Engine().wkeRunJSW(view_, probe.c_str()))),
              "undefinedundefined");
    EXPECT_EQ(web_.GetReadyState(), "");    // the layer stays without entry points
    automation::InitializeEngineBinding();  // from here on, the real engine
    EXPECT_EQ(automation::EngineModuleName(), "node.so");
    EXPECT_NE(automation::Api().wkeRunJsByFrame, nullptr);
    EXPECT_NE(automation::Api().wkeSetDebugConfig, nullptr);
}

TEST_F(Automation, HandlersFillTheirSlots) {
    Load("/plain");
    Run("window.top.GetAttributeBack(5);");
    EXPECT_EQ(Bridge().attributeReply, "5");
    Run(Gbk("window.top.GetAttributeBack('中文');"));
    EXPECT_EQ(Bridge().attributeReply, Gbk("中文"));
    Run("window.top.ScrollBack('12.7');");
    EXPECT_EQ(Bridge().scrollReply, 12);
    Run("window.top.ScrollBack('no number');");
    EXPECT_EQ(Bridge().scrollReply, 0);
    Run("window.top.FramesCount(' -3x');");
    EXPECT_EQ(Bridge().frameTotalReply, -3);

    Bridge().resourceList.clear();
    Run("window.top.enumresources('css', 'a.css'); window.top.enumresources('CSS', 'b.css');"
        "window.top.enumresources('script', ''); window.top.enumresources('frameCount', 4);");
    EXPECT_EQ(Bridge().resourceList.entries(), (std::vector<std::string>{"b.css", ""}));
    EXPECT_EQ(Bridge().frameRecordReply, 4);

    Run("window.top.GetElementRect(10, 20, 30, 40, 50, 60);");
    const automation::ElementRect& r = Bridge().elementRect;
    EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom, r.width, r.height}),
              std::vector<int>({30, 50, 40, 10, 60, 20}));

    Bridge().elementInfoList.clear();
    Run(
        Gbk("window.top.GetElementInformation('i', '文本', '<p>', 'P', 'c', '2.5', "
            "'p:nth-child(1)');"));
    ASSERT_EQ(Bridge().elementInfoList.entries().size(), 1u);
    const automation::ElementInfo& info = Bridge().elementInfoList.entries()[0];
    EXPECT_EQ(info.innerText, Gbk("文本"));
    EXPECT_EQ(info.frameRecord, 2);
    EXPECT_EQ(info.cssSelector, "p:nth-child(1)");

    Bridge().optionTexts.clear();
    Bridge().optionValues.clear();
    Run("window.top.selectBack('one', 1); window.top.selectBack('two', 2); "
        "window.top.Elementundefined();"
        "window.top.LoadJs_Success();");
    EXPECT_EQ(Bridge().optionTexts.entries(), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(Bridge().optionValues, (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(Bridge().elementMissing);
    EXPECT_TRUE(Bridge().scriptLoaded);
}

TEST_F(Automation, GetvalueHandsTheValueToThePageUnquoted) {
    Load("/plain");
    std::string handle = std::to_string(reinterpret_cast<intptr_t>(view_));
    Bridge().valueToSupply.clear();
    Run("window.top.GetAttributeBack('[' + window.top.Getvalue(" + handle + ") + ']');");
    EXPECT_EQ(Bridge().attributeReply, "[]");
    const std::string value = Gbk("他说：\"你好\"\r\n第二行 'x' \\n");
    {
        automation::SuppliedValue supplied(view_, value);
        Run("window.top.GetAttributeBack(window.top.Getvalue(" + handle + "));");
        EXPECT_EQ(Bridge().attributeReply, value);
        // Asked with another view's handle, the page gets nothing.
        Run("window.top.GetAttributeBack('[' + window.top.Getvalue(" + handle + "1) + ']');");
        EXPECT_EQ(Bridge().attributeReply, "[]");
    }
    EXPECT_EQ(Bridge().valueToSupply, "");
}

TEST_F(Automation, FramesAreNumberedAndFound) {
    std::vector<int32_t> frames{99};
    Load("/plain");
    EXPECT_EQ(web_.GetFrameIds(frames), 1);
    EXPECT_EQ(frames, std::vector<int32_t>{1});

    Load("/two");
    EXPECT_EQ(web_.GetFrameIds(frames), 3);
    EXPECT_EQ(frames, (std::vector<int32_t>{1, 2, 3}));

    Load("/nested");  // two frames inside the first, then a cross-origin one
    PumpUntil([&] { return web_.GetFrameIds(frames) == 5 && frames.size() == 5; }, 5000);
    EXPECT_EQ(web_.GetFrameIds(frames), 5);
    EXPECT_EQ(frames, (std::vector<int32_t>{1, 2, 3, 4, 5}));
    Bridge().attributeReply.clear();
    Run("window.top.GetAttributeBack(location.port);", 5);
    EXPECT_EQ(Bridge().attributeReply, std::to_string(other->port()));
}

TEST_F(Automation, PageOperations) {
    Load("/long");
    EXPECT_EQ(web_.GetReadyState(), "complete");
    EXPECT_TRUE(web_.LoadScriptFile("/no-such-script.js", 1));  // true whether or not it loads
    EXPECT_FALSE(web_.LoadScriptFile("it's.js", 1));            // the quote breaks the script
    EXPECT_EQ(web_.SetScrollTop(300), 0);
    EXPECT_EQ(web_.SetScrollLeft(120), 0);
    EXPECT_EQ(web_.GetScrollTop(), 300);
    EXPECT_EQ(web_.GetScrollLeft(), 120);
    EXPECT_TRUE(web_.SetZoom("1.5"));
    EXPECT_EQ(web_.GetZoom(), "1.5");
    EXPECT_EQ(web_.GetScrollTop(9), -1);  // no such frame: the reset value
    Run("var kept = 41;");
    jsValue v = web_.RunScriptInFrame("return kept + 1;", true, 1);
    EXPECT_EQ(std::string(Engine().jsToString(nullptr, v)), "42");
    // Without a frame: the main frame.
    EXPECT_EQ(std::string(Engine().jsToString(nullptr, web_.RunScriptInFrame("kept", false))),
              "41");
    EXPECT_TRUE(web_.LoadScriptFile("/no-such-script.js"));
}

TEST_F(Automation, DeviceEmulationAndDebugSwitches) {
    EXPECT_TRUE(web_.SetPlatform("Linux armv8l"));
    EXPECT_TRUE(web_.SetMaxTouchPoints(5));
    EXPECT_TRUE(web_.SetHardwareConcurrency(6));
    EXPECT_TRUE(web_.SetScreenSize(360, 720));
    EXPECT_TRUE(web_.SetScreenAvailSize(350, 700));
    Load("/plain");
    Run("window.top.GetAttributeBack([navigator.platform, navigator.maxTouchPoints, "
        "navigator.hardwareConcurrency,"
        " screen.width, screen.height, screen.availWidth, screen.availHeight].join());");
    EXPECT_EQ(Bridge().attributeReply, "Linux armv8l,5,6,360,720,350,700");
    EXPECT_TRUE(web_.DisableImages());
    EXPECT_TRUE(web_.ConfigureJsEnable());  // a null value leaves script on
    Load("/plain");
    EXPECT_EQ(web_.GetReadyState(), "complete");
}

struct Visits {
    int count = 0;
    std::string value;
};

bool Visit(void* p, const char* name, const char* value, const char*, const char*, int, int, int*) {
    auto* v = static_cast<Visits*>(p);
    ++v->count;
    if (std::string(name) == "greeting") v->value = value;
    return false;
}

TEST_F(Automation, CookiesIconAndMouse) {
    Load("/long");
    EXPECT_TRUE(web_.SetCookie(server->Url("/"), Gbk("greeting=你好; path=/")));
    EXPECT_NE(web_.GetCookies().find("greeting=你好"), std::string::npos);

    Visits first, second;
    EXPECT_TRUE(web_.VisitAllCookies(Visit, &first));
    void* adapter = Engine().wkeGetUserKeyValue(view_, "qxCookieVisitorCallback");
    EXPECT_TRUE(web_.VisitAllCookies(Visit, &second));
    EXPECT_EQ(first.value, "你好");
    EXPECT_EQ(second.count, first.count);  // each visit reached its own parameter
    EXPECT_NE(Engine().wkeGetUserKeyValue(view_, "qxCookieVisitorCallback"), nullptr);
    EXPECT_EQ(Engine().wkeGetUserKeyValue(view_, "qxOnNetGetFavicon"), nullptr);
    (void)adapter;

    static std::string icon;
    static void* iconParam = nullptr;
    Load("/long");
    Run("var l = document.createElement('link'); l.rel = 'icon'; l.href = '/icon.ico'; "
        "document.head.appendChild(l);");
    int marker = 7;
    EXPECT_TRUE(web_.RequestFavicon(
        [](wkeWebView, void* p, const char*, wkeMemBuf* buf) {
            iconParam = p;
            icon.assign(static_cast<char*>(buf->data), buf->length);
        },
        &marker));
    EXPECT_TRUE(PumpUntil([&] { return !icon.empty(); }, 5000));
    EXPECT_EQ(icon, kIcon);
    EXPECT_EQ(iconParam, &marker);

    EXPECT_TRUE(web_.FireMouseEvent(WKE_MSG_LBUTTONDOWN, 10, 10, WKE_LBUTTON));
    EXPECT_TRUE(web_.FireMouseEvent(WKE_MSG_LBUTTONUP, 10, 10, 0));
    Run("window.top.GetAttributeBack(window.clicked);");
    EXPECT_EQ(Bridge().attributeReply, "1");
}

TEST_F(Automation, APageStoppingInItsOwnDebuggerStatementsGetsEveryAnswer) {
    Load("/stops-itself");
    web_.SetScrollTop(40);
    int wrong = 0;
    for (int i = 0; i < 100; ++i) {
        usleep(1000 * (i % 4));  // host work between operations; the engine is not looked at
        if (web_.GetReadyState() != "complete") ++wrong;
        if (web_.GetScrollTop() != 40) ++wrong;
        // What a value setter does: the page fetches the value through "Getvalue".
        {
            automation::SuppliedValue supplied(view_, Gbk("值 ") + std::to_string(i));
            Run("document.getElementById('i').value = window.top.Getvalue(" +
                std::to_string(reinterpret_cast<intptr_t>(view_)) + ");");
        }
        Run("window.top.GetAttributeBack(document.getElementById('i').value);");
        if (Bridge().attributeReply != Gbk("值 ") + std::to_string(i)) ++wrong;
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(Automation, AScriptWithAStrayByteStillRuns) {
    Load("/plain");
    Bridge().attributeReply.clear();
    Run("var note = '\x81'; window.top.GetAttributeBack('ran ' + note.length);");
    EXPECT_EQ(Bridge().attributeReply, "ran 1");
}

TEST_F(Automation, AnIconAdapterLivesUntilItsCallbackHasRun) {
    Load("/long");
    Run("var l = document.createElement('link'); l.rel = 'icon'; l.href = '/icon.ico'; "
        "document.head.appendChild(l);");
    static std::vector<int> answered;
    answered.clear();
    auto record = [](wkeWebView, void* p, const char*, wkeMemBuf* buf) {
        if (buf && buf->length == kIcon.size()) answered.push_back(*static_cast<int*>(p));
    };
    int first = 1, second = 2;
    // Both asked before the event loop runs: the first adapter is replaced under its key
    // while its callback is still due (a use after free under ASan before).
    EXPECT_TRUE(web_.RequestFavicon(record, &first));
    EXPECT_TRUE(web_.RequestFavicon(record, &second));
    EXPECT_TRUE(PumpUntil([&] { return answered.size() == 2; }, 5000));
    EXPECT_EQ(answered, (std::vector<int>{1, 2}));
    // A view that ends with a callback due takes its adapter with it.
    EXPECT_TRUE(web_.RequestFavicon(record, &first));
}

TEST_F(Automation, IntegersFromScriptReadAsTheirLeadingDigitsWithin32Bits) {
    Load("/plain");
    struct Row {
        const char* value;
        int32_t expected;
    } rows[] = {
        {"-5", -5},
        {"'12.7'", 12},
        {"-3.9", -3},
        {"0.1 + 0.2", 0},
        {"' 42 '", 42},
        {"'abc'", 0},
        {"1e3", 1000},
        {"'1e3'", 1},
        {"2147483648", INT32_MAX},
        {"-2147483649", INT32_MIN},
        {"true", 0},
    };
    for (const auto& r : rows) {
        Bridge().scrollReply = 777;
        Run(std::string("window.top.ScrollBack(") + r.value + ");");
        EXPECT_EQ(Bridge().scrollReply, r.expected) << r.value;
    }
}

// Each reader resets its slot before it runs: on a frame that is not there it gives its
// empty result even right after a successful read.
TEST_F(Automation, EveryReaderGivesItsEmptyResultForAFrameThatIsNotThere) {
    Load("/long");
    web_.SetZoom("1.5");
    web_.SetScrollTop(30);
    struct Reader {
        const char* name;
        std::function<std::string(WebAutomation&, automation::FrameId)> read;
        std::string empty;
    } readers[] = {
        {"GetZoom", [](WebAutomation& w, int f) { return w.GetZoom(f); }, ""},
        {"GetReadyState", [](WebAutomation& w, int f) { return w.GetReadyState(f); }, ""},
        {"GetScrollTop", [](WebAutomation& w, int f) { return std::to_string(w.GetScrollTop(f)); },
         "-1"},
        {"GetScrollLeft",
         [](WebAutomation& w, int f) { return std::to_string(w.GetScrollLeft(f)); }, "-1"},
        {"LoadScriptFile",
         [](WebAutomation& w, int f) { return std::to_string(w.LoadScriptFile("/x.js", f)); }, "0"},
        {"ElementExists",
         [](WebAutomation& w, int f) {
             return std::to_string(w.ElementExists("getElementById", "b", 0, f));
         },
         "0"},
        {"MarkElement",
         [](WebAutomation& w, int f) {
             return std::to_string(w.MarkElement("getElementById", "b", 0, f));
         },
         "0"},
        {"GetElementXPath",
         [](WebAutomation& w, int f) { return w.GetElementXPath("getElementById", "b", 0, f); },
         ""},
        {"GetElementPath",
         [](WebAutomation& w, int f) { return w.GetElementPath("getElementById", "b", 0, f); }, ""},
        {"GetElementSelector",
         [](WebAutomation& w, int f) { return w.GetElementSelector("getElementById", "b", 0, f); },
         ""},
        {"FindElementsByTagName",
         [](WebAutomation& w, int f) {
             std::vector<automation::ElementInfo> list;
             w.FindElementsByTagName("button", list, f);
             return std::to_string(list.size());
         },
         "0"},
    };
    for (const auto& r : readers) {
        EXPECT_NE(r.read(web_, 1), r.empty) << r.name << " read nothing on the page";
        EXPECT_EQ(r.read(web_, 99), r.empty) << r.name;
    }
}

TEST(UnboundAutomation, ReturnsEmptyResultsWithoutTouchingTheEngine) {
    std::string path = platform::ProgramDirectory() + "recording_engine.so";
    ASSERT_NE(platform::LoadModule(path), nullptr);
    auto calls = automation::LookupEntry<int (*)()>("recordingEngineCalls");
    automation::InitializeEngineBinding("recording_engine.so");
    calls = automation::LookupEntry<int (*)()>("recordingEngineCalls");
    ASSERT_NE(calls, nullptr);
    int before = calls();
    WebAutomation none;
    std::vector<int32_t> frames{5};
    EXPECT_EQ(none.GetFrameIds(frames), 0);
    EXPECT_EQ(frames, std::vector<int32_t>{5});
    EXPECT_FALSE(none.LoadScriptFile("x.js"));
    EXPECT_FALSE(none.SetZoom("2"));
    EXPECT_EQ(none.GetZoom(), "");
    EXPECT_EQ(none.GetScrollTop(), -1);
    EXPECT_EQ(none.GetScrollLeft(), -1);
    EXPECT_EQ(none.SetScrollTop(1), -1);
    EXPECT_EQ(none.SetScrollLeft(1), -1);
    EXPECT_EQ(none.GetReadyState(), "");
    EXPECT_EQ(none.RunScriptInFrame("1", true), -1);
    EXPECT_FALSE(none.SetScreenSize(360, 720));
    EXPECT_FALSE(none.ConfigureJsEnable());
    EXPECT_FALSE(none.DisableImages());
    EXPECT_EQ(none.GetCookies(), "");
    EXPECT_FALSE(none.SetCookie("http://x/", "a=1"));
    EXPECT_FALSE(none.VisitAllCookies(Visit, nullptr));
    EXPECT_FALSE(none.RequestFavicon([](wkeWebView, void*, const char*, wkeMemBuf*) {}, nullptr));
    none.SetDebugConfig("jsEnable", "0");
    EXPECT_FALSE(none.FireMouseEvent(WKE_MSG_MOUSEMOVE, 1, 1, 0));
    EXPECT_EQ(calls(), before);

    // A bound object on an engine that lacks an entry point: as if unbound, no crash.
    WebAutomation bound;
    bound.BindView(reinterpret_cast<wkeWebView>(1));
    EXPECT_FALSE(bound.SetPlatform("Linux armv8l"));
    EXPECT_FALSE(bound.SetMaxTouchPoints(5));
    automation::InitializeEngineBinding();
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QIRLEN_SCRIPT_TIMEOUT_MS", "2000", 0);
    if (!hostctl::EngineLibrary::Load()) return 1;
    int result = RUN_ALL_TESTS();
    Engine().wkeShutdown();
    return result;
}
