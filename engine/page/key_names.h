#pragma once
// The DOM's names for a Windows virtual-key code: the key value and the physical key code
// that a page reads from a keyboard event.
#include <string>

namespace engine {

struct KeyNames {
    std::string key;   // "a", "A", "Enter", "ArrowLeft", ...; "Unidentified" when unknown
    std::string code;  // "KeyA", "Enter", "ArrowLeft", ...; empty when unknown
};

KeyNames DomKeyNames(unsigned virtualKeyCode, bool shift);

}  // namespace engine
