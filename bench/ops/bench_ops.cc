// Element-operation benchmarks: a value read, a value set and read back, a click, the
// options of a 50-entry list and the links of a 500-link page. With --peers the same
// operations run through Puppeteer and Playwright on the same page and Chromium.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "automation/engine_binding.h"
#include "automation/web_automation.h"
#include "bench/support/peer_table.h"
#include "hostctl/engine_library.h"
#include "tests/support/http_server.h"

using automation::WebAutomation;
using hostctl::Engine;

namespace {

std::string FixturePage() {
    std::string page =
        "<!doctype html><body><input id=t value=start><button id=b "
        "onclick='this.dataset.n=(+this.dataset.n||0)+1'>b</button><select id=s>";
    for (int i = 0; i < 50; ++i)
        page += "<option value=v" + std::to_string(i) + ">option " + std::to_string(i);
    page += "</select><div id=links>";
    for (int i = 0; i < 500; ++i)
        page += "<a href='#" + std::to_string(i) + "' class='l c" + std::to_string(i % 9) +
                "'>link " + std::to_string(i) + "</a> ";
    return page + "</div></body>";
}

}  // namespace

int main(int argc, char** argv) {
    bench::Options options = bench::ParseOptions(argc, argv);
    int runs = options.runs;
    testsupport::HttpServer server([](const testsupport::HttpRequest&) {
        testsupport::HttpResponse page;
        page.body = FixturePage();
        return page;
    });
    wkeWebView view = bench::OpenPage(server.Url("/"));
    if (!view) return 1;
    WebAutomation web;
    web.BindView(view);
    const std::string css = "querySelectorAll";
    std::vector<std::string> texts, values;
    std::vector<automation::ElementInfo> links;
    web.ListLinks(false, links);
    if (web.GetElementValue(css, "#t") != "start" ||
        web.GetSelectOptions(css, "#s", texts, values) != 50 || links.size() != 500) {
        std::fprintf(stderr, "the fixture page is not as expected\n");
        return 1;
    }

    using bench::Measure;
    int listRuns = std::max(5, runs / 10);
    int n = 0;
    std::vector<std::pair<std::string, bench::Stats>> ours = {
        {"GetElementValue", Measure(runs, [&] { web.GetElementValue(css, "#t"); })},
        {"SetElementValue and read back", Measure(runs,
                                                  [&] {
                                                      web.SetElementValue(css, "#t",
                                                                          std::to_string(++n));
                                                      web.GetElementValue(css, "#t");
                                                  })},
        {"ClickElement", Measure(runs, [&] { web.ClickElement(css, "#b"); })},
        {"GetSelectOptions of 50",
         Measure(runs, [&] { web.GetSelectOptions(css, "#s", texts, values); })},
        {"ListLinks of 500", Measure(listRuns, [&] { web.ListLinks(false, links); })},
    };
    nlohmann::json others =
        options.peers
            ? bench::RunPeers(QIRLEN_SOURCE_DIR "/bench/peers/ops_peers.js", server.Url("/"), runs,
                              {QIRLEN_SOURCE_DIR "/locate/css_selector_generator.js"})
            : nlohmann::json{};
    std::printf("qirlen element-operation benchmarks, medians in ms (%d runs; lists %d)\n", runs,
                listRuns);
    bench::PrintTable(ours, others);
    Engine().wkeShutdown();
    return 0;
}
