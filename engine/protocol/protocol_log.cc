#include "engine/protocol/protocol_log.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace engine {
namespace {

bool LogOn() {
    static bool on = std::getenv("QIRLEN_PROTOCOL_LOG") != nullptr;
    return on;
}

}  // namespace

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
