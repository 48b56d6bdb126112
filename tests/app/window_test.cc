// The window as the user meets it, on Qt's offscreen platform, with the real engine and the
// sample live room.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWindow>
#include <chrono>
#include <functional>

#include "app/main_window.h"
#include "app/room_data.h"
#include "app/startup.h"
#include "app/text_rules.h"
#include "app/texts.h"
#include "hostctl/browser_control.h"
#include "hostctl/engine_library.h"
#include "hostctl/page_query.h"
#include "platform/codepage.h"
#include "platform/sinks.h"
#include "tests/app/stalling_server.h"
#include "tests/app/window_session.h"
#include "tests/support/http_server.h"
#include "tests/support/sample_live_room.h"

using app::texts::Gbk;
using testsupport::SampleLiveRoom;

namespace {

SampleLiveRoom* room = nullptr;

class Window : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { room = new SampleLiveRoom(SampleRoomPort()); }
    static void TearDownTestSuite() { delete room; }
    void SetUp() override {
        recorder_.Install();
        window_ = std::make_unique<app::MainWindow>(app::OnMainWindowCreated);
        window_->show();
    }
    void TearDown() override { window_.reset(); }

    // Types into the link box as a user would and presses the fetch button.
    // Counts every load the window's browser reports in `loads`, the window still hearing them.
    void CountLoads(int& loads) {
        hostctl::BrowserEvents events = window_->browser().events();
        auto finished = events.loadingFinished;
        events.loadingFinished = [&loads, finished](const std::string& url, int result,
                                                    const std::string& reason) {
            ++loads;
            finished(url, result, reason);
        };
        window_->browser().SetEvents(events);
    }
    void Fetch(const std::string& utf8) {
        window_->linkBox().setFocus();
        ASSERT_TRUE(WaitFor([&] { return window_->linkBox().hasFocus(); }));
        window_->linkBox().setText(QString::fromUtf8(utf8.c_str()));
        window_->fetchButton().click();
    }
    std::string Result() { return app::FromQt(window_->resultBox().toPlainText()); }
    bool WaitForResult() {
        return WaitFor([&] {
            return window_->fetchButton().isEnabled() &&
                   !window_->resultBox().toPlainText().isEmpty();
        });
    }
    QString Caption() { return window_->fetchButton().text(); }

    SinkRecorder recorder_;
    std::unique_ptr<app::MainWindow> window_;
};

std::string Expected(const std::string& utf8) {
    return Gbk(utf8.c_str());
}

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

TEST_F(Window, TodaysRoomsFromTheDataTheirPagesEmbed) {
    Fetch(room->ShareLink(SampleLiveRoom::kTodayToken));
    ASSERT_TRUE(WaitForResult());
    std::string message = std::string(SampleLiveRoom::kTodayOrigin) + app::texts::SuccessSuffix();
    ASSERT_EQ(recorder_.copied.size(), 1u);
    EXPECT_EQ(recorder_.copied[0], message);
    EXPECT_EQ(window_->resultBox().toolTip().split('\n').value(0),
              QString::fromUtf8("有效期至 ") +
                  QString::fromStdString(app::LocalTimeText(SampleLiveRoom::kTodayExpiry)));
    Fetch(room->ShareLink(SampleLiveRoom::kTodayEndedToken));
    ASSERT_TRUE(WaitFor([&] { return Result() == Expected("获取失败，直播已结束。"); }));
    EXPECT_TRUE(window_->resultBox().toolTip().isEmpty());
    Fetch(room->ShareLink(SampleLiveRoom::kVerifyToken));
    ASSERT_TRUE(WaitFor([&] {
        return Result() == Expected("获取失败，平台要求验证，请稍后再试或在浏览器中打开链接。");
    }));
    EXPECT_EQ(recorder_.copied.size(), 1u);
}

// The address shown, the first line of the result box.
std::string ShownAddress(const std::string& result) {
    return result.substr(0, result.find('\n'));
}

