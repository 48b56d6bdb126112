// What a page can learn about the browser under the phone it is shown: the user agent the
// program sets must be the one every frame, every kind of worker and every request presents,
// and nothing may give away a headless browser that the full browser did not.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "app/startup.h"
#include "tests/support/hostile_site.h"
#include "tests/support/page_view.h"

namespace {

// Each context reports "userAgent|brands|webdriver|appVersion", then fetches a path of its own
// so that the server sees what its requests say.
constexpr const char* kIdentity = R"(
function identity() {
  var d = navigator.userAgentData;
  var brands = d ? d.brands.map(function (b) { return b.brand; }).join(',') : 'none';
  return navigator.userAgent + '|' + brands + '|' + navigator.webdriver + '|' + navigator.appVersion;
}
)";

testsupport::HttpResponse JavaScript(const std::string& body) {
    testsupport::HttpResponse r;
    r.contentType = "text/javascript";
    r.body = std::string(kIdentity) + body;
    return r;
}

class BrowserIdentity : public testsupport::PageView {
  protected:
    void SetUp() override {
        PageView::SetUp();
        hostctl::Engine().wkeSetUserAgent(view_, app::kPhoneUserAgent);
        hostile::Site& site = hostile::Local();
        site.Serve("/id/frame.html", "<p>frame</p>");
        site.Serve("/id/dedicated.js",
                   JavaScript("fetch('/id/from-dedicated').finally(function () {"
                              "  postMessage(identity()); });"));
        site.Serve("/id/shared.js", JavaScript("onconnect = function (e) {"
                                               "  var port = e.ports[0];"
                                               "  fetch('/id/from-shared').finally(function () {"
                                               "    port.postMessage(identity()); }); };"));
        site.Serve("/id/service.js", JavaScript("self.addEventListener('message', function (e) {"
                                                "  fetch('/id/from-service').finally(function () {"
                                                "    e.source.postMessage(identity()); }); });"));
        std::string frame = site.Url("other.test", "/id/frame.html");
        site.Serve("/id/main.html",
                   "<iframe src='" + frame + "'></iframe><script>" + kIdentity + R"(
window.seen = { main: identity() };
new Worker('/id/dedicated.js').onmessage = function (e) { seen.dedicated = e.data; };
var shared = new SharedWorker('/id/shared.js');
shared.port.onmessage = function (e) { seen.shared = e.data; };
navigator.serviceWorker.onmessage = function (e) { seen.service = e.data; };
navigator.serviceWorker.register('/id/service.js')
  .then(function () { return navigator.serviceWorker.ready; })
  .then(function (r) { r.active.postMessage('who'); })
  .catch(function (e) { seen.service = 'no service worker: ' + e; });
</script>)");
        // localhost is a secure context over plain HTTP, as service workers need.
        LoadUrl(site.Url("localhost", "/id/main.html"), 2);
    }

    // What each context said, once all four have.
    nlohmann::json Seen() {
        nlohmann::json seen;
        testsupport::PumpHostLoop([&] {
            seen = nlohmann::json::parse(Ask("window.top.GetAttributeBack(JSON.stringify(seen));"),
                                         nullptr, false);
            return seen.is_object() && seen.contains("dedicated") && seen.contains("shared") &&
                   seen.contains("service");
        });
        seen["frame"] = Ask(std::string(kIdentity) + "window.top.GetAttributeBack(identity());", 2);
        return seen;
    }
};

const std::string kPhone = app::kPhoneUserAgent;

TEST_F(BrowserIdentity, FramesAndDedicatedWorkersSeeThePhoneAndNothingHeadless) {
    nlohmann::json seen = Seen();
    for (const char* where : {"main", "frame", "dedicated"}) {
        std::string said = seen.value(where, "(nothing)");
        EXPECT_EQ(said.substr(0, said.find('|')), kPhone) << where;
        EXPECT_EQ(said.find("Headless"), std::string::npos) << where << ": " << said;
    }
}

// Shared and service workers are targets of the browser, not of the view's page: their
// requests are given the view's user agent as they start, before their script runs.
TEST_F(BrowserIdentity, EveryRequestCarriesThePhoneUserAgent) {
    Seen();
    for (const char* path : {"/id/main.html", "/id/frame.html", "/id/dedicated.js", "/id/shared.js",
                             "/id/from-dedicated", "/id/from-shared", "/id/from-service"}) {
        EXPECT_EQ(hostile::Local().LastHeader(path, "user-agent"), kPhone) << path;
        EXPECT_EQ(hostile::Local().LastHeader(path, "sec-ch-ua").find("Headless"),
                  std::string::npos)
            << path;
    }
}

// Not reachable through the protocol: a shared or service worker's navigator.userAgent is
// fixed by the browser when the worker is made, before the engine can attach, and says
// HeadlessChrome on both browsers (the shell also lists HeadlessChrome among the brands).
// Nor is the request for a service worker's own script, which the browser makes itself.
TEST_F(BrowserIdentity, DISABLED_SharedAndServiceWorkersSeeThePhone) {
    nlohmann::json seen = Seen();
    for (const char* where : {"shared", "service"}) {
        std::string said = seen.value(where, "(nothing)");
        EXPECT_EQ(said.substr(0, said.find('|')), kPhone) << where;
    }
    EXPECT_EQ(hostile::Local().LastHeader("/id/service.js", "user-agent"), kPhone);
}

}  // namespace
