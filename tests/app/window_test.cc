// The window as the user meets it, on Qt's offscreen platform, with the real engine and the
// sample live room: start-up, layout, a fetch and what it shows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/room_data.h"
#include "app/startup.h"
#include "app/text_rules.h"
#include "app/texts.h"
#include "hostctl/browser_control.h"
#include "hostctl/engine_library.h"
#include "hostctl/page_query.h"
#include "platform/codepage.h"
#include "tests/app/window_fixture.h"
#include "tests/support/sample_live_room.h"

using apptest::Expected;
using apptest::Window;
using testsupport::SampleLiveRoom;

namespace {

TEST_F(Window, StartUpMakesTheViewPassForAPhone) {
    auto view = reinterpret_cast<wkeWebView>(window_->browser().GetWebView());
    EXPECT_EQ(app::ProgramState::Automation().GetView(), view);
    const hostctl::EngineEntries& e = hostctl::Engine();
    auto eval = [&](const char* script) {
        return std::string(e.jsToString(
            e.wkeGlobalExec(view), e.wkeRunJSW(view, reinterpret_cast<const char16_t*>(
                                                         platform::Utf8ToUtf16(script).c_str()))));
    };
    // The blank page was reloaded with the new settings, before any link was loaded.
    EXPECT_TRUE(
        WaitFor([&] { return eval("return navigator.userAgent") == app::kPhoneUserAgent; }));
    EXPECT_EQ(
        eval("return [navigator.platform, navigator.maxTouchPoints, screen.width, screen.height,"
             " screen.availWidth, screen.availHeight, 'ontouchstart' in window].join()"),
        "Linux armv8l,5,360,720,360,720,true");
    EXPECT_TRUE(window_->resultBox().toPlainText().isEmpty());  // the reload is no fetch
    EXPECT_TRUE(recorder_.boxes.empty());
}

TEST_F(Window, LayoutAsDesigned) {
    app::MainWindow& w = *window_;
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("Qirlen V1.0.1        Tolvane"));
    EXPECT_EQ(w.frameGeometry().size(), QSize(550, 227));  // the outer frame, as designed
    EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(50, 50));

    auto* box1 = w.findChild<QLineEdit*>(QString::fromUtf8("编辑框1"));
    ASSERT_TRUE(box1);
    EXPECT_EQ(box1->geometry(), QRect(64, 16, 352, 32));
    EXPECT_EQ(app::FromQt(box1->text()), app::texts::InputHint());
    EXPECT_EQ(box1->palette().color(QPalette::Text), QColor(192, 192, 192));
    EXPECT_EQ(box1->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(box1->font().family(), QString::fromUtf8("微软雅黑"));
    EXPECT_EQ(box1->font().pixelSize(), 12);
    EXPECT_EQ(box1->font().weight(), QFont::Normal);

    auto* label2 = w.findChild<QLabel*>(QString::fromUtf8("标签2"));
    ASSERT_TRUE(label2);
    EXPECT_EQ(label2->geometry(), QRect(8, 17, 80, 24));
    EXPECT_EQ(label2->text(), QString::fromUtf8("链接地址"));

    auto* box2 = w.findChild<QPlainTextEdit*>(QString::fromUtf8("编辑框2"));
    ASSERT_TRUE(box2);
    EXPECT_EQ(box2->geometry(), QRect(8, 64, 528, 89));
    EXPECT_TRUE(box2->toPlainText().isEmpty());
    EXPECT_EQ(box2->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(box2->font().family(), QString::fromUtf8("微软雅黑"));
    EXPECT_EQ(box2->font().pixelSize(), 14);

    auto* label3 = w.findChild<QLabel*>(QString::fromUtf8("标签3"));
    ASSERT_TRUE(label3);
    EXPECT_EQ(label3->geometry(), QRect(8, 166, 232, 24));
    EXPECT_EQ(label3->text(), QString::fromUtf8("注：本程序仅供交流学习使用。"));

    auto* button2 = w.findChild<QPushButton*>(QString::fromUtf8("按钮2"));
    auto* button1 = w.findChild<QPushButton*>(QString::fromUtf8("按钮1"));
    ASSERT_TRUE(button1 && button2);
    EXPECT_EQ(button2->geometry(), QRect(423, 161, 112, 32));
    EXPECT_EQ(button2->text(), QString::fromUtf8("浏览器在线观看"));
    EXPECT_EQ(button1->geometry(), QRect(424, 15, 112, 32));
    EXPECT_EQ(button1->text(), QString::fromUtf8("获取m3u8地址"));
    EXPECT_TRUE(button1->isEnabled() && button2->isEnabled());
    EXPECT_EQ(button1->font(), QApplication::font(button1));  // no font of its own

    auto* browser = w.findChild<hostctl::BrowserControl*>(QString::fromUtf8("浏览框1"));
    EXPECT_STREQ(hostctl::BrowserControl::kControlType, "网页浏览框");
    EXPECT_STREQ(hostctl::BrowserControl::kTypeName, "WEB_VIEW_BOX");
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->geometry(), QRect(608, 8, 600, 510));
    EXPECT_TRUE(browser->isVisible());
    EXPECT_TRUE(browser->visibleRegion().isEmpty());  // beyond the window's edge
    EXPECT_NE(browser->GetWebView(), 0);
}