TEST_F(Window, AnH265AddressIsShownAndThePlayerGetsTheBestH264Stream) {
    Fetch(room->ShareLink(SampleLiveRoom::kTodayToken));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(ShownAddress(Result()), SampleLiveRoom::kTodayOrigin);
    EXPECT_EQ(window_->workflow().playerAddress(),
              app::texts::PlayerAddressPrefix() + app::EncodeQueryValue(SampleLiveRoom::kTodayUhd));
    EXPECT_EQ(window_->resultBox().toolTip(),
              QString::fromUtf8("有效期至 ") +
                  QString::fromStdString(app::LocalTimeText(SampleLiveRoom::kTodayExpiry)) +
                  QString::fromUtf8("\n画质 origin/ORIGION（原画）"
                                    "\n上面的地址为 H.265（原画），多数浏览器无法播放；"
                                    "浏览器在线观看打开的是 H.264（蓝光）。"));
    window_->playerButton().click();
    ASSERT_EQ(recorder_.opened.size(), 1u);
    EXPECT_EQ(recorder_.opened[0], window_->workflow().playerAddress());
}

// As the platform served rooms in 2026-09: the window shows what --cli gives for the same
// options, and its tooltip names the stream by all its keys and names.
TEST_F(Window, RoomsAsRecordedGiveTheCommandLinesStream) {
    Fetch(room->ShareLink(SampleLiveRoom::kRecordedToken));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(ShownAddress(Result()), SampleLiveRoom::kRecordedOrigin);
    EXPECT_EQ(window_->resultBox().toolTip().split('\n').mid(1).join('\n'),
              QString::fromUtf8("画质 origin/ORIGION/FULL_HD1（原画/蓝光）\n"
                                "上面的地址为 H.265（原画/蓝光），多数浏览器无法播放；"
                                "浏览器在线观看打开的是 H.264（超清/蓝光）。"));
    EXPECT_EQ(
        window_->workflow().playerAddress(),
        app::texts::PlayerAddressPrefix() + app::EncodeQueryValue(SampleLiveRoom::kRecordedHd));
    // The desktop page names the origin nowhere; 原画 is still its name.
    window_->SetStreamWish({app::texts::Gbk("原画")});
    window_->resultBox().clear();
    Fetch(room->WebSiteLink(std::string("/") + SampleLiveRoom::kRecordedWebRid));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(ShownAddress(Result()), SampleLiveRoom::kRecordedDesktopOrigin);
    EXPECT_TRUE(window_->resultBox().toolTip().contains(
        QString::fromUtf8("画质 origin/ORIGION/FULL_HD1（原画/蓝光）")));
    window_->SetStreamWish({"ao"});
    window_->resultBox().clear();
    Fetch(room->ShareLink(SampleLiveRoom::kRecordedToken));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(Result(), Expected("获取失败,请检查地址链接是否正确。"));  // never a video address
}

TEST_F(Window, TheWebSitesRoomLinksAndAStaleShareLink) {
    for (const std::string& link :
         {room->WebSiteLink("/81234567?enter_from_merge=web_live"),
          "http://www.douyin.com:" + std::to_string(room->port()) + "/follow/live/81234567",
          "http://www.douyin.com:" + std::to_string(room->port()) + "/root/live/81234567"}) {
        window_->resultBox().clear();
        Fetch(link);
        ASSERT_TRUE(WaitForResult()) << link;
        EXPECT_EQ(ShownAddress(Result()), SampleLiveRoom::kLiveAgainOrigin) << link;
        EXPECT_FALSE(window_->resultBox().toolTip().contains(QString::fromUtf8("分享的这场直播")));
    }
    EXPECT_EQ(
        window_->workflow().playerAddress(),
        app::texts::PlayerAddressPrefix() + app::EncodeQueryValue(SampleLiveRoom::kLiveAgainHd));
    // The share link's broadcast has ended; its streamer is live again in the web room.
    window_->resultBox().clear();
    Fetch(room->ShareLink(SampleLiveRoom::kStaleToken));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(ShownAddress(Result()), SampleLiveRoom::kLiveAgainOrigin);
    EXPECT_TRUE(
        window_->resultBox().toolTip().endsWith(app::ToQt(app::texts::StreamerLiveAgainNote())));
    EXPECT_TRUE(recorder_.boxes.empty());
    Fetch("https://www.douyin.com/video/7380000000000000001");
    EXPECT_EQ(recorder_.boxes.size(), 1u);
}

