// Locator benchmarks: a locator with one read, in the page and in a frame, an XPath, the
// discovery of 1,000 elements with a selector each, and the selector of a deep element.
// With --peers the same operations run through Puppeteer and Playwright on the same page
// and the same Chromium, in this run, and one table compares them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "automation/engine_binding.h"
#include "automation/web_automation.h"
#include "bench/support/peer_table.h"
#include "hostctl/engine_library.h"
#include "locate/element_operation.h"
#include "tests/support/http_server.h"

using automation::WebAutomation;
using hostctl::Engine;
using Clock = std::chrono::steady_clock;

namespace {

std::string FixturePage() {
    std::string page =
        "<!doctype html><body><p id=target data-v=seven>t</p>"
        "<iframe src='/inner'></iframe><ul id=list>";
    for (int i = 0; i < 1000; ++i)
        page += "<li class='item c" + std::to_string(i % 7) + "'>" + std::to_string(i) + "</li>";
    page += "</ul>";
    for (int i = 0; i < 10; ++i) page += "<div><span>x</span>";
    page += "<em>deep</em>";
    for (int i = 0; i < 10; ++i) page += "</div>";
    return page + "</body>";
}

// One read through the element-operation pattern, as the attribute readers do it.
std::string ReadOne(WebAutomation& web, const locate::Locator& locator, const char* read) {
    return locate::TextResult(locate::RunElementOperation(
        web, locator, {"", std::string("\r\nwindow.top.GetAttributeBack(") + read + ");", true}));
}

}  // namespace

int main(int argc, char** argv) {
    bench::Options options = bench::ParseOptions(argc, argv);
    int runs = options.runs;
    testsupport::HttpServer server([](const testsupport::HttpRequest& r) {
        testsupport::HttpResponse page;
        page.body = r.path == "/inner" ? "<p id=inner data-v=inside>i</p>" : FixturePage();
        return page;
    });
    wkeWebView view = bench::OpenPage(server.Url("/"));
    if (!view) return 1;
    WebAutomation web;
    web.BindView(view);
    std::vector<automation::ElementInfo> list;
    web.FindElementsByTagName("li", list, 1);
    if (list.size() != 1000 ||
        ReadOne(web, {"querySelectorAll", "#inner", 0, 2}, "l_Object.id") != "inner") {
        std::fprintf(stderr, "the fixture page is not as expected\n");
        return 1;
    }

    using bench::Measure;
    int listRuns = std::max(5, runs / 10);
    std::vector<std::pair<std::string, bench::Stats>> ours = {
        {"script round trip",
         Measure(runs, [&] { Engine().wkeRunJsByFrame(view, 1, "1", false); })},
        {"read one attribute by CSS",
         Measure(
             runs,
             [&] {
                 ReadOne(web, {"querySelectorAll", "#target"}, "l_Object.getAttribute('data-v')");
             })},
        {"attribute inside an iframe", Measure(runs,
                                               [&] {
                                                   ReadOne(web,
                                                           {"querySelectorAll", "#inner", 0, 2},
                                                           "l_Object.getAttribute('data-v')");
                                               })},
        {"XPath lookup",
         Measure(runs,
                 [&] {
                     ReadOne(web, {"XPath", "//ul[@id=\"list\"]/li[500]"}, "l_Object.textContent");
                 })},
        {"list 1,000 elements with a unique selector each",
         Measure(listRuns, [&] { web.FindElementsByTagName("li", list, 1); })},
        {"GetElementSelector of an element 10 deep",
         Measure(runs, [&] { web.GetElementSelector("getElementsByTagName", "em"); })},
    };
    nlohmann::json others =
        options.peers
            ? bench::RunPeers(QIRLEN_SOURCE_DIR "/bench/peers/peers.js", server.Url("/"), runs,
                              {QIRLEN_SOURCE_DIR "/locate/css_selector_generator.js"})
            : nlohmann::json{};
    std::printf("qirlen locator benchmarks, medians in ms (%d runs; lists %d)\n", runs, listRuns);
    bench::PrintTable(ours, others);
    Engine().wkeShutdown();
    return 0;
}
