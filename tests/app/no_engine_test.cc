// The window without its engine: it says where the engine belongs, opens, and works as far
// as it can. This binary lives in a directory that holds no node.so.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include "app/main_window.h"
#include "app/startup.h"
#include "app/texts.h"
#include "hostctl/browser_control.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "tests/support/window_session.h"

using app::texts::Gbk;

namespace {

TEST(NoEngine, TheWindowOpensAfterTheMessageAndStillWorks) {
    SinkRecorder recorder;
    recorder.Install();
    app::ProgramState state;
    app::MainWindow window(app::OnMainWindowCreated);
    window.show();
    ASSERT_EQ(recorder.boxes.size(), 2u);  // where the engine belongs, and the automation layer's
    EXPECT_EQ(recorder.boxes[1].text,
              Gbk("网页自动化模块初始化失败！\r\n为了保护您的程序，本次初始化被终止！"));
    EXPECT_EQ(recorder.boxes[1].title, Gbk("温馨提示"));
    EXPECT_EQ(recorder.boxes[1].style, platform::kMbIconError);
    std::string expected = Gbk("请把") + "node.so" + Gbk("放在[") +
                           platform::Utf8ToGbk(platform::ProgramDirectory() + "node.so") + "]" +
                           Gbk("位置");
    EXPECT_EQ(recorder.boxes[0].text, expected);
    EXPECT_EQ(recorder.boxes[0].title, Gbk("错误"));
    EXPECT_EQ(window.browser().GetWebView(), 0);
    EXPECT_TRUE(window.isVisible());

    window.playerButton().click();
    ASSERT_EQ(recorder.opened.size(), 1u);
    EXPECT_EQ(recorder.opened[0], "");

    window.linkBox().setFocus();
    ProcessEvents(50);
    window.linkBox().setText("https://v.douyin.com/iRNBho6/");
    window.fetchButton().click();
    ProcessEvents(500);
    EXPECT_FALSE(window.fetchButton().isEnabled());
    EXPECT_EQ(window.fetchButton().text(), QString::fromUtf8("获取中"));
    EXPECT_EQ(recorder.boxes.size(), 2u);  // nothing more
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qt(argc, argv);
    return RUN_ALL_TESTS();
}
