#include "app/cli_options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>

#include "platform/codepage.h"

namespace app {
namespace {

constexpr int kWaitSeconds = 30;

// A positive whole number of seconds, or nothing.
std::optional<int> Seconds(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno || value <= 0 || value > 86400) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

std::string ArgumentText(const char* argument) {
    std::string bytes = argument ? argument : "";
    return platform::IsValidUtf8(bytes) ? platform::Utf8ToGbk(bytes) : bytes;
}

ParsedOptions ParseCliOptions(int argc, char** argv) {
    ParsedOptions parsed;
    CliOptions& o = parsed.options;
    const std::map<std::string, bool*> flags = {
        {"--cli", &o.cli},   {"--help", &o.help}, {"-h", &o.help},    {"--version", &o.version},
        {"--list", &o.list}, {"--json", &o.json}, {"--copy", &o.copy}};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string name = arg.substr(0, arg.find('='));
        bool inlineValue = arg.find('=') != std::string::npos && arg.rfind("--", 0) == 0;
        if (auto flag = flags.find(arg); flag != flags.end()) {
            *flag->second = true;
        } else if (name == "--wait") {
            // Alone, the pace a platform that bans frequent visitors tolerates.
            std::optional<int> seconds = inlineValue ? Seconds(arg.substr(7)) : kWaitSeconds;
            if (!seconds) return {o, "--wait=SECONDS needs a positive number of seconds"};
            o.waitSeconds = *seconds;
        } else if (name == "--timeout" || name == "--quality" || name == "--codec" ||
                   name == "--format" || name == "--browser") {
            std::string value;
            if (inlineValue)
                value = arg.substr(name.size() + 1);
            else if (i + 1 < argc)
                value = argv[++i];
            else
                return {o, name + " needs a value"};
            if (name == "--browser") {
                if (value.empty()) return {o, "--browser needs a URL"};
                o.browserUrl = value;
            } else if (name == "--quality") {
                if (value.empty()) return {o, "--quality needs a name"};
                o.quality = ArgumentText(value.c_str());
            } else if (name == "--codec") {
                if (value != "h264" && value != "h265")
                    return {o, "--codec takes h264 or h265, not '" + value + "'"};
                o.codec = value;
            } else if (name == "--format") {
                if (value != "hls" && value != "flv")
                    return {o, "--format takes hls or flv, not '" + value + "'"};
                o.flv = value == "flv";
            } else if (auto seconds = Seconds(value)) {
                o.timeoutSeconds = *seconds;
            } else {
                return {o, "--timeout needs a positive number of seconds, not '" + value + "'"};
            }
        } else if (arg.rfind("--", 0) == 0 && arg.size() > 2) {
            return {o, "unknown option " + arg};
        } else {
            o.links.push_back(arg == "-" ? arg : ArgumentText(argv[i]));
        }
    }
    bool haveLink = !o.links.empty();
    if (o.cli && !haveLink && !o.help && !o.version) return {o, "--cli needs a LINK"};
    if (!o.cli && haveLink) return {o, "a LINK needs --cli"};
    bool stdinLinks = std::find(o.links.begin(), o.links.end(), "-") != o.links.end();
    if (stdinLinks && o.links.size() > 1) return {o, "- (links from standard input) stands alone"};
    if (o.list && (o.links.size() > 1 || stdinLinks)) return {o, "--list takes one LINK"};
    if (o.waitSeconds && (o.links.size() > 1 || stdinLinks)) return {o, "--wait takes one LINK"};
    return parsed;
}

}  // namespace app
