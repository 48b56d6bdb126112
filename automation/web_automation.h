#pragma once
// The browser-automation object: one per web view, everything the library does with a page.
// It is the three layers, each a library of its own and each using only those below it:
//   automation::ViewAutomation (automation/view_automation.h): the view, its page and
//     frames, scripts, settings, device emulation, cookies, raw input;
//   locate::ElementFinder (locate/element_finder.h): locator expressions, whether an
//     element is there, discovery, marking, an element's addresses;
//   ops::ElementOperations (ops/element_operations.h): what is done to a located element,
//     events, typed lists, select lists, tables, forms, pictures, file inputs.
// Every operation first looks at the view and, without one (or without the engine entry
// point it needs), returns its empty result at once. Texts are GBK, or UTF-8 throughout once
// the program switched (qirlen::SetTextEncoding); conversion happens only where they meet
// the engine.
#include "ops/element_operations.h"

namespace automation {

class WebAutomation : public ops::ElementOperations {};

}  // namespace automation
