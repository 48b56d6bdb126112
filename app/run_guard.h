#pragma once
// Ends the program on time and on the terminating signals, whatever its main thread is
// blocked in (a browser that stalls during start-up blocks it inside the engine): a thread
// of its own ends the browser, removes its profile and exits.
#include <chrono>
#include <string>

namespace app::run_guard {

// From now on SIGINT, SIGTERM and SIGHUP end the browser and then the program, with the
// status of a program killed by that signal (128 + the signal, as the shell reports it).
// False when the guard cannot run (no thread or pipe to be had): nothing ends the run then.
bool Start();

// How the guard ends the browser: the engine's wkeTerminateBrowser, once the engine is
// loaded (null: there is no browser to end).
void SetBrowserTerminator(void (*terminate)());

// At `deadline`, unless the run settled before, `line` goes to standard error, the browser
// is ended and the program exits with `exitCode`. After Settle, a new deadline runs again.
void SetDeadline(std::chrono::steady_clock::time_point deadline, const std::string& line,
                 int exitCode);

// The main thread has its answer and reports it: the deadline no longer ends the run (the
// signals still do). When the deadline has already fired, never returns: the program is
// ending on the guard's thread.
void Settle();

}  // namespace app::run_guard
