#pragma once
// The user's command for a room that went live: run as /bin/sh -c COMMAND with the room's
// texts in its environment only, so that no page text is ever part of what the shell reads.
#include <string>
#include <utility>
#include <vector>

namespace serve {

using Environment = std::vector<std::pair<std::string, std::string>>;

// Starts the command with the service's environment and `extra` (control characters taken
// out of the values) and does not wait for it: it may record for hours. Its standard input
// is /dev/null, its output the service's; it holds none of the service's other descriptors
// (the listening socket among them). False, and why, when it could not be started.
bool StartCommand(const std::string& command, const Environment& extra, std::string& error);

}  // namespace serve
