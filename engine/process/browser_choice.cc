#include "engine/process/browser_choice.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <sstream>

#include "engine/options.h"

namespace engine {
namespace {

// The headless shell first: Chromium's light headless build, the same engine and protocol
// without the browser's user interface, starts in about half the time and memory. The full
// browser runs the same pages where the shell is not installed.
constexpr const char* kBrowserNames[] = {"chromium-headless-shell", "chromium", "chromium-browser",
                                         "google-chrome"};

bool IsExecutable(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string SearchPath(const std::string& name) {
    if (name.find('/') != std::string::npos) return IsExecutable(name) ? name : "";
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (IsExecutable(candidate)) return candidate;
    }
    return "";
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : path;
}

// Debian's launchers are shell scripts in front of the binaries. Starting the binary directly
// saves the shell's start-up and checks, and keeps the browser the leader of the process
// group the engine watches: the headless shell's launcher does not even exec, so the browser
// would run as a child of sh and its death would read as sh's exit status.
std::string SkipDebianLauncher(const std::string& path) {
    static const struct {
        const char* launcher;
        const char* binary;
    } kLaunchers[] = {
        {"/usr/bin/chromium", "/usr/lib/chromium/chromium"},
        {"/usr/bin/chromium-headless-shell", "/usr/lib/chromium/chromium-headless-shell"},
    };
    std::string real = RealPath(path);
    for (const auto& l : kLaunchers)
        if (real == l.launcher && IsExecutable(l.binary)) return l.binary;
    return path;
}

}  // namespace

std::string FindChromium(const std::string& chosen) {
    if (!chosen.empty()) {
        std::string found = SearchPath(chosen);
        return found.empty() ? "" : SkipDebianLauncher(found);
    }
    for (const char* name : kBrowserNames) {
        std::string found = SearchPath(name);
        if (!found.empty()) return SkipDebianLauncher(found);
    }
    return "";
}

std::string FindChromium() {
    return FindChromium(ReadEngineOptions().chromium);
}

}  // namespace engine