TEST_F(Window, RefusalsAndExpiredAddressesSaySo) {
    const std::string refused = Expected("获取失败，平台拒绝了请求或暂时出现故障，请稍后再试。");
    // One after the other: a refusal must not make the next page a failed load.
    for (const char* token : {SampleLiveRoom::kRefused444Token, SampleLiveRoom::kRefused403Token,
                              SampleLiveRoom::kFailed503Token, SampleLiveRoom::kEmptyToken}) {
        window_->resultBox().clear();
        Fetch(room->ShareLink(token));
        ASSERT_TRUE(WaitForResult()) << token;
        EXPECT_EQ(Result(), refused) << token;
        EXPECT_TRUE(window_->resultBox().toolTip().isEmpty());
    }
    window_->resultBox().clear();
    Fetch(room->ShareLink(SampleLiveRoom::kAllExpiredToken));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(Result(), Expected("获取失败，直播地址已过期，请重新获取。"));
    EXPECT_TRUE(recorder_.copied.empty());
    window_->resultBox().clear();
    Fetch(room->ShareLink(SampleLiveRoom::kOriginExpiredToken));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(ShownAddress(Result()),
              "https://pull-hls-l13.sample-cdn.invalid/stage/stream-7380000000000000005_uhd.m3u8?"
              "expire=70dbd880&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9");
}

void Key(QWidget* to, Qt::Key key, const QString& text = QString()) {
    ASSERT_NE(to, nullptr);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(to, &press);
    QCoreApplication::sendEvent(to, &release);
}

TEST_F(Window, TheHiddenControlNeverTakesTheKeyboard) {
    int loads = 0;
    CountLoads(loads);
    window_->linkBox().setFocus();
    ASSERT_TRUE(WaitFor([&] { return window_->linkBox().hasFocus(); }));
    window_->linkBox().setText(QString::fromStdString(room->ShareLink(SampleLiveRoom::kLiveToken)));
    Key(&window_->linkBox(), Qt::Key_Tab);  // to the fetch button, by keyboard
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == &window_->fetchButton(); }));
    Key(&window_->fetchButton(), Qt::Key_Space);
    ASSERT_TRUE(WaitFor([&] { return !window_->fetchButton().isEnabled(); }));
    // Loading: the focus went somewhere harmless, and Tab, typing and F5 keep the state.
    EXPECT_NE(QApplication::focusWidget(), &window_->linkBox());
    for (int i = 0; i < 6; ++i) {
        QWidget* at = QApplication::focusWidget();
        EXPECT_NE(at, &window_->browser());
        EXPECT_NE(at, &window_->linkBox()) << "the link box would end the loading state";
        if (at == &window_->resultBox()) Key(at, Qt::Key_X, "x");
        if (i == 5) break;
        Key(at, Qt::Key_Tab);
        ProcessEvents(10);
        if (QApplication::focusWidget() == &window_->linkBox()) break;  // Tab went round
    }
    EXPECT_EQ(Caption(), QString::fromUtf8("获取中"));
    ASSERT_TRUE(WaitFor([&] { return loads == 1; }));
    ASSERT_TRUE(WaitFor([&] { return Caption() == QString::fromUtf8("获取m3u8地址"); }));
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    EXPECT_NE(focused, &window_->browser());
    window_->resultBox().setPlainText("kept");
    Key(focused, Qt::Key_F5);
    ProcessEvents(700);
    EXPECT_EQ(loads, 1) << "F5 reloaded the hidden page";
    EXPECT_EQ(window_->resultBox().toPlainText(), "kept");
    EXPECT_EQ(window_->browser().focusPolicy(), Qt::NoFocus);
}

