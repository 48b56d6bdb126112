#pragma once
// The command line's arguments, read as scripts write them.
#include <optional>
#include <string>
#include <vector>

namespace app {

struct CliOptions {
    bool cli = false;  // --cli: fetch without a window
    bool help = false;
    bool version = false;
    std::vector<std::string> links;  // GBK; "-" reads one link per line from standard input
    int timeoutSeconds = 30;
    std::string quality;     // --quality NAME: empty for the best
    std::string codec;       // --codec h264|h265: empty for any
    bool flv = false;        // --format flv: the FLV address instead of the HLS playlist
    bool list = false;       // --list: every quality
    bool json = false;       // --json: the room and the chosen address as JSON
    bool copy = false;       // --copy: the address also on the clipboard
    std::string browserUrl;  // --browser URL: a browser elsewhere to attach to (UTF-8)
    int waitSeconds = 0;     // --wait[=SECONDS]: until the room is live, checked this often
};

// The options, or the one-line reason why they are not usable (UTF-8).
struct ParsedOptions {
    CliOptions options;
    std::string error;
};
ParsedOptions ParseCliOptions(int argc, char** argv);

// An argument as the program's GBK text: UTF-8 converted, anything else taken as GBK already
// (as a Windows program receives its arguments).
std::string ArgumentText(const char* argument);

}  // namespace app
