// The exact script every element operation sends, read from an engine double that records
// it, and the empty results of an object without a view. No browser.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "automation/web_automation.h"
#include "locate/locator_expression.h"
#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/paths.h"

using automation::Bridge;
using automation::WebAutomation;

namespace {

using LastScript = const char* (*)(long*, bool*);
using CallCount = int (*)();

struct Recorded {
    std::string script;
    long frame = 0;
    bool inClosure = false;
};

Recorded Last() {
    Recorded r;
    const char* text =
        automation::LookupEntry<LastScript>("recordingEngineLastScript")(&r.frame, &r.inClosure);
    r.script = text;
    return r;
}

int Calls() {
    return automation::LookupEntry<CallCount>("recordingEngineCalls")();
}

class ScriptText : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_NE(platform::LoadModule(platform::ProgramDirectory() + "recording_engine.so"),
                  nullptr);
        automation::InitializeEngineBinding("recording_engine.so");
    }
    ScriptText() { web_.BindView(reinterpret_cast<wkeWebView>(intptr_t{42})); }
    WebAutomation web_;
};

const std::string kAt = locate::LocatorExpression("getElementById", "t", 0);
const std::string kAt2 = locate::LocatorExpression("getElementsByTagName", "p", 2);

struct Row {
    const char* name;
    std::function<void(WebAutomation&)> call;
    std::string expected;  // the whole script
    long frame;
};

