// A visible browser control on a page with an input box: what the user types, turns and
// clicks reaches the page, and events 14-24 report it with Windows codes first.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <functional>

#include "hostctl/browser_control.h"
#include "hostctl/engine_library.h"
#include "hostctl/virtual_keys.h"
#include "platform/codepage.h"
#include "tests/support/http_server.h"
#include "tests/support/window_session.h"

namespace {

const char kPage[] = R"HTML(<!doctype html><meta charset=utf-8>
<body style='margin:0;height:3000px'>
<input id=box autofocus style='position:absolute;left:10px;top:10px;width:200px'>
<script>
  var log = [];
  ['keydown', 'keyup', 'keypress'].forEach(function (t) {
    document.addEventListener(t, function (e) {
      log.push(t + ':' + e.keyCode + ':' + e.key + ':' + (e.shiftKey ? 'S' : '') + (e.ctrlKey ? 'C' : ''));
    });
  });
  ['mousedown', 'mouseup', 'auxclick'].forEach(function (t) {
    document.addEventListener(t, function (e) { log.push(t + ':' + e.button); });
  });
</script></body>)HTML";

class HostInput : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        server_ = new testsupport::HttpServer([](const testsupport::HttpRequest&) {
            testsupport::HttpResponse page;
            page.body = kPage;
            return page;
        });
    }
    void SetUp() override {
        parent_ = std::make_unique<QWidget>();
        parent_->resize(420, 320);
        control_ = new hostctl::BrowserControl(parent_.get(), QRect(0, 0, 400, 300));
        parent_->show();
        bool loaded = false;
        hostctl::BrowserEvents events;
        events.loadingFinished = [&](const std::string&, int result, const std::string&) {
            loaded = result == 0;
        };
        control_->SetEvents(events);
        control_->LoadAddress(server_->Url("/"));
        ASSERT_TRUE(WaitFor([&] { return loaded; }));
        control_->SetEvents({});
        control_->setFocus();
        ASSERT_TRUE(WaitFor([&] { return Page("document.activeElement.id") == "box"; }));
    }
    void TearDown() override { parent_.reset(); }

    // The page's own globals (its log of events), so in the page's world.
    std::string Page(const std::string& expression) {
        const hostctl::EngineEntries& e = hostctl::Engine();
        auto view = reinterpret_cast<wkeWebView>(control_->GetWebView());
        std::u16string script = platform::Utf8ToUtf16("return String(" + expression + ");");
        const char* text = e.jsToString(e.wkeGlobalExec(view), e.wkeRunJSW(view, script.c_str()));
        return text ? text : "";
    }
    void Key(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
             const QString& text = QString()) {
        QKeyEvent e(type, key, modifiers, text);
        QCoreApplication::sendEvent(control_, &e);
    }
    void Type(int key, const QString& text, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        Key(QEvent::KeyPress, key, modifiers, text);
        Key(QEvent::KeyRelease, key, modifiers, text);
    }
    void Mouse(QEvent::Type type, Qt::MouseButton button, QPointF at) {
        Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button)
                                                                 : Qt::MouseButtons(Qt::NoButton);
        QMouseEvent e(type, at, control_->mapToGlobal(at), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(control_, &e);
    }

    static inline testsupport::HttpServer* server_ = nullptr;
    std::unique_ptr<QWidget> parent_;
    hostctl::BrowserControl* control_ = nullptr;
};

TEST_F(HostInput, TypedAndCommittedTextArrives) {
    Type(Qt::Key_H, "H", Qt::ShiftModifier);
    Type(Qt::Key_I, "i");
    Type(Qt::Key_Exclam, "!", Qt::ShiftModifier);
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("中文"));
    QCoreApplication::sendEvent(control_, &commit);
    Type(Qt::Key_Backspace, "\b");
    Type(Qt::Key_Left, "");
    Type(Qt::Key_X, "x");
    EXPECT_EQ(Page("document.getElementById('box').value"), "Hi!x中");
    EXPECT_EQ(Page("log.slice(0, 3).join(' ')"), "keydown:72:H:S keypress:72:H:S keyup:72:H:S");
}

