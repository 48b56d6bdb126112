// main() for test binaries of the automation library: a session for the whole run starts the
// engine (found beside the program, as a program that links the library finds it) and binds
// the script bridge, so one Chromium serves all the binary's tests, each in a view (a session)
// of its own. The host control's table of entry points is loaded too, for the tests that call
// the engine directly.
#include <gtest/gtest.h>
#include <qirlen/session.h>

#include <cstdio>
#include <cstdlib>

#include "hostctl/engine_library.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // These binaries test what scripts do, not how long a script may run: the limit is
    // only the backstop for a run that never ends. It leaves room for the large pages they
    // use (a discovery over 1,000 elements takes seconds on a loaded machine).
    setenv("QIRLEN_SCRIPT_TIMEOUT_MS", "60000", 0);
    qirlen::Session engine;
    if (!engine.Ok()) {
        std::fprintf(stderr, "no engine: %s\n", engine.Error().c_str());
        return 1;
    }
    if (!hostctl::EngineLibrary::Load()) return 1;
    return RUN_ALL_TESTS();  // the engine ends with the last session
}
