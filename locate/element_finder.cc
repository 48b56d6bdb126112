// The operations that only locate: the expression itself, whether an element is there,
// where a "coordinates" locator ended, the mark, and the three readers of an address.
#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "locate/element_operation.h"
#include "locate/locator_expression.h"
#include "platform/diagnosis.h"

extern "C" const char locate_tag_element_js[];
extern "C" const char locate_read_xpath_js[];
extern "C" const char locate_read_selector_js[];
extern "C" const char locate_css_selector_generator_js[];

namespace locate {
namespace {

using automation::Bridge;
using automation::FrameId;
using automation::RunScript;

// Every frame gets a GetNowFrameId that reports its own number, so that the point lookup
// can tell in which frame it ended.
void InstallFrameReporters(ElementFinder& web) {
    std::vector<int32_t> frames;
    web.GetFrameIds(frames);
    for (int32_t frame : frames)
        RunScript(web.GetView(), frame,
                  "function GetNowFrameId(){window.top.enumresources('frameCount'," +
                      std::to_string(frame) + ");}",
                  false);
    Bridge().frameRecordReply = -1;
}

Outcome Run(ElementFinder& web, const std::string& kind, const std::string& text, int32_t index,
            FrameId frame, const ElementOperation& operation) {
    return RunElementOperation(web, {kind, text, index, frame}, operation);
}

// A reader sends its page function after the expression and reports what it gives.
ElementOperation Reader(const char* definition, const char* call) {
    return {"",
            std::string("\r\n") + definition + "\r\nwindow.top.GetAttributeBack(" + call + ");\r\n",
            true};
}

}  // namespace

std::string ElementFinder::BuildLocatorExpression(const std::string& kind, const std::string& text,
                                                  int32_t index) {
    Bridge().elementMissing = false;
    // The results of a misspelled kind look like those of a missing element or a failed run.
    if (!IsLocatorKind(kind)) platform::ReportDiagnosis(DescribeUnknownKind(kind));
    if (kind == "coordinates" && GetView()) InstallFrameReporters(*this);
    return LocatorExpression(kind, text, index);
}

bool ElementFinder::ElementExists(const std::string& kind, const std::string& text, int32_t index,
                                  FrameId frame) {
    Run(*this, kind, text, index, frame,
        {"", "\r\nwindow.top.GetAttributeBack(l_Object != null);", true});
    return GetView() && Bridge().attributeReply == "true";
}

int32_t ElementFinder::GetLocatedFrame() {
    return Bridge().frameRecordReply;
}

bool ElementFinder::MarkElement(const std::string& kind, const std::string& text, int32_t index,
                                FrameId frame) {
    return ActionResult(Run(*this, kind, text, index, frame,
                            {locate_tag_element_js, "\r\nTagElement(l_Object);", false}));
}

std::string ElementFinder::GetElementXPath(const std::string& kind, const std::string& text,
                                           int32_t index, FrameId frame) {
    return TextResult(
        Run(*this, kind, text, index, frame, Reader(locate_read_xpath_js, "readXPath(l_Object)")));
}

std::string ElementFinder::GetElementPath(const std::string& kind, const std::string& text,
                                          int32_t index, FrameId frame) {
    return TextResult(Run(*this, kind, text, index, frame,
                          Reader(locate_read_selector_js, "readSelector(l_Object)")));
}

std::string ElementFinder::GetElementSelector(const std::string& kind, const std::string& text,
                                              int32_t index, FrameId frame) {
    return TextResult(
        Run(*this, kind, text, index, frame,
            {"",
             std::string("\r\n") + locate_css_selector_generator_js +
                 "\r\nCssSelector = new CssSelectorGenerator;\r\nwindow.top.GetAttributeBack("
                 "CssSelector.getSelector(l_Object));",
             true}));
}

}  // namespace locate
