// A page that breaks what the rectangle reader calls gets no rectangle read for it: the caller
// learns that there was none, which an all-zero answer (a hidden element's real one) cannot
// tell.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/hostile_site.h"
#include "tests/support/page_view.h"

namespace {

class Rectangles : public testsupport::PageView {
  protected:
    // Loads a page with a placed element "d" and a hidden one "h", after `breaker` ran.
    void LoadBroken(const std::string& path, const std::string& breaker) {
        hostile::Local().Serve(path,
                               "<div id=d style='position:absolute;left:5px;top:6px;width:7px;"
                               "height:8px'></div><div id=h hidden></div><script>" +
                                   breaker + "</script>");
        LoadUrl(hostile::Local().Url("rectangles.test", path));
    }
    static int Sum(const automation::ElementRect& r) {
        return r.left + r.top + r.right + r.bottom + r.width + r.height;
    }
};

TEST_F(Rectangles, ThrowingGettersGiveNoRectangle) {
    const char* breakers[] = {
        "Element.prototype.getBoundingClientRect = function () { throw new Error('no'); };",
        "Object.defineProperty(DOMRectReadOnly.prototype, 'bottom', {get: function () {"
        " throw new Error('no'); }});",
        "Element.prototype.getBoundingClientRect = function () {"
        " return {get left() { throw 1; }}; };",
    };
    int n = 0;
    for (const char* breaker : breakers) {
        SCOPED_TRACE(breaker);
        LoadBroken("/r7/rect-" + std::to_string(n++), breaker);
        automation::ElementRect rect{1, 1, 1, 1, 1, 1};
        EXPECT_FALSE(web_.GetBoundingRect("getElementById", "d", rect));
        EXPECT_EQ(Sum(rect), 0);
        EXPECT_EQ(Sum(web_.GetBoundingRect("getElementById", "d")), 0);
    }
}

// Beside them: a placed element's rectangle, a hidden one's all-zero one, and none at all.
TEST_F(Rectangles, AZeroRectangleIsToldFromNone) {
    LoadBroken("/r7/rect-whole", "");
    automation::ElementRect rect;
    ASSERT_TRUE(web_.GetBoundingRect("getElementById", "d", rect));
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.bottom, 14);
    EXPECT_TRUE(web_.GetBoundingRect("getElementById", "h", rect));
    EXPECT_EQ(Sum(rect), 0);
    EXPECT_FALSE(web_.GetBoundingRect("getElementById", "nothing", rect));
}

}  // namespace
