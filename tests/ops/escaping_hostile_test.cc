// Caller texts that try to end the string literal they are quoted in: whatever bytes a
// caller passes (GBK, malformed GBK, UTF-8 by mistake), the page receives them as data and
// its flag never changes.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "automation/script_bridge.h"
#include "hostctl/engine_library.h"
#include "locate/script_literal.h"
#include "tests/support/hostile_site.h"
#include "tests/support/page_view.h"

namespace {

// Whatever an unescaped quote or backslash would let out of a call's literal sets the flag
// and comments out the rest of the line; an unescaped line break would stop the script
// from parsing, which the operations' results show.
const std::vector<std::string> kBreakers = {"'", "\"", "\\", "\r", "\n"};
const std::string kAfterBreak = "');window.__pwned=21;//\");window.__pwned=22;//";

std::string Payload(int lead, const std::string& breaker) {
    return std::string(1, static_cast<char>(lead)) + breaker + kAfterBreak;
}

const char kPage[] =
    "<!doctype html><html><head><meta charset=utf-8></head><body>"
    "<div id=t class=c name=n title=x>target</div>"
    "<form id=f action=/nowhere><input id=i name=q value=v></form>"
    "<iframe src=/escaping/frame></iframe>"
    // Submitting would leave the page; the form only counts.
    "<script>document.getElementById('f').submit=function(){window.__submits=1;};</script>"
    "</body></html>";
const char kFrame[] = "<!doctype html><p id=t class=c>in the frame</p>";

class Escaping : public testsupport::PageView {
  protected:
    static void SetUpTestSuite() {
        hostile::Local().Serve("/escaping", kPage);
        hostile::Local().Serve("/escaping/frame", kFrame);
    }
    void SetUp() override {
        PageView::SetUp();
        LoadUrl(hostile::Local().Url(hostile::kShareHost, "/escaping"), 2);
    }
    // The flag of the top page and of its frame.
    std::string Flags() {
        return Ask("window.top.GetAttributeBack(String(window.__pwned));", 1) + "/" +
               Ask("window.top.GetAttributeBack(String(window.__pwned));", FrameHandle());
    }
    int FrameHandle() {
        std::vector<int32_t> frames;
        web_.GetFrameIds(frames);
        return frames.size() > 1 ? frames[1] : 0;
    }
};

// Every lead byte, directly before each character that could end a literal: one text per
// lead byte holds all five, so that every operation can be tried with every lead byte.
std::vector<std::string> LeadBytePayloads() {
    std::vector<std::string> payloads;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        std::string text;
        for (const std::string& breaker : kBreakers) text += Payload(lead, breaker);
        payloads.push_back(text);
    }
    return payloads;
}

std::string Text(std::initializer_list<int> bytes) {
    std::string text;
    for (int b : bytes) text.push_back(static_cast<char>(b));
    return text;
}

TEST_F(Escaping, NoLeadByteEndsALiteralInAnyLocatorKind) {
    const char* kinds[] = {"getElementById",
                           "getElementsByClassName",
                           "getElementsByTagName",
                           "getElementsByName",
                           "querySelectorAll",
                           "expression",
                           "All",
                           "XPath"};
    for (const std::string& payload : LeadBytePayloads()) {
        for (const char* kind : kinds) {
            std::string id = web_.GetElementId(kind, payload);
            web_.GetElementId(kind, "id==" + payload);  // both sides of attribute==value
            web_.GetElementId(kind, payload + "==x");
            // These kinds parse whatever the text: the element is missing, never a failure.
            if (std::string(kind).rfind("getElement", 0) == 0) ASSERT_EQ(id, "undefined") << kind;
        }
    }
    EXPECT_EQ(Flags(), "undefined/undefined");
}

