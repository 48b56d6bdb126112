// Pages that go after the script bridge: reading values meant for another operation or
// another page, calling the bound functions on their own, and bending the built-ins and
// globals that the bridge and the operations rely on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "tests/support/hostile_site.h"
#include "tests/support/page_view.h"

namespace {

using automation::Bridge;
using testsupport::PumpHostLoop;

std::string Handle(wkeWebView view) {
    return std::to_string(reinterpret_cast<intptr_t>(view));
}

// What a page's script left in `window.<name>`, read by a run of the layer.
std::string PageGlobal(wkeWebView view, const std::string& name) {
    Bridge().attributeReply.clear();
    automation::RunScript(view, 1, "window.top.GetAttributeBack(String(window." + name + "));",
                          false);
    return Bridge().attributeReply;
}

// Host work between operations, during which nobody looks at the engine.
void HostWork(int i) {
    usleep(1000 * (i % 4));
}

class BridgePages : public testsupport::PageView {
  protected:
    void Load(const std::string& path, const std::string& html) {
        hostile::Local().Serve(path, html);
        LoadUrl(hostile::Local().Url(hostile::kShareHost, path));
    }
    // A second view of the engine, with `html` loaded under `host`; the test destroys it.
    wkeWebView OtherView(const std::string& host, const std::string& path,
                         const std::string& html) {
        hostile::Local().Serve(path, html);
        auto& engine = hostctl::Engine();
        wkeWebView other =
            engine.wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 300, 200);
        otherLoads_ = 0;
        engine.wkeOnLoadingFinish(
            other,
            [](wkeWebView, void* n, const wkeString, wkeLoadingResult, const wkeString) {
                ++*static_cast<int*>(n);
            },
            &otherLoads_);
        engine.wkeLoadURL(other, hostile::Local().Url(host, path).c_str());
        EXPECT_TRUE(PumpHostLoop([&] { return otherLoads_ > 0; }));
        return other;
    }

  private:
    int otherLoads_ = 0;
};

// ---- values meant for one operation ---------------------------------------------------

// A value handed to an operation reaches that operation's run only: a page loaded later in
// the same view, and the page of another view asking all the time with this view's
// handle, get nothing of it, and nothing is left in the slot afterwards.
TEST_F(BridgePages, ASuppliedValueReachesOnlyItsOwnRun) {
    const std::string asks = "window.top.Getvalue(" + Handle(view_) + ")";
    Load("/values/target", "<div id=t></div><input id=i>");

    // Another view whose page asks for this view's value all the time.
    wkeWebView other = OtherView("spy.test", "/values/spy",
                                 "<script>window.asked=0;window.leaks=[];setInterval(function(){"
                                 "window.asked++;var v=" +
                                     asks + ";if(v)window.leaks.push(v);},1);</script>");

    for (int i = 0; i < 30; ++i) {
        std::string secret = "secret-" + std::to_string(i);
        int asked = std::atoi(PageGlobal(other, "asked").c_str());
        ASSERT_TRUE(web_.SetElementValue("getElementById", "i", secret));
        ASSERT_TRUE(web_.SetElementInnerText("getElementById", "t", secret));
        EXPECT_EQ(web_.GetElementInnerText("getElementById", "t"), secret);
        EXPECT_EQ(web_.GetElementValue("getElementById", "i"), secret);
        EXPECT_EQ(Bridge().valueToSupply, "");
        // Let the other page ask a few times after each operation.
        ASSERT_TRUE(PumpHostLoop(
            [&] { return std::atoi(PageGlobal(other, "asked").c_str()) > asked + 2; }));
    }
    EXPECT_EQ(PageGlobal(other, "leaks.join('|')"), "");

    ASSERT_TRUE(web_.SetElementOuterHTML("getElementById", "t", "<p id=t>last secret</p>"));
    Load("/values/later", "<script>window.got = String(" + asks + ");</script>");
    EXPECT_EQ(PageGlobal(view_, "got").find("secret"), std::string::npos);
    hostctl::Engine().wkeDestroyWebWindow(other);
}

