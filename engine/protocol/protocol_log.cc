#include "engine/protocol/protocol_log.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>

#include "engine/options.h"

namespace engine {
namespace {

std::optional<bool> logOn;

bool LogOn() {
    if (!logOn) logOn = ReadEngineOptions().protocolLog;
    return *logOn;
}

}  // namespace

void SetProtocolLog(bool on) {
    logOn = on;
}

void LogProtocol(const char* direction, const std::string& text) {
    if (LogOn())
        std::fprintf(stderr, "%.3f %s %.600s\n",
                     std::chrono::duration<double, std::milli>(
                         std::chrono::steady_clock::now().time_since_epoch())
                         .count(),
                     direction, text.c_str());
}

void TraceCaught(const char* doing) {
    if (!LogOn()) return;
    std::string what = "an exception of no standard type";
    try {
        throw;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
    }
    LogProtocol("!!", std::string(doing) + ": " + what);
}

}  // namespace engine
