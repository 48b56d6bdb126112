#pragma once
// `qirlen serve`'s command line.
#include <chrono>
#include <string>
#include <vector>

namespace serve {

struct ServeOptions {
    std::string address = "127.0.0.1";  // loopback unless another is named
    unsigned short port = 8090;
    std::chrono::milliseconds pace{2000};       // between page loads to the platform
    std::chrono::seconds recheck{60};           // an older answer is confirmed with the CDN
    std::chrono::seconds timeout{30};           // one resolve, the browser's start included
    std::vector<std::string> browserUrls;       // browsers elsewhere, used in turn (UTF-8)
    std::string roomsFile;                      // the rooms to watch; empty for none
    std::chrono::milliseconds interval{60000};  // between two checks of one watched room
    std::string onLive;                         // the command for a room that went live
    bool help = false;
};

struct ParsedServeOptions {
    ServeOptions options;
    std::string error;  // why the options cannot be used (UTF-8), else empty
};

// The arguments after "serve".
ParsedServeOptions ParseServeOptions(int argc, char** argv);

extern const char* const kServeHelp;

}  // namespace serve