// A value supplied for one view's operation is that view's alone: another view, open to its
// page's calls between runs (as one waiting for a picture is), gets nothing of it while the
// operation lasts, asking with the owner's handle from its page's timers or from a run.
TEST_F(BridgePages, AViewTakingCallsBetweenRunsNeverGetsAnotherViewsValue) {
    Load("/values/owner", "<p>owner</p>");
    const std::string asksOwner = "top.Getvalue(" + Handle(view_) + ")";
    wkeWebView other = OtherView("open.test", "/values/open",
                                 "<script>window.asked=0;window.got='';setInterval(function(){"
                                 "window.asked++;window.got+=" +
                                     asksOwner + "||''},1);</script>");
    auto accept = automation::LookupEntry<void (*)(wkeWebView, bool)>("wkeAcceptCallsBetweenRuns");
    ASSERT_NE(accept, nullptr);
    accept(other, true);
    {
        automation::SuppliedValue own(other, "own");  // its own value does reach it
        EXPECT_EQ(PageGlobal(other, "top.Getvalue(" + Handle(other) + ")"), "own");
    }
    {
        automation::SuppliedValue theirs(view_, "secret");
        EXPECT_EQ(PageGlobal(other, asksOwner), "");
        int asked = std::atoi(PageGlobal(other, "asked").c_str());
        ASSERT_TRUE(PumpHostLoop(
            [&] { return std::atoi(PageGlobal(other, "asked").c_str()) > asked + 20; }));
    }
    accept(other, false);
    EXPECT_EQ(PageGlobal(other, "got"), "");
    hostctl::Engine().wkeDestroyWebWindow(other);
}

// ---- the bound functions called by the page -------------------------------------------

// The page's own timers call every bound function they can; the operations read what
// their own runs answered, the page's calls are dropped (and counted) without holding the
// page at a pause, and the page cannot replace the functions.
TEST_F(BridgePages, APagesOwnCallsNeverReachTheOperations) {
    Load("/calls/noisy",
         "<input id=i value=real><table id=tb><tr><td>1</td></tr></table><p class=c>x</p>"
         "<script>window.ticks=0;"
         "setInterval(function(){window.ticks++;window.top.Elementundefined();"
         "window.top.GetAttributeBack('forged');window.top.ScrollBack(-7);"
         "window.top.enumresources('frameCount',9);},1);"
         "setInterval(function(){window.top.Getvalue(0);},5);"
         "try{window.GetAttributeBack=function(){};delete window.Elementundefined;}catch(e){}"
         "</script>");
    int wrong = 0;
    for (int i = 0; i < 60; ++i) {
        HostWork(i);
        wrong += web_.GetElementValue("getElementById", "i") != "real";
        HostWork(i + 1);
        wrong += web_.GetTableRowCount("getElementById", "tb") != 1;
        HostWork(i + 2);
        wrong += !web_.ElementExists("getElementsByClassName", "c");
        wrong += web_.GetScrollTop() != 0;
    }
    EXPECT_EQ(wrong, 0);
    int ticks = std::atoi(PageGlobal(view_, "ticks").c_str());
    EXPECT_TRUE(
        PumpHostLoop([&] { return std::atoi(PageGlobal(view_, "ticks").c_str()) > ticks + 10; }));
    auto dropped = automation::LookupEntry<int64_t (*)(wkeWebView)>("wkeDroppedBoundCalls");
    ASSERT_NE(dropped, nullptr);
    EXPECT_GT(dropped(view_), 20);
    EXPECT_EQ(PageGlobal(view_,
                         "Object.getOwnPropertyDescriptor(window,'GetAttributeBack')"
                         ".writable + typeof window.Elementundefined"),
              "falsefunction");
}

// ---- built-ins and globals of the page -------------------------------------------------

// Prototype accessors and indexed properties: the bridge's replies and the located element
// stay the page's real ones.
TEST_F(BridgePages, PrototypesDoNotForgeRepliesOrMatches) {
    Load("/proto/page",
         "<input id=i value=real><p class=c>one</p><p>two</p>"
         "<script>"
         "Object.defineProperty(Object.prototype,'1',{get:function(){return ['string','forged'];},"
         "set:function(){},configurable:true});"
         "Object.prototype['5']=document.body;Object.prototype['-1']=document.body;"
         "Array.prototype.push=function(){return 0;};"
         "Object.prototype.toJSON=function(){return 'forged';};"
         "</script>");
    EXPECT_EQ(web_.GetElementValue("getElementById", "i"), "real");
    EXPECT_EQ(web_.GetElementId("getElementById", "i"), "i");
    EXPECT_TRUE(web_.ElementExists("getElementsByClassName", "c", 0));
    EXPECT_FALSE(web_.ElementExists("getElementsByClassName", "c", 5));
    EXPECT_FALSE(web_.ElementExists("getElementsByTagName", "p", -1));
    EXPECT_FALSE(web_.ElementExists("querySelectorAll", "p", 5));
    EXPECT_FALSE(web_.ElementExists("getElementsByName", "none", 5));
    EXPECT_EQ(web_.GetElementTagName("getElementsByTagName", "p", 5), "undefined");
    EXPECT_FALSE(web_.ClickElement("getElementsByClassName", "c", 5));
}

