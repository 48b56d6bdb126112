// Locators, discovery, marking and the address readers, on real pages in every frame.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "automation/web_automation.h"
#include "hostctl/engine_library.h"
#include "locate/locator_expression.h"
#include "locate/script_literal.h"
#include "platform/codepage.h"
#include "tests/support/diagnosis_log.h"
#include "tests/support/host_loop.h"
#include "tests/support/http_server.h"
#include "tests/support/page_view.h"

using automation::Bridge;
using automation::ElementInfo;
using automation::WebAutomation;
using hostctl::Engine;
using locate::kMissingElementTail;
using locate::LocatorExpression;
using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::HttpServer;

namespace {

std::string Gbk(const char* utf8) {
    return platform::Utf8ToGbk(utf8);
}

// ---- the expression text, without a page ----------------------------------------------

TEST(LocatorExpression, EveryKindGivesItsBodyGuardsAndTail) {
    const std::string guard = locate::kLocatedGuard;
    const std::string tail = guard + kMissingElementTail;
    auto indexed = [](const std::string& list, int index) {
        return "var l_Object = " + list + "[" + std::to_string(index) + "]" +
               locate::IndexGuard(list, index);
    };
    struct Row {
        const char* kind;
        const char* text;
        int index;
        std::string expected;
    } rows[] = {
        {"getElementById", "a", 3, "var l_Object = document.getElementById('a')" + tail},
        {"getElementsByClassName", "a b", 2,
         indexed("document.getElementsByClassName('a b')", 2) + tail},
        {"getElementsByTagName", "p", -1, indexed("document.getElementsByTagName('p')", -1) + tail},
        {"getElementsByName", "q", 0, indexed("document.getElementsByName('q')", 0) + tail},
        {"querySelectorAll", "div > p", 1,
         indexed("document.querySelectorAll('div > p')", 1) + tail},
        {"expression", "name", 0, "var l_Object = {}" + guard},
        {"All", "plain text", 4, "var l_Object = {}" + guard},
        {"xpath", "//p", 0, tail},  // kinds are case-sensitive
        {"EnterElement", "ignored", 0, tail},
        {"nonsense", "", 0, tail},
    };
    for (const auto& r : rows) EXPECT_EQ(LocatorExpression(r.kind, r.text, r.index), r.expected);
    EXPECT_EQ(locate::IndexGuard("_x('//p')", 3),
              "\r\nif(!window.__qirlenBridge.within(_x('//p'),3)){l_Object=null;}");
    EXPECT_TRUE(LocatorExpression("XPath", "//p", 3)
                    .ends_with("\r\nvar l_Object = _x('//p')[3]" +
                               locate::IndexGuard("_x('//p')", 3) + tail));
}

TEST(LocatorExpression, AttributeMatchesSplitAtTheFirstDoubleEquals) {
    const std::string tail = locate::kLocatedGuard + std::string(kMissingElementTail);
    auto endsWith = [](const std::string& s, const std::string& end) {
        return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
    };
    for (const char* kind : {"expression", "All"}) {
        EXPECT_TRUE(endsWith(LocatorExpression(kind, "name==q", 0),
                             "var l_Object = findElementAll('name','q',0);" + tail));
        EXPECT_TRUE(endsWith(LocatorExpression(kind, "a==b==c", 2),
                             "var l_Object = findElementAll('a','b==c',2);" + tail));
        EXPECT_TRUE(endsWith(LocatorExpression(kind, "id==", 0),
                             "var l_Object = findElementAll('id','',0);" + tail));
    }
    EXPECT_NE(LocatorExpression("expression", "a==b", 0).find("ParsingElenment"),
              std::string::npos);
    EXPECT_NE(LocatorExpression("All", "a==b", 0).find("document.all"), std::string::npos);
}

TEST(LocatorExpression, CoordinatesTakeTwoScriptNumbersOrLocateNothing) {
    const std::string tail = locate::kLocatedGuard + std::string(kMissingElementTail);
    auto body = [](const std::string& text) {
        std::string e = LocatorExpression("coordinates", text, 9);
        size_t at = e.rfind("\r\nvar l_Object");
        return at == std::string::npos ? e : e.substr(at);
    };
    EXPECT_EQ(body("100;200;7"), "\r\nvar l_Object = GetDomByPosition(100,200)" + tail);
    EXPECT_EQ(body("-1.5e2; 0x1F"), "\r\nvar l_Object = GetDomByPosition(-1.5e2, 0x1F)" + tail);
    for (const char* refused : {"100", "100;", ";5", "1;alert(1)", "1;2e", "x;y", "0x;1"})
        EXPECT_EQ(body(refused), "\r\nvar l_Object = null" + tail) << refused;
}

TEST(LocatorExpression, CallerTextsReachTheLiteralEscaped) {
    using locate::EscapeForScriptLiteral;
    EXPECT_EQ(EscapeForScriptLiteral("plain-text 1"), "plain-text 1");
    EXPECT_EQ(EscapeForScriptLiteral("a'b\"c\\d\r\ne"), "a\\'b\\\"c\\\\d\\r\\ne");
    EXPECT_EQ(EscapeForScriptLiteral("x</script>"), "x<\\/script>");
    // A GBK character whose trail byte is a backslash stays one character.
    EXPECT_EQ(EscapeForScriptLiteral("\x95\x5C'"), "\x95\x5C\\'");
    EXPECT_EQ(LocatorExpression("getElementById", "it's", 0),
              "var l_Object = document.getElementById('it\\'s')" +
                  std::string(locate::kLocatedGuard) + kMissingElementTail);
}

// ---- on pages -------------------------------------------------------------------------

bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    return testsupport::PumpHostLoop(done, timeoutMs);
}

