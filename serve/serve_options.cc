#include "serve/serve_options.h"

#include <cstdlib>
#include <optional>

namespace serve {

const char* const kServeHelp =
    "Usage: qirlen serve [--listen ADDR:PORT] [--pace SECONDS] [--recheck SECONDS]\n"
    "                    [--timeout SECONDS] [--browser URL]...\n"
    "                    [--rooms FILE [--interval SECONDS] [--on-live COMMAND]]\n"
    "\n"
    "The resolver as a service: one browser kept between requests, answers cached until the\n"
    "address's signature ends, page loads to the platform spaced apart.\n"
    "\n"
    "  GET /douyin/<web_rid>[.m3u8|.flv]   302 Found to the room's current address\n"
    "  GET /douyin?url=<link or shared text>   the same for a share link\n"
    "      ?quality=NAME&codec=h264|h265&format=hls|flv   as qirlen --cli takes them\n"
    "  GET /douyin/<web_rid>.json          the room as qirlen --cli --json gives it\n"
    "  GET /healthz, GET /metrics          liveness, and counters in Prometheus's format\n"
    "  GET /rooms, GET /playlist.m3u       the watched rooms as JSON, and as an M3U playlist\n"
    "  GET /events                         their changes as Server-Sent Events (live,\n"
    "                                      offline, title, failed)\n"
    "\n"
    "--listen    where to listen (default 127.0.0.1:8090; anything but loopback lets other\n"
    "            machines resolve rooms through this one)\n"
    "--pace      seconds between page loads to the platform, all rooms together (default 2)\n"
    "--recheck   seconds after which a kept address is confirmed with the CDN (default 60)\n"
    "--timeout   seconds one resolve may take (default 30)\n"
    "--browser   attach to a running Chromium instead of starting one; with several, the\n"
    "            next is used when one cannot be reached, and the first again later\n"
    "--rooms     watch the rooms of FILE: one link (or web id) per line, quality=, codec=,\n"
    "            format= after it, # comments; read again on SIGHUP\n"
    "--interval  seconds between two checks of one room (default 60), the rooms' checks\n"
    "            spread over it\n"
    "--on-live   run /bin/sh -c COMMAND when a room goes live, the room in its environment:\n"
    "            QIRLEN_ROOM (web id), QIRLEN_TITLE, QIRLEN_OWNER, QIRLEN_URL (the stream\n"
    "            address), QIRLEN_LINK (this service's stable link)\n";

namespace {

std::optional<double> Seconds(const std::string& text) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value > 0) || value > 86400) return std::nullopt;
    return value;
}

bool ReadListen(const std::string& text, ServeOptions& o) {
    size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::string host = text.substr(0, colon), port = text.substr(colon + 1);
    if (host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    char* end = nullptr;
    long number = std::strtol(port.c_str(), &end, 10);
    if (port.empty() || *end != '\0' || number < 0 || number > 65535) return false;
    o.address = host;
    o.port = static_cast<unsigned short>(number);
    return true;
}

}  // namespace

ParsedServeOptions ParseServeOptions(int argc, char** argv) {
    ParsedServeOptions parsed;
    ServeOptions& o = parsed.options;
    for (int i = 0; i < argc && parsed.error.empty(); ++i) {
        std::string arg = argv[i], value;
        size_t equals = arg.find('=');
        bool inline_ = arg.rfind("--", 0) == 0 && equals != std::string::npos;
        if (inline_) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
        }
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            continue;
        }
        bool known = arg == "--listen" || arg == "--pace" || arg == "--recheck" ||
                     arg == "--timeout" || arg == "--browser" || arg == "--rooms" ||
                     arg == "--interval" || arg == "--on-live";
        if (!known) {
            parsed.error = "unknown option " + arg;
            break;
        }
        if (!inline_) {
            if (i + 1 >= argc) {
                parsed.error = arg + " needs a value";
                break;
            }
            value = argv[++i];
        }
        if (arg == "--listen") {
            if (!ReadListen(value, o)) parsed.error = "--listen takes ADDRESS:PORT";
        } else if (arg == "--browser") {
            o.browserUrls.push_back(value);
        } else if (arg == "--rooms" || arg == "--on-live") {
            if (value.empty()) parsed.error = arg + " needs a value";
            (arg == "--rooms" ? o.roomsFile : o.onLive) = value;
        } else {
            std::optional<double> seconds = Seconds(value);
            if (!seconds) {
                parsed.error = arg + " needs a positive number of seconds";
            } else if (arg == "--pace" || arg == "--interval") {
                (arg == "--pace" ? o.pace : o.interval) =
                    std::chrono::milliseconds(static_cast<long long>(*seconds * 1000));
            } else if (arg == "--recheck") {
                o.recheck = std::chrono::seconds(static_cast<long long>(*seconds));
            } else {
                o.timeout = std::chrono::seconds(static_cast<long long>(*seconds));
            }
        }
    }
    if (parsed.error.empty() && o.roomsFile.empty() && !o.onLive.empty())
        parsed.error = "--on-live needs --rooms";
    return parsed;
}

}  // namespace serve
