#pragma once
// Keys by the names programs give them ("Enter", "a", "Control+a"), as the protocol's key
// events describe them.
#include <optional>
#include <string>

namespace qirlen::detail {

struct KeyStroke {
    std::string key, code, text;  // text: what the key types; empty for keys that type nothing
    int keyCode = 0;              // Windows virtual-key code
    int modifiers = 0;            // the protocol's bits: Alt 1, Ctrl 2, Meta 4, Shift 8
};

// Nothing for a name that is not a key.
std::optional<KeyStroke> ParseKey(const std::string& name);

}  // namespace qirlen::detail