TEST_F(Window, TheHiddenViewLoadsPages) {
    bool loaded = false;
    hostctl::BrowserEvents events = window_->browser().events();
    auto previous = events.loadingFinished;
    events.loadingFinished = [&](const std::string& url, int result, const std::string& reason) {
        loaded = result == 0;
        previous(url, result, reason);
    };
    window_->browser().SetEvents(events);
    window_->browser().LoadAddress(room->ShareLink(SampleLiveRoom::kLiveToken));
    ASSERT_TRUE(WaitFor([&] { return loaded; }));
    hostctl::PageQuery query;
    auto view = reinterpret_cast<wkeWebView>(window_->browser().GetWebView());
    EXPECT_EQ(query.Query(view, 2, "video", 1), "");  // a video element has no inner HTML
    EXPECT_EQ(query.Query(view, 2, "#nothing", 1), "undefined");
    EXPECT_EQ(query.Query(view, 1, "class=player", 1).substr(0, 6), "<video");
}

TEST_F(Window, AWrongLinkOnlyShowsTheMessage) {
    Fetch("https://example.com/live/1");
    ASSERT_EQ(recorder_.boxes.size(), 1u);
    EXPECT_EQ(recorder_.boxes[0].text, app::texts::WrongLinkMessage());
    EXPECT_EQ(recorder_.boxes[0].title, Expected("链接错误"));
    EXPECT_TRUE(window_->fetchButton().isEnabled());
    EXPECT_EQ(Caption(), QString::fromUtf8("获取m3u8地址"));
    EXPECT_TRUE(recorder_.copied.empty());
    Fetch("");
    EXPECT_EQ(recorder_.boxes.size(), 2u);  // an empty box fails the check too
    // The share host somewhere in the text is not enough: it must be the link's host.
    for (const char* text : {"http://elsewhere/?v.douyin.com", "file:///etc/hostname#v.douyin.com",
                             "看看 v.douyin.com 吧"})
        Fetch(text);
    EXPECT_EQ(recorder_.boxes.size(), 5u);
    EXPECT_EQ(Caption(), QString::fromUtf8("获取m3u8地址"));
}

