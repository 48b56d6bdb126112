#pragma once
// What every element operation of ops/ shares: the result kinds over the one
// element-operation pattern, and the fragments that hand a value back or fetch one.
#include <string>
#include <string_view>

#include "locate/element_finder.h"
#include "locate/element_operation.h"
#include "locate/locator.h"

namespace ops {

using locate::ElementFinder;
using locate::Locator;

// "\r\nwindow.top.GetAttributeBack(<expression>);": hands one value of the page back.
std::string ReadBack(std::string_view expression);
// A caller's text for the inside of a quoted script literal: the page receives it exactly.
std::string Quoted(std::string_view text);
// Whether `name` can follow "l_Object." as a method name (ASCII identifier).
bool IsMethodName(std::string_view name);
// The view handle as the page passes it to Getvalue: signed decimal.
std::string ViewNumber(const automation::ViewAutomation& web);
std::string Word(bool value);  // "true" or "false"

// Text result: the reply; "undefined" for a missing element; empty without a view or when
// the script failed.
std::string ReadText(ElementFinder& web, const Locator& locator, const std::string& fragment);
// Property result: the reply equals `expected`, the element found and the script ran.
bool ReadProperty(ElementFinder& web, const Locator& locator, const std::string& fragment,
                  std::string_view expected);
// Status result: the statements ran on the element. `before` is sent ahead of the locator.
bool Act(ElementFinder& web, const Locator& locator, const std::string& fragment,
         const std::string& before = "");
// Hands `value` to the page through valueToSupply and assigns it to l_Object.<property>.
// Only this operation's run can fetch it, and it is gone when the operation returns.
bool Supply(ElementFinder& web, const Locator& locator, const std::string& property,
            const std::string& value);

}  // namespace ops
