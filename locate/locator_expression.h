#pragma once
// The locator expression: page script that declares `l_Object`, makes it hold the located
// element and, when there is none, tells the program through Elementundefined.
#include <cstdint>
#include <string>

namespace locate {

// The tail every expression ends with (but "expression"/"All" without "==").
extern const char kMissingElementTail[];

// The expression for a kind, text and index, with no side effects. For "coordinates" the
// page must have GetNowFrameId in its frames (see BuildLocatorExpression). Caller texts are
// escaped for the string literals they go in; an unknown kind gives the tail alone.
std::string LocatorExpression(const std::string& kind, const std::string& text, int32_t index);

}  // namespace locate
