#pragma once
// The bridge: the engine's script in every document of a page (bridge.js) through which page
// script calls the bound functions, and how the engine's own runs present themselves to it.
#include <string>
#include <vector>

#include "engine/page/bound_functions.h"

namespace engine {

// The protocol binding the bridge sends calls on, and its function that pauses for an answer.
constexpr const char* kBridgeBinding = "__qirlenCall";
constexpr const char* kBridgeFunction = "__qirlenBridgeCall";

// The bridge's script for `bindings`, named as BridgeUrl() says.
std::string BridgeScript(const std::vector<Binding>& bindings);
// The name the bridge's script carries; every other script, the page's and the host's alike,
// is skipped by the debugger.
const std::string& BridgeUrl();
// What ends a run's script, so that it is named as the bridge is.
const std::string& RunScriptSuffix();
// A new run's token, which run-only functions accept calls under.
std::string NewRunToken();
// Hands the run's token to the bridge of the frame and of the top window (where scripts
// reach the bound functions), on the script's first line so that line numbers stay.
std::string RunPrefix(const std::string& token);

}  // namespace engine
