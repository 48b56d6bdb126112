// Pictures, page resources and file inputs on real pages; the decoder and the diversion of
// the open-file dialog on their own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "automation/script_bridge.h"
#include "automation/web_automation.h"
#include "ops/api_hook.h"
#include "platform/base64.h"
#include "platform/file_dialog.h"
#include "tests/support/diagnosis_log.h"
#include "tests/support/http_server.h"
#include "tests/support/page_view.h"

using automation::DecodeBase64;
using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::HttpServer;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes B(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

std::string StandardBase64(const Bytes& bytes) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t n = bytes[i] << 16;
        if (i + 1 < bytes.size()) n |= bytes[i + 1] << 8;
        if (i + 2 < bytes.size()) n |= bytes[i + 2];
        out += alphabet[n >> 18 & 63];
        out += alphabet[n >> 12 & 63];
        out += i + 1 < bytes.size() ? alphabet[n >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[n & 63] : '=';
    }
    return out;
}

// ---- the decoder -----------------------------------------------------------------------

// The pictures' decoder and the engine's (for protocol data) read every edge alike: a last
// group of two or three characters gives its bytes, padded or not; a lone character none.
TEST(DecodeBase64, PicturesAndEngineReadEveryEdgeAlike) {
    struct Row {
        const char* text;
        std::string bytes;
    } rows[] = {
        {"QUJD", "ABC"},
        {"QUI=", "AB"},
        {"QQ==", "A"},
        {"QUI", "AB"},  // a short last group without a pad
        {"QQ", "A"},
        {"QUJDRA", "ABCD"},
        {"QUJDQUI", "ABCAB"},
        {"Q", ""},  // six bits make no byte
        {"QUJDQ", "ABC"},
        {"QU\r\nJD", "ABC"},  // characters outside the alphabet are skipped
        {"", ""},
        {"QQ==QUJD", "A"},  // decoding stops at the pad
        // A pad in the first or second place: nothing of its group, all of the earlier ones.
        {"QUJD=", "ABC"},
        {"QUJDQ===", "ABC"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(DecodeBase64(r.text), B(r.bytes)) << r.text;
        EXPECT_EQ(platform::DecodeBase64(r.text), r.bytes) << r.text;
    }
}

TEST(DecodeBase64, RoundTripsRandomBytesThroughAStandardEncoder) {
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        Bytes bytes(random() % 300);
        for (auto& b : bytes) b = static_cast<uint8_t>(random());
        std::string text = StandardBase64(bytes);
        for (size_t at = 76; at < text.size(); at += 78) text.insert(at, "\r\n");
        ASSERT_EQ(DecodeBase64(text), bytes) << round;
    }
}

// ---- the diversion ---------------------------------------------------------------------

int originalCalls = 0;
int Original(OPENFILENAMEW*) {
    return ++originalCalls, 7;
}
int Replacement(OPENFILENAMEW*) {
    return 9;
}

TEST(ApiHook, InstallsOnceReachesTheOriginalAndRestoresIt) {
    OpenFileDialogFunction before = platform::SetOpenFileDialog(Original);
    ops::ApiHook hook;
    EXPECT_FALSE(hook.Remove());
    EXPECT_FALSE(hook.Install("comdlg32.dll", "GetSaveFileNameW", Replacement));
    ASSERT_TRUE(hook.Install("comdlg32.dll", "GetOpenFileNameW", Replacement));
    EXPECT_TRUE(hook.Install("comdlg32.dll", "GetOpenFileNameW", Original));  // unchanged
    OPENFILENAMEW ofn{};
    EXPECT_EQ(GetOpenFileNameW(&ofn), 9);
    originalCalls = 0;
    EXPECT_EQ(hook.Trampoline()(&ofn), 7);
    EXPECT_EQ(originalCalls, 1);
    EXPECT_TRUE(hook.Remove());
    EXPECT_EQ(platform::CurrentOpenFileDialog(), Original);
    EXPECT_EQ(hook.Trampoline(), nullptr);
    platform::SetOpenFileDialog(before);
}

