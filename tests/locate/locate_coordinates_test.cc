// The "coordinates" locator on pages and frames scrolled both ways, and what it leaves for
// "EnterElement" in the frame where it ended.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "automation/web_automation.h"
#include "tests/support/host_loop.h"
#include "tests/support/http_server.h"
#include "tests/support/page_view.h"

using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::HttpServer;

namespace {

// Three levels, the innermost on another origin, every document larger than its viewport:
//   page: the middle frame at 400;300, borderless, 400x300
//   middle frame (2): a paragraph at 120;100 (60x30); the inner frame at 200;150 with a
//     4 px border, so its viewport begins at 204;154 and is 150x100
//   inner frame (3): a button at 30;20 (40x20), so its centre is at 50;30
constexpr int kMiddleLeft = 400, kMiddleTop = 300;
constexpr int kInnerLeft = 204, kInnerTop = 154;
constexpr int kButtonX = 50, kButtonY = 30;
constexpr int kTop = 1, kMiddle = 2, kInner = 3;

const char kDeep[] = "//*[@id=\"deep\"]";

std::unique_ptr<HttpServer> far;
std::unique_ptr<HttpServer> server;

std::string Page(bool standards) {
    return std::string(standards ? "<!doctype html>" : "") +
           "<body style='margin:0;width:3000px;height:3000px'><iframe id=middle src='/middle' "
           "style='position:absolute;left:400px;top:300px;width:400px;height:300px;border:0'>"
           "</iframe></body>";
}

HttpResponse Serve(const HttpRequest& r) {
    HttpResponse page;
    if (r.path == "/middle")
        page.body =
            "<!doctype html><body style='margin:0;width:2000px;height:2000px'>"
            "<p id=mid style='position:absolute;margin:0;left:120px;top:100px;width:60px;"
            "height:30px'>mid</p><iframe id=inner src='" +
            far->Url("/") +
            "' style='position:absolute;left:200px;top:150px;width:150px;height:100px;"
            "border:4px solid black;padding:0'></iframe></body>";
    else
        page.body = Page(r.path != "/quirks");
    return page;
}

struct Scroll {
    int x = 0, y = 0;
};

class Coordinates : public testsupport::PageView {
  protected:
    static void SetUpTestSuite() {
        far = std::make_unique<HttpServer>([](const HttpRequest&) {
            return HttpResponse{
                200, "text/html",
                "<!doctype html><body style='margin:0;width:1000px;height:1000px'><button "
                "id=deep style='position:absolute;left:30px;top:20px;width:40px;height:20px'>"
                "deep</button></body>"};
        });
        server = std::make_unique<HttpServer>(Serve);
    }
    static void TearDownTestSuite() {
        server.reset();
        far.reset();
    }