HttpServer* far = nullptr;  // another origin
HttpServer* server = nullptr;

const char kFixture[] = R"(<!doctype html><html><head><meta name=m charset=utf-8></head>
<body style='margin:0'>
<p>one</p><p class='box' id='second'>two</p><p>three</p>
<div class='box  wide' name='n'><span class='中文 c:d'>s</span></div>
<input name='q' value='1'><input name='q' value='2'>
<ul><li>a</li><li>b</li><li>c</li></ul>
<script>
  var odd = document.createElement('i');
  odd.id = "a'b\"c\\d"; odd.className = 'q"uote'; odd.setAttribute('data-v', 'line\nbreak');
  document.body.appendChild(odd);
  var cn = document.createElement('b'); cn.id = '编号'; cn.setAttribute('title', '标题');
  document.body.appendChild(cn);
</script></body></html>)";

const char kForeign[] = R"(<!doctype html><body><p>x</p>
<svg id=pic><g></g><g><circle r=1></circle><rect></rect><circle r=2></circle></g></svg>
<div><svg><circle r=3></circle></svg><svg><circle r=4></circle></svg></div>
<math><mi>a</mi><mo>+</mo><mi>b</mi></math></body>)";

class Locate : public testsupport::PageView {
  protected:
    static void SetUpTestSuite() {
        far = new HttpServer([](const HttpRequest&) {
            return HttpResponse{
                200, "text/html",
                "<body style='margin:0'><button id=deep style='position:absolute;left:5px;"
                "top:5px;width:30px;height:20px'>deep</button><p class=box>far</p></body>"};
        });
        server = new HttpServer([](const HttpRequest& r) {
            HttpResponse page;
            if (r.path == "/frames")  // two levels; the inner one on the other origin
                page.body =
                    "<body style='margin:0'><p class=box>top</p><iframe src='/mid' "
                    "style='position:absolute;left:50px;top:60px;width:300px;height:200px;"
                    "border:0'></iframe></body>";
            else if (r.path == "/mid")
                page.body = "<body style='margin:0'><p class=box>mid</p><iframe src='" +
                            far->Url("/") +
                            "' style='position:absolute;left:10px;top:20px;width:200px;"
                            "height:100px;border:0'></iframe></body>";
            else if (r.path == "/tall")
                page.body =
                    "<!doctype html><body style='margin:0'><div style='height:3000px'></div>"
                    "<a id=low style='position:absolute;left:0;top:2000px;width:50px;"
                    "height:20px'>low</a></body>";
            else if (r.path == "/foreign")  // inline SVG and MathML among HTML
                page.body = kForeign;
            else if (r.path == "/generated")
                page.body = GeneratedPage();
            else
                page.body = kFixture;
            return page;
        });
    }
    void Load(const std::string& path, int frames = 1) { LoadUrl(server->Url(path), frames); }

