// Discovery: every element with an id, class name, tag name or name, frame by frame, with
// a CSS selector that picks exactly it.
#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "locate/element_finder.h"
#include "locate/every_frame.h"
#include "locate/script_literal.h"
#include "platform/codepage.h"
#include "platform/text_encoding.h"

extern "C" const char locate_css_selector_generator_js[];

namespace locate {
namespace {

using automation::Api;
using automation::Bridge;
using automation::ElementInfo;
using automation::FrameId;
using automation::RunScript;

constexpr const char kFramePlaceholder[] = "我是当前框架";

// Reports every element of l_Dom, a list the template's lookup made. Reading them changes
// nothing, so their selectors are named all at once.
constexpr const char kReportList[] =
    "var Frames = 我是当前框架;\r\nvar l_Selectors = CssSelector.getSelectors(l_Dom);\r\n"
    "var i = 0;\r\nfor (i = 0; i < l_Dom.length; i++) {\r\n    "
    "window.top.GetElementInformation(l_Dom[i].id, l_Dom[i].innerText, l_Dom[i].outerHTML, "
    "l_Dom[i].nodeName, l_Dom[i].className, Frames, l_Selectors[i]);\r\n}";

struct Template {
    const char* placeholder;
    std::string text;
};

const Template kById{
    "我是需要替换的ID",
    "var CssSelector = new CssSelectorGenerator;\r\nvar ID = \"我是需要替换的ID\";\r\nvar l_Dom = "
    "document.getElementById(ID);\r\nvar Frames = 我是当前框架;\r\n"
    "if (l_Dom) window.top.GetElementInformation(ID,l_Dom.innerText , l_Dom.outerHTML, "
    "l_Dom.nodeName, l_Dom.className, Frames, CssSelector.getSelector(l_Dom));\r\n"};
const Template kByClassName{
    "我是需要替换的ClassName",
    std::string("var CssSelector = new CssSelectorGenerator;\r\nvar ClassName = "
                "\"我是需要替换的ClassName\";\r\nvar l_Dom = "
                "document.getElementsByClassName(ClassName);\r\n") +
        kReportList};
const Template kByTagName{
    "我是需要替换的TagName",
    std::string("var TagName = \"我是需要替换的TagName\";\r\nvar CssSelector = "
                "new CssSelectorGenerator;\r\nvar l_Dom = "
                "document.getElementsByTagName(TagName);\r\n") +
        kReportList};
const Template kByName{"我是需要替换的Name",
                       std::string("var CssSelector = new CssSelectorGenerator;\r\nvar Name = "
                                   "\"我是需要替换的Name\";\r\nvar l_Dom = "
                                   "document.getElementsByName(Name);\r\n") +
                           kReportList};

// The templates are written in UTF-8 here; the program's scripts are GBK.
std::string Gbk(const char* utf8) {
    return platform::Utf8ToText(utf8);
}

// A frame whose run failed (a getter threw, the frame went away) fails the whole search: a
// list that silently lacks that frame's elements would look complete. A frame without the
// id is not a failure: the template reports nothing there.
bool Discover(ElementFinder& web, const Template& kind, const std::string& value,
              std::vector<ElementInfo>& list, FrameId only) {
    if (!web.GetView() || !Api().wkeRunJsByFrame) return false;
    Bridge().elementInfoList.clear();
    const std::string generator = locate_css_selector_generator_js;
    const std::string text = Gbk(kind.text.c_str());
    const std::string escaped = EscapeForScriptLiteral(value);
    bool allRan = true;
    auto search = [&](FrameId frame) {
        if (!allRan) return;
        // The frame number goes in first: the caller's value may spell either placeholder.
        std::string numbered = ReplaceAll(text, Gbk(kFramePlaceholder), std::to_string(frame));
        allRan = RunScript(web.GetView(), frame,
                           generator + ReplaceAll(numbered, Gbk(kind.placeholder), escaped), false);
    };
    if (only == ElementFinder::kAllFrames)
        InEveryFrame(web, search);
    else
        search(only);
    if (allRan)
        list = Bridge().elementInfoList.entries();
    else
        list.clear();
    return allRan;
}

}  // namespace

bool ElementFinder::FindElementsById(const std::string& id, std::vector<ElementInfo>& list,
                                     FrameId frame) {
    return Discover(*this, kById, id, list, frame);
}

bool ElementFinder::FindElementsByClassName(const std::string& className,
                                            std::vector<ElementInfo>& list, FrameId frame) {
    return Discover(*this, kByClassName, className, list, frame);
}

bool ElementFinder::FindElementsByTagName(const std::string& tagName,
                                          std::vector<ElementInfo>& list, FrameId frame) {
    return Discover(*this, kByTagName, tagName, list, frame);
}

bool ElementFinder::FindElementsByName(const std::string& name, std::vector<ElementInfo>& list,
                                       FrameId frame) {
    return Discover(*this, kByName, name, list, frame);
}

}  // namespace locate
