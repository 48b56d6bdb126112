// main() for test binaries of the automation library: the engine module loaded the way the
// program loads it, the script bridge bound, one Chromium for all the binary's tests.
#include <gtest/gtest.h>

#include <cstdlib>

#include "automation/engine_binding.h"
#include "hostctl/engine_library.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QIRLEN_SCRIPT_TIMEOUT_MS", "5000", 0);
    if (!hostctl::EngineLibrary::Load()) return 1;
    automation::InitializeEngineBinding();
    int result = RUN_ALL_TESTS();
    hostctl::Engine().wkeShutdown();
    return result;
}
