#pragma once
// What an element operation names its target by: a kind word, its text, which of several
// matches (from 0) and the frame whose document is searched. Texts are the program's
// (GBK, or UTF-8 after the switch).
#include <cstdint>
#include <string>

namespace locate {

using FrameId = int32_t;

struct Locator {
    std::string kind;  // "getElementById", "XPath", ... compared byte for byte
    std::string text;
    int32_t index = 0;
    FrameId frameId = 1;
};

}  // namespace locate