    // 1,000+ elements: ids with digits and colons, Chinese and escaped class names,
    // repeated classes, nesting ten deep. Built by the page itself, the same every time.
    static std::string GeneratedPage() {
        return R"(<!doctype html><meta charset=utf-8><body><script>
var seed = 7;
function next(n) { seed = (seed * 1103515245 + 12345) % 2147483648; return seed % n; }
var classes = ['a', 'b', 'item', '中文', 'x:y', 'q.r', '1st', 'sp ace'.split(' ')[0], 'dup'];
var ids = ['main', '1abc', 'a:b', 'x.y', '编号', 'dup', 'dup', 'with space'];
var tags = ['div', 'span', 'p', 'ul', 'li', 'section', 'a', 'em'];
var made = 0;
function grow(parent, depth) {
  var count = depth >= 10 ? 0 : 1 + next(depth < 2 ? 9 : 4);
  for (var i = 0; i < count && made < 1100; i++) {
    var el = document.createElement(tags[next(tags.length)]);
    if (next(3) == 0) el.id = ids[next(ids.length)] + (next(2) ? made : '');
    var k = next(4);
    for (var c = 0; c < k; c++) el.classList.add(classes[next(classes.length)]);
    el.textContent = 't' + made;
    parent.appendChild(el);
    made++;
    grow(el, depth + 1);
  }
}
while (made < 1050) grow(document.body, 0);
</script></body>)";
    }
};

TEST_F(Locate, EveryKindFindsItsElementAndReportsAMissingOne) {
    Load("/");
    struct Row {
        const char* kind;
        std::string text;
        int index;
        const char* selector;  // what the element is, independently
    } found[] = {
        {"getElementById", "second", 0, "#second"},
        {"getElementsByClassName", "box wide", 0, "div.box.wide"},
        {"getElementsByTagName", "p", 2, "body > p:nth-of-type(3)"},
        {"getElementsByName", "q", 1, "input[value='2']"},
        {"querySelectorAll", "li", 1, "li:nth-child(2)"},
        {"expression", "name==q", 1, "input[value='2']"},
        {"All", "class==box", 0, "#second"},
        {"XPath", "//ul/li[3]", 0, "li:nth-child(3)"},
        {"XPath", "//*[@id='second']", 0, "#second"},  // single quotes reach the page
    };
    for (const auto& r : found) {
        EXPECT_TRUE(web_.ElementExists(r.kind, r.text, r.index)) << r.kind << " " << r.text;
        std::string selector = web_.GetElementSelector(r.kind, r.text, r.index);
        EXPECT_EQ(Ask("window.top.GetAttributeBack(document.querySelector('" +
                      locate::EscapeForScriptLiteral(selector) +
                      "') === document.querySelector(\"" + r.selector + "\"));"),
                  "true")
            << r.kind << " " << r.text << " gave " << selector;
    }
    struct Missing {
        const char* kind;
        std::string text;
        int index;
    } missing[] = {
        {"getElementById", "nothing", 0},  {"getElementsByClassName", "box", 5},
        {"getElementsByTagName", "p", -1}, {"querySelectorAll", "table", 0},
        {"XPath", "//table", 0},           {"coordinates", "1;alert(1)", 0},
        {"getElementsByName", "q", 2},
    };
    for (const auto& m : missing) {
        EXPECT_FALSE(web_.ElementExists(m.kind, m.text, m.index)) << m.kind;
        EXPECT_EQ(web_.GetElementXPath(m.kind, m.text, m.index), "undefined") << m.kind;
        EXPECT_FALSE(web_.MarkElement(m.kind, m.text, m.index)) << m.kind;
    }
    // No match for an attribute: an empty object, as the page gets it, not a missing element.
    EXPECT_TRUE(web_.ElementExists("expression", "name==none"));
    EXPECT_TRUE(web_.ElementExists("All", "no double equals"));
}

