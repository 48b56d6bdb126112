#pragma once
// The locator expression: page script that declares `l_Object`, makes it hold the located
// element and, when there is none, tells the program through Elementundefined.
#include <cstdint>
#include <string>

namespace locate {

// The tail every expression ends with (but "expression"/"All" without "==").
extern const char kMissingElementTail[];

// Guards between the lookup and the tail, checked with what the engine's bridge took before
// the page's scripts ran. The located guard stops the run unless the frame keeps the
// operations' variables as plain writable values and `l_Object` holds a real element or
// nothing (the empty object of an attribute match that found nothing loses its prototype).
extern const char kLocatedGuard[];
// Clears `l_Object` unless `index` lies within the list `listExpression` gives: past the
// end, an indexed read would fall through to whatever the page put on the prototypes.
std::string IndexGuard(const std::string& listExpression, int32_t index);

// The expression for a kind, text and index, with no side effects. For "coordinates" the
// page must have GetNowFrameId in its frames (see BuildLocatorExpression). Caller texts are
// escaped for the string literals they go in; an unknown kind gives the tail alone.
std::string LocatorExpression(const std::string& kind, const std::string& text, int32_t index);

// Whether `kind` is one of the kinds LocatorExpression knows.
bool IsLocatorKind(const std::string& kind);
// What to tell about a kind that is none of them: the kind it spells in another case, if any,
// what it locates instead, and the kinds there are.
std::string DescribeUnknownKind(const std::string& kind);

}  // namespace locate
