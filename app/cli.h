#pragma once
// The command line: the same fetch as the window, for a terminal or a headless server.

namespace app {

// Exit codes of `qirlen --cli LINK`.
enum CliExit {
    kCliSuccess = 0,
    kCliFailureMessage = 2,  // the page said the element is missing or the live has ended
    kCliWrongLink = 3,
    kCliLoadFailed = 4,  // the load failed, or no page arrived in time
    kCliUsage = 64,
};

// Handles the arguments when they ask for the command line or help; returns -1 when the
// window should open instead.
int RunCommandLine(int argc, char** argv);

}  // namespace app
