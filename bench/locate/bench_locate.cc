// Locator benchmarks: a locator with one read, in the page and in a frame, an XPath, the
// discovery of 1,000 elements with a selector each, and the selector of a deep element.
// With --peers the same operations run through Puppeteer and Playwright on the same page
// and the same Chromium, in this run, and one table compares them.
#include <poll.h>

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
#include "bench/support/stats.h"
#include "engine/chromium_process.h"
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

bool WaitLoaded(wkeWebView view) {
    static bool loaded = false;
    Engine().wkeOnLoadingFinish(
        view,
        [](wkeWebView, void*, const wkeString, wkeLoadingResult r, const wkeString) {
            loaded = r == WKE_LOADING_SUCCEEDED;
        },
        nullptr);
    auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!loaded && Clock::now() < deadline) {
        pollfd pfd{Engine().wkeGetEventFd(), POLLIN, 0};
        poll(&pfd, 1, 50);
        Engine().wkeWake(nullptr);
    }
    return loaded;
}

// One read through the element-operation pattern, as the attribute readers do it.
std::string ReadOne(WebAutomation& web, const locate::Locator& locator, const char* read) {
    return locate::TextResult(locate::RunElementOperation(
        web, locator, {"", std::string("\r\nwindow.top.GetAttributeBack(") + read + ");", true}));
}

nlohmann::json RunPeers(const std::string& url, int runs) {
    std::string command = "node '" QIRLEN_SOURCE_DIR "/bench/peers/peers.js' '" +
                          engine::FindChromium() + "' '" + url + "' " + std::to_string(runs) +
                          " '" QIRLEN_SOURCE_DIR "/locate/css_selector_generator.js'";
    FILE* out = popen(command.c_str(), "r");
    if (!out) return {};
    std::string text;
    char buf[4096];
    while (size_t n = fread(buf, 1, sizeof buf, out)) text.append(buf, n);
    pclose(out);
    return nlohmann::json::parse(text, nullptr, false);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 300;
    bool peers = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0) runs = std::max(10, std::atoi(argv[i] + 7));
        if (std::strcmp(argv[i], "--peers") == 0) peers = true;
    }
    testsupport::HttpServer server([](const testsupport::HttpRequest& r) {
        testsupport::HttpResponse page;
        page.body = r.path == "/inner" ? "<p id=inner data-v=inside>i</p>" : FixturePage();
        return page;
    });
    if (!hostctl::EngineLibrary::Load()) return 1;
    automation::InitializeEngineBinding();
    wkeWebView view = Engine().wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 800, 600);
    Engine().wkeLoadURL(view, server.Url("/").c_str());
    if (!WaitLoaded(view)) return 1;
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
    nlohmann::json others = peers ? RunPeers(server.Url("/"), runs) : nlohmann::json{};
    if (peers && !others.is_object()) std::fprintf(stderr, "the peers did not run\n");

    std::printf("qirlen locator benchmarks, medians in ms (%d runs; lists %d)\n", runs, listRuns);
    std::printf("%-50s %9s %10s %11s %13s\n", "operation", "ours", "Puppeteer", "Playwright",
                "ours/best");
    for (const auto& [name, stats] : ours) {
        std::printf("%-50s %9.3f", name.c_str(), stats.median);
        double best = 0;
        for (const char* peer : {"Puppeteer", "Playwright"}) {
            double v = 0;
            if (others.is_object() && others.contains(peer)) v = others[peer].value(name, 0.0);
            if (v > 0)
                std::printf(" %10.3f", v);
            else
                std::printf(" %10s", "-");
            if (v > 0 && (best == 0 || v < best)) best = v;
        }
        if (best > 0)
            std::printf(" %13.2f\n", stats.median / best);
        else
            std::printf(" %13s\n", "-");
    }
    Engine().wkeShutdown();
    return 0;
}
