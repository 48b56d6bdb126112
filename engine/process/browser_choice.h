#pragma once
// Which browser binary the engine starts. The program's --version names it too, so this
// stands alone: it only looks at the environment and the file system.
#include <string>

namespace engine {

// `chosen` (a path, or a name looked up on PATH) when given; else, on PATH,
// chromium-headless-shell, then chromium, chromium-browser, google-chrome. Debian's launcher
// scripts are passed over for the binaries behind them. Empty when none is found.
std::string FindChromium(const std::string& chosen);
// The browser the environment chooses now ($QIRLEN_CHROMIUM, through the engine's options).
std::string FindChromium();

}  // namespace engine
