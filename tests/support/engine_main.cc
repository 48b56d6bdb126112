// main() for test binaries that share one Chromium among all their tests.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/capi/wke.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Runaway scripts are stopped sooner in tests, so that their tests stay quick.
    setenv("QIRLEN_SCRIPT_TIMEOUT_MS", "2000", 0);
    wkeInitializeEx(nullptr);
    int result = RUN_ALL_TESTS();
    wkeShutdown();
    return result;
}
