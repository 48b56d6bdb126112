// Which browser the engine starts: the headless shell when it is there, the full browser when
// it is not, and always the one QIRLEN_CHROMIUM names. Browsers here are empty executables
// in a directory of their own that is the whole PATH.
#include "engine/process/browser_choice.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one scope and puts back what was there.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class BrowserChoice : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qirlen-browsers-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Install(const std::string& name, bool executable = true) {
        fs::path file = dir_ / name;
        std::ofstream(file) << "#!/bin/sh\n";
        fs::permissions(file, executable ? fs::perms::owner_all : fs::perms::owner_read);
        return file.string();
    }

    fs::path dir_;
};

TEST_F(BrowserChoice, PrefersTheHeadlessShellAndFallsBackInOrder) {
    ScopedEnv path("PATH", dir_.string());
    ScopedEnv chosen("QIRLEN_CHROMIUM", std::nullopt);
    EXPECT_EQ(engine::FindChromium(), "");
    std::string chrome = Install("google-chrome");
    EXPECT_EQ(engine::FindChromium(), chrome);
    std::string chromium = Install("chromium");
    EXPECT_EQ(engine::FindChromium(), chromium);
    Install("chromium-headless-shell", false);  // there, but no one may run it
    EXPECT_EQ(engine::FindChromium(), chromium);
    std::string shell = Install("chromium-headless-shell");
    EXPECT_EQ(engine::FindChromium(), shell);
}

// A directory that bears a browser's name (and, as directories do, execute permission) is
// passed over for the file of that name further along PATH, and for the names after it.
TEST_F(BrowserChoice, ADirectoryNamedLikeABrowserIsNoBrowser) {
    fs::create_directories(dir_ / "first" / "chromium-headless-shell");
    fs::create_directories(dir_ / "second");
    ScopedEnv path("PATH", (dir_ / "first").string() + ":" + (dir_ / "second").string());
    ScopedEnv chosen("QIRLEN_CHROMIUM", std::nullopt);
    EXPECT_EQ(engine::FindChromium(), "");
    std::string chromium = Install("second/chromium");
    EXPECT_EQ(engine::FindChromium(), chromium);
    std::string shell = Install("second/chromium-headless-shell");
    EXPECT_EQ(engine::FindChromium(), shell);
}

TEST_F(BrowserChoice, TheChosenBrowserWinsEvenOverTheShell) {
    ScopedEnv path("PATH", dir_.string());
    Install("chromium-headless-shell");
    std::string chromium = Install("chromium");
    {
        ScopedEnv chosen("QIRLEN_CHROMIUM", chromium);
        EXPECT_EQ(engine::FindChromium(), chromium);
    }
    {
        ScopedEnv chosen("QIRLEN_CHROMIUM", "chromium");  // a name is looked up on PATH
        EXPECT_EQ(engine::FindChromium(), chromium);
    }
    {
        // A choice that cannot run is no reason to run something else.
        ScopedEnv chosen("QIRLEN_CHROMIUM", (dir_ / "missing").string());
        EXPECT_EQ(engine::FindChromium(), "");
    }
    {
        ScopedEnv chosen("QIRLEN_CHROMIUM", "");  // set but empty: as if not set
        EXPECT_EQ(engine::FindChromium(), dir_ / "chromium-headless-shell");
    }
}

// Debian's launchers are scripts; the engine runs the binaries behind them, whether found on
// PATH or chosen by path, so that the browser itself leads its process group.
TEST(DebianLaunchers, AreSkippedForTheBinariesBehindThem) {
    ScopedEnv path("PATH", "/usr/bin:/bin");
    struct Row {
        const char *launcher, *binary;
    } rows[] = {
        {"/usr/bin/chromium-headless-shell", "/usr/lib/chromium/chromium-headless-shell"},
        {"/usr/bin/chromium", "/usr/lib/chromium/chromium"},
    };
    int seen = 0;
    for (const auto& r : rows) {
        if (access(r.launcher, X_OK) != 0 || access(r.binary, X_OK) != 0) continue;
        ++seen;
        ScopedEnv chosen("QIRLEN_CHROMIUM", std::string(r.launcher));
        EXPECT_EQ(engine::FindChromium(), r.binary);
    }
    if (seen == 0) GTEST_SKIP() << "neither of Debian's Chromium packages is installed";
    ScopedEnv chosen("QIRLEN_CHROMIUM", std::nullopt);
    if (access(rows[0].binary, X_OK) == 0) {
        EXPECT_EQ(engine::FindChromium(), rows[0].binary);
    }
}

}  // namespace