TEST_F(ScriptText, EveryOperationSendsItsExactFragmentInItsFrame) {
    const std::string k = "getElementById", t = "t", p = "getElementsByTagName";
    auto read = [](const char* what) {
        return kAt + "\r\nwindow.top.GetAttributeBack(l_Object." + what + ");";
    };
    const std::vector<Row> rows = {
        {"ClickElement", [&](auto& w) { w.ClickElement(k, t); }, kAt + "\r\nl_Object.click();", 1},
        {"ClickElement index frame", [&](auto& w) { w.ClickElement(p, "p", 2, 3); },
         kAt2 + "\r\nl_Object.click();", 3},
        {"FocusElement", [&](auto& w) { w.FocusElement(k, t); }, kAt + "\r\nl_Object.focus();", 1},
        {"BlurElement", [&](auto& w) { w.BlurElement(k, t); }, kAt + "\r\nl_Object.blur();", 1},
        {"GetElementAttribute", [&](auto& w) { w.GetElementAttribute(k, t, "data-x"); },
         kAt + "\r\nwindow.top.GetAttributeBack(l_Object.getAttribute('data-x'));", 1},
        {"GetElementAttribute index frame",
         [&](auto& w) { w.GetElementAttribute(p, "p", 2, "title", 4); },
         kAt2 + "\r\nwindow.top.GetAttributeBack(l_Object.getAttribute('title'));", 4},
        {"SetElementAttribute", [&](auto& w) { w.SetElementAttribute(k, t, "a", "v"); },
         kAt + "\r\nl_Object.setAttribute('a','v');", 1},
        {"SetElementAttribute escaped",
         [&](auto& w) { w.SetElementAttribute(k, t, "a'", "x');alert(1);//\r\n"); },
         kAt + "\r\nl_Object.setAttribute('a\\'','x\\');alert(1);//\\r\\n');", 1},
        {"RemoveElementAttribute", [&](auto& w) { w.RemoveElementAttribute(k, t, "a"); },
         kAt + "\r\nl_Object.removeAttribute('a');", 1},
        {"GetElementSrc", [&](auto& w) { w.GetElementSrc(p, "p", 2, 5); },
         kAt2 + "\r\nwindow.top.GetAttributeBack(l_Object.getAttribute('src'));", 5},
        {"GetElementHref", [&](auto& w) { w.GetElementHref(k, t); },
         kAt + "\r\nwindow.top.GetAttributeBack(l_Object.getAttribute('href'));", 1},
        {"GetElementChecked", [&](auto& w) { w.GetElementChecked(k, t); }, read("checked"), 1},
        {"SetElementChecked true", [&](auto& w) { w.SetElementChecked(k, t, true); },
         kAt + "\r\nl_Object.checked=true;", 1},
        {"SetElementChecked false", [&](auto& w) { w.SetElementChecked(p, "p", false, 2, 2); },
         kAt2 + "\r\nl_Object.checked=false;", 2},
        {"GetElementValue", [&](auto& w) { w.GetElementValue(k, t); }, read("value"), 1},
        {"SetElementValue", [&](auto& w) { w.SetElementValue(k, t, "it's"); },
         kAt + "\r\nl_Object.value=window.top.Getvalue(42);", 1},
        {"ElementVisible read", [&](auto& w) { w.ElementVisible(k, t); }, read("style.display"), 1},
        {"ElementVisible true", [&](auto& w) { w.ElementVisible(k, t, true); },
         kAt + "\r\nl_Object.style.display='block';", 1},
        {"ElementVisible false", [&](auto& w) { w.ElementVisible(p, "p", false, 2, 3); },
         kAt2 + "\r\nl_Object.style.display='none';", 3},
        {"CallElementMethod", [&](auto& w) { w.CallElementMethod(k, t, "submit"); },
         kAt + "\r\nl_Object.submit();", 1},
        {"CallElementMethod arguments",
         [&](auto& w) { w.CallElementMethod(k, t, "scrollTo", "0, 'x'", 0, 2); },
         kAt + "\r\nl_Object.scrollTo(0, 'x');", 2},
        {"GetFormAction", [&](auto& w) { w.GetFormAction(k, t); }, read("action"), 1},
        {"SetFormAction", [&](auto& w) { w.SetFormAction(k, t, "/post?a=1"); },
         kAt + "\r\nl_Object.action='/post?a=1';", 1},
        {"GetElementId", [&](auto& w) { w.GetElementId(k, t); }, read("id"), 1},
        {"GetElementTagName", [&](auto& w) { w.GetElementTagName(k, t); }, read("tagName"), 1},
        {"GetElementName", [&](auto& w) { w.GetElementName(k, t); }, read("name"), 1},
        {"GetElementInnerHTML", [&](auto& w) { w.GetElementInnerHTML(k, t); }, read("innerHTML"),
         1},
        {"GetElementInnerText", [&](auto& w) { w.GetElementInnerText(k, t); }, read("innerText"),
         1},
        {"GetElementOuterText", [&](auto& w) { w.GetElementOuterText(k, t); }, read("outerText"),
         1},
        {"GetElementClassName", [&](auto& w) { w.GetElementClassName(k, t); }, read("className"),
         1},
        {"GetElementOuterHTML", [&](auto& w) { w.GetElementOuterHTML(p, "p", 2, 6); },
         kAt2 + "\r\nwindow.top.GetAttributeBack(l_Object.outerHTML);", 6},
        {"SetElementInnerHTML", [&](auto& w) { w.SetElementInnerHTML(k, t, "<b>"); },
         kAt + "\r\nl_Object.innerHTML=window.top.Getvalue(42);", 1},
        {"SetElementInnerText", [&](auto& w) { w.SetElementInnerText(k, t, "x"); },
         kAt + "\r\nl_Object.innerText=window.top.Getvalue(42);", 1},
        {"SetElementOuterText", [&](auto& w) { w.SetElementOuterText(k, t, "x"); },
         kAt + "\r\nl_Object.outerText=window.top.Getvalue(42);", 1},
        {"SetElementOuterHTML", [&](auto& w) { w.SetElementOuterHTML(p, "p", "x", 2, 2); },
         kAt2 + "\r\nl_Object.outerHTML=window.top.Getvalue(42);", 2},
        {"ElementDisabled read", [&](auto& w) { w.ElementDisabled(k, t); }, read("disabled"), 1},
        {"ElementDisabled true", [&](auto& w) { w.ElementDisabled(k, t, true); },
         kAt + "\r\nl_Object.disabled=true;", 1},
        {"ElementDisabled false", [&](auto& w) { w.ElementDisabled(k, t, false); },
         kAt + "\r\nl_Object.disabled=false;", 1},
        {"SelectElement", [&](auto& w) { w.SelectElement(p, "p", 2, 2); }, kAt2, 2},
        {"ReleaseElement", [&](auto& w) { w.ReleaseElement(); }, "var l_Object=null;", 1},
        {"ReleaseElement frame", [&](auto& w) { w.ReleaseElement(3); }, "var l_Object=null;", 3},
        // events
        {"DispatchMouseEvent",
         [&](auto& w) { w.DispatchMouseEvent(k, t, "click", true, false, 10, 20, 30, 40); },
         kAt + "\r\nvar l_obj = document.createEvent(\"MouseEvents\"); \r\nl_obj.initMouseEvent("
               "\"click\", true, false, document.defaultView, 0 ,10, 20, 30, 40,false, false, "
               "false, false, 0, null);\r\nl_Object.dispatchEvent(l_obj);",
         1},
        {"DispatchMouseEvent defaults",
         [&](auto& w) { w.DispatchMouseEvent(k, t, "mousedown", false, true, -5); },
         kAt + "\r\nvar l_obj = document.createEvent(\"MouseEvents\"); \r\nl_obj.initMouseEvent("
               "\"mousedown\", false, true, document.defaultView, 0 ,-5, 0, 0, 0,false, false, "
               "false, false, 0, null);\r\nl_Object.dispatchEvent(l_obj);",
         1},
        {"DispatchKeyPress key",
         [&](auto& w) { w.DispatchKeyPress(p, "p", std::string("Ab"), 2, 3); },
         kAt2 +
             "\r\nvar l_obj = document.createEvent(\"KeyboardEvent\");\r\nl_obj.initKeyboardEvent("
             "'keypress',true,false);\r\ndelete l_obj.keyCode; \r\nObject.defineProperty(l_obj,"
             "\"keyCode\",{value:'Ab'.charCodeAt()}); \r\ndelete l_obj.which; \r\n"
             "Object.defineProperty(l_obj,\"which\",{value:'Ab'.charCodeAt()}); \r\n"
             "l_Object.dispatchEvent(l_obj);",
         3},
        {"DispatchKeyPress no key", [&](auto& w) { w.DispatchKeyPress(k, t); },
         kAt +
             "\r\nvar l_obj = document.createEvent(\"KeyboardEvent\");\r\nl_obj.initKeyboardEvent("
             "'keypress',true,false);\r\nl_Object.dispatchEvent(l_obj);",
         1},
        {"DispatchTouchEvent",
         [&](auto& w) { w.DispatchTouchEvent(k, t, "touchstart", true, true); },
         kAt + "\r\nvar l_obj = document.createEvent(\"TouchEvent\");\r\nl_obj.initEvent("
               "\"touchstart\",true,true);\r\nl_Object.dispatchEvent(l_obj);",
         1},
        {"DispatchEvent", [&](auto& w) { w.DispatchEvent(k, t, "custom", false, true, 0, 2); },
         kAt + "\r\nvar l_obj = document.createEvent('Events');\r\nl_obj.initEvent('custom',false,"
               "true);\r\nl_Object.dispatchEvent(l_obj);",
         2},
        // select lists, tables, forms
        {"GetSelectedIndex", [&](auto& w) { w.GetSelectedIndex(k, t); }, read("selectedIndex"), 1},
        {"GetSelectOptions",
         [&](auto& w) {
             std::vector<std::string> texts;
             w.GetSelectOptions(k, t, texts);
         },
         kAt + "\r\nvar l_i=0;\r\nvar l_length=l_Object.length;\r\nfor(l_i;l_i<l_length;l_i++){"
               "\r\nwindow.top.selectBack(l_Object.options[l_i].text,l_Object.options[l_i].value);"
               "\r\n}",
         1},
        {"SetSelectedIndex", [&](auto& w) { w.SetSelectedIndex(k, t, 2); },
         kAt + "\r\nl_Object.selectedIndex=2;\r\nvar l_evt = document.createEvent('Events');\r\n"
               "l_evt.initEvent('change', false, false);\r\nl_Object.dispatchEvent(l_evt);",
         1},
        {"GetBoundingRect", [&](auto& w) { w.GetBoundingRect(k, t); },
         kAt + "\r\nvar l_Rect=l_Object.getBoundingClientRect();\r\nwindow.top.GetElementRect("
               "l_Rect.bottom,l_Rect.height,l_Rect.left,l_Rect.right,l_Rect.top,l_Rect.width);",
         1},
        {"SubmitForm", [&](auto& w) { w.SubmitForm(k, t); },
         kAt + "\r\nl_Object.setAttribute('target','_blank');\r\nl_Object.submit();", 1},
        {"SubmitForm target", [&](auto& w) { w.SubmitForm(k, t, "out", 0, 2); },
         kAt + "\r\nl_Object.setAttribute('target','out');\r\nl_Object.submit();", 2},
        {"GetTableRowCount", [&](auto& w) { w.GetTableRowCount(k, t); }, read("rows.length"), 1},
        {"GetTableCellCount", [&](auto& w) { w.GetTableCellCount(k, t, 3); },
         read("rows[3].cells.length"), 1},
        {"GetTableCellText", [&](auto& w) { w.GetTableCellText(k, t, 1, -2); },
         read("rows[1].cells[-2].innerText"), 1},
        {"GetTableCellHTML", [&](auto& w) { w.GetTableCellHTML(p, "p", 0, 4, 2, 9); },
         kAt2 + "\r\nwindow.top.GetAttributeBack(l_Object.rows[0].cells[4].innerHTML);", 9},
    };
    for (const auto& row : rows) {
        row.call(web_);
        Recorded r = Last();
        EXPECT_EQ(r.script, automation::ToUtf8Script(row.expected)) << row.name;
        EXPECT_EQ(r.frame, row.frame) << row.name;
        EXPECT_FALSE(r.inClosure) << row.name;
    }
}