TEST(ApiHook, AnAnswerTooLongForTheBufferIsNeitherCutNorKept) {
    OpenFileDialogFunction before = platform::SetOpenFileDialog(Original);
    ops::PendingFileAnswer() = std::u16string(u"/tmp/\0long-name.txt\0\0", 21);
    ASSERT_TRUE(
        ops::FileDialogHook().Install("comdlg32.dll", "GetOpenFileNameW", ops::AnswerFileDialog));
    std::u16string buffer(30, u'#');
    OPENFILENAMEW ofn{};
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = 20;
    EXPECT_EQ(GetOpenFileNameW(&ofn), 0);
    EXPECT_EQ(buffer, std::u16string(30, u'#'));
    EXPECT_TRUE(ops::PendingFileAnswer().empty());
    EXPECT_FALSE(ops::FileDialogHook().Installed());
    EXPECT_EQ(platform::CurrentOpenFileDialog(), Original);
    // One that fits exactly is delivered whole.
    ops::PendingFileAnswer() = std::u16string(u"/tmp/a\0\0", 8);
    ops::FileDialogHook().Install("comdlg32.dll", "GetOpenFileNameW", ops::AnswerFileDialog);
    ofn.nMaxFile = 8;
    EXPECT_EQ(GetOpenFileNameW(&ofn), 1);
    EXPECT_EQ(buffer.substr(0, 9), std::u16string(u"/tmp/a\0\0#", 9));
    EXPECT_FALSE(ops::FileDialogHook().Installed());
    platform::SetOpenFileDialog(before);
}

TEST(FileListAnswer, FilesOfOneDirectoryGiveItAndTheirNamesOthersTheirCommonRoot) {
    EXPECT_EQ(platform::FileListAnswer({u"/d/a.txt", u"/d/b.txt"}),
              std::u16string(u"/d/\0a.txt\0b.txt\0\0", 17));
    EXPECT_EQ(platform::FileListAnswer({u"/d/a.txt"}), std::u16string(u"/d/\0a.txt\0\0", 11));
    EXPECT_EQ(platform::FileListAnswer({u"/x/ab/a", u"/x/ac/b"}),
              std::u16string(u"/x/\0ab/a\0ac/b\0\0", 15));
    EXPECT_EQ(platform::FileListAnswer({u"/d/a", u"/e/b"}), std::u16string(u"/\0d/a\0e/b\0\0", 11));
}

// ---- on pages --------------------------------------------------------------------------

HttpServer* far = nullptr;
HttpServer* server = nullptr;

// A 40x30 picture with a pattern that scaling or colour loss would change.
QImage Pattern() {
    QImage image(40, 30, QImage::Format_ARGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) image.setPixel(x, y, qRgb(x * 6, y * 8, (x + y) % 2 * 255));
    return image;
}

std::string Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 100);
    return bytes.toStdString();
}

QImage Decoded(const Bytes& bytes) {
    return QImage::fromData(bytes.data(), static_cast<int>(bytes.size()));
}

const char kPictures[] = R"HTML(<!doctype html><meta charset=utf-8><body style='margin:0'>
<img id=png src='/pattern.png'><img id=jpeg src='/pattern.jpeg'>
<img id=foreign src='FAR/pattern.png'>
<canvas id=drawn width=20 height=10></canvas>
<div id=box style='width:300px;height:200px;background:#0a0'>box</div>
<script src='/one.js'></script><script>var inline = 1;</script>
<link rel=stylesheet href='/a.css'><link type='text/css' href='/b.css'><link rel=icon href='/i.ico'>
<style>p {}</style>
<embed src='/movie.swf' type='application/x-test'>
<iframe src='/frame'></iframe>
<script>
  var c = document.getElementById('drawn').getContext('2d');
  c.fillStyle = '#ff0000'; c.fillRect(0, 0, 20, 10); c.fillStyle = '#0000ff'; c.fillRect(10, 0, 10, 10);
