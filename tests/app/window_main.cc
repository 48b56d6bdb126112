// main() for window tests: Qt on its offscreen platform, and one engine for all tests,
// its share-link host sent to the sample live room.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "app/startup.h"
#include "tests/support/sample_live_room.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QIRLEN_CHROMIUM_ARGS", testsupport::SampleLiveRoom::ChromiumArgs().c_str(), 1);
    app::ProgramState state;
    QApplication qt(argc, argv);
    return RUN_ALL_TESTS();
}
