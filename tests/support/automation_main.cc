// main() for test binaries of the automation library: the engine module loaded the way the
// program loads it, the script bridge bound, one Chromium for all the binary's tests.
#include <gtest/gtest.h>

#include <cstdlib>

#include "automation/engine_binding.h"
#include "hostctl/engine_library.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // These binaries test what scripts do, not how long a script may run: the limit is
    // only the backstop for a run that never ends. It leaves room for the large pages they
    // use (a discovery over 1,000 elements takes seconds on a loaded machine).
    setenv("QIRLEN_SCRIPT_TIMEOUT_MS", "60000", 0);
    if (!hostctl::EngineLibrary::Load()) return 1;
    automation::InitializeEngineBinding();
    int result = RUN_ALL_TESTS();
    hostctl::Engine().wkeShutdown();
    return result;
}
