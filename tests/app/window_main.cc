// main() for window tests: Qt on its offscreen platform, and one engine for all tests,
// its share-link host sent to the sample live room.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "app/startup.h"
#include "tests/support/sample_live_room.h"
#include "tests/support/window_session.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The room's port is chosen before the browser starts, so that the web site's links
    // without a port (the streamer's room a stale share link looks up) reach it too.
    SampleRoomPort() = testsupport::UnusedPort();
    setenv("QIRLEN_CHROMIUM_ARGS",
           testsupport::SampleLiveRoom::ChromiumArgs(SampleRoomPort()).c_str(), 1);
    app::ProgramState state;
    QApplication qt(argc, argv);
    return RUN_ALL_TESTS();
}
