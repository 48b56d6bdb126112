// main() of each room's hostile-pages binary: the two sites up first (Chromium must be told
// which port stands for the internet), then the engine module loaded the way the program
// loads it, the script bridge bound, one Chromium for every test of the binary.
#include <gtest/gtest.h>

#include <cstdlib>

#include "automation/engine_binding.h"
#include "hostctl/engine_library.h"
#include "tests/support/hostile_site.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QIRLEN_SCRIPT_TIMEOUT_MS", "5000", 0);
    hostile::StartSites();
    if (!hostctl::EngineLibrary::Load()) return 1;
    automation::InitializeEngineBinding();
    int result = RUN_ALL_TESTS();
    hostctl::Engine().wkeShutdown();
    return result;
}
