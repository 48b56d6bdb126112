#include "platform/diagnosis.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace platform {

void ReportDiagnosis(std::string_view text) {
    if (!std::getenv("QIRLEN_PROTOCOL_LOG")) return;
    constexpr size_t kMaxShown = 600;  // as much of a text as the engine's log shows
    // A page's words (an error it threw) stay on their one line.
    std::string line(text.substr(0, kMaxShown));
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    double ms = std::chrono::duration<double, std::milli>(
                    std::chrono::steady_clock::now().time_since_epoch())
                    .count();
    std::fprintf(stderr, "%.3f !! %s\n", ms, line.c_str());
}

}  // namespace platform