// These three initialise a keyboard event with initMouseEvent; the page first learns it.
TEST_F(ScriptText, KeyboardEventsInitialisedAsMouseEventsGetTheMethodFirst) {
    const std::string create = "\r\nvar l_obj = document.createEvent(\"KeyboardEvent\");";
    const std::string dispatch = "\r\nl_Object.dispatchEvent(l_obj);";
    struct Row {
        std::function<void()> call;
        std::string tail;
    } rows[] = {
        {[&] { web_.DispatchKeyDown("getElementById", "t"); },
         create + "\r\nl_obj.initMouseEvent(\"keydown\",true,false);" + dispatch},
        {[&] { web_.DispatchKeyDown("getElementById", "t", std::string("A")); },
         create +
             "\r\nl_obj.initMouseEvent(\"keydown\",true,false);\r\ndelete l_obj.keyCode; \r\n"
             "Object.defineProperty(l_obj,\"keyCode\",{value:'A'.charCodeAt()}); " +
             dispatch},
        {[&] { web_.DispatchKeyUp("getElementById", "t"); },
         create + "\r\nl_obj.initMouseEvent(\"keyup\",true,false);" + dispatch},
        {[&] { web_.DispatchInputEvent("getElementById", "t"); },
         create + "\r\nl_obj.initMouseEvent(\"input\",true,false);" + dispatch},
        {[&] { web_.DispatchInputEvent("getElementById", "t", 0, 1, "initEvent"); },
         create + "\r\nl_obj.initEvent(\"input\",true,false);" + dispatch},
    };
    for (const auto& row : rows) {
        row.call();
        std::string script = Last().script;
        std::string end = kAt + row.tail;
        ASSERT_GT(script.size(), end.size());
        EXPECT_EQ(script.substr(script.size() - end.size()), end);
        EXPECT_NE(script.find("KeyboardEvent.prototype"), std::string::npos);
    }
}

