// Pages that send the host as much as they like: a huge title, huge console messages, a huge
// argument to a bound function, lists of thousands of large elements. The host's memory must
// grow with what it chooses to keep, not with what the page sends. The engine runs inside
// this process (node.so, loaded as the program loads it), so this process's peak resident
// memory is the host's; Chromium's own processes are not counted.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "tests/support/hostile_site.h"
#include "tests/support/page_view.h"
#include "tests/support/peak_growth.h"

namespace {

using automation::Bridge;
using testsupport::PeakGrowth;
using testsupport::PumpHostLoop;

class MemoryPages : public testsupport::PageView {
  protected:
    void Load(const std::string& path, const std::string& html) {
        hostile::Local().Serve(path, html);
        LoadUrl(hostile::Local().Url(hostile::kShareHost, path));
    }
    bool Run(const std::string& script) { return automation::RunScript(view_, 1, script, false); }
};

struct Titles {
    int count = 0;
    std::u16string last;
};

// A 100-million-character title reaches the host as its head, once.
TEST_F(MemoryPages, AHugeTitleIsCutToItsHead) {
    Load("/memory/title",
         "<title>short</title><p>page</p><script>window.grow = function () {"
         " setTimeout(function () { document.title = 'T' + 'x'.repeat(1e8); }, 0); };</script>");
    Titles titles;
    hostctl::Engine().wkeOnTitleChanged(
        view_,
        [](wkeWebView, void* p, const wkeString title) {
            auto* t = static_cast<Titles*>(p);
            ++t->count;
            t->last = hostctl::Engine().wkeGetStringW(title);
        },
        &titles);
    PeakGrowth growth;
    Run("grow();");  // the page's own task, after the run
    ASSERT_TRUE(
        PumpHostLoop([&] { return !titles.last.empty() && titles.last[0] == u'T'; }, 60000));
    EXPECT_EQ(titles.last.size(), 2048u);
    EXPECT_EQ(std::string(hostctl::Engine().wkeGetTitle(view_)).size(), 2048u);
    EXPECT_LT(growth.Mb(), 64);
    hostctl::Engine().wkeOnTitleChanged(view_, nullptr, nullptr);
}

struct Messages {
    int count = 0;
    size_t longest = 0;
    std::string first;
};

void OnConsoleMessage(wkeWebView, void* param, wkeConsoleLevel, const wkeString message,
                      const wkeString, unsigned, const wkeString) {
    auto* m = static_cast<Messages*>(param);
    std::string text = hostctl::Engine().wkeGetString(message);
    if (m->count++ == 0) m->first = text.substr(0, 8);
    m->longest = std::max(m->longest, text.size());
}

// Huge console messages reach a host that listens as their heads, cut (never dropped) as
// they arrive, before a message is whole or parsed: a host pays for what it keeps of them.
// Three messages of 30 million characters; three of 50 million, each as a string, an object
// and an array.
TEST_F(MemoryPages, HugeConsoleMessagesAreCutAsTheyArrive) {
    struct Case {
        const char* path;
        const char* log;  // the page's console.log of message i
        const char* first;
        size_t shortest;  // the longest message is at least this long...
        int growthMb;     // ...and the host grows less than this
    } cases[] = {
        {"/memory/console", "console.log('L' + i + 'x'.repeat(3e7));", "L0xxxxxx", 60 << 10, 250},
        {"/memory/console-bomb",
         "var big = 'x'.repeat(5e7); console.log('B' + i, big, {big: big}, [big]);", "B0 xxxxx",
         64 << 10, 40},
    };
    for (const Case& c : cases) {
        Load(c.path, std::string("<p>page</p><script>window.shout = function () {"
                                 " setTimeout(function () { for (var i = 0; i < 3; i++) {") +
                         c.log + "} }, 0); };</script>");
        Messages messages;
        hostctl::Engine().wkeOnConsole(view_, OnConsoleMessage, &messages);
        PeakGrowth growth;
        Run("shout();");  // the page's own task, after the run
        ASSERT_TRUE(PumpHostLoop([&] { return messages.count >= 3; }, 60000)) << c.path;
        EXPECT_EQ(messages.first, c.first) << c.path;
        EXPECT_LE(messages.longest, size_t{64} << 10) << c.path;
        EXPECT_GE(messages.longest, c.shortest) << c.path;
        EXPECT_LT(growth.Mb(), c.growthMb) << c.path;
        hostctl::Engine().wkeOnConsole(view_, nullptr, nullptr);
    }
}

// A page that calls the protocol binding itself, outside any run, with 37 MB: the call is
// dropped and counted, whatever it carries, and costs the host a small multiple of its size.
TEST_F(MemoryPages, ARawBridgeCallOutsideARunIsDroppedCountedAndCheap) {
    Load("/memory/raw-call",
         "<p>page</p><script>window.call = function (what) { setTimeout(function () {"
         " var big = 'x'.repeat(37e6); window.__qirlenCall(what === 'call' ?"
         " JSON.stringify(['forged', 'GetAttributeBack', ['string', big]]) : big); }, 0); };"
         "</script>");
    auto dropped = automation::LookupEntry<int64_t (*)(wkeWebView)>("wkeDroppedBoundCalls");
    ASSERT_NE(dropped, nullptr);
    for (const std::string what : {"call", "text"}) {
        SCOPED_TRACE(what);
        int64_t before = dropped(view_);
        PeakGrowth growth;
        Run("call('" + what + "');");
        EXPECT_TRUE(PumpHostLoop([&] { return dropped(view_) > before; }, 30000));
        EXPECT_LT(growth.Mb(), 37 * 3);
    }
}

// A 50-million-character argument to a bound function is refused in the page: the run
// fails, the function is not called, and the next call of ordinary size works.
TEST_F(MemoryPages, AHugeBoundCallFailsAndTheNextWorks) {
    Load("/memory/bridge", "<p>page</p>");
    Bridge().attributeReply = "before";
    PeakGrowth growth;
    EXPECT_FALSE(Run("window.top.GetAttributeBack('B' + 'x'.repeat(5e7));"));
    EXPECT_TRUE(Bridge().attributeReply == "before") << Bridge().attributeReply.size();
    EXPECT_LT(growth.Mb(), 64);
    // A page's script may catch the refusal; its call still never reaches the host.
    Bridge().attributeReply = "before";
    EXPECT_TRUE(
        Run("try { window.top.GetAttributeBack('x'.repeat(5e7)); } catch (e) {"
            " window.top.GetAttributeBack(e.name); }"));
    EXPECT_TRUE(Bridge().attributeReply == "RangeError") << Bridge().attributeReply.size();
    // A megabyte goes through.
    EXPECT_TRUE(Run("window.top.GetAttributeBack('M' + 'y'.repeat(1 << 20));"));
    EXPECT_EQ(Bridge().attributeReply.size(), (size_t{1} << 20) + 1);
    EXPECT_LT(growth.Mb(), 64);
}

// The bound holds only while every entry comes in through Add: a list slot is no vector that
// a caller could push onto past it.
static_assert(
    !std::is_convertible_v<automation::BoundedList<std::string>&, std::vector<std::string>&>);

// 20,000 element reports of 6 KB each, more than a list holds: the run that made them fails
// and the list is left empty instead of holding 120 MB; the next list is whole.
TEST_F(MemoryPages, ListsLongerThanTheirBoundFail) {
    Load("/memory/lists", "<select id=s><option value=1>one<option value=2>two</select>");
    Bridge().elementInfoList.clear();
    PeakGrowth growth;
    EXPECT_FALSE(
        Run("var text = 'x'.repeat(6000);"
            "for (var i = 0; i < 20000; i++)"
            "  window.top.GetElementInformation(text, '', '', 'INPUT', '', 1, '#i' + i);"));
    EXPECT_TRUE(Bridge().elementInfoList.entries().empty());
    EXPECT_LT(growth.Mb(), 96);
    // The next list is whole.
    std::vector<std::string> texts, values;
    EXPECT_EQ(web_.GetSelectOptions("getElementById", "s", texts, values), 2);
    EXPECT_EQ(values, (std::vector<std::string>{"1", "2"}));
}

}  // namespace
