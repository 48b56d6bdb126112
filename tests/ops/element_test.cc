// Element operations on real pages: reads and writes, events the page's own listeners see,
// typed lists with and without marks, select lists, tables, forms, every frame.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "automation/web_automation.h"
#include "hostctl/engine_library.h"
#include "locate/script_literal.h"
#include "platform/codepage.h"
#include "tests/support/host_loop.h"
#include "tests/support/http_server.h"
#include "tests/support/page_view.h"

using automation::Bridge;
using automation::ElementInfo;
using automation::WebAutomation;
using hostctl::Engine;
using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::HttpServer;

namespace {

std::string Gbk(const char* utf8) {
    return platform::Utf8ToGbk(utf8);
}

HttpServer* far = nullptr;  // another origin
HttpServer* server = nullptr;

// Every event that reaches the document is written down with what the page sees of it.
const char kRecorder[] = R"HTML(<script>
var seen = [], bubbled = [];
['click','mousedown','keydown','keypress','keyup','input','touchstart','custom','change']
  .forEach(function (t) {
    document.addEventListener(t, function (e) {
      seen.push([e.type, e.target.id, e.bubbles, e.cancelable, e.screenX, e.screenY,
                 e.clientX, e.clientY, e.keyCode, e.which].join(','));
    }, true);
    document.addEventListener(t, function (e) { bubbled.push(e.type); });
  });
</script>)HTML";

const char kMain[] = R"HTML(<!doctype html><meta charset=utf-8>
<style>#styled { display: block }</style>
<body style='margin:0'>
<div id=styled>s</div><div id=sink></div><div id=target>t</div>
<a id=link href='rel/x.html' class='k1 k2'>link<b>bold</b></a>
<form id=f action='/echo' method=get name=fm>
  <input id=t1 type=text name=t1 value='a'><input id=off type=text disabled>
  <input id=c1 type=checkbox checked>
  <select id=sel><option value=v0>zero<option value=v1>one<option value=v2>two</select>
  <select id=empty></select>
  <select id=none size=3><option>a<option>b</select>
</form>
<table id=tab><tr><td>a</td><td>b<i>i</i></td></tr><tr><td>c</td></tr></table>
<div id=frac style='position:absolute;left:10.75px;top:1000px;width:20.5px;height:5px'></div>
<iframe name=out src='/inner'></iframe><iframe id=farframe></iframe>
<div style='height:3000px'></div>
)HTML";

const char kInner[] = R"HTML(<!doctype html><meta charset=utf-8><body>
<p id=shared data-v=inner onclick="this.setAttribute('data-clicked','yes')">inner</p>
<p id=onlyinner data-v=here></p><p id=empty-in-far data-v=inner></p>
<input type=text id=box value=iv><input type=radio id=ir><a href='#'>in</a></body>)HTML";

const char kFar[] = R"HTML(<!doctype html><body>
<p id=shared data-v=far onclick="this.setAttribute('data-clicked','yes')">far</p>
<p id=empty-in-far data-v=''></p></body>)HTML";

// Every everyday kind of control, some twice, and one of each in a frame.
const char kMixed[] = R"HTML(<!doctype html><meta charset=utf-8><body>
<input type=text id=tx value='v1'><input type=password id=pw><input type=file id=fi>
<input type=email id=em><input type=number id=nu>
<input type=button id=bu value=B><input type=submit id=su><input type=reset id=re>
<button id=realbutton>x</button>
<input type=radio id=r1 name=r><input type=radio id=r2 name=r>
<input type=checkbox id=c1><img id=i1 src='/none.png'><img id=i2>
<a id=a1 href='#1'>one</a><a id=a2 href='#2'>two</a>
<iframe src='/mixed-inner'></iframe>
<script>
  var r2 = document.getElementById('r2'), r2clicks = 0;
  r2.addEventListener('click', function () { r2clicks++; });
</script></body>)HTML";

const char kMixedInner[] = R"HTML(<!doctype html><body>
<input type=text id=ftx value=fv><input type=radio id=fr><a id=fa href='#'>f</a></body>)HTML";

