#pragma once
// The command line: the same fetch as the window, for a terminal or a headless server.

namespace app {

// Exit codes of `qirlen --cli LINK`.
enum CliExit {
    kCliSuccess = 0,
    kCliNoDisplay = 1,       // the window cannot open
    kCliFailureMessage = 2,  // no stream, the live has ended, or no such quality
    kCliWrongLink = 3,
    kCliLoadFailed = 4,    // the load failed, no page arrived in time, or no browser
    kCliVerification = 5,  // the platform asks to prove a person is there
    kCliWriteFailed = 6,   // the answer could not be written to standard output
    kCliUsage = 64,
};

// Handles the arguments when they ask for the command line or help; returns -1 when the
// window should open instead.
int RunCommandLine(int argc, char** argv);

}  // namespace app
