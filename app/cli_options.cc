#include "app/cli_options.h"

#include <cerrno>
#include <cstdlib>
#include <map>

#include "platform/codepage.h"

namespace app {
namespace {

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
    bool haveLink = false;
    const std::map<std::string, bool*> flags = {
        {"--cli", &o.cli},   {"--help", &o.help}, {"-h", &o.help},    {"--version", &o.version},
        {"--list", &o.list}, {"--json", &o.json}, {"--copy", &o.copy}};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string name = arg.substr(0, arg.find('='));
        bool inlineValue = arg.find('=') != std::string::npos && arg.rfind("--", 0) == 0;
        if (auto flag = flags.find(arg); flag != flags.end()) {
            *flag->second = true;
        } else if (name == "--timeout" || name == "--quality" || name == "--browser") {
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
            } else if (auto seconds = Seconds(value)) {
                o.timeoutSeconds = *seconds;
            } else {
                return {o, "--timeout needs a positive number of seconds, not '" + value + "'"};
            }
        } else if (arg.rfind("--", 0) == 0 && arg.size() > 2) {
            return {o, "unknown option " + arg};
        } else if (!haveLink) {
            o.link = ArgumentText(argv[i]);
            haveLink = true;
        } else {
            return {o, "unexpected argument " + arg};
        }
    }
    if (o.cli && !haveLink && !o.help && !o.version) return {o, "--cli needs a LINK"};
    if (!o.cli && haveLink) return {o, "a LINK needs --cli"};
    return parsed;
}

}  // namespace app
