#pragma once
// The one way every element operation talks to the page: locate the element, run the
// operation's statements on `l_Object` in the locator's frame, and tell how it went.
#include <string>
#include <string_view>

#include "locate/element_finder.h"
#include "locate/locator.h"

namespace locate {

enum class Outcome {
    kNoView,   // nothing ran
    kMissing,  // the locator named no element
    kFailed,   // the script threw, did not parse or named no frame
    kDone,
};

struct ElementOperation {
    std::string before;       // page functions sent ahead of the expression
    std::string after;        // the operation's own text: starts with "\r\n", uses l_Object
    bool readsValue = false;  // empties attributeReply first
};

// How a run differs for an operation that brings its own library.
struct RunStyle {
    bool inClosure = false;       // page variables stay local to the run
    std::string_view utf8Before;  // sent first, as it is: a library that is UTF-8 already
};

// Runs `operation` on the element `locator` names (as a rule outside a closure, so that
// `l_Object` and the page functions stay defined in that frame).
Outcome RunElementOperation(ElementFinder& web, const Locator& locator,
                            const ElementOperation& operation, const RunStyle& style = {});

// What an action returns: true only when it ran on an element.
bool ActionResult(Outcome outcome);
// What a text reader returns: attributeReply when done, "undefined" for a missing element,
// otherwise the empty text.
std::string TextResult(Outcome outcome);

}  // namespace locate
