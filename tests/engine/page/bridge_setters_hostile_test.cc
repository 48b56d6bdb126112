// The library's setters take their value through the one bound function that answers the
// page ("Getvalue"): on a page that stops in its own debugger statements all the time, with
// a neighbour view asking for values every millisecond, each setter writes its own value.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/hostile_site.h"
#include "tests/support/page_view.h"

namespace {

using testsupport::PumpHostLoop;

class BoundAnswers : public testsupport::PageView {};

TEST_F(BoundAnswers, EverySetterWritesItsOwnValueBesidePagesThatFightTheBridge) {
    auto& engine = hostctl::Engine();
    wkeWebView neighbour =
        engine.wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 300, 200);
    int neighbourLoads = 0;
    engine.wkeOnLoadingFinish(
        neighbour,
        [](wkeWebView, void* n, const wkeString, wkeLoadingResult, const wkeString) {
            ++*static_cast<int*>(n);
        },
        &neighbourLoads);
    hostile::Local().Serve("/answers/neighbour",
                           "<script>setInterval(function(){for(var i=0;i<3;i++)"
                           "window.top.Getvalue(0);},1);</script>");
    engine.wkeLoadURL(neighbour,
                      hostile::Local().Url("neighbour.test", "/answers/neighbour").c_str());
    ASSERT_TRUE(PumpHostLoop([&] { return neighbourLoads > 0; }));

    hostile::Local().Serve("/answers/stops-itself",
                           "<input id=i><div id=t></div><script>"
                           "setInterval(function(){debugger;},2);"
                           "setInterval(function(){(function(){}).constructor('debugger')();},3);"
                           "</script>");
    LoadUrl(hostile::Local().Url(hostile::kShareHost, "/answers/stops-itself"));
    int wrong = 0;
    for (int i = 0; i < 500; ++i) {
        std::string value = "value-" + std::to_string(i);
        bool set = web_.SetElementValue("getElementById", "i", value) &&
                   web_.SetElementInnerText("getElementById", "t", value + "!");
        if ((!set || web_.GetElementValue("getElementById", "i") != value ||
             web_.GetElementInnerText("getElementById", "t") != value + "!") &&
            ++wrong < 4)
            ADD_FAILURE() << "setter " << i << " did not write its own value";
    }
    EXPECT_EQ(wrong, 0);
    engine.wkeDestroyWebWindow(neighbour);
}

}  // namespace
