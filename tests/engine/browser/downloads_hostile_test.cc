// A page names its downloads; a host that accepts them must not let that name replace a file
// the user has, or place one outside the download directory, and learns where the file went.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/hostile_site.h"
#include "tests/support/page_view.h"

namespace {

namespace fs = std::filesystem;

using FinishedCallback = void (*)(wkeWebView, void*, const char* url, const char* path);
using OnFinished = void (*)(wkeWebView, FinishedCallback, void*);

// The entry point that reports where a download went, found in the loaded module by name.
OnFinished FindOnDownloadFinished() {
    void* module = dlopen(hostctl::EngineLibrary::path().c_str(), RTLD_NOW | RTLD_NOLOAD);
    return module ? reinterpret_cast<OnFinished>(dlsym(module, "wkeOnDownloadFinished")) : nullptr;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

testsupport::HttpResponse Attachment(const std::string& name, const std::string& body) {
    testsupport::HttpResponse r;
    r.contentType = "application/octet-stream";
    r.body = body;
    r.headers.push_back({"Content-Disposition", "attachment; filename=\"" + name + "\""});
    return r;
}

class Downloads : public testsupport::PageView {
  protected:
    void SetUp() override {
        PageView::SetUp();
        // ctest names a directory in the build tree; run by hand, one under the temp dir.
        const char* dir = std::getenv("QIRLEN_DOWNLOAD_DIR");
        dir_ = (dir ? fs::path(dir) : fs::temp_directory_path() / "qirlen-hostile-downloads") /
               "names";
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        setenv("QIRLEN_DOWNLOAD_DIR", dir_.c_str(), 1);
        onFinished_ = FindOnDownloadFinished();
        ASSERT_NE(onFinished_, nullptr) << "the engine reports no saved downloads";
        hostctl::Engine().wkeOnDownload(
            view_, [](wkeWebView, void*, const char*) { return true; }, nullptr);
        onFinished_(
            view_,
            [](wkeWebView, void* saved, const char*, const char* path) {
                static_cast<std::vector<std::string>*>(saved)->push_back(path ? path : "(none)");
            },
            &saved_);
        hostile::Local().Serve("/downloads", "<p>downloads</p>");
        LoadUrl(hostile::Local().Url(hostile::kShareHost, "/downloads"));
    }
    void TearDown() override {
        if (!dir_.empty()) setenv("QIRLEN_DOWNLOAD_DIR", dir_.parent_path().c_str(), 1);
        PageView::TearDown();
    }

    // The page starts a download of `path`; the path the host is told it went to.
    std::string Download(const std::string& path) {
        size_t before = saved_.size();
        automation::RunScript(view_, 1, "location.href = '" + path + "';", false);
        if (!testsupport::PumpHostLoop([&] { return saved_.size() > before; }))
            return "(no report)";
        return saved_.back();
    }

    fs::path dir_;
    OnFinished onFinished_ = nullptr;
    std::vector<std::string> saved_;
};

TEST_F(Downloads, ANameThatIsTakenGetsANumberAndTheHostLearnsIt) {
    std::ofstream(dir_ / "evil.html") << "the user's own file";
    hostile::Local().Serve("/dl/evil", Attachment("evil.html", "from the page"));

    EXPECT_EQ(Download("/dl/evil"), (dir_ / "evil (1).html").string());
    EXPECT_EQ(Download("/dl/evil"), (dir_ / "evil (2).html").string());
    EXPECT_EQ(ReadFile(dir_ / "evil.html"), "the user's own file");
    EXPECT_EQ(ReadFile(dir_ / "evil (1).html"), "from the page");
}

TEST_F(Downloads, ALinkInTheWayIsNotFollowedOrReplaced) {
    fs::path outside = dir_.parent_path() / "outside.txt";
    fs::remove(outside);
    fs::create_symlink(outside, dir_ / "notes.txt");  // dangling: a write through it lands outside
    hostile::Local().Serve("/dl/notes", Attachment("notes.txt", "from the page"));

    EXPECT_EQ(Download("/dl/notes"), (dir_ / "notes (1).txt").string());
    EXPECT_FALSE(fs::exists(outside));
    EXPECT_TRUE(fs::is_symlink(dir_ / "notes.txt"));
}

TEST_F(Downloads, PathPartsLeadingDotsAndControlCharactersAreStripped) {
    hostile::Local().Serve("/dl/rc", Attachment("../.bashrc", "echo pwned"));
    hostile::Local().Serve("/dl/dots", Attachment("...", "x"));
    hostile::Local().Serve("/dl/option", Attachment("--output=x", "x"));

    EXPECT_EQ(Download("/dl/rc"), (dir_ / "bashrc").string());
    EXPECT_EQ(Download("/dl/dots"), (dir_ / "download").string());
    EXPECT_EQ(Download("/dl/option"), (dir_ / "output=x").string());
    for (const auto& entry : fs::directory_iterator(dir_)) {
        std::string name = entry.path().filename().string();
        EXPECT_NE(name[0], '.') << name;
        EXPECT_NE(name[0], '-') << name;
        EXPECT_EQ(name.find('_'), std::string::npos) << name;
    }
    EXPECT_FALSE(fs::exists(dir_.parent_path() / ".bashrc"));
}

}  // namespace
