// Operations repeated in every frame of the page, lowest frame number first.
#include "automation/script_bridge.h"
#include "locate/every_frame.h"
#include "ops/element_operations.h"

namespace ops {

using automation::Bridge;

bool ElementOperations::MarkElementInAllFrames(const std::string& kind, const std::string& text,
                                               int32_t index) {
    return locate::InEveryFrame(*this, [&](FrameId f) { MarkElement(kind, text, index, f); });
}

bool ElementOperations::ClickElementInAllFrames(const std::string& kind, const std::string& text,
                                                int32_t index) {
    return locate::InEveryFrame(*this, [&](FrameId f) { ClickElement(kind, text, index, f); });
}

bool ElementOperations::FocusElementInAllFrames(const std::string& kind, const std::string& text,
                                                int32_t index) {
    return locate::InEveryFrame(*this, [&](FrameId f) { FocusElement(kind, text, index, f); });
}

bool ElementOperations::BlurElementInAllFrames(const std::string& kind, const std::string& text,
                                               int32_t index) {
    return locate::InEveryFrame(*this, [&](FrameId f) { BlurElement(kind, text, index, f); });
}

// A frame without the element does not count: its "undefined" would otherwise hide what a
// lower frame found. Only when no frame holds the element is the answer "undefined".
std::string ElementOperations::GetElementAttributeInAllFrames(const std::string& kind,
                                                              const std::string& text,
                                                              int32_t index,
                                                              const std::string& name) {
    std::string kept;
    bool found = false;
    bool ran = locate::InEveryFrame(*this, [&](FrameId f) {
        std::string reply = GetElementAttribute(kind, text, index, name, f);
        if (Bridge().elementMissing) return;
        found = true;
        if (!reply.empty()) kept = reply;
    });
    if (!ran) return {};
    return found ? kept : "undefined";
}

std::string ElementOperations::GetElementAttributeInAllFrames(const std::string& kind,
                                                              const std::string& text,
                                                              const std::string& name) {
    return GetElementAttributeInAllFrames(kind, text, 0, name);
}

}  // namespace ops