class Elements : public testsupport::PageView {
  protected:
    static void SetUpTestSuite() {
        far = new HttpServer([](const HttpRequest&) {
            return HttpResponse{200, "text/html", kFar};
        });
        server = new HttpServer([](const HttpRequest& r) {
            HttpResponse page;
            if (r.path == "/inner")
                page.body = kInner;
            else if (r.path == "/mixed")
                page.body = kMixed;
            else if (r.path == "/mixed-inner")
                page.body = kMixedInner;
            else if (r.path.rfind("/echo", 0) == 0)
                page.body = "<p id=echoed>" + r.path + "</p>";
            else
                page.body = std::string(kMain) + kRecorder + "<script>document.getElementById(" +
                            "'farframe').src='" + far->Url("/") + "';</script>";
            return page;
        });
    }
    void Load(const std::string& path, int frames) {
        LoadUrl(server->Url(path), frames);
        ASSERT_TRUE(testsupport::PumpHostLoop([&] {
            return Ask("window.top.GetAttributeBack(document.readyState);", frames) == "complete";
        }));
    }
    std::string Seen() {
        return Ask(
            "window.top.GetAttributeBack(seen.join(';') + ' / ' + bubbled.join(';'));"
            "seen = []; bubbled = [];");
    }
};

const std::string id = "getElementById";

// ---- reads and writes ------------------------------------------------------------------

TEST_F(Elements, ReadersTellAMissingAttributeFromAMissingElement) {
    Load("/", 3);
    EXPECT_EQ(web_.GetElementAttribute(id, "link", "class"), "k1 k2");
    EXPECT_EQ(web_.GetElementHref(id, "link"), "rel/x.html");  // as written, not resolved
    std::string lacking = web_.GetElementAttribute(id, "link", "data-none");
    EXPECT_NE(lacking, "undefined");
    EXPECT_EQ(lacking, Ask("window.top.GetAttributeBack(null);"));
    EXPECT_EQ(web_.GetElementAttribute(id, "nothing", "class"), "undefined");
    EXPECT_EQ(web_.GetElementTagName(id, "link"), "A");
    EXPECT_EQ(web_.GetElementInnerHTML(id, "link"), "link<b>bold</b>");
    EXPECT_EQ(web_.GetElementInnerText(id, "link"), "linkbold");
    EXPECT_EQ(web_.GetElementClassName(id, "link"), "k1 k2");
    EXPECT_EQ(web_.GetElementName(id, "t1"), "t1");
    EXPECT_EQ(web_.GetElementId("getElementsByTagName", "select", 1), "empty");
    EXPECT_EQ(web_.GetFormAction(id, "f"), server->Url("/echo"));
    EXPECT_TRUE(web_.SetFormAction(id, "f", "/other?a='1'"));
    EXPECT_EQ(web_.GetFormAction(id, "f"), server->Url("/other?a=%271%27"));
    EXPECT_TRUE(web_.GetElementChecked(id, "c1"));
    EXPECT_TRUE(web_.SetElementChecked(id, "c1", false));
    EXPECT_FALSE(web_.GetElementChecked(id, "c1"));
    EXPECT_FALSE(web_.GetElementChecked(id, "nothing"));
    EXPECT_TRUE(web_.ElementDisabled(id, "off"));
    EXPECT_TRUE(web_.ElementDisabled(id, "off", false));
    EXPECT_FALSE(web_.ElementDisabled(id, "off"));
    EXPECT_FALSE(web_.ElementDisabled(id, "nothing", true));
    EXPECT_TRUE(web_.RemoveElementAttribute(id, "link", "class"));
    EXPECT_EQ(web_.GetElementOuterHTML(id, "link"),
              "<a id=\"link\" href=\"rel/x.html\">link<b>bold</b></a>");
}

TEST_F(Elements, VisibilityIsTheInlineDisplayOnly) {
    Load("/", 3);
    EXPECT_FALSE(web_.ElementVisible(id, "styled"));  // block only from the style sheet
    EXPECT_TRUE(web_.ElementVisible(id, "styled", false));
    EXPECT_FALSE(web_.ElementVisible(id, "styled"));
    EXPECT_EQ(Ask("window.top.GetAttributeBack(getComputedStyle(styled).display);"), "none");
    EXPECT_TRUE(web_.ElementVisible(id, "styled", true));
    EXPECT_TRUE(web_.ElementVisible(id, "styled"));
    EXPECT_FALSE(web_.ElementVisible(id, "nothing", true));
}