</script></body>)HTML";

const char kFiles[] = R"HTML(<!doctype html><body>
<input type=file id=one><input type=file id=many multiple>
<script>
  var events = [], contents = {};
  ['one', 'many'].forEach(function (id) {
    var input = document.getElementById(id);
    ['input', 'change'].forEach(function (type) {
      input.addEventListener(type, function () { events.push(id + ':' + type); });
    });
    input.addEventListener('change', function () {
      Array.from(input.files).forEach(function (f) {
        f.text().then(function (t) { contents[f.name] = f.size + ':' + t; });
      });
    });
  });
</script></body>)HTML";

class Pictures : public testsupport::PageView {
  protected:
    static void SetUpTestSuite() {
        static const std::string png = Encoded(Pattern(), "PNG");
        static const std::string jpeg = Encoded(Pattern(), "JPEG");
        far = new HttpServer([](const HttpRequest&) {
            return HttpResponse{200, "image/png", png};
        });
        server = new HttpServer([](const HttpRequest& r) {
            if (r.path == "/pattern.png") return HttpResponse{200, "image/png", png};
            if (r.path == "/pattern.jpeg") return HttpResponse{200, "image/jpeg", jpeg};
            if (r.path == "/one.js") return HttpResponse{200, "text/javascript", "var one = 1;"};
            HttpResponse page;
            if (r.path == "/frame")
                page.body = "<script src='/one.js'></script><link rel=stylesheet href='/f.css'>";
            else if (r.path == "/files")
                page.body = kFiles;
            else {
                page.body = kPictures;
                page.body.replace(page.body.find("FAR/"), 4, far->Url("/"));
            }
            return page;
        });
    }
    void Load(const std::string& path, int frames = 1) {
        LoadUrl(server->Url(path), frames);
        ASSERT_TRUE(testsupport::PumpHostLoop([&] {
            return Ask("window.top.GetAttributeBack(document.readyState);") == "complete";
        }));
    }
};

TEST_F(Pictures, AnImageIsCopiedAtItsDisplayedSize) {
    Load("/", 2);
    Bytes png = web_.GetElementImage({"getElementById", "png"});
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(Bytes(png.begin(), png.begin() + 4), B("\x89PNG"));
    QImage copy = Decoded(png).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(copy.size(), QSize(40, 30));
    int different = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) different += copy.pixel(x, y) != Pattern().pixel(x, y);
    EXPECT_EQ(different, 0);
    // The displayed size counts, not the file's.
    Ask("document.getElementById('png').width = 20; document.getElementById('png').height = 15;");
    EXPECT_EQ(Decoded(web_.GetElementImage({"getElementById", "png"})).size(), QSize(20, 15));
    // A jpeg address asks for a jpeg, and its header is stripped too.
    Bytes jpeg = web_.GetElementImage({"getElementById", "jpeg"});
    ASSERT_GT(jpeg.size(), 2u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    EXPECT_EQ(Decoded(jpeg).size(), QSize(40, 30));
    // The engine runs its pages without web security (frames of every origin reach the
    // bridge), so another origin's picture can be read too.
    EXPECT_EQ(Decoded(web_.GetElementImage({"getElementById", "foreign"})).size(), QSize(40, 30));
    EXPECT_TRUE(web_.GetElementImage({"getElementById", "nothing"}).empty());
    EXPECT_TRUE(web_.GetElementImage({"getElementById", "box"}).empty());  // not an image
}

TEST_F(Pictures, ACanvasGivesWhatThePageDrew) {
    Load("/", 2);
    QImage drawn = Decoded(web_.GetCanvasImage({"getElementById", "drawn"}));
    ASSERT_EQ(drawn.size(), QSize(20, 10));
    EXPECT_EQ(drawn.pixel(2, 5), qRgb(255, 0, 0));
    EXPECT_EQ(drawn.pixel(15, 5), qRgb(0, 0, 255));
    // What the page cannot encode (here: no canvas at all, the call throws) is no picture.
    EXPECT_TRUE(web_.GetCanvasImage({"getElementById", "box"}).empty());
    EXPECT_TRUE(web_.GetCanvasImage({"getElementById", "nothing"}).empty());
}