    void Load(const std::string& path) {
        LoadUrl(server->Url(path), 3);
        ASSERT_TRUE(testsupport::PumpHostLoop(
            [&] {
                return Ask("window.top.GetAttributeBack(!!document.getElementById('deep'));",
                           kInner) == "true";
            },
            30000));
    }
    // Scrolls a frame and checks that it went where it was told.
    void ScrollFrame(int frame, Scroll to) {
        std::string want = std::to_string(to.x) + "," + std::to_string(to.y);
        EXPECT_EQ(Ask("window.scrollTo(" + want +
                          ");window.top.GetAttributeBack(pageXOffset+','+pageYOffset);",
                      frame),
                  want)
            << "frame " << frame;
    }
    void ScrollAll(Scroll top, Scroll middle, Scroll inner) {
        ScrollFrame(kTop, top);
        ScrollFrame(kMiddle, middle);
        ScrollFrame(kInner, inner);
    }
    std::string XPathAt(int x, int y, int frame = kTop) {
        return web_.GetElementXPath("coordinates", std::to_string(x) + ";" + std::to_string(y), 0,
                                    frame);
    }
};

// A point of the page's document does not move when the page scrolls; it moves with the
// frames' own scroll, since they show another part of their documents there.
TEST_F(Coordinates, ADocumentPointFindsItsElementInNestedFramesScrolledEitherWay) {
    struct Case {
        const char* page;
        Scroll top, middle, inner;
    } cases[] = {
        {"/", {0, 50}, {}, {}},  // the page scrolled down 50 px, frames not at all
        {"/", {120, 0}, {}, {}},
        {"/", {}, {100, 80}, {}},
        {"/", {}, {}, {30, 20}},
        {"/", {120, 50}, {100, 80}, {30, 20}},
        {"/quirks", {0, 50}, {}, {}},  // the page's scroll is the body's there
        {"/quirks", {120, 50}, {100, 80}, {30, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.page) + " page " + std::to_string(c.top.x) + "," +
                     std::to_string(c.top.y) + " middle " + std::to_string(c.middle.x) + "," +
                     std::to_string(c.middle.y) + " inner " + std::to_string(c.inner.x) + "," +
                     std::to_string(c.inner.y));
        Load(c.page);
        ScrollAll(c.top, c.middle, c.inner);
        int x = kMiddleLeft + kInnerLeft - c.middle.x + kButtonX - c.inner.x;
        int y = kMiddleTop + kInnerTop - c.middle.y + kButtonY - c.inner.y;
        EXPECT_EQ(XPathAt(x, y), kDeep);
        EXPECT_EQ(web_.GetLocatedFrame(), kInner);
        // The middle frame's paragraph, its centre at 150;115 of that document.
        EXPECT_EQ(XPathAt(kMiddleLeft + 150 - c.middle.x, kMiddleTop + 115 - c.middle.y),
                  "//*[@id=\"mid\"]");
        EXPECT_EQ(web_.GetLocatedFrame(), kMiddle);
    }
}

TEST_F(Coordinates, ASearchFromAFrameTakesThatFramesDocumentPoint) {
    Load("/");
    ScrollAll({120, 50}, {100, 80}, {30, 20});
    EXPECT_EQ(XPathAt(kInnerLeft + kButtonX - 30, kInnerTop + kButtonY - 20, kMiddle), kDeep);
    EXPECT_EQ(web_.GetLocatedFrame(), kInner);
    // Found in the frame that searched: that frame, not the page, is where it ended.
    EXPECT_EQ(XPathAt(150, 115, kMiddle), "//*[@id=\"mid\"]");
    EXPECT_EQ(web_.GetLocatedFrame(), kMiddle);
}

// A frame drawn at another size, by the library's own zoom or by the page's transform, is
// descended at that scale: both put the button's centre at 527;392 of the page.
TEST_F(Coordinates, AZoomedOrScaledFrameIsDescendedAtItsScale) {
    const std::string centre = "527;392";
    Load("/");
    ASSERT_TRUE(web_.SetZoom("0.5", kMiddle));
    EXPECT_EQ(web_.GetElementXPath("coordinates", centre), kDeep);
    EXPECT_EQ(web_.GetLocatedFrame(), kInner);

    Load("/");
    Ask("var f = document.getElementById('middle');"
        "f.style.transformOrigin = '0 0'; f.style.transform = 'scale(0.5)';");
    EXPECT_EQ(web_.GetElementXPath("coordinates", centre), kDeep);
    EXPECT_EQ(web_.GetLocatedFrame(), kInner);
}

// A point on a frame's border is not in the frame's document: the frame element is found.
TEST_F(Coordinates, APointOnAFramesBorderGivesTheFrameElement) {
    Load("/");
    ScrollAll({0, 50}, {}, {});
    EXPECT_EQ(XPathAt(kMiddleLeft + 202, kMiddleTop + 160), "//*[@id=\"inner\"]");
    EXPECT_EQ(web_.GetLocatedFrame(), kMiddle);
    // Off the page's viewport nothing is hit, and no frame reported.
    EXPECT_FALSE(web_.ElementExists("coordinates", "10;10"));
    EXPECT_EQ(web_.GetLocatedFrame(), -1);
}

// The located frame's id goes on with "EnterElement" on the element found, even where that
// frame located something else before.
TEST_F(Coordinates, EnterElementInTheLocatedFrameActsOnTheElementFound) {
    Load("/");
    EXPECT_TRUE(web_.ElementExists("getElementsByTagName", "body", 0, kInner));
    ASSERT_EQ(XPathAt(kMiddleLeft + kInnerLeft + kButtonX, kMiddleTop + kInnerTop + kButtonY),
              kDeep);
    int located = web_.GetLocatedFrame();
    ASSERT_EQ(located, kInner);
    EXPECT_EQ(web_.GetElementXPath("EnterElement", "", 0, located), kDeep);
    EXPECT_TRUE(web_.MarkElement("EnterElement", "", 0, located));
    EXPECT_EQ(web_.GetElementXPath("EnterElement", "", 0, kTop), kDeep);  // and where it ran
}

// A frame whose page took `l_Object` for itself is not written through its setter; that
// frame then refuses "EnterElement", and the search itself still works.
TEST_F(Coordinates, AFrameThatOwnsLObjectIsNotWrittenThrough) {
    Load("/");
    Ask("Object.defineProperty(window, 'l_Object', {configurable: false,"
        " get: function () { return document.body; },"
        " set: function (v) { window.handedOver = true; }});",
        kInner);
    EXPECT_EQ(XPathAt(kMiddleLeft + kInnerLeft + kButtonX, kMiddleTop + kInnerTop + kButtonY),
              kDeep);
    EXPECT_EQ(web_.GetLocatedFrame(), kInner);
    EXPECT_EQ(Ask("window.top.GetAttributeBack(String(window.handedOver));", kInner), "undefined");
    EXPECT_FALSE(web_.MarkElement("EnterElement", "", 0, kInner));
}

}  // namespace
