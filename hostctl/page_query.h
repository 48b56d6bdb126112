#pragma once
// Reading the inner HTML of one element of a view's page, and turning the engine's UTF-8
// into the program's GBK text.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/capi/wke.h"

namespace hostctl {

class PageQuery {
  public:
    // kind 1: attribute or content selector; any other kind: CSS selector.
    // index is 1-based; 0 or less counts as 1.
    // The element's innerHTML as the engine renders it (UTF-8), "undefined" when the element
    // is missing, empty when there is no view or no engine. Read like Evaluate, apart from the
    // page's script.
    std::string Query(wkeWebView view, int kind, const std::string& selector, int index);

    // Runs a UTF-8 script (a function body that returns a value) in the main frame's document,
    // in a world of the host's own (the page's globals and built-ins out of its sight), and
    // gives its value as text (UTF-8); empty when there is no view or no engine.
    std::string Evaluate(wkeWebView view, const std::string& utf8Script);

    // The script Query evaluates (GBK).
    static std::string BuildScript(int kind, const std::string& selector, int index);

    const std::string& last() const { return last_; }
    // The last read did not run to its end: it threw, was stopped, or the page never let it
    // run (a page busy for good, a crashed page). An engine without the entry point never
    // says so.
    bool lastFailed() const { return lastFailed_; }

  private:
    std::string last_;
    bool lastFailed_ = false;
};

// The UTF-8 text as GBK; empty when it does not convert.
std::string ConvertUtf8(const std::string& utf8);
std::string ConvertUtf8(const std::vector<uint8_t>& utf8);
// An address handed over as an integer cannot be checked here, so it is never read: the
// result is always empty.
std::string ConvertUtf8(intptr_t address);

}  // namespace hostctl
