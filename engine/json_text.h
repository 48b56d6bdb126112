#pragma once
// Parsing protocol text that may carry JavaScript strings with lone surrogates: Chromium
// and JSON.stringify write them as \ud800-style escapes, which a strict parser rejects.
#include <nlohmann/json.hpp>
#include <string>

namespace engine {

// Parses `text`; a text that fails only because of lone surrogate escapes is parsed with
// each of them replaced by \ufffd. Discarded when it is not JSON.
nlohmann::json ParseLenient(const std::string& text);

}  // namespace engine