TEST_F(Elements, ValuesArriveByteExactAndNeverBecomeScript) {
    Load("/", 3);
    const std::string odd = Gbk("a'b\"c\\d\r\n中文</script>");
    const std::string literal = locate::EscapeForScriptLiteral(odd);
    auto pageHas = [&](const std::string& expression) {
        return Ask("window.top.GetAttributeBack(" + expression + " === '" + literal + "');");
    };
    // An expando property keeps CR LF, which form controls would normalise.
    EXPECT_TRUE(web_.SetElementValue(id, "sink", odd));
    EXPECT_EQ(pageHas("sink.value"), "true");
    EXPECT_EQ(Bridge().valueToSupply, "");
    EXPECT_TRUE(web_.SetElementAttribute(id, "sink", "data-x", odd));
    EXPECT_EQ(pageHas("sink.getAttribute('data-x')"), "true");
    EXPECT_EQ(web_.GetElementAttribute(id, "sink", "data-x"), odd);
    EXPECT_TRUE(web_.SetElementValue(id, "t1", Gbk("引号'\"\\")));
    EXPECT_EQ(web_.GetElementValue(id, "t1"), Gbk("引号'\"\\"));
    EXPECT_TRUE(web_.SetElementInnerText(id, "sink", Gbk("<b>不是标记</b>")));
    EXPECT_EQ(web_.GetElementInnerHTML(id, "sink"), Gbk("&lt;b&gt;不是标记&lt;/b&gt;"));
    EXPECT_EQ(Bridge().valueToSupply, "");
    EXPECT_TRUE(web_.SetElementInnerHTML(id, "sink", "<i id=made>x</i>"));
    EXPECT_EQ(web_.GetElementTagName(id, "made"), "I");
    EXPECT_TRUE(web_.SetElementOuterHTML(id, "made", "<u id=made2>y</u>"));
    EXPECT_EQ(web_.GetElementOuterText(id, "made2"), "y");
    // Data that tries to end its literal stays data.
    Bridge().attributeReply.clear();
    EXPECT_TRUE(web_.SetElementAttribute(id, "sink", "title",
                                         "x');window.top.GetAttributeBack('pwned');//"));
    EXPECT_NE(Bridge().attributeReply, "pwned");
    EXPECT_FALSE(web_.SetElementAttribute(id, "sink", "bad name", "v"));  // the page refuses it
}

TEST_F(Elements, AScriptThatThrowsAfterLocatingIsAFailure) {
    Load("/", 3);
    EXPECT_FALSE(web_.CallElementMethod(id, "styled", "noSuchMethod"));
    EXPECT_TRUE(web_.CallElementMethod(id, "styled", "setAttribute", "'data-m', 1 + 1"));
    EXPECT_EQ(web_.GetElementAttribute(id, "styled", "data-m"), "2");
    EXPECT_FALSE(web_.CallElementMethod(id, "styled", "setAttribute", "'a', "));  // no parse
    EXPECT_FALSE(web_.SubmitForm(id, "styled"));  // a div has no submit
    EXPECT_FALSE(web_.ClickElement(id, "nothing"));
    EXPECT_TRUE(web_.ClickElement(id, "target"));
}

TEST_F(Elements, ASelectedElementIsAddressedUntilReleased) {
    Load("/", 3);
    EXPECT_TRUE(web_.SelectElement(id, "t1"));
    EXPECT_TRUE(web_.SelectElement(id, "box", 0, 2));  // the frame keeps its own
    EXPECT_EQ(web_.GetElementValue("EnterElement", ""), "a");
    EXPECT_EQ(web_.GetElementValue("EnterElement", "", 0, 2), "iv");
    EXPECT_TRUE(web_.ReleaseElement());
    EXPECT_EQ(web_.GetElementValue("EnterElement", ""), "undefined");
    EXPECT_EQ(web_.GetElementValue("EnterElement", "", 0, 2), "iv");
    EXPECT_FALSE(web_.ReleaseElement(99));
}

