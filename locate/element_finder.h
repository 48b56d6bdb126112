#pragma once
// Element location on top of a view's automation: the locator expression run in the page,
// whether an element is there, discovery of elements by id, class, tag or name, marking, and
// the addresses (XPath, path, CSS selector) of a located element. Kinds and texts first,
// index and frame last.
#include <cstdint>
#include <string>
#include <vector>

#include "automation/script_bridge.h"
#include "automation/view_automation.h"

namespace locate {

class ElementFinder : public automation::ViewAutomation {
  public:
    using ElementInfo = automation::ElementInfo;

    // The script that makes `l_Object` hold the element; clears elementMissing. For
    // "coordinates" it first gives every frame its GetNowFrameId.
    std::string BuildLocatorExpression(const std::string& kind, const std::string& text,
                                       int32_t index = 0);
    bool ElementExists(const std::string& kind, const std::string& text, int32_t index = 0,
                       FrameId frame = 1);
    // After a "coordinates" locator (x;y, a point of the searched frame's document, however
    // it and its frames are scrolled): the frame that holds the element, or -1. That frame's
    // `l_Object` is the element too, so "EnterElement" goes on with it there.
    int32_t GetLocatedFrame();

    // ---- discovery and marking; without a frame, every frame
    static constexpr FrameId kAllFrames = 0;
    bool FindElementsById(const std::string& id, std::vector<ElementInfo>& list,
                          FrameId frame = kAllFrames);
    bool FindElementsByClassName(const std::string& className, std::vector<ElementInfo>& list,
                                 FrameId frame = kAllFrames);
    bool FindElementsByTagName(const std::string& tagName, std::vector<ElementInfo>& list,
                               FrameId frame = kAllFrames);
    bool FindElementsByName(const std::string& name, std::vector<ElementInfo>& list,
                            FrameId frame = kAllFrames);
    bool MarkElement(const std::string& kind, const std::string& text, int32_t index = 0,
                     FrameId frame = 1);
    std::string GetElementXPath(const std::string& kind, const std::string& text, int32_t index = 0,
                                FrameId frame = 1);
    std::string GetElementPath(const std::string& kind, const std::string& text, int32_t index = 0,
                               FrameId frame = 1);
    std::string GetElementSelector(const std::string& kind, const std::string& text,
                                   int32_t index = 0, FrameId frame = 1);
};

}  // namespace locate
