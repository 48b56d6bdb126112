// A page asks for new windows: the engine opens only web addresses, only where the host says,
// and no window Chromium makes for a page ever loads or runs anything.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/support/hostile_site.h"
#include "tests/support/page_view.h"

namespace {

// Addresses a page may try to have the engine load for it.
const char* kNotWeb[] = {"file:///etc/hostname", "data:text/html,<p>data</p>", "chrome://version/",
                         "javascript:window.top.document.title='pwned'", "about:blank"};

std::string OpenEach(const std::vector<std::string>& urls) {
    std::string script;
    for (const auto& url : urls) script += "window.open(\"" + url + "\");";
    return script;
}

std::vector<std::string> NotWebAddresses() {
    return {std::begin(kNotWeb), std::end(kNotWeb)};
}

// Processes started by this one, its Chromium's included.
int DescendantProcesses() {
    std::map<int, int> parentOf;
    DIR* proc = opendir("/proc");
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        int pid = atoi(entry->d_name);
        if (pid <= 0) continue;
        std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
        std::string line;
        std::getline(stat, line);
        auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int ppid = 0;
        if (sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && state != 'Z')
            parentOf[pid] = ppid;
    }
    if (proc) closedir(proc);
    int count = 0;
    for (const auto& [pid, ppid] : parentOf) {
        for (int p = ppid; p > 1; p = parentOf.count(p) ? parentOf[p] : 0) {
            if (p == getpid()) {
                ++count;
                break;
            }
        }
    }
    return count;
}

class Popups : public testsupport::PageView {
  protected:
    void SetUp() override {
        PageView::SetUp();
        hostctl::Engine().wkeOnURLChanged2(
            view_,
            [](wkeWebView view, void* seen, wkeWebFrameHandle frame, const wkeString url) {
                if (frame == 1)
                    static_cast<std::vector<std::string>*>(seen)->push_back(
                        hostctl::Engine().wkeGetString(url));
            },
            &addresses_);
    }
    // The host's create-view callback: notes the address and opens nothing.
    void OpenNothing() {
        hostctl::Engine().wkeOnCreateView(
            view_,
            [](wkeWebView, void* asked, wkeNavigationType, const wkeString url,
               const wkeWindowFeatures*) -> wkeWebView {
                static_cast<std::vector<std::string>*>(asked)->push_back(
                    hostctl::Engine().wkeGetString(url));
                return nullptr;
            },
            &asked_);
    }
    std::string Shown() { return hostctl::Engine().wkeGetURL(view_); }
    std::string Opener() {
        hostile::Local().Serve("/opener", "<p>opener</p>");
        return hostile::Local().Url(hostile::kShareHost, "/opener");
    }

    std::vector<std::string> addresses_;  // of the main frame, as it changed
    std::vector<std::string> asked_;      // of the host's create-view callback
};

// A host of the engine that takes no new windows and leaves new-window navigation off has them
// open where the page is.
TEST_F(Popups, WithoutAWindowHostOnlyWebAddressesOpenInTheView) {
    LoadUrl(Opener());
    hostctl::Engine().wkeSetNavigationToNewWindowEnable(view_, false);  // the session sets it
    hostile::Local().Serve("/next", "<p>next</p>");
    std::string next = hostile::Local().Url(hostile::kShareHost, "/next");
    std::vector<std::string> urls = NotWebAddresses();
    urls.push_back(next);  // the last: once it has opened, the others have been dealt with
    addresses_.clear();
    automation::RunScript(view_, 1, OpenEach(urls), false);
    ASSERT_TRUE(testsupport::PumpHostLoop([&] { return Shown().ends_with("/next"); }));
    ASSERT_EQ(addresses_.size(), 1u);  // Chromium may have upgraded it to https
    EXPECT_TRUE(addresses_[0].ends_with("/next")) << addresses_[0];
}