TEST_F(Window, OneFixedSizeThatHoldsEveryControl) {
    // The outer frame is 550x227: less the frame the platform reports (the offscreen
    // platform reports one of 2 px), or without a report, less a fixed dialog's frame.
    QMargins frame = window_->windowHandle()->frameMargins();
    EXPECT_EQ(window_->size(), app::MainWindow::ClientSizeFor(frame));
    if (!frame.isNull()) EXPECT_EQ(window_->frameGeometry().size(), QSize(550, 227));
    EXPECT_EQ(app::MainWindow::ClientSizeFor(QMargins()), QSize(544, 201));
    EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
    EXPECT_FALSE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);
    for (QWidget* control :
         std::initializer_list<QWidget*>{&window_->linkBox(), &window_->resultBox(),
                                         &window_->fetchButton(), &window_->playerButton()})
        EXPECT_TRUE(window_->rect().contains(control->geometry()))
            << control->objectName().toStdString();
    // A window manager's frame is taken off the outer size, never below the layout.
    EXPECT_EQ(app::MainWindow::ClientSizeFor(QMargins(1, 20, 1, 1)), QSize(548, 206));
    EXPECT_EQ(app::MainWindow::ClientSizeFor(QMargins(4, 37, 4, 4)), QSize(544, 201));
    // Should the window grow anyway, the control comes into sight and is told so.
    EXPECT_FALSE(window_->browser().onScreen());
    window_->setMinimumSize(0, 0);
    window_->setMaximumSize(4000, 4000);
    window_->resize(1300, 700);
    EXPECT_TRUE(WaitFor([&] { return window_->browser().onScreen(); }));
    window_->resize(app::MainWindow::ClientSizeFor(frame));
    EXPECT_TRUE(WaitFor([&] { return !window_->browser().onScreen(); }));
}

TEST_F(Window, GoingBackToTheLinkBoxWhileLoadingLetsTheUserTryAgain) {
    testsupport::StallingServer site;
    site.Serve("/slow/", testsupport::StallingServer::StallingPage());
    Fetch(site.Url("/slow/"));
    ASSERT_TRUE(WaitFor([&] { return site.Stalled(); }, 60000));
    EXPECT_FALSE(window_->fetchButton().isEnabled());
    EXPECT_EQ(Caption(), QString::fromUtf8("获取中"));
    EXPECT_TRUE(window_->resultBox().toPlainText().isEmpty());
    // Going back to the link box lets the user try again; the caption stays.
    window_->playerButton().setFocus();
    ASSERT_TRUE(WaitFor([&] { return window_->playerButton().hasFocus(); }));
    window_->linkBox().setFocus();
    ASSERT_TRUE(WaitFor([&] { return window_->fetchButton().isEnabled(); }));
    EXPECT_EQ(Caption(), QString::fromUtf8("获取中"));
}

