#pragma once
// The texts the host hands the engine, made UTF-8.
#include <string>

namespace engine {

// The host's char* texts are GBK (code page 936), like every text of the program; the
// engine works in UTF-8. What does not convert becomes U+FFFD; the rest goes through.
std::string HostText(const char* text);
// The few char* texts that the engine's interface takes as UTF-8, made valid.
std::string Utf8Text(const char* text);

}  // namespace engine