// The library's session has no host for new windows: a page's window.open is refused, and
// every later operation answers for the page the session loaded.
TEST_F(Popups, TheLibrarysViewStaysOnThePageThatOpenedAWindow) {
    auto& site = hostile::Local();
    site.Serve("/popup/?n=1", "<input id=q value=popup>");
    site.Serve("/r5/opener",
               "<input id=q value=kept><table id=t><tr><td>1</td></tr><tr><td>2</td></tr></table>");
    LoadUrl(site.Url(hostile::kShareHost, "/r5/opener"));
    std::vector<std::string> titles;
    hostctl::Engine().wkeOnTitleChanged(
        view_,
        [](wkeWebView, void* seen, const wkeString title) {
            static_cast<std::vector<std::string>*>(seen)->push_back(
                hostctl::Engine().wkeGetString(title));
        },
        &titles);
    // The title changes after window.open has returned: it is reported behind the new window.
    automation::RunScript(view_, 1, "window.open('/popup/?n=1');document.title='opened';", false);
    ASSERT_TRUE(testsupport::PumpHostLoop([&] { return !titles.empty(); }));
    EXPECT_TRUE(hostctl::Engine().wkeIsLoadComplete(view_));  // no load of the popup began
    EXPECT_TRUE(Shown().ends_with("/r5/opener")) << Shown();
    EXPECT_TRUE(web_.ElementExists("getElementById", "t"));
    EXPECT_EQ(web_.GetElementValue("getElementById", "q"), "kept");
    EXPECT_EQ(web_.GetTableRowCount("getElementById", "t"), 2);
    EXPECT_EQ(site.Hits("/popup/?n=1"), 0);
}

TEST_F(Popups, AHostThatOpensNoWindowIsAskedOnlyForWebAddressesAndNothingOpens) {
    std::string opener = Opener();
    LoadUrl(opener);
    OpenNothing();
    std::string web = hostile::Local().Url(hostile::kShareHost, "/popup");
    std::vector<std::string> urls = NotWebAddresses();
    urls.push_back(web);
    addresses_.clear();
    automation::RunScript(view_, 1, OpenEach(urls), false);
    ASSERT_TRUE(testsupport::PumpHostLoop([&] { return !asked_.empty(); }));
    EXPECT_EQ(asked_, std::vector<std::string>{web});
    EXPECT_TRUE(Shown().ends_with("/opener")) << Shown();
    EXPECT_TRUE(addresses_.empty());
    EXPECT_EQ(hostile::Local().Hits("/popup"), 0);
}

// A click lets a page open a real window; Chromium's window is closed before it loads, so the
// page gets nothing it could script or read through, and a hundred tries leave no processes.
TEST_F(Popups, WindowsAPageOpensOnAClickNeverRunAndLeaveNothingBehind) {
    auto& site = hostile::Local();
    std::string popup = site.Url(hostile::kShareHost, "/from-click");
    std::string stray = site.Url(hostile::kShareHost, "/through-popup");
    site.Serve("/clicker",
               "<button style='position:fixed;left:0;top:0;width:300px;height:200px' "
               "onclick='go()'>go</button><script>function go(){"
               "var w=window.open('" +
                   popup +
                   "');"
                   "try{w.eval(\"fetch('" +
                   stray +
                   "')\")}catch(e){}"
                   "try{w.location='file:///etc/hostname'}catch(e){}"
                   "for(var i=0;i<100;i++)window.open('" +
                   popup +
                   "?'+i,'_blank','noopener');"
                   "document.title='opened '+(w?'a window':'nothing');"
                   "fetch('/after').then(function(){return fetch('/done')});}</script>");
    site.Serve("/after", "after");
    site.Serve("/done", "done");
    LoadUrl(site.Url(hostile::kShareHost, "/clicker"));
    OpenNothing();
    int processes = DescendantProcesses();
    hostctl::Engine().wkeFireMouseEvent(view_, WKE_MSG_LBUTTONDOWN, 50, 50, WKE_LBUTTON);
    hostctl::Engine().wkeFireMouseEvent(view_, WKE_MSG_LBUTTONUP, 50, 50, 0);
    ASSERT_TRUE(testsupport::PumpHostLoop([&] { return site.Hits("/done") > 0; }));
    ASSERT_TRUE(testsupport::PumpHostLoop([&] { return asked_.size() == 101; }));
    // The click made a real window, which the page got hold of.
    EXPECT_EQ(std::string(hostctl::Engine().wkeGetTitle(view_)), "opened a window");
    EXPECT_EQ(site.Hits("/from-click"), 0);
    EXPECT_EQ(site.Hits("/through-popup"), 0);
    EXPECT_TRUE(testsupport::PumpHostLoop([&] { return DescendantProcesses() <= processes; }))
        << DescendantProcesses() << " processes, " << processes << " before";
}

}  // namespace