// Each operation also has to run: a text that broke its script would make it fail.
TEST_F(Escaping, NoLeadByteEndsALiteralInAnOperation) {
    std::vector<automation::ElementInfo> found;
    int broken = 0;
    auto expect = [&](bool ran, const char* what) {
        if (!ran && ++broken <= 5) ADD_FAILURE() << what << " did not run";
    };
    for (const std::string& p : LeadBytePayloads()) {
        expect(web_.GetElementAttribute("getElementById", "t", 0, p) == "null", "getAttribute");
        web_.SetElementAttribute("getElementById", "t", 0, p, p);  // most names are refused
        expect(web_.SetElementAttribute("getElementById", "t", 0, "title", p), "setAttribute");
        expect(web_.RemoveElementAttribute("getElementById", "t", 0, p), "removeAttribute");
        expect(web_.SetFormAction("getElementById", "f", p), "form action");
        expect(web_.SubmitForm("getElementById", "f", p), "submit target");
        expect(web_.DispatchEvent("getElementById", "t", p, true, true), "event type");
        expect(web_.DispatchMouseEvent("getElementById", "t", p, true, true), "mouse event");
        web_.DispatchTouchEvent("getElementById", "t", p, true, true);
        expect(web_.DispatchKeyDown("getElementById", "t", p), "key down");
        expect(web_.DispatchKeyPress("getElementById", "t", p), "key press");
        web_.FindElementsById(p, found);
        web_.FindElementsByName(p, found);
        web_.FindElementsByClassName(p, found);
        web_.FindElementsByTagName(p, found);
        web_.ClickElementInAllFrames("getElementById", p);
        web_.GetElementAttributeInAllFrames("getElementById", "t", p);
        expect(
            automation::RunScript(view_, 1, web_.BuildTypedListScript(p, p, true, p, p, 1), true),
            "typed list");
    }
    EXPECT_EQ(broken, 0);
    EXPECT_EQ(Flags(), "undefined/undefined");
}

// One pair at a time, so that the first quote that got out would run its statement.
TEST_F(Escaping, AQuoteAfterALeadByteStaysInItsLiteral) {
    int broken = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (const std::string& breaker : kBreakers) {
            std::string p = Payload(lead, breaker);
            broken += web_.GetElementId("getElementById", p) != "undefined";
            broken += !web_.SetElementAttribute("getElementById", "t", 0, "title", p);
        }
    }
    EXPECT_EQ(Flags(), "undefined/undefined");
    EXPECT_EQ(broken, 0);
}

TEST_F(Escaping, Utf8TextsPassedByMistakeStayData) {
    // "中" and "文" in UTF-8, read as GBK, leave a lone lead byte before the quote.
    for (const std::string& chinese : {std::string("\xE4\xB8\xAD"), std::string("\xE6\x96\x87")}) {
        std::string p = chinese + kAfterBreak;
        web_.GetElementId("getElementById", p);
        web_.GetElementId("XPath", "//div[@id='" + p + "']");
        web_.SetElementAttribute("getElementById", "t", 0, "title", p);
        web_.GetElementAttributeInAllFrames("getElementById", "t", p);
    }
    EXPECT_EQ(Flags(), "undefined/undefined");
}

TEST_F(Escaping, TheTextArrivesAsTheDecoderReadsIt) {
    // Whole GBK characters, quotes and backslashes arrive as they are.
    const std::string exact = Text({0xD6, 0xD0, '\'', 0x95, 0x5C, '"', '\\', 0xCE, 0xC4, '<', '/',
                                    's',  'c',  'r',  'i',  'p',  't', '>',  '\r', '\n', 'x'});
    ASSERT_TRUE(web_.SetElementAttribute("getElementById", "t", 0, "title", exact));
    EXPECT_EQ(web_.GetElementAttribute("getElementById", "t", 0, "title"), exact);
    // A byte that starts no character reaches the page as U+FFFD, and the quote after it
    // is still a quote inside the text.
    ASSERT_TRUE(
        web_.SetElementAttribute("getElementById", "t", 0, "title", Text({0x81, '\'', 'z'})));
    EXPECT_EQ(Ask("window.top.GetAttributeBack(String(document.getElementById('t').title === "
                  "'\\uFFFD\\'z'));"),
              "true");
}

// Random byte strings, weighted towards the bytes that matter, through the locator kinds
// whose script always parses: the element is then missing ("undefined"), never a failure.
TEST_F(Escaping, RandomBytesNeverBreakTheScript) {
    std::mt19937 random(20261207);
    const std::string alphabet =
        Text({'\'', '"',  '\\', '\r', '\n', '<',  '/',  's',  '(', ')', ';',  0x81, 0x95, 0xA1,
              0xD6, 0xFE, 0xFF, 0x80, 0x5C, 0x7F, 0x40, 0x00, ' ', 'x', 0xE4, 0xB8, 0xAD});
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1), length(1, 12);
    const char* kinds[] = {"getElementById", "getElementsByClassName", "getElementsByName",
                           "getElementsByTagName"};
    int failures = 0;
    for (int n = 0; n < 3000; ++n) {
        std::string text;
        for (size_t k = length(random); k > 0; --k) text.push_back(alphabet[pick(random)]);
        std::string id = web_.GetElementId(kinds[n % 4], text + "_");
        if (id != "undefined") {
            ++failures;
            ADD_FAILURE() << "script broke for bytes of length " << text.size() << ": " << id;
            if (failures > 5) break;
        }
    }
    EXPECT_EQ(Flags(), "undefined/undefined");
}

}  // namespace
