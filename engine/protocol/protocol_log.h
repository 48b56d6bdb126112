#pragma once
// QIRLEN_PROTOCOL_LOG=1 writes every protocol message to stderr, for diagnosing the engine,
// and with them every exception the engine catches and goes on after.
#include <string>

namespace engine {

// `direction` ">>" for what is sent, "<<" for what arrives.
void LogProtocol(const char* direction, const std::string& text);
// Only inside a catch block: names the exception being handled and what was being done.
void TraceCaught(const char* doing);

}  // namespace engine
