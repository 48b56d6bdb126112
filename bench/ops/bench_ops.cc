// Element-operation benchmarks: a value read, a value set and read back, a click, the
// options of a 50-entry list, the links of a 500-link page, pictures of an image, a div
// and a canvas, and a file input filled. With --peers the same
// operations run through Puppeteer and Playwright on the same page and Chromium. The div is
// on screen, where the browser's own picture serves; off screen the page draws it.
#include <QBuffer>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "automation/engine_binding.h"
#include "automation/web_automation.h"
#include "bench/support/peer_table.h"
#include "hostctl/engine_library.h"
#include "ops/api_hook.h"
#include "tests/support/host_loop.h"
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
    // The card first, on screen as a person sees it; the links below it.
    page +=
        "</select><div id=card style='width:300px;height:200px;background:#369;color:#fff'>card "
        "<b>text</b></div><div id=links>";
    for (int i = 0; i < 500; ++i)
        page += "<a href='#" + std::to_string(i) + "' class='l c" + std::to_string(i % 9) +
                "'>link " + std::to_string(i) + "</a> ";
    page +=
        "</div><img id=pic src='/pic.png' width=200 height=200><canvas id=c width=200 "
        "height=200></canvas><input type=file id=f>"
        "<script>var g = document.getElementById('c').getContext('2d');"
        "for (var i = 0; i < 20; i++) { g.fillStyle = 'hsl(' + i * 18 + ',80%,50%)';"
        " g.fillRect(i * 10, 0, 10, 200); }</script>";
    return page + "</body>";
}

std::string PicturePng() {
    QImage image(200, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) image.setPixel(x, y, qRgb(x, y, (x * y) % 256));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

// Two small files to hand to the file input in turn, so that every run changes it.
std::vector<std::string> UploadFiles() {
    std::vector<std::string> paths;
    for (const char* name : {"a.txt", "b.txt"}) {
        auto path = std::filesystem::temp_directory_path() / ("qirlen-bench-" + std::string(name));
        std::ofstream(path) << "upload " << name;
        paths.push_back(path.string());
    }
    return paths;
}

// Fills the input and lets the engine deliver the answer: the diversion ends when the
// engine has handed the file to the page.
void FillFileInput(WebAutomation& web, const std::string& path) {
    web.SetFileInputPath({"querySelectorAll", "#f"}, path);
    testsupport::PumpHostLoop([] { return !ops::FileDialogHook().Installed(); }, 5000);
}

}  // namespace

int main(int argc, char** argv) {
    bench::Options options = bench::ParseOptions(argc, argv);
    int runs = options.runs;
    const std::string png = PicturePng();
    testsupport::HttpServer server([&](const testsupport::HttpRequest& r) {
        if (r.path == "/pic.png") return testsupport::HttpResponse{200, "image/png", png};
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
    const std::vector<std::string> uploads = UploadFiles();
    FillFileInput(web, uploads[1]);
    if (web.GetElementValue(css, "#f").find("b.txt") == std::string::npos ||
        web.GetElementImage({css, "#pic"}).empty() ||
        web.GetElementImage({css, "#card"}, true, 50).empty() ||
        web.GetElementValue(css, "#t") != "start" ||
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
        {"GetElementImage copy of a 200x200 img", Measure(runs,
                                                          [&] {
                                                              web.GetElementImage({css, "#pic"});
                                                          })},
        {"GetElementImage render of a 300x200 div",
         Measure(listRuns,
                 [&] {
                     web.GetElementImage({css, "#card"}, true, 50);
                 })},
        {"GetCanvasImage of 200x200", Measure(runs,
                                              [&] {
                                                  web.GetCanvasImage({css, "#c"});
                                              })},
        {"file input filled with one file", Measure(runs,
                                                    [&] {
                                                        ++n;
                                                        FillFileInput(web, uploads[n % 2]);
                                                    })},
    };
    nlohmann::json others =
        options.peers
            ? bench::RunPeers(
                  QIRLEN_SOURCE_DIR "/bench/peers/ops_peers.js", server.Url("/"), runs,
                  {QIRLEN_SOURCE_DIR "/locate/css_selector_generator.js", uploads[0], uploads[1]})
            : nlohmann::json{};
    std::printf("qirlen element-operation benchmarks, medians in ms (%d runs; lists %d)\n", runs,
                listRuns);
    bench::PrintTable(ours, others);
    Engine().wkeShutdown();
    return 0;
}