TEST_F(HostInput, EventsReportWindowsCodesAndAHandlerMayHoldAKeyBack) {
    std::vector<std::string> seen;
    hostctl::BrowserEvents events;
    events.keyDown = [&](int key, int m) {
        seen.push_back("22:" + std::to_string(key) + "," + std::to_string(m));
        return key != 'Q';  // Q never reaches the page
    };
    events.keyUp = [&](int key, int m) {
        return seen.push_back("23:" + std::to_string(key) + "," + std::to_string(m)), true;
    };
    events.character = [&](int c) { return seen.push_back("24:" + std::to_string(c)), true; };
    control_->SetEvents(events);
    Type(Qt::Key_A, "A", Qt::ShiftModifier);
    Type(Qt::Key_Return, "\r", Qt::ControlModifier);
    Type(Qt::Key_F5, "");  // also reloads the page
    EXPECT_EQ(seen, (std::vector<std::string>{"22:65,2", "24:65", "23:65,2", "22:13,1", "24:13",
                                              "23:13,1", "22:116,0", "23:116,0"}));
    ASSERT_TRUE(WaitFor([&] { return Page("log.length") == "0"; }));  // the new page's log
    ASSERT_TRUE(WaitFor([&] { return Page("document.activeElement.id") == "box"; }));
    seen.clear();
    Type(Qt::Key_Q, "q");
    Type(Qt::Key_W, "w");
    EXPECT_EQ(seen,
              (std::vector<std::string>{"22:81,0", "23:81,0", "22:87,0", "24:119", "23:87,0"}));
    EXPECT_EQ(Page("document.getElementById('box').value"), "w");
}

TEST_F(HostInput, TheWheelScrollsAndTheMiddleButtonIsButtonOne) {
    QWheelEvent wheel(QPointF(100, 100), control_->mapToGlobal(QPointF(100, 100)), QPoint(),
                      QPoint(0, -240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(control_, &wheel);
    EXPECT_TRUE(WaitFor([&] { return Page("window.scrollY") != "0"; }, 3000))
        << Page("window.scrollY");

    std::vector<std::string> seen;
    hostctl::BrowserEvents events;
    events.middleDown = [&](int x, int y, int) {
        return seen.push_back("middle down " + std::to_string(x) + "," + std::to_string(y)), true;
    };
    events.middleUp = [&](int, int, int) { return seen.push_back("middle up"), true; };
    events.rightDown =
        events.rightUp = [&](int, int, int) { return seen.push_back("right"), true; };
    control_->SetEvents(events);
    Page("log = []");
    Mouse(QEvent::MouseButtonPress, Qt::MiddleButton, {300, 200});
    Mouse(QEvent::MouseButtonRelease, Qt::MiddleButton, {300, 200});
    EXPECT_EQ(seen, (std::vector<std::string>{"middle down 300,200", "middle up"}));
    EXPECT_EQ(Page("log.join(' ')"), "mousedown:1 mouseup:1 auxclick:1");
}

TEST(VirtualKeys, QtKeysAsWindowsCodes) {
    using hostctl::WindowsVirtualKey;
    struct Row {
        int key;
        Qt::KeyboardModifiers modifiers;
        int vk;
    } rows[] = {
        {Qt::Key_A, Qt::NoModifier, 0x41},           {Qt::Key_Z, Qt::ShiftModifier, 0x5A},
        {Qt::Key_0, Qt::NoModifier, 0x30},           {Qt::Key_9, Qt::NoModifier, 0x39},
        {Qt::Key_F1, Qt::NoModifier, 0x70},          {Qt::Key_F5, Qt::NoModifier, 116},
        {Qt::Key_F24, Qt::NoModifier, 0x87},         {Qt::Key_Left, Qt::NoModifier, 0x25},
        {Qt::Key_Up, Qt::NoModifier, 0x26},          {Qt::Key_Right, Qt::NoModifier, 0x27},
        {Qt::Key_Down, Qt::NoModifier, 0x28},        {Qt::Key_Return, Qt::NoModifier, 0x0D},
        {Qt::Key_Enter, Qt::KeypadModifier, 0x0D},   {Qt::Key_Escape, Qt::NoModifier, 0x1B},
        {Qt::Key_Tab, Qt::NoModifier, 0x09},         {Qt::Key_Backtab, Qt::ShiftModifier, 0x09},
        {Qt::Key_Backspace, Qt::NoModifier, 0x08},   {Qt::Key_Delete, Qt::NoModifier, 0x2E},
        {Qt::Key_Home, Qt::NoModifier, 0x24},        {Qt::Key_End, Qt::NoModifier, 0x23},
        {Qt::Key_PageUp, Qt::NoModifier, 0x21},      {Qt::Key_PageDown, Qt::NoModifier, 0x22},
        {Qt::Key_Shift, Qt::ShiftModifier, 0x10},    {Qt::Key_Control, Qt::ControlModifier, 0x11},
        {Qt::Key_Alt, Qt::AltModifier, 0x12},        {Qt::Key_Space, Qt::NoModifier, 0x20},
        {Qt::Key_Exclam, Qt::ShiftModifier, '1'},    {Qt::Key_Semicolon, Qt::NoModifier, 0xBA},
        {Qt::Key_Question, Qt::ShiftModifier, 0xBF}, {Qt::Key_5, Qt::KeypadModifier, 0x65},
        {Qt::Key_Plus, Qt::KeypadModifier, 0x6B},    {Qt::Key_VolumeUp, Qt::NoModifier, 0},
    };
    for (const Row& r : rows) EXPECT_EQ(WindowsVirtualKey(r.key, r.modifiers), r.vk) << r.key;
}

}  // namespace