TEST_F(Locate, TextsReachThePageExactlyAndNeverBecomeScript) {
    Load("/");
    // An id with a double quote cannot stand in an XPath literal: the path goes by position.
    std::string odd = web_.GetElementXPath("getElementById", "a'b\"c\\d");
    EXPECT_EQ(odd, "/html/body/i[1]");
    EXPECT_TRUE(web_.ElementExists("getElementsByClassName", "q\"uote"));
    EXPECT_TRUE(web_.ElementExists("expression", "data-v==line\nbreak"));
    EXPECT_TRUE(web_.ElementExists("getElementById", Gbk("编号")));
    EXPECT_TRUE(web_.ElementExists("All", Gbk("title==标题")));
    EXPECT_EQ(web_.GetElementPath("getElementById", Gbk("编号")), "html body b");
    // A quote in a class name finds nothing instead of "succeeding".
    EXPECT_FALSE(web_.ElementExists("getElementsByClassName", "bo'x"));
    const std::string injected = "x');window.top.GetAttributeBack('pwned');//";
    Bridge().attributeReply.clear();
    web_.MarkElement("getElementById", injected);
    EXPECT_NE(Bridge().attributeReply, "pwned");
    std::vector<ElementInfo> list;
    web_.FindElementsById("x\";window.top.GetAttributeBack('pwned');//", list);
    EXPECT_NE(Bridge().attributeReply, "pwned");
    EXPECT_TRUE(list.empty());
}

TEST_F(Locate, AScriptThatThrowsIsAFailureNotASuccess) {
    Load("/");
    // "EnterElement" addresses what the frame located last; in a fresh page there is none.
    EXPECT_EQ(web_.GetElementXPath("EnterElement", ""), "");
    EXPECT_FALSE(web_.MarkElement("querySelectorAll", "p[[["));     // an invalid selector
    EXPECT_EQ(web_.GetElementSelector("XPath", "count(//p)"), "");  // not a node set
    EXPECT_FALSE(web_.ElementExists("XPath", "//p[", 0));
    EXPECT_TRUE(web_.MarkElement("getElementById", "second"));
    EXPECT_EQ(web_.GetElementXPath("EnterElement", ""), "//*[@id=\"second\"]");
}

// A misspelled kind keeps its results (nothing was located before it: "" and false) and,
// while the protocol log is on, is named on stderr with the kind it resembles.
TEST_F(Locate, AnUnknownKindIsNamedOnStderrWhileTheProtocolLogIsOn) {
    Load("/");
    std::string said = testsupport::Diagnosed([&] {
        EXPECT_EQ(web_.GetElementXPath("getElementByID", "second"), "");
        EXPECT_FALSE(web_.ElementExists("nonsense", ""));
    });
    EXPECT_NE(
        said.find("unknown locator kind \"getElementByID\" (did you mean \"getElementById\"?)"),
        std::string::npos)
        << said;
    EXPECT_NE(said.find("unknown locator kind \"nonsense\":"), std::string::npos) << said;
    said = testsupport::Diagnosed([&] {
        EXPECT_TRUE(web_.ElementExists("getElementById", "second"));
        EXPECT_TRUE(web_.ElementExists("EnterElement", ""));
    });
    EXPECT_EQ(said.find("locator kind"), std::string::npos) << said;
    said = testsupport::Diagnosed([&] { web_.ElementExists("getElementByID", "second"); }, false);
    EXPECT_EQ(said.find("locator kind"), std::string::npos) << said;
}

TEST_F(Locate, ReadersGiveAddressesThatLocateTheElementAgain) {
    Load("/");
    EXPECT_EQ(web_.GetElementXPath("getElementById", "second"), "//*[@id=\"second\"]");
    EXPECT_EQ(web_.GetElementXPath("getElementsByTagName", "p", 2), "/html/body/p[3]");
    // Outside the body the walk ends at the document element, so the XPath still works.
    std::string meta = web_.GetElementXPath("getElementsByTagName", "meta");
    EXPECT_EQ(meta, "/html/head[1]/meta[1]");
    EXPECT_TRUE(web_.ElementExists("XPath", meta));
    EXPECT_EQ(web_.GetElementPath("getElementsByTagName", "span"), "html body .box..wide span");
    EXPECT_EQ(web_.GetElementSelector("getElementById", "second"), "#second");
    EXPECT_EQ(web_.GetElementSelector("getElementsByTagName", "li", 2), "ul > :nth-child(3)");
    std::string span = web_.GetElementSelector("getElementsByTagName", "span");
    EXPECT_TRUE(web_.ElementExists("querySelectorAll", span)) << span;
}

