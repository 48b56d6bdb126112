// The window's benchmarks: process start to window shown (each run a new process, with the
// browser starting in the background), and the click on the fetch button to the address
// shown, beside the page load alone measured in the same runs, for a room with a stream
// element and for today's room whose address comes from the data its page embeds.
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "bench/support/stats.h"
#include "hostctl/browser_control.h"
#include "platform/paths.h"
#include "tests/support/sample_live_room.h"
#include "tests/support/window_session.h"

extern char** environ;

namespace {

using bench::Stats;
using bench::Summarize;

double NowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Child: build the window as the program does, and print when it is on the screen.
int ShowOnce(int argc, char** argv) {
    QApplication qt(argc, argv);
    app::MainWindow window;
    window.show();
    WaitFor([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }, 10000);
    std::printf("%.3f\n", NowMs());
    std::fflush(stdout);
    return 0;
}

double SpawnAndTimeShown(const char* self) {
    int out[2];
    if (pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    char* argv[] = {const_cast<char*>(self), const_cast<char*>("--show-once"), nullptr};
    double start = NowMs();
    pid_t pid;
    if (posix_spawn(&pid, self, &actions, nullptr, argv, environ) != 0) return -1;
    close(out[1]);
    char buf[64] = {};
    ssize_t n = read(out[0], buf, sizeof buf - 1);
    close(out[0]);
    waitpid(pid, nullptr, 0);
    return n > 0 ? std::atof(buf) - start : -1;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QIRLEN_CHROMIUM_ARGS", testsupport::SampleLiveRoom::ChromiumArgs().c_str(), 1);
    if (argc > 1 && std::strcmp(argv[1], "--show-once") == 0) return ShowOnce(argc, argv);
    int runs = 20;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--runs=", 7) == 0) runs = std::max(1, std::atoi(argv[i] + 7));

    std::vector<double> shown;
    std::string self = platform::ProgramDirectory() + "bench_app";
    for (int i = 0; i < runs; ++i) shown.push_back(SpawnAndTimeShown(self.c_str()));

    QApplication qt(argc, argv);
    testsupport::SampleLiveRoom room;
    app::MainWindow window;
    window.show();
    double loadedAt = 0;
    hostctl::BrowserEvents events = window.browser().events();
    auto handler = events.loadingFinished;
    events.loadingFinished = [&](const std::string& url, int result, const std::string& reason) {
        loadedAt = NowMs();
        handler(url, result, reason);
    };
    window.browser().SetEvents(events);
    window.linkBox().setFocus();
    ProcessEvents(50);
    auto print = [](const char* what, Stats s, size_t n) {
        std::printf("%-58s %4zu runs  median %8.2f ms  p90 %8.2f ms\n", what, n, s.median, s.p90);
    };
    std::printf("qirlen window benchmarks (offscreen Qt, sample live room on loopback)\n");
    print("process start to window shown", Summarize(shown), shown.size());
    // The room with its stream element, and today's room whose address comes from the data
    // its page embeds.
    for (const auto& [token, name] :
         {std::pair{testsupport::SampleLiveRoom::kLiveToken, "stream element"},
          std::pair{testsupport::SampleLiveRoom::kTodayToken, "room data"}}) {
        std::vector<double> toShown, loadOnly, overhead;
        QString link = QString::fromStdString(room.ShareLink(token));
        for (int i = 0; i < runs + 1; ++i) {
            window.resultBox().clear();
            window.linkBox().setText(link);
            double clicked = NowMs();
            window.fetchButton().click();
            WaitFor([&] { return !window.resultBox().toPlainText().isEmpty(); });
            double done = NowMs();
            if (i == 0) continue;  // the first load warms the browser's caches
            toShown.push_back(done - clicked);
            loadOnly.push_back(loadedAt - clicked);
            overhead.push_back(done - loadedAt);
        }
        std::printf("%s:\n", name);
        print("click to address shown", Summarize(toShown), toShown.size());
        print("  of which the page load (click to loading finished)", Summarize(loadOnly),
              loadOnly.size());
        print("  of which the extraction after the load", Summarize(overhead), overhead.size());
    }
    return 0;
}
