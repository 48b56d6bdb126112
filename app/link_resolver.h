#pragma once
// One link resolved in the browser's view and judged as the command line judges it: the
// exit status and the one line that says why there is no address. The command line prints
// the answer; the service hands it to its clients.
#include <chrono>
#include <memory>
#include <string>

#include "app/cli_browser.h"
#include "app/cli_options.h"
#include "app/stream_workflow.h"

namespace app {

struct LinkResult {
    std::unique_ptr<StreamWorkflow> workflow;  // the last try's: the room and the address
    int code = 0;                              // the command line's exit status
    std::string line;                          // why not (UTF-8); empty on success
    bool refused = false;  // the platform refused, failed or asked for a verification
};

// Resolves `link` (GBK) with the options' wish, until `deadline` unless `untilGuard` leaves
// the time to the run's guard. A browser that died under the link gives it one more try in
// a new one; a page that did not load or answer puts the browser in doubt.
LinkResult ResolveInBrowser(CliBrowser& browser, const std::string& link, const CliOptions& o,
                            std::chrono::steady_clock::time_point deadline, bool untilGuard);

// "qirlen: no page arrived within N seconds".
std::string TimeoutLine(const CliOptions& o);

}  // namespace app