TEST_F(Pictures, TheRenderFormDrawsAnyElementWhenGivenTime) {
    Load("/", 2);
    // Without a wait of its own (0) it waits up to the default; given one, up to 30 s: the
    // drawing ends the wait as soon as it is done, and a busy machine is slow.
    for (int waitCount : {0, 300}) {
        QImage box = Decoded(web_.GetElementImage({"getElementById", "box"}, true, waitCount));
        ASSERT_EQ(box.size(), QSize(300, 200)) << waitCount;
        EXPECT_EQ(box.pixel(150, 150), qRgb(0, 0xaa, 0));
    }
    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(web_.GetElementImage({"getElementById", "nothing"}, true, 30).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2))
        << "nothing to wait for";
}

// The page's script draws the elements the browser's own picture cannot show as they are.
// The drawing runs in a copy of the document in a frame of the page: the page sees it come.
const char kCountDrawings[] =
    "window.drawings = 0; new MutationObserver(function (changes) { changes.forEach(function (c) "
    "{ c.addedNodes.forEach(function (n) { if (n.nodeName == 'IFRAME') drawings++; }); }); })"
    ".observe(document.body, {childList: true});";
const char kOffScreen[] = "document.body.style.paddingTop = '2000px';";

int PixelsAlike(const QImage& a, const QImage& b) {
    int alike = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            alike += std::abs(qRed(p) - qRed(q)) <= 16 && std::abs(qGreen(p) - qGreen(q)) <= 16 &&
                     std::abs(qBlue(p) - qBlue(q)) <= 16;
        }
    return alike;
}

// On screen and unscaled, the browser's own picture; it and the page's drawing of the same
// element agree. Anywhere else the page draws it.
TEST_F(Pictures, TheRenderFormTakesTheBrowsersPictureOfAnElementOnScreenAsItIs) {
    Load("/", 2);
    Ask(kCountDrawings);
    QImage shot = Decoded(web_.GetElementImage({"getElementById", "box"}, true));
    EXPECT_EQ(Ask("window.top.GetAttributeBack(drawings);"), "0");
    // Any transform, even one that moves nothing, leaves it to the page.
    Ask("document.getElementById('box').style.transform = 'translate(0)';");
    QImage drawn = Decoded(web_.GetElementImage({"getElementById", "box"}, true));
    EXPECT_EQ(Ask("window.top.GetAttributeBack(drawings);"), "1");
    ASSERT_EQ(shot.size(), QSize(300, 200));
    ASSERT_EQ(drawn.size(), shot.size());
    EXPECT_GE(PixelsAlike(shot.convertToFormat(QImage::Format_RGB32),
                          drawn.convertToFormat(QImage::Format_RGB32)),
              300 * 200 * 9 / 10);
    EXPECT_EQ(shot.pixel(150, 150), qRgb(0, 0xaa, 0));
    const char* drawnByThePage[] = {
        kOffScreen,
        "document.getElementById('box').style.transform = 'scale(0.5)';",
        "document.body.style.zoom = 2;",
        "var cover = document.createElement('div'); cover.style.cssText = "
        "'position:fixed;left:0;top:0;width:100%;height:100%;background:#fff'; "
        "document.body.appendChild(cover);",
    };
    for (const char* change : drawnByThePage) {
        Load("/", 2);
        Ask(kCountDrawings);
        Ask(change);
        EXPECT_FALSE(web_.GetElementImage({"getElementById", "box"}, true).empty()) << change;
        EXPECT_EQ(Ask("window.top.GetAttributeBack(drawings);"), "1") << change;
    }
}

