// What views keep across runs, when several programs share the directories, and when the
// directories cannot be written (a full file system, a read-only directory).
#include "engine/page/kept_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "engine/capi/wke.h"
#include "tests/support/engine_session.h"
#include "tests/support/http_server.h"

using namespace testsupport;
using nlohmann::json;

namespace {

std::string TempDir(const std::string& name) {
    std::string dir = std::filesystem::temp_directory_path() /
                      ("qirlen-" + name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    return dir;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int FilesIn(const std::string& dir) {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}

json Cookie(const std::string& name, const std::string& value, double expires = 0) {
    json c = {{"name", name}, {"value", value}, {"domain", "site.test"}, {"path", "/"}};
    if (expires > 0)
        c["expires"] = expires;
    else
        c["session"] = true;
    return c;
}

// name -> value of a cookie list.
std::map<std::string, std::string> Values(const json& cookies) {
    std::map<std::string, std::string> values;
    for (const auto& c : cookies) values[c.value("name", "")] = c.value("value", "");
    return values;
}

// Reads the file again and again until `stop` closes; exits with how many reads met a file
// that was there but not whole.
[[noreturn]] void ReadUntilClosed(const std::string& path, int stop) {
    int cut = 0;
    for (;;) {
        pollfd pfd{stop, POLLIN, 0};
        if (poll(&pfd, 1, 0) > 0) break;
        std::string text = ReadText(path);
        if (!text.empty() && json::parse(text, nullptr, false).is_discarded()) ++cut;
    }
    _exit(std::min(cut, 100));
}

// Eight programs keep their cookies in one directory and save 150 times each, all at once,
// while another reads the file all along: every program's cookie is there at the end with
// its last value, the reader never met a cut file, and no temporary file is left, not even
// one that a save which died left before.
TEST(KeptFiles, ProgramsSharingADirectoryLoseNoCookiesAndNoReaderSeesACutFile) {
    constexpr int kPrograms = 8, kSaves = 150;
    std::string dir = TempDir("shared-jar");
    std::string path = dir + "/cookies.json";
    std::filesystem::create_directories(dir);
    std::ofstream(path + ".Ab12Cd") << "[{\"name\":";  // left by a save that died
    int stop[2];
    ASSERT_EQ(pipe(stop), 0);
    pid_t reader = fork();
    if (reader == 0) {
        close(stop[1]);
        ReadUntilClosed(path, stop[0]);
    }
    close(stop[0]);
    std::vector<pid_t> programs;
    for (int p = 0; p < kPrograms; ++p) {
        pid_t pid = fork();
        if (pid == 0) {
            engine::KnownCookies known;
            bool allWritten = true;
            for (int i = 0; i < kSaves; ++i) {
                json ours = json::array({Cookie("program" + std::to_string(p), std::to_string(i))});
                allWritten &= engine::UpdateKeptFile(
                    path,
                    [&](const json& kept) {
                        return engine::MergeCookies(kept, ours, known, std::time(nullptr));
                    },
                    nullptr);
            }
            _exit(allWritten ? 0 : 1);
        }
        programs.push_back(pid);
    }
    for (pid_t pid : programs) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    close(stop[1]);
    int status = 0;
    waitpid(reader, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "reads that met a cut file";

    std::map<std::string, std::string> values = Values(json::parse(ReadText(path)));
    EXPECT_EQ(values.size(), size_t{kPrograms});
    for (int p = 0; p < kPrograms; ++p)
        EXPECT_EQ(values["program" + std::to_string(p)], std::to_string(kSaves - 1)) << p;
    EXPECT_EQ(FilesIn(dir), 1);
    std::filesystem::remove_all(dir);
}

// What one program saves replaces only what it changed itself: another program's newer value
// of a cookie it still holds unchanged stays, a cookie it removed goes, one another program
// removed does not come back, and expired ones go.
TEST(KeptFiles, AMergeTakesOnlyWhatThisProgramChanged) {
    double now = 1'700'000'000, later = now + 3600, earlier = now - 3600;
    json kept = json::array({Cookie("others", "1"), Cookie("changed", "1"), Cookie("removed", "1"),
                             Cookie("newer", "2"), Cookie("expired", "1", earlier),
                             Cookie("lasting", "1", later)});
    engine::KnownCookies known;
    engine::NoteKnownCookies(json::array({Cookie("changed", "1"), Cookie("removed", "1"),
                                          Cookie("newer", "1"), Cookie("goneElsewhere", "1")}),
                             known);
    json ours = json::array({Cookie("changed", "2"), Cookie("newer", "1"),
                             Cookie("goneElsewhere", "1"), Cookie("fresh", "1")});
    json merged = engine::MergeCookies(kept, ours, known, now);
    EXPECT_EQ(
        Values(merged),
        (std::map<std::string, std::string>{
            {"others", "1"}, {"changed", "2"}, {"newer", "2"}, {"lasting", "1"}, {"fresh", "1"}}));
    // What it knows now is what it holds.
    EXPECT_EQ(known.size(), 4u);
}

// Past its cap for one site the browser evicts cookies on its own: one program's save must not
// take those for removed and drop what other programs keep. A cookie it removed from a site
// it holds few of still goes.
TEST(KeptFiles, CookiesTheBrowserEvictedAreNotTakenForRemoved) {
    double now = 1'700'000'000;
    json kept = json::array({Cookie("gone", "1")});
    kept[0]["domain"] = "other.test";
    for (int i = 0; i < 300; ++i) kept.push_back(Cookie("c" + std::to_string(i), "1"));
    engine::KnownCookies known;
    engine::NoteKnownCookies(kept, known);
    json ours = json::array();  // what a browser that evicted past 180 of site.test holds
    for (int i = 150; i < 300; ++i) ours.push_back(Cookie("c" + std::to_string(i), "1"));
    std::map<std::string, std::string> values =
        Values(engine::MergeCookies(kept, ours, known, now));
    EXPECT_EQ(values.size(), 300u);
    EXPECT_EQ(values.count("c0"), 1u);
    EXPECT_EQ(values.count("gone"), 0u);
}

// Files cannot grow past `bytes` while this lives; a write past it fails (EFBIG) instead of
// raising SIGXFSZ. Chromium started before, so only this process is bound.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previous_);
    }

  private:
    rlimit saved_{};
    sighandler_t previous_ = SIG_DFL;
};

// Root writes into directories without write permission; this thread leaves off the
// capability that lets it while this lives.
class WithoutPermissionOverride {
  public:
    WithoutPermissionOverride() {
        syscall(SYS_capget, &header_, saved_);
        __user_cap_data_struct lowered[2];
        std::memcpy(lowered, saved_, sizeof lowered);
        lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        syscall(SYS_capset, &header_, lowered);
    }
    ~WithoutPermissionOverride() { syscall(SYS_capset, &header_, saved_); }

  private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
};

// What this process writes on stderr while this lives (through a pipe: a file could not
// grow under FileSizeLimit).
class CapturedStderr {
  public:
    CapturedStderr() {
        std::fflush(stderr);
        saved_ = dup(2);
        if (pipe2(pipe_, O_NONBLOCK) == 0) dup2(pipe_[1], 2);
    }
    ~CapturedStderr() {
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        close(pipe_[0]);
        close(pipe_[1]);
    }
    std::string Text() {
        std::fflush(stderr);
        char buf[4096];
        for (ssize_t n; (n = read(pipe_[0], buf, sizeof buf)) > 0;) text_.append(buf, n);
        return text_;
    }

  private:
    int saved_ = -1, pipe_[2] = {-1, -1};
    std::string text_;
};

int Occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// A cookie directory that fills up, then one that is read-only: each time the jar keeps
// what it held, no partial file stays, the failure is said once on stderr and by
// wkeStorageFailure; once the directory takes writes again, the cookies set meanwhile are
// kept.
TEST(KeptFiles, AFullOrReadOnlyDirectoryKeepsTheOldFileAndSaysSoOnce) {
    std::string dir = TempDir("unwritable");
    std::string jar = dir + "/jar", file = jar + "/cookies.json";
    HttpServer server([](const HttpRequest&) {
        return HttpResponse{200, "text/html", "<p>page</p>"};
    });
    std::string url = server.Url("/");
    wkeInitializeEx(nullptr);
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 400, 300);
    std::u16string wide(jar.begin(), jar.end());
    wkeSetCookieJarPath(view, wide.c_str());
    ASSERT_EQ(LoadAndWait(view, url), WKE_LOADING_SUCCEEDED);
    wkeSetCookie(view, url.c_str(), "first=1; max-age=3600");
    const std::string kept = ReadText(file);
    ASSERT_NE(kept.find("first"), std::string::npos) << kept;
    EXPECT_STREQ(wkeStorageFailure(), "");

    {
        CapturedStderr err;
        {
            FileSizeLimit full(16);
            wkeSetCookie(view, url.c_str(), "whileFull=1; max-age=3600");
            wkeSetCookie(view, url.c_str(), "whileFull2=1; max-age=3600");
        }
        EXPECT_EQ(ReadText(file), kept);
        EXPECT_EQ(FilesIn(jar), 1);
        EXPECT_NE(std::string(wkeStorageFailure()).find(std::strerror(EFBIG)), std::string::npos)
            << wkeStorageFailure();
        EXPECT_EQ(Occurrences(err.Text(), "cookies.json"), 1) << err.Text();
    }
    wkeSetCookie(view, url.c_str(), "afterwards=1; max-age=3600");
    std::string written = ReadText(file);
    EXPECT_NE(written.find("whileFull2"), std::string::npos) << written;
    EXPECT_NE(written.find("afterwards"), std::string::npos) << written;
    EXPECT_STREQ(wkeStorageFailure(), "");

    {
        CapturedStderr err;
        chmod(jar.c_str(), 0500);
        {
            WithoutPermissionOverride asAnyUser;
            wkeSetCookie(view, url.c_str(), "whileReadOnly=1; max-age=3600");
            wkeSetCookie(view, url.c_str(), "whileReadOnly2=1; max-age=3600");
        }
        chmod(jar.c_str(), 0700);
        EXPECT_EQ(ReadText(file), written);
        EXPECT_EQ(FilesIn(jar), 1);
        EXPECT_NE(std::string(wkeStorageFailure()).find(std::strerror(EACCES)), std::string::npos)
            << wkeStorageFailure();
        EXPECT_EQ(Occurrences(err.Text(), "cookies.json"), 1) << err.Text();
    }
    wkeShutdown();
    EXPECT_NE(ReadText(file).find("whileReadOnly2"), std::string::npos);
    std::filesystem::remove_all(dir);
}

}  // namespace