TEST_F(ScriptText, NamesThatWouldBeScriptAreRefusedWithoutRunning) {
    int before = Calls();
    EXPECT_FALSE(web_.CallElementMethod("getElementById", "t", "click();alert"));
    EXPECT_FALSE(web_.CallElementMethod("getElementById", "t", ""));
    EXPECT_FALSE(web_.DispatchInputEvent("getElementById", "t", 0, 1, "x(1);y"));
    EXPECT_EQ(Calls(), before);
}

TEST_F(ScriptText, ValuesGoThroughTheSlotAndEverySetterEmptiesIt) {
    const std::string value = platform::Utf8ToGbk("它's \"q\" \\ \r\n");
    web_.SetElementInnerHTML("getElementById", "t", value);
    EXPECT_EQ(Bridge().valueToSupply, "");
    EXPECT_EQ(Bridge().valueView, nullptr);
    EXPECT_EQ(Last().script.find("它"), std::string::npos);
    web_.SetElementValue("getElementById", "t", value);
    EXPECT_EQ(Bridge().valueToSupply, "");
}

TEST_F(ScriptText, TypedListScriptEndsWithTheCallAndClearsTheMissingFlag) {
    Bridge().elementMissing = true;
    std::string script = web_.BuildTypedListScript("input", "text|password|file", true, "value",
                                                   platform::Utf8ToGbk("文本框"), 3);
    EXPECT_FALSE(Bridge().elementMissing);
    const std::string call = platform::Utf8ToGbk(
        "\r\ni_FindElement('input','text|password|file',3,1,'value','文本框');");
    EXPECT_EQ(script.substr(script.size() - call.size()), call);
    size_t generator = script.find("function CssSelectorGenerator");
    size_t instance = script.find("var CssSelector = new CssSelectorGenerator;\r\n");
    size_t finder = script.find("function i_FindElement(");
    EXPECT_LT(generator, instance);
    EXPECT_LT(instance, finder);
    EXPECT_NE(finder, std::string::npos);
    std::string unmarked = web_.BuildTypedListScript("a", "", false, "outerHTML", "x'", 1);
    const std::string quoted = "\r\ni_FindElement('a','',1,0,'outerHTML','x\\'');";
    EXPECT_EQ(unmarked.substr(unmarked.size() - quoted.size()), quoted);
}