// A plain name step matches only HTML elements; SVG and MathML are named by local name.
TEST_F(Locate, XPathsOfSvgAndMathMlElementsLocateThemAgain) {
    Load("/foreign");
    struct Row {
        const char* tag;
        int index;
        const char* xpath;
    } rows[] = {
        {"circle", 1, "//*[@id=\"pic\"]/*[local-name()='g'][2]/*[local-name()='circle'][2]"},
        {"circle", 3, "/html/body/div[1]/*[local-name()='svg'][2]/*[local-name()='circle'][1]"},
        {"mi", 1, "/html/body/*[local-name()='math'][1]/*[local-name()='mi'][2]"},
    };
    for (const auto& r : rows) {
        std::string xpath = web_.GetElementXPath("getElementsByTagName", r.tag, r.index);
        EXPECT_EQ(xpath, r.xpath);
        std::string same = Ask("window.top.GetAttributeBack(document.evaluate('" +
                               locate::EscapeForScriptLiteral(xpath) +
                               "', document, null, 9, null).singleNodeValue === "
                               "document.getElementsByTagName('" +
                               r.tag + "')[" + std::to_string(r.index) + "]);");
        EXPECT_EQ(same, "true") << xpath;
    }
    // HTML steps stay as they were.
    EXPECT_EQ(web_.GetElementXPath("getElementsByTagName", "div"), "/html/body/div[1]");
}

TEST_F(Locate, MarkingFlashesABorderAndGivesTheStyleBack) {
    Load("/");
    Ask("document.getElementById('second').style.color = 'green';");
    EXPECT_TRUE(web_.MarkElement("getElementById", "second"));
    auto style = [&] {
        return Ask("window.top.GetAttributeBack(document.getElementById('second').style.cssText);");
    };
    EXPECT_TRUE(PumpUntil([&] { return style().find("border") != std::string::npos; }, 2000));
    EXPECT_TRUE(PumpUntil([&] { return style() == "color: green;"; }, 2000)) << style();
}

TEST_F(Locate, CoordinatesDescendIntoNestedFramesOfAnyOrigin) {
    Load("/frames", 3);
    // The button lies at 5;5 of the inner frame, which lies at 10;20 of the middle one,
    // which lies at 50;60 of the page.
    EXPECT_EQ(web_.GetElementPath("coordinates", "70;90"), "html body button");
    EXPECT_EQ(web_.GetLocatedFrame(), 3);
    EXPECT_TRUE(web_.ElementExists("getElementById", "deep", 0, web_.GetLocatedFrame()));
    EXPECT_EQ(web_.GetElementPath("coordinates", "55;62"), "html body p");  // the middle frame
    EXPECT_EQ(web_.GetLocatedFrame(), 2);
    EXPECT_FALSE(web_.ElementExists("coordinates", "5000;5000"));
    EXPECT_EQ(web_.GetLocatedFrame(), -1);

    Load("/tall");
    Ask("document.documentElement.scrollTop = 1900;");
    EXPECT_EQ(web_.GetElementXPath("coordinates", "10;2010"), "//*[@id=\"low\"]");
    EXPECT_EQ(web_.GetLocatedFrame(), 1);
}

TEST_F(Locate, DiscoveryListsEveryFrameInOrder) {
    Load("/frames", 3);
    std::vector<ElementInfo> list{ElementInfo{}};
    ASSERT_TRUE(web_.FindElementsByClassName("box", list));
    ASSERT_EQ(list.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list[i].frameRecord, i + 1);
        EXPECT_EQ(list[i].nodeName, "P");
        EXPECT_EQ(list[i].className, "box");
        EXPECT_EQ(list[i].cssSelector, ".box");  // unique in its own frame
    }
    EXPECT_EQ(list[0].innerText, "top");
    EXPECT_EQ(list[2].innerText, "far");
    ASSERT_TRUE(web_.FindElementsById("deep", list));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].frameRecord, 3);
    EXPECT_EQ(list[0].cssSelector, "#deep");
    ASSERT_TRUE(web_.FindElementsByTagName("button", list, 2));
    EXPECT_TRUE(list.empty());  // the frame asked holds none
    ASSERT_TRUE(web_.FindElementsByName("nothing", list));
    EXPECT_TRUE(list.empty());

    Load("/");
    ASSERT_TRUE(web_.FindElementsByName("q", list));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].outerHTML, "<input name=\"q\" value=\"2\">");
    EXPECT_EQ(list[1].cssSelector, ":nth-child(6)");

    WebAutomation none;
    list.assign(1, ElementInfo{});
    EXPECT_FALSE(none.FindElementsByTagName("p", list));
    EXPECT_EQ(list.size(), 1u);  // left as it was
}