// A rendering that fails in the page, or never answers, gives no picture and says why
// while the protocol log is on.
TEST_F(Pictures, TheRenderFormSaysWhyItGaveNoPicture) {
    struct Row {
        const char* pageScript;
        int waitCount;
        const char* said;
    } rows[] = {
        {"HTMLCanvasElement.prototype.toDataURL = function () { throw new Error('tainted'); };", 0,
         "the page's rendering failed: Error: tainted"},
        {"Promise.prototype.then = function () { return this; };", 3, "no picture within 300 ms"},
    };
    for (const auto& r : rows) {
        Load("/", 2);
        Ask(kOffScreen);  // where the page's script draws it
        Ask(r.pageScript);
        std::string said = testsupport::Diagnosed([&] {
            EXPECT_TRUE(web_.GetElementImage({"getElementById", "box"}, true, r.waitCount).empty());
        });
        EXPECT_NE(said.find(r.said), std::string::npos) << said;
    }
}

TEST_F(Pictures, ResourceListsNameEachKindInTheirFrame) {
    Load("/", 2);
    std::vector<std::string> list{"old"};
    ASSERT_TRUE(web_.ListScripts(list));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], server->Url("/one.js"));
    EXPECT_EQ(list[1], "");  // inline
    EXPECT_EQ(list[2], "");
    ASSERT_TRUE(web_.ListStyleSheets(list));
    EXPECT_EQ(list, (std::vector<std::string>{server->Url("/a.css"), server->Url("/b.css")}));
    ASSERT_TRUE(web_.ListEmbeds(list));
    EXPECT_EQ(list, std::vector<std::string>{server->Url("/movie.swf")});
    ASSERT_TRUE(web_.ListStyleSheets(list, 2));
    EXPECT_EQ(list, std::vector<std::string>{server->Url("/f.css")});
    ASSERT_TRUE(web_.ListEmbeds(list, 2));
    EXPECT_TRUE(list.empty());
}

// ---- file inputs -----------------------------------------------------------------------

class FileInputs : public Pictures {
  protected:
    void SetUp() override {
        Pictures::SetUp();
        dir_ =
            std::filesystem::temp_directory_path() / ("qirlen-files-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_ / "d1");
        std::filesystem::create_directories(dir_ / "d2");
        Write("d1/a.txt", "alpha");
        Write("d2/b.txt", "bravo!");
        Write("d1/c.txt", "charlie");
        previous_ = platform::SetOpenFileDialog(Original);
        originalCalls = 0;
        Load("/files");
    }
    void TearDown() override {
        ops::FileDialogHook().Remove();
        ops::PendingFileAnswer().clear();
        platform::SetOpenFileDialog(previous_);
        std::filesystem::remove_all(dir_);
        Pictures::TearDown();
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name) << text;
    }
    std::string Path(const std::string& name) { return (dir_ / name).string(); }
    std::string Page(const std::string& expression) {
        return Ask("window.top.GetAttributeBack(" + expression + ");");
    }
    // Waits until the page has read `count` files and gives what it read, in name order.
    std::string Read(size_t count) {
        testsupport::PumpHostLoop(
            [&] { return Page("Object.keys(contents).length") == std::to_string(count); }, 3000);
        return Page(
            "Object.keys(contents).sort().map(function (k) { return k + '=' + "
            "contents[k]; }).join(' ')");
    }

    std::filesystem::path dir_;
    OpenFileDialogFunction previous_ = nullptr;
};

TEST_F(FileInputs, OneFileReachesTheInputAndItsEvents) {
    ASSERT_TRUE(web_.SetFileInputPath({"getElementById", "one"}, Path("d1/a.txt")));
    EXPECT_EQ(Read(1), "a.txt=5:alpha");
    EXPECT_EQ(Page("events.join(' ')"), "one:input one:change");
    EXPECT_FALSE(ops::FileDialogHook().Installed()) << "the diversion ends with its answer";
    EXPECT_EQ(platform::CurrentOpenFileDialog(), Original);
    EXPECT_EQ(originalCalls, 0);
}