TEST(NoView, EveryOperationGivesItsEmptyResultAndTouchesNothing) {
    automation::InitializeEngineBinding("recording_engine.so");
    WebAutomation none;
    int before = Calls();
    Bridge().valueToSupply = "kept";
    Bridge().attributeReply = "kept";
    const std::string k = "getElementById", t = "t";
    std::vector<automation::ElementInfo> list{{}};
    std::vector<std::string> texts{"x"}, values{"y"};
    EXPECT_FALSE(none.ClickElement(k, t) || none.FocusElement(k, t) || none.BlurElement(k, t) ||
                 none.SelectElement(k, t) || none.ReleaseElement() ||
                 none.CallElementMethod(k, t, "click") ||
                 none.SetElementAttribute(k, t, "a", "b") ||
                 none.RemoveElementAttribute(k, t, "a") || none.GetElementChecked(k, t) ||
                 none.SetElementChecked(k, t, true) || none.SetElementValue(k, t, "v") ||
                 none.ElementVisible(k, t) || none.ElementVisible(k, t, true) ||
                 none.ElementDisabled(k, t) || none.ElementDisabled(k, t, false) ||
                 none.SetFormAction(k, t, "a") || none.SetElementInnerHTML(k, t, "v") ||
                 none.SetElementOuterHTML(k, t, "v") || none.SubmitForm(k, t) ||
                 none.MarkElementInAllFrames(k, t) || none.ClickElementInAllFrames(k, t) ||
                 none.FocusElementInAllFrames(k, t) || none.BlurElementInAllFrames(k, t) ||
                 none.DispatchMouseEvent(k, t, "click", true, true) ||
                 none.DispatchKeyDown(k, t, std::string("a")) || none.DispatchKeyPress(k, t) ||
                 none.DispatchKeyUp(k, t) || none.DispatchInputEvent(k, t) ||
                 none.DispatchTouchEvent(k, t, "touchstart", true, true) ||
                 none.DispatchEvent(k, t, "x", true, true) || none.ListTextBoxes(true, list) ||
                 none.ListLinks(false, list));
    for (const std::string& text :
         {none.GetElementAttribute(k, t, "a"), none.GetElementSrc(k, t), none.GetElementValue(k, t),
          none.GetFormAction(k, t), none.GetElementId(k, t), none.GetElementOuterHTML(k, t),
          none.GetTableCellText(k, t, 0, 0), none.GetTableCellHTML(k, t, 0, 0),
          none.GetElementAttributeInAllFrames(k, t, "a")})
        EXPECT_EQ(text, "");
    EXPECT_EQ(none.GetSelectedIndex(k, t), -1);
    EXPECT_EQ(none.GetSelectOptions(k, t, texts, values), -1);
    EXPECT_EQ(none.SetSelectedIndex(k, t, 1), -1);
    EXPECT_EQ(none.GetTableRowCount(k, t), -1);
    EXPECT_EQ(none.GetTableCellCount(k, t, 0), -1);
    Bridge().elementRect.left = 9;
    automation::ElementRect rect = none.GetBoundingRect(k, t);
    EXPECT_EQ(rect.left + rect.top + rect.right + rect.bottom + rect.width + rect.height, 0);
    EXPECT_EQ(Bridge().elementRect.left, 0);
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(texts, std::vector<std::string>{"x"});
    EXPECT_EQ(Bridge().valueToSupply, "kept");
    EXPECT_EQ(Bridge().attributeReply, "kept");
    EXPECT_EQ(Calls(), before);
}

}  // namespace
