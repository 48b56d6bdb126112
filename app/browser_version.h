#pragma once
// The browser the program would run, for --version: its path and what it says its version is.
#include <string>

namespace app {

// "browser: PATH (VERSION)", or why there is none. Asking the browser its version is bounded
// by `limitMs`: a browser that does not answer in time is named without it.
std::string BrowserLine(int limitMs = 2000);

// The first line `binary --version` prints within `limitMs`, trimmed; empty when it prints
// none in time (it is then killed, with anything it started).
std::string AskVersion(const std::string& binary, int limitMs);

}  // namespace app