TEST_F(Elements, AllFramesFormsVisitEveryFrameOfEitherOrigin) {
    Load("/", 3);
    EXPECT_TRUE(web_.ClickElementInAllFrames(id, "shared"));
    EXPECT_EQ(web_.GetElementAttribute(id, "shared", 0, "data-clicked", 2), "yes");
    EXPECT_EQ(web_.GetElementAttribute(id, "shared", 0, "data-clicked", 3), "yes");
    // The highest frame that has a non-empty value wins; frames without the element and
    // empty values do not count; no frame with the element gives "undefined".
    EXPECT_EQ(web_.GetElementAttributeInAllFrames(id, "shared", "data-v"), "far");
    EXPECT_EQ(web_.GetElementAttributeInAllFrames(id, "onlyinner", "data-v"), "here");
    EXPECT_EQ(web_.GetElementAttributeInAllFrames(id, "empty-in-far", "data-v"), "inner");
    EXPECT_EQ(web_.GetElementAttributeInAllFrames(id, "nowhere", "data-v"), "undefined");
    EXPECT_EQ(web_.GetElementAttributeInAllFrames(id, "link", "href"),
              web_.GetElementAttribute(id, "link", "href"));
    EXPECT_TRUE(web_.FocusElementInAllFrames(id, "box"));
    EXPECT_EQ(Ask("window.top.GetAttributeBack(document.activeElement.id);", 2), "box");
    EXPECT_TRUE(web_.BlurElementInAllFrames(id, "box"));
    EXPECT_EQ(Ask("window.top.GetAttributeBack(document.activeElement.id);", 2), "");
    EXPECT_TRUE(web_.MarkElementInAllFrames(id, "shared"));
}

// ---- events ----------------------------------------------------------------------------

TEST_F(Elements, ThePagesListenersSeeEachEventAsDescribed) {
    Load("/", 3);
    EXPECT_TRUE(web_.DispatchMouseEvent(id, "target", "click", true, false, 10, 20, 30, 40));
    EXPECT_EQ(Seen(), "click,target,true,false,10,20,30,40,,1 / click");
    EXPECT_TRUE(web_.DispatchMouseEvent(id, "target", "mousedown", false, true, -5));
    EXPECT_EQ(Seen(), "mousedown,target,false,true,-5,0,0,0,,1 / ");
    // keydown redefines keyCode only; keypress also which.
    EXPECT_TRUE(web_.DispatchKeyDown(id, "t1", std::string("A")));
    EXPECT_EQ(Seen(), "keydown,t1,true,false,,,,,65,0 / keydown");
    EXPECT_TRUE(web_.DispatchKeyPress(id, "t1", std::string("bc")));
    EXPECT_EQ(Seen(), "keypress,t1,true,false,,,,,98,98 / keypress");
    EXPECT_TRUE(web_.DispatchKeyUp(id, "t1"));
    EXPECT_EQ(Seen(), "keyup,t1,true,false,,,,,0,0 / keyup");
    EXPECT_TRUE(web_.DispatchInputEvent(id, "t1"));
    EXPECT_EQ(Seen(), "input,t1,true,false,,,,,0,0 / input");
    EXPECT_TRUE(web_.DispatchEvent(id, "target", "custom", false, true));
    EXPECT_EQ(Seen(), "custom,target,false,true,,,,,, / ");
    EXPECT_FALSE(web_.DispatchEvent(id, "nothing", "custom", true, true));
    // A name that would end its literal is the event's name, nothing more.
    EXPECT_TRUE(web_.DispatchEvent(id, "target", "a'b", true, true));
    EXPECT_EQ(Seen(), " / ");
}

TEST_F(Elements, TouchEventsNeedThePhoneProfile) {
    Load("/", 3);
    EXPECT_FALSE(web_.DispatchTouchEvent(id, "target", "touchstart", true, true));
    Engine().wkeSetTouchEnabled(view_, true);
    Load("/", 3);
    EXPECT_TRUE(web_.DispatchTouchEvent(id, "target", "touchstart", true, false));
    EXPECT_EQ(Seen(), "touchstart,target,true,false,,,,,,0 / touchstart");
}

// ---- typed lists -----------------------------------------------------------------------

std::string Ids(const std::vector<ElementInfo>& list) {
    std::string ids;
    for (const auto& e : list) ids += e.id + "@" + std::to_string(e.frameRecord) + " ";
    return ids;
}

