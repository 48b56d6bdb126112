#pragma once
// The command line Chromium is started with.
#include <string>
#include <vector>

namespace engine {

// Every switch the engine starts Chromium with, each for a stated reason, then `extra` (the
// host's proxy and the user's own switches, which come last so that they win).
std::vector<std::string> ChromiumSwitches(const std::string& profileDir,
                                          const std::vector<std::string>& extra = {});

}  // namespace engine
