#include "bench/automation/face_rows.h"

#include <qirlen/qirlen.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "automation/web_automation.h"
#include "bench/support/peer_table.h"
#include "tests/support/http_server.h"

namespace bench {
namespace {

using qirlen::By;

constexpr const char* kFixture =
    "<!doctype html><meta charset=utf-8><body style='margin:8px'>"
    "<p id=p>a paragraph to read, <b>with some</b> markup</p>"
    "<input id=t oninput='window.inputs=(window.inputs||0)+1'>"
    "<button id=b onclick='this.dataset.n=(+this.dataset.n||0)+1'>button</button>"
    "<div id=card style='width:300px;height:200px;background:#369;color:#fff'>card "
    "<b>text</b></div></body>";

const char* const kRows[] = {"Evaluate round trip", "locator read (text)", "Click", "Fill",
                             "element screenshot"};

using Row = std::pair<std::string, Stats>;

// A failed call of the face ends the benchmark: a time of a failure measures nothing.
template <typename R>
void Must(const R& result, const char* what) {
    if (!result) {
        std::fprintf(stderr, "the face failed %s: %s\n", what, result.error().message.c_str());
        std::exit(1);
    }
}

std::vector<Row> FaceRows(const std::string& url, int runs) {
    qirlen::Browser browser;
    auto opened = browser.NewPage();
    Must(opened, "to open a page");
    qirlen::Page page = opened.value();
    Must(page.Goto(url), "to load the fixture");
    auto p = page.Locator(By::Css, "#p"), b = page.Locator(By::Css, "#b");
    auto t = page.Locator(By::Css, "#t"), card = page.Locator(By::Css, "#card");
    int n = 0;
    std::vector<Row> rows = {
        {kRows[0], Measure(runs, [&] { Must(page.Evaluate("1"), "Evaluate"); })},
        {kRows[1], Measure(runs, [&] { Must(p.Text(), "Text"); })},
        {kRows[2], Measure(runs, [&] { Must(b.Click(), "Click"); })},
        {kRows[3], Measure(runs, [&] { Must(t.Fill("text " + std::to_string(++n)), "Fill"); })},
        {kRows[4], Measure(std::max(5, runs / 10), [&] { Must(card.Screenshot(), "Screenshot"); })},
    };
    // The operations did what they say: the page saw every click and every fill.
    auto clicks = page.Evaluate("+b.dataset.n"), inputs = page.Evaluate("window.inputs");
    if (clicks.value_or("") != std::to_string(runs) || inputs.value_or("") != std::to_string(n)) {
        std::fprintf(stderr, "the face's input did not reach the page\n");
        std::exit(1);
    }
    return rows;
}

// The legacy face's nearest calls: a script run, an inner text read, the DOM's click, a value
// set, the html2canvas picture of the element.
std::vector<Row> LegacyRows(const std::string& url, int runs) {
    wkeWebView view = OpenPage(url);
    if (!view) return {};
    automation::WebAutomation web;
    web.BindView(view);
    const std::string css = "querySelectorAll";
    int n = 0;
    std::vector<Row> rows = {
        {kRows[0], Measure(runs, [&] { web.RunScriptInFrame("1", false); })},
        {kRows[1], Measure(runs, [&] { web.GetElementInnerText(css, "#p"); })},
        {kRows[2], Measure(runs, [&] { web.ClickElement(css, "#b"); })},
        {kRows[3], Measure(runs, [&] { web.SetElementValue(css, "#t", std::to_string(++n)); })},
        {kRows[4], Measure(std::max(5, runs / 10),
                           [&] {
                               web.GetElementImage({css, "#card"}, true, 50);
                           })},
    };
    hostctl::Engine().wkeDestroyWebWindow(view);
    return rows;
}

// A median, or "-" where there is none.
void Cell(double ms, int width) {
    if (ms > 0)
        std::printf(" %*.3f", width, ms);
    else
        std::printf(" %*s", width, "-");
}

void PrintRows(const std::vector<Row>& face, const std::vector<Row>& legacy,
               const nlohmann::json& peers) {
    std::printf("%-24s %10s %10s %10s %11s %9s\n", "operation (median ms)", "face", "legacy",
                "Puppeteer", "Playwright", "face/best");
    for (size_t i = 0; i < face.size(); ++i) {
        const std::string& name = face[i].first;
        std::printf("%-24s", name.c_str());
        Cell(face[i].second.median, 10);
        Cell(i < legacy.size() ? legacy[i].second.median : 0, 10);
        double best = 0;
        for (const char* peer : {"Puppeteer", "Playwright"}) {
            double v = peers.is_object() && peers.contains(peer) ? peers[peer].value(name, 0.0) : 0;
            Cell(v, peer[1] == 'u' ? 10 : 11);
            if (v > 0 && (best == 0 || v < best)) best = v;
        }
        if (best > 0) std::printf(" %9.2f", face[i].second.median / best);
        std::printf("\n");
    }
}

}  // namespace

bool CompareFaces(int runs, bool peers) {
    testsupport::HttpServer server([](const testsupport::HttpRequest&) {
        return testsupport::HttpResponse{200, "text/html; charset=utf-8", kFixture, {}};
    });
    std::vector<Row> legacy = LegacyRows(server.Url("/"), runs);
    std::vector<Row> face = FaceRows(server.Url("/"), runs);
    nlohmann::json others =
        peers ? RunPeers(QIRLEN_SOURCE_DIR "/bench/peers/face_peers.js", server.Url("/"), runs, {})
              : nlohmann::json{};
    std::printf("\nthe modern face beside the legacy one%s (%d runs; screenshots %d)\n",
                peers ? " and the peers" : "", runs, std::max(5, runs / 10));
    PrintRows(face, legacy, others);
    return !legacy.empty();
}

}  // namespace bench