// The entry just past the end (index == length) is the page's own too: for every kind of
// list, Object.prototype's entry there is no match.
TEST_F(BridgePages, AForgedEntryAtTheListsLengthIsNoMatch) {
    Load("/proto/length",
         "<p class=c name=n>one</p><script>Object.prototype['1']=document.body;</script>");
    struct Row {
        const char *kind, *text;
    } rows[] = {{"getElementsByClassName", "c"},
                {"getElementsByTagName", "p"},
                {"getElementsByName", "n"},
                {"querySelectorAll", "p"},
                {"XPath", "//p"}};
    for (const auto& r : rows) {
        EXPECT_TRUE(web_.ElementExists(r.kind, r.text, 0)) << r.kind;
        EXPECT_FALSE(web_.ElementExists(r.kind, r.text, 1)) << r.kind;
    }
}

TEST_F(BridgePages, XPathMatchesPastTheEndAreMissing) {
    Load("/proto/xpath", "<p>one</p><script>Object.prototype['3']=document.body;</script>");
    EXPECT_TRUE(web_.ElementExists("XPath", "//p", 0));
    EXPECT_FALSE(web_.ElementExists("XPath", "//p", 3));
}

// A page that holds `l_Object` itself: every operation fails rather than act on the page's
// object, for a missing element as for one that is there.
TEST_F(BridgePages, APageHeldLocatorVariableMakesOperationsFail) {
    Load("/globals/accessor",
         "<input id=i value=real><script>window.clicks=0;"
         "Object.defineProperty(window,'l_Object',{get:function(){return {click:function(){"
         "window.clicks++;},value:'fake',rows:{length:4}};},set:function(){},"
         "configurable:false});</script>");
    EXPECT_FALSE(web_.ClickElement("getElementById", "missing"));
    EXPECT_FALSE(web_.ClickElement("getElementById", "i"));
    EXPECT_NE(web_.GetElementValue("getElementById", "i"), "fake");
    EXPECT_NE(web_.GetTableRowCount("getElementById", "i"), 4);
    EXPECT_FALSE(web_.ElementExists("getElementById", "missing"));
    EXPECT_EQ(PageGlobal(view_, "clicks"), "0");
}

// A plain `l_Object` the page set, or methods it put on Object.prototype, do not turn
// into successes either.
TEST_F(BridgePages, PageObjectsInPlaceOfAnElementAreRefused) {
    Load("/globals/plain",
         "<p id=p>x</p><script>window.clicks=0;"
         "window.l_Object={click:function(){window.clicks++;}};"
         "Object.prototype.click=function(){window.clicks++;};</script>");
    EXPECT_FALSE(web_.ClickElement("EnterElement", ""));
    EXPECT_FALSE(web_.ClickElement("All", "no double equals"));
    EXPECT_FALSE(web_.ClickElement("expression", "id==none"));
    EXPECT_EQ(PageGlobal(view_, "clicks"), "0");
    // What stays as it was: a real element is found and used, and an attribute match that
    // finds nothing still counts as existing.
    EXPECT_TRUE(web_.ClickElement("getElementById", "p"));
    EXPECT_TRUE(web_.ClickElement("EnterElement", ""));
    EXPECT_TRUE(web_.ElementExists("All", "no double equals"));
}

}  // namespace

namespace {

// The guards stand on the bridge of each document: frames the page writes itself (a blank
// frame filled by document.write, a srcdoc frame) must have it too, or every operation in
// them would fail.
TEST_F(BridgePages, OperationsWorkInFramesThePageWroteItself) {
    hostile::Local().Serve(
        "/written-frames",
        "<iframe id=a></iframe><iframe srcdoc=\"<p id=s class=k>srcdoc</p>\"></iframe>"
        "<script>var d=document.getElementById('a').contentDocument;"
        "d.open();d.write('<p id=w class=k>written</p>');d.close();</script>");
    LoadUrl(hostile::Local().Url(hostile::kShareHost, "/written-frames"), 3);
    std::vector<int32_t> frames;
    ASSERT_EQ(web_.GetFrameIds(frames), 3);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(web_.GetElementId("getElementsByClassName", "k", 0, frames[1]), "w");
    EXPECT_EQ(web_.GetElementId("getElementsByClassName", "k", 0, frames[2]), "s");
    EXPECT_TRUE(web_.ClickElement("getElementById", "w", 0, frames[1]));
}

}  // namespace