TEST_F(Window, ASuccessfulFetch) {
    Fetch(room->ShareLink(SampleLiveRoom::kLiveToken));
    EXPECT_FALSE(window_->fetchButton().isEnabled());
    EXPECT_EQ(Caption(), QString::fromUtf8("获取中"));
    ASSERT_TRUE(WaitForResult());
    std::string message = std::string(SampleLiveRoom::kStreamAddress) + app::texts::SuccessSuffix();
    std::string shown = message;
    shown.replace(shown.find("\r\n"), 2, "\n");  // the box shows CR LF as one line break
    EXPECT_EQ(Result(), shown);
    ASSERT_EQ(recorder_.copied.size(), 1u);
    EXPECT_EQ(recorder_.copied[0], message);  // the clipboard holds exactly the message
    // The signed address is one query value of the player's address, its "&"s encoded.
    EXPECT_EQ(
        window_->workflow().playerAddress(),
        app::texts::PlayerAddressPrefix() + app::EncodeQueryValue(SampleLiveRoom::kStreamAddress));
    EXPECT_EQ(window_->resultBox().toolTip(),
              QString::fromUtf8("有效期至 ") +
                  QString::fromStdString(app::LocalTimeText(SampleLiveRoom::kExpiry)));
    EXPECT_TRUE(window_->fetchButton().isEnabled());
    EXPECT_TRUE(window_->playerButton().isEnabled());
    EXPECT_EQ(Caption(), QString::fromUtf8("获取m3u8地址"));

    window_->playerButton().click();
    ASSERT_EQ(recorder_.opened.size(), 1u);
    EXPECT_EQ(recorder_.opened[0], window_->workflow().playerAddress());

    // A load nobody asked for (a reload by the engine or the page) is not read: the result
    // and the clipboard stay the press's.
    int loads = 0;
    CountLoads(loads);
    window_->resultBox().setPlainText("x");
    hostctl::Engine().wkeReload(reinterpret_cast<wkeWebView>(window_->browser().GetWebView()));
    ASSERT_TRUE(WaitFor([&] { return loads == 1; }));
    EXPECT_EQ(window_->resultBox().toPlainText(), "x");
    EXPECT_EQ(recorder_.copied.size(), 1u);
}

TEST_F(Window, F5InTheViewReloadsAfterTheKeyEvent) {
    Fetch(room->ShareLink(SampleLiveRoom::kLiveToken));
    ASSERT_TRUE(WaitForResult());
    std::vector<int> keys;
    int loads = 0;
    hostctl::BrowserEvents events = window_->browser().events();
    events.keyDown = [&](int key, int) {
        keys.push_back(key);
        return true;
    };
    events.loadingFinished = [&](const std::string&, int, const std::string&) { ++loads; };
    window_->browser().SetEvents(events);
    QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
    QCoreApplication::sendEvent(&window_->browser(), &f5);
    EXPECT_EQ(keys, std::vector<int>{116});
    ASSERT_TRUE(WaitFor([&] { return loads == 1; }));  // reloaded

    events.keyDown = [](int, int) { return false; };  // a handler may keep the key from the page
    window_->browser().SetEvents(events);
    QCoreApplication::sendEvent(&window_->browser(), &f5);
    ProcessEvents(700);  // what is tested is that nothing happens
    EXPECT_EQ(loads, 1);
}

TEST_F(Window, WithoutThePhoneProfileTheRoomHasNoStream) {
    window_.reset();
    window_ = std::make_unique<app::MainWindow>();  // no start-up sequence: a desktop browser
    window_->show();
    Fetch(room->ShareLink(SampleLiveRoom::kLiveToken));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(Result(), Expected("获取失败,请检查地址链接是否正确。"));
}

TEST_F(Window, TheShareTextLoadsItsLink) {
    Fetch("8.94 复制打开抖音，看看【样例主播的直播】 " +
          room->ShareLink(SampleLiveRoom::kLiveToken) + " Hxg:/ 直播中");
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(Result().substr(0, std::string(SampleLiveRoom::kStreamAddress).size()),
              SampleLiveRoom::kStreamAddress);
}

TEST_F(Window, PagesWithoutAStream) {
    Fetch(room->ShareLink(SampleLiveRoom::kBrokenToken));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(Result(), Expected("获取失败,请检查地址链接是否正确。"));
    Fetch(room->ShareLink(SampleLiveRoom::kEndedToken));
    ASSERT_TRUE(WaitFor([&] { return Result() == Expected("获取失败，直播已结束。"); }));
    EXPECT_TRUE(recorder_.copied.empty());
    EXPECT_EQ(window_->workflow().playerAddress(), "");
    EXPECT_EQ(Caption(), QString::fromUtf8("获取m3u8地址"));
}

}  // namespace
