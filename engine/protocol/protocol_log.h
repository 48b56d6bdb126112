#pragma once
// The protocol log (QIRLEN_PROTOCOL_LOG): every protocol message on stderr, for diagnosing the
// engine, and with them every exception the engine catches and goes on after.
#include <string>

namespace engine {

// Each start of the engine sets it from its options; before any start, the environment says.
void SetProtocolLog(bool on);
// `direction` ">>" for what is sent, "<<" for what arrives.
void LogProtocol(const char* direction, const std::string& text);
// Only inside a catch block: names the exception being handled and what was being done.
void TraceCaught(const char* doing);

}  // namespace engine
