// An engine module that lacks entry points (here a double that has only a few): one message
// box per missing name, in the table's order, and the control goes on without a view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include "app/main_window.h"
#include "app/texts.h"
#include "hostctl/browser_control.h"
#include "hostctl/engine_library.h"
#include "tests/support/window_session.h"

using app::texts::Gbk;

TEST(PartialEngine, EachMissingEntryPointIsNamedOnce) {
    SinkRecorder recorder;
    recorder.Install();
    app::MainWindow first;
    app::MainWindow second;  // the engine is loaded once per process
    ASSERT_GT(recorder.boxes.size(), 50u);
    EXPECT_EQ(recorder.boxes[0].text,
              "\"wkeShutdown\"" + Gbk("命令未找到,请使用发布时配套或更高版本的node.so"));
    EXPECT_EQ(recorder.boxes[0].title, Gbk("请使用配套的node.so"));
    for (const auto& box : recorder.boxes) {
        EXPECT_EQ(box.title, Gbk("请使用配套的node.so"));
        EXPECT_EQ(box.text.find("\"wkeRunJsByFrame\""), std::string::npos);  // the double has it
    }
#define QIRLEN_COUNT(name) +1
    const size_t entries = 0 QIRLEN_ENGINE_ENTRIES(QIRLEN_COUNT);
#undef QIRLEN_COUNT
    const size_t present = 15;  // what the recording double exports of the table
    EXPECT_NE(hostctl::Engine().wkeRunJsByFrame, nullptr);
    EXPECT_EQ(hostctl::Engine().wkeCreateWebWindow, nullptr);
    EXPECT_EQ(first.browser().GetWebView(), 0);
    first.playerButton().click();  // the window still works
    EXPECT_EQ(recorder.opened.size(), 1u);
    EXPECT_EQ(recorder.boxes.size(), entries - present);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qt(argc, argv);
    return RUN_ALL_TESTS();
}