TEST_F(Window, TheHintGoesAtTheFirstFocusOnly) {
    QLineEdit& box = window_->linkBox();
    EXPECT_FALSE(box.hasFocus());  // the hint is seen first
    box.setFocus();
    ASSERT_TRUE(WaitFor([&] { return box.text().isEmpty(); }));
    EXPECT_EQ(box.palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(box.font().pointSize(), 10);
    EXPECT_EQ(box.font().family(), QString::fromUtf8("微软雅黑"));

    box.setText("typed");
    window_->fetchButton().setFocus();
    box.setFocus();
    ASSERT_TRUE(WaitFor([&] { return box.hasFocus(); }));
    EXPECT_EQ(box.text(), "typed");  // any other text stays

    box.setText(app::ToQt(app::texts::InputHint()));  // typed exactly as the hint
    window_->fetchButton().setFocus();
    box.setFocus();
    EXPECT_TRUE(WaitFor([&] { return box.text().isEmpty(); }));
}

// Before any fetch the player address is empty; the shell is still called, without an
// address (the sink records an absent address as the empty text), and nothing is shown.
TEST_F(Window, ThePlayerButtonBeforeAnyFetchCallsTheShellWithoutAnAddress) {
    window_->playerButton().click();
    ASSERT_EQ(recorder_.opened.size(), 1u);
    EXPECT_EQ(recorder_.opened[0], "");
}

// A page's window.open: the window's control makes no new window (the engine is answered
// with no view), and the window still judges the page it loaded.
TEST_F(Window, APageOpensNoNewWindow) {
    testsupport::HttpServer server([](const testsupport::HttpRequest&) {
        testsupport::HttpResponse page;
        page.body = "<body><script>window.open('/elsewhere');</script></body>";
        return page;
    });
    hostctl::BrowserEvents events = window_->browser().events();  // the window's own handlers
    int made = 0;
    events.newWindowCreated = [&made](wkeWebView) { ++made; };
    window_->browser().SetEvents(events);
    Fetch("http://v.douyin.com:" + std::to_string(server.port()) + "/opener");
    // A page's request for a window is answered before its load is reported.
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(made, 0);
    EXPECT_EQ(Result(), app::texts::FailureElementMissing());
}

TEST_F(Window, InputRaisesEvents14To24InOrderWithTheirModifiers) {
    std::vector<std::string> log;
    auto mouse = [&](int event) {
        return [&log, event](int x, int y, int modifiers) {
            log.push_back(std::to_string(event) + ":" + std::to_string(x) + "," +
                          std::to_string(y) + "," + std::to_string(modifiers));
            return true;
        };
    };
    hostctl::BrowserEvents events = window_->browser().events();
    events.leftDown = mouse(14);
    events.leftUp = mouse(15);
    events.leftDoubleClick = mouse(16);
    events.rightDown = mouse(17);
    events.rightUp = mouse(18);
    events.mouseMove = mouse(19);
    events.focusGained = [&] { return log.push_back("20"), true; };
    events.focusLost = [&] { return log.push_back("21"), true; };
    events.keyDown = [&](int key, int m) {
        return log.push_back("22:" + std::to_string(key) + "," + std::to_string(m)), true;
    };
    events.keyUp = [&](int key, int m) {
        return log.push_back("23:" + std::to_string(key) + "," + std::to_string(m)), true;
    };
    events.character = [&](int c) { return log.push_back("24:" + std::to_string(c)), true; };
    hostctl::BrowserControl& control = window_->browser();
    control.SetEvents(events);

    auto send = [&](QEvent::Type type, Qt::MouseButton button, QPointF at,
                    Qt::KeyboardModifiers modifiers) {
        Qt::MouseButtons held = type == QEvent::MouseButtonRelease || type == QEvent::MouseMove
                                    ? Qt::NoButton
                                    : Qt::MouseButtons(button);
        QMouseEvent e(type, at, control.mapToGlobal(at), button, held, modifiers);
        QCoreApplication::sendEvent(&control, &e);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton, {10, 20},
         Qt::ControlModifier | Qt::ShiftModifier);
    send(QEvent::MouseButtonRelease, Qt::LeftButton, {10, 20}, Qt::ControlModifier);
    send(QEvent::MouseButtonDblClick, Qt::LeftButton, {11, 21}, Qt::AltModifier);
    send(QEvent::MouseButtonPress, Qt::RightButton, {-3, 5}, Qt::NoModifier);
    send(QEvent::MouseButtonRelease, Qt::RightButton, {-3, 5}, Qt::ShiftModifier | Qt::AltModifier);
    send(QEvent::MouseMove, Qt::NoButton, {30, 40}, Qt::ControlModifier | Qt::AltModifier);
    QFocusEvent in(QEvent::FocusIn), out(QEvent::FocusOut);
    QCoreApplication::sendEvent(&control, &in);
    QCoreApplication::sendEvent(&control, &out);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier, "A");
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::ShiftModifier, "A");
    QCoreApplication::sendEvent(&control, &press);
    QCoreApplication::sendEvent(&control, &release);

    EXPECT_EQ(log, (std::vector<std::string>{"14:10,20,3", "15:10,20,1", "16:11,21,4", "17:-3,5,0",
                                             "18:-3,5,6", "19:30,40,5", "20", "21", "22:65,2",
                                             "24:65", "23:65,2"}));
}

}  // namespace
