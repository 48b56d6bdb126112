// The window's controls: the keyboard and the focus, its one size, the link box's hint, the
// player button, windows a page opens, and the events the browser control raises.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWindow>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/texts.h"
#include "hostctl/browser_control.h"
#include "tests/app/stalling_server.h"
#include "tests/app/window_fixture.h"
#include "tests/support/http_server.h"
#include "tests/support/sample_live_room.h"

using apptest::Window;
using testsupport::SampleLiveRoom;

namespace {

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
