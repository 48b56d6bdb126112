#pragma once
// What the library writes to stderr for whoever diagnoses a program, with QIRLEN_PROTOCOL_LOG
// on (or off), while one operation runs; the switch is off afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace testsupport {

inline std::string Diagnosed(const std::function<void()>& operation, bool logOn = true) {
    if (logOn)
        setenv("QIRLEN_PROTOCOL_LOG", "1", 1);
    else
        unsetenv("QIRLEN_PROTOCOL_LOG");
    testing::internal::CaptureStderr();
    operation();
    std::string said = testing::internal::GetCapturedStderr();
    unsetenv("QIRLEN_PROTOCOL_LOG");
    return said;
}

}  // namespace testsupport
