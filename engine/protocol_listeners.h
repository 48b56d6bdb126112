#pragma once
// The listeners of qirlen_protocol.h, as the engine's event handling reaches them.
#include <nlohmann/json.hpp>
#include <string>

namespace engine {

struct View;

// Hands a view's page event to its listener, if it has one; true when the listener answers
// it instead of the engine (a dialog).
bool ForwardToProtocolListener(const View& view, const std::string& method,
                               const nlohmann::json& params);

}  // namespace engine