TEST_F(FileInputs, FilesFromTwoDirectoriesKeepTheirOwnPaths) {
    ASSERT_TRUE(web_.SetFileInputPaths({"getElementById", "many"},
                                       {Path("d1/a.txt"), Path("d2/b.txt"), Path("d1/c.txt")}));
    EXPECT_EQ(Read(3), "a.txt=5:alpha b.txt=6:bravo! c.txt=7:charlie");
    EXPECT_EQ(Page("document.getElementById('many').files[1].name"), "b.txt");
}

TEST_F(FileInputs, ASingleFileInputTakesTheFirstFile) {
    ASSERT_TRUE(
        web_.SetFileInputPaths({"getElementById", "one"}, {Path("d2/b.txt"), Path("d1/a.txt")}));
    EXPECT_EQ(Read(1), "b.txt=6:bravo!");
    EXPECT_EQ(Page("document.getElementById('one').files.length"), "1");
    EXPECT_FALSE(ops::FileDialogHook().Installed());
}

// A failed operation prepares nothing: the next chooser anyone opens asks as usual.
TEST_F(FileInputs, AMissingElementLeavesNothingForTheNextChooser) {
    EXPECT_FALSE(web_.SetFileInputPath({"getElementById", "nothing"}, Path("d1/c.txt")));
    EXPECT_FALSE(web_.SetFileInputPaths({"getElementById", "nothing"}, {Path("d1/a.txt")}));
    EXPECT_TRUE(ops::PendingFileAnswer().empty());
    EXPECT_FALSE(ops::FileDialogHook().Installed());
    EXPECT_EQ(platform::CurrentOpenFileDialog(), Original);
    ASSERT_TRUE(web_.ClickElement("getElementById", "one"));
    EXPECT_TRUE(testsupport::PumpHostLoop([] { return originalCalls == 1; }, 3000));
    EXPECT_EQ(Page("document.getElementById('one').files.length"), "0");
}

// A diversion that an earlier operation left waiting for its dialog is kept as it was.
TEST_F(FileInputs, AFailedOperationKeepsAnEarlierDiversion) {
    ASSERT_TRUE(web_.SetFileInputPath({"getElementById", "one"}, ""));
    ASSERT_TRUE(testsupport::PumpHostLoop([] { return originalCalls == 1; }, 3000));
    EXPECT_FALSE(web_.SetFileInputPath({"getElementById", "nothing"}, Path("d1/c.txt")));
    EXPECT_TRUE(ops::FileDialogHook().Installed());
    EXPECT_EQ(ops::PendingFileAnswer(), std::u16string(1, u'\0'));
}

TEST_F(FileInputs, AFileThatIsNotThereIsNeverOffered) {
    EXPECT_FALSE(web_.SetFileInputPath({"getElementById", "one"}, Path("d1/none.txt")));
    EXPECT_FALSE(web_.SetFileInputPaths({"getElementById", "many"},
                                        {Path("d1/a.txt"), Path("d1/none.txt")}));
    EXPECT_FALSE(web_.SetFileInputPath({"getElementById", "one"}, Path("d1")));  // a directory
    EXPECT_FALSE(web_.SetFileInputPaths({"getElementById", "many"}, {}));
    EXPECT_TRUE(ops::PendingFileAnswer().empty());
    EXPECT_FALSE(ops::FileDialogHook().Installed());
    testsupport::PumpHostLoop([] { return false; }, 300);
    EXPECT_EQ(Page("events.length"), "0");
}

TEST_F(FileInputs, AnEmptyPathLetsTheOrdinaryDialogAsk) {
    EXPECT_TRUE(web_.SetFileInputPath({"getElementById", "one"}, ""));
    EXPECT_TRUE(testsupport::PumpHostLoop([] { return originalCalls == 1; }, 3000));
    EXPECT_TRUE(ops::FileDialogHook().Installed()) << "no answer given, the diversion stays";
    EXPECT_EQ(Page("document.getElementById('one').files.length"), "0");
}

}  // namespace