TEST_F(Elements, EachTypedListFindsItsKindInEveryFrame) {
    Load("/mixed", 2);
    std::string before = Ask("window.top.GetAttributeBack(document.body.innerHTML);");
    std::vector<ElementInfo> list;
    struct Row {
        bool (WebAutomation::*list)(bool, std::vector<ElementInfo>&);
        const char* ids;
    } rows[] = {
        {&WebAutomation::ListTextBoxes, "tx@1 pw@1 fi@1 ftx@2 "},
        {&WebAutomation::ListButtons, "bu@1 su@1 re@1 "},
        {&WebAutomation::ListImages, "i1@1 i2@1 "},
        {&WebAutomation::ListLinks, "a1@1 a2@1 fa@2 "},
        {&WebAutomation::ListRadioButtons, "r1@1 r2@1 fr@2 "},
        {&WebAutomation::ListCheckBoxes, "c1@1 "},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE((web_.*row.list)(false, list));
        EXPECT_EQ(Ids(list), row.ids);
        for (const auto& e : list)
            EXPECT_EQ(Ask("window.top.GetAttributeBack(document.querySelectorAll('" +
                              locate::EscapeForScriptLiteral(e.cssSelector) + "')[0].id);",
                          e.frameRecord),
                      e.id);
    }
    EXPECT_EQ(Ask("window.top.GetAttributeBack(document.body.innerHTML);"), before)
        << "an unmarked list changes nothing";
}

// A getter that throws while a frame reports its elements: the list would lack them and
// still look complete, so the operation fails and hands back nothing.
TEST_F(Elements, ATypedListWhoseRunThrowsFailsWithAnEmptyList) {
    Load("/mixed", 2);
    Ask("Object.defineProperty(document.getElementById('a2'), 'innerText',"
        "{get: function () { throw new Error('no'); }});");
    std::vector<ElementInfo> list(1);
    EXPECT_FALSE(web_.ListLinks(false, list));
    EXPECT_TRUE(list.empty());
    ASSERT_TRUE(web_.ListCheckBoxes(false, list));  // the other kinds still list
    EXPECT_EQ(Ids(list), "c1@1 ");
}

TEST_F(Elements, MarksNumberPerFrameOnceAndKeepStateAndHandlers) {
    Load("/mixed", 2);
    std::vector<ElementInfo> list;
    ASSERT_TRUE(web_.ListTextBoxes(true, list));
    ASSERT_EQ(list.size(), 4u);
    EXPECT_NE(list[0].outerHTML.find("v1"), std::string::npos) << "reported before marking";
    EXPECT_EQ(web_.GetElementValue(id, "tx"), Gbk("文本框1"));
    EXPECT_EQ(web_.GetElementValue(id, "fi"), "");  // a file input keeps its empty value
    EXPECT_EQ(web_.GetElementAttribute(id, "pw", "value"), Gbk("文本框2"));
    EXPECT_EQ(web_.GetElementValue(id, "ftx", 0, 2), Gbk("文本框1"));  // counted per frame

    ASSERT_TRUE(web_.ClickElement(id, "r2"));
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(web_.ListRadioButtons(true, list));
        ASSERT_TRUE(web_.ListLinks(true, list));
        ASSERT_TRUE(web_.ListImages(true, list));
    }
    auto count = [&](const char* text, int frame = 1) {
        return Ask("window.top.GetAttributeBack(document.body.innerHTML.split('" + Gbk(text) +
                       "').length - 1);",
                   frame);
    };
    EXPECT_EQ(count("[单选框1]"), "1");
    EXPECT_EQ(count("[单选框2]"), "1");
    EXPECT_EQ(count("[单选框1]", 2), "1");
    EXPECT_EQ(count("_链接2"), "1");
    EXPECT_EQ(count("[图片2]"), "1");
    EXPECT_EQ(web_.GetElementInnerText(id, "a1"), Gbk("one_链接1"));
    // The same radio button, still checked, still with the page's handler.
    EXPECT_EQ(Ask("window.top.GetAttributeBack(r2 === document.getElementById('r2') && "
                  "r2.checked);"),
              "true");
    ASSERT_TRUE(web_.ClickElement(id, "r2"));
    EXPECT_EQ(Ask("window.top.GetAttributeBack(r2clicks);"), "2");
    // A later unmarked run reports the marked page as it now is.
    ASSERT_TRUE(web_.ListLinks(false, list));
    EXPECT_NE(list[0].innerText.find(Gbk("_链接1")), std::string::npos);
}

// ---- select lists, tables, forms, rectangles -------------------------------------------

