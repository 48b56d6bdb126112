// Lists of one everyday kind of element (text boxes, buttons, images, links, radio buttons,
// check boxes) across every frame, optionally numbered in the page.
#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "locate/every_frame.h"
#include "ops/element_call.h"
#include "ops/element_operations.h"
#include "platform/codepage.h"
#include "platform/text_encoding.h"

extern "C" const char locate_css_selector_generator_js[];
extern "C" const char ops_find_typed_elements_js[];

namespace ops {
namespace {

using automation::Api;
using automation::Bridge;
using automation::ElementInfo;
using automation::FrameId;
using automation::RunScript;
struct TypedList {
    const char* tagName;
    const char* typeFilter;
    const char* attributeName;
    const char* markText;  // UTF-8 here; the script is GBK
};

constexpr TypedList kTextBoxes{"input", "text|password|file", "value", "文本框"};
constexpr TypedList kButtons{"input", "button|submit|reset", "value", "按钮"};
constexpr TypedList kImages{"img", "", "value", "图片"};
constexpr TypedList kLinks{"a", "", "outerHTML", "链接"};
constexpr TypedList kRadioButtons{"input", "radio", "outerHTML", "单选框"};
constexpr TypedList kCheckBoxes{"input", "checkbox", "outerHTML", "复选框"};

bool ListTyped(ElementOperations& web, const TypedList& kind, bool mark,
               std::vector<ElementInfo>& list) {
    if (!web.GetView() || !Api().wkeRunJsByFrame) return false;
    list.clear();
    Bridge().elementInfoList.clear();
    const std::string markText = platform::Utf8ToText(kind.markText);
    // A frame whose run failed (a getter threw) fails the list: its elements would be
    // missing from a list that looks complete.
    bool allRan = true;
    locate::InEveryFrame(web, [&](FrameId frame) {
        if (!allRan) return;
        allRan = RunScript(web.GetView(), frame,
                           web.BuildTypedListScript(kind.tagName, kind.typeFilter, mark,
                                                    kind.attributeName, markText, frame),
                           true);
    });
    if (allRan) list = Bridge().elementInfoList.entries();
    return allRan;
}

}  // namespace

std::string ElementOperations::BuildTypedListScript(const std::string& tagName,
                                                    const std::string& typeFilter, bool mark,
                                                    const std::string& attributeName,
                                                    const std::string& markText,
                                                    int32_t frameNumber) {
    std::string script = locate_css_selector_generator_js;
    script += "var CssSelector = new CssSelectorGenerator;\r\n";
    script += ops_find_typed_elements_js;
    script += "\r\ni_FindElement('" + Quoted(tagName) + "','" + Quoted(typeFilter) + "'," +
              std::to_string(frameNumber) + "," + (mark ? "1" : "0") + ",'" +
              Quoted(attributeName) + "','" + Quoted(markText) + "');";
    Bridge().elementMissing = false;
    return script;
}

bool ElementOperations::ListTextBoxes(bool mark, std::vector<ElementInfo>& list) {
    return ListTyped(*this, kTextBoxes, mark, list);
}

bool ElementOperations::ListButtons(bool mark, std::vector<ElementInfo>& list) {
    return ListTyped(*this, kButtons, mark, list);
}

bool ElementOperations::ListImages(bool mark, std::vector<ElementInfo>& list) {
    return ListTyped(*this, kImages, mark, list);
}

bool ElementOperations::ListLinks(bool mark, std::vector<ElementInfo>& list) {
    return ListTyped(*this, kLinks, mark, list);
}

bool ElementOperations::ListRadioButtons(bool mark, std::vector<ElementInfo>& list) {
    return ListTyped(*this, kRadioButtons, mark, list);
}

bool ElementOperations::ListCheckBoxes(bool mark, std::vector<ElementInfo>& list) {
    return ListTyped(*this, kCheckBoxes, mark, list);
}

}  // namespace ops