// The caller's value is data: a value that spells the frame placeholder is searched as it is.
TEST_F(Locate, DiscoverySearchesForTheCallersValueVerbatim) {
    Load("/");
    Ask(
        Gbk("var e = document.createElement('em'); e.id = e.className = '我是当前框架';"
            "e.textContent = 'p'; document.body.appendChild(e);"
            "var one = document.createElement('em'); one.id = one.className = '1';"
            "one.textContent = 'one'; document.body.appendChild(one);"));
    std::vector<ElementInfo> list;
    ASSERT_TRUE(web_.FindElementsById(Gbk("我是当前框架"), list));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].id, Gbk("我是当前框架"));
    EXPECT_EQ(list[0].innerText, "p");
    ASSERT_TRUE(web_.FindElementsByClassName(Gbk("我是当前框架"), list, 1));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].id, Gbk("我是当前框架"));
}

// A getter that throws while the elements are reported leaves a list that only looks
// complete: the operation fails and hands back nothing.
TEST_F(Locate, DiscoveryWhoseRunThrowsFailsWithAnEmptyList) {
    Load("/frames", 3);
    Ask("Object.defineProperty(document.querySelector('.box'), 'className',"
        "{get: function () { throw new Error('no'); }});");
    std::vector<ElementInfo> list;
    EXPECT_FALSE(web_.FindElementsByClassName("box", list));
    EXPECT_TRUE(list.empty());
    list.assign(1, ElementInfo{});
    EXPECT_FALSE(web_.FindElementsByClassName("box", list, 1));
    EXPECT_TRUE(list.empty());
    // Another frame is unaffected; an id that no frame holds is nothing found, not a failure.
    ASSERT_TRUE(web_.FindElementsByClassName("box", list, 3));
    EXPECT_EQ(list.size(), 1u);
    ASSERT_TRUE(web_.FindElementsById("nothing", list));
    EXPECT_TRUE(list.empty());
}

// Every selector that discovery and GetElementSelector give, and every XPath of
// GetElementXPath, is checked by the page's own querySelectorAll and document.evaluate.
TEST_F(Locate, SelectorsAndXPathsPickExactlyTheirElementOnALargeVariedPage) {
    Load("/generated");
    std::vector<ElementInfo> list;
    ASSERT_TRUE(web_.FindElementsByTagName("*", list, 1))
        << "the discovery run failed or was stopped at the script limit";
    ASSERT_GT(list.size(), 1000u);
    std::string selectors = "var sels = [";
    for (const auto& e : list)
        selectors += "'" + locate::EscapeForScriptLiteral(e.cssSelector) + "',";
    std::string verdict = Ask(selectors + R"(];
var all = document.getElementsByTagName('*'), bad = [];
for (var i = 0; i < all.length; i++) {
  var m = [];
  try { m = document.querySelectorAll(sels[i]); } catch (e) {}
  if (all.length != sels.length || m.length != 1 || m[0] !== all[i]) bad.push(i + ':' + sels[i]);
}
window.top.GetAttributeBack(bad.length + ' ' + bad.slice(0, 3).join(' | '));)");
    EXPECT_EQ(verdict, "0 ") << verdict;

    int wrong = 0;
    for (size_t i = 0; i < list.size(); i += 7) {
        int index = static_cast<int>(i);
        std::string xpath = web_.GetElementXPath("getElementsByTagName", "*", index);
        std::string selector = web_.GetElementSelector("getElementsByTagName", "*", index);
        std::string check =
            Ask("var r = document.evaluate('" + locate::EscapeForScriptLiteral(xpath) +
                "', document, null, XPathResult.ORDERED_NODE_SNAPSHOT_TYPE, null);"
                "var want = document.getElementsByTagName('*')[" +
                std::to_string(index) +
                "];"
                "window.top.GetAttributeBack(r.snapshotLength == 1 && r.snapshotItem(0) === want &&"
                " document.querySelectorAll('" +
                locate::EscapeForScriptLiteral(selector) + "')[0] === want);");
        if (check != "true" && ++wrong < 4)
            ADD_FAILURE() << index << ": " << xpath << " / " << selector << " " << check;
    }
    EXPECT_EQ(wrong, 0);
}

}  // namespace