TEST_F(Elements, SelectListsReadSetAndTellTheirPage) {
    Load("/", 3);
    EXPECT_EQ(web_.GetSelectedIndex(id, "sel"), 0);
    EXPECT_EQ(web_.GetSelectedIndex(id, "none"), -1);  // nothing selected in a list box
    EXPECT_EQ(web_.GetSelectedIndex(id, "nothing"), -2);
    std::vector<std::string> texts{"old"}, values{"old"};
    EXPECT_EQ(web_.GetSelectOptions(id, "sel", texts, values), 3);
    EXPECT_EQ(texts, (std::vector<std::string>{"zero", "one", "two"}));
    EXPECT_EQ(values, (std::vector<std::string>{"v0", "v1", "v2"}));
    EXPECT_EQ(web_.GetSelectOptions(id, "empty", texts), 0);
    EXPECT_TRUE(texts.empty());
    texts = {"old"};
    EXPECT_EQ(web_.GetSelectOptions(id, "nothing", texts, values), -2);
    EXPECT_TRUE(texts.empty() && values.empty());
    Seen();
    EXPECT_EQ(web_.SetSelectedIndex(id, "sel", 2), 0);
    EXPECT_EQ(Seen(), "change,sel,false,false,,,,,, / ");  // neither bubbles nor cancels
    EXPECT_EQ(web_.GetSelectedIndex(id, "sel"), 2);
    EXPECT_EQ(web_.SetSelectedIndex(id, "nothing", 1), -2);
}

TEST_F(Elements, TablesCountAndReadTheirCells) {
    Load("/", 3);
    EXPECT_EQ(web_.GetTableRowCount(id, "tab"), 2);
    EXPECT_EQ(web_.GetTableCellCount(id, "tab", 0), 2);
    EXPECT_EQ(web_.GetTableCellCount(id, "tab", 1), 1);
    EXPECT_EQ(web_.GetTableCellCount(id, "tab", 2), 0);  // past the last row
    EXPECT_EQ(web_.GetTableRowCount(id, "nothing"), -1);
    EXPECT_EQ(web_.GetTableCellCount(id, "nothing", 0), -1);
    EXPECT_EQ(web_.GetTableCellText(id, "tab", 1, 0), "c");
    EXPECT_EQ(web_.GetTableCellHTML(id, "tab", 0, 1), "b<i>i</i>");
    EXPECT_EQ(web_.GetTableCellText(id, "tab", 1, 1), "");
    EXPECT_EQ(web_.GetTableCellText(id, "nothing", 0, 0), "undefined");
}

TEST_F(Elements, RectanglesAreTruncatedViewportNumbers) {
    Load("/", 3);
    automation::ElementRect r = web_.GetBoundingRect(id, "frac");
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 1000);
    EXPECT_EQ(r.right, 31);  // 10.75 + 20.5
    EXPECT_EQ(r.bottom, 1005);
    EXPECT_EQ(r.width, 20);
    EXPECT_EQ(r.height, 5);
    Ask("window.scrollTo(0, 1003);");
    r = web_.GetBoundingRect(id, "frac");
    EXPECT_EQ(r.top, -3);
    EXPECT_EQ(r.bottom, 2);
    r = web_.GetBoundingRect(id, "nothing");
    EXPECT_EQ(r.left + r.top + r.right + r.bottom + r.width + r.height, 0);
    // Numbers that reached the bridge from a run that then threw are not a rectangle.
    Ask("document.getElementById('frac').getBoundingClientRect = function () {"
        "  window.top.GetElementRect(9, 9, 9, 9, 9, 9); throw new Error('no'); };");
    r = web_.GetBoundingRect(id, "frac");
    EXPECT_EQ(r.left + r.top + r.right + r.bottom + r.width + r.height, 0);
}

TEST_F(Elements, AFormIsSubmittedIntoTheNamedTarget) {
    Load("/", 3);
    EXPECT_TRUE(web_.SetElementValue(id, "t1", "x y"));
    EXPECT_TRUE(web_.SubmitForm(id, "f", "out"));
    EXPECT_EQ(web_.GetElementAttribute(id, "f", "target"), "out");
    EXPECT_TRUE(testsupport::PumpHostLoop(
        [&] { return web_.GetElementInnerText(id, "echoed", 0, 2) == "/echo?t1=x+y"; }));
    EXPECT_FALSE(web_.SubmitForm(id, "nothing"));
}

}  // namespace
