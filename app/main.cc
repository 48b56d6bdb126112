// qirlen: the window, or with --cli the same job in a terminal.
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

#include "app/cli.h"
#include "app/cli_options.h"
#include "app/main_window.h"
#include "app/run_guard.h"
#include "app/startup.h"
#include "hostctl/engine_library.h"
#include "platform/codepage.h"
#include "platform/file_dialog.h"
#include "platform/sinks.h"
#include "serve/serve_main.h"

namespace {

// In the window, the program's message boxes, clipboard and shell go through Qt.
void InstallQtSinks() {
    platform::SetMessageBoxSink(
        [](const std::string& text, const std::string& title, unsigned style) {
            QMessageBox box(
                (style & platform::kMbIconError) ? QMessageBox::Critical : QMessageBox::NoIcon,
                app::ToQt(title), app::ToQt(text), QMessageBox::Ok);
            box.exec();
            return 1;
        });
    platform::SetClipboardSink([](const std::string& text) {
        QGuiApplication::clipboard()->setText(app::ToQt(text));
        return true;
    });
    platform::SetShellOpenSink([](const std::string& target) {
        return !target.empty() && QDesktopServices::openUrl(QUrl(app::ToQt(target)));
    });
}

// A page's file chooser asks the user; the answer is a directory and file names.
int AskForFiles(OPENFILENAMEW* ofn) {
    QStringList files;
    if (ofn->Flags & OFN_ALLOWMULTISELECT)
        files = QFileDialog::getOpenFileNames();
    else if (QString one = QFileDialog::getOpenFileName(); !one.isEmpty())
        files << one;
    if (files.isEmpty()) return 0;
    std::vector<std::u16string> paths;
    for (const QString& f : files) paths.push_back(f.toStdU16String());
    std::u16string answer = platform::FileListAnswer(paths);
    if (answer.size() > ofn->nMaxFile) return 0;  // it would not fit: as if cancelled
    std::copy(answer.begin(), answer.end(), ofn->lpstrFile);
    return 1;
}

// Qt aborts without a display; a platform chosen on purpose (offscreen, vnc) needs none.
bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Ctrl-C, SIGTERM and SIGHUP end the browser and remove its profile before we go.
    app::run_guard::Start();
    if (argc > 1 && std::string(argv[1]) == "serve") return serve::RunServe(argc - 2, argv + 2);
    if (int code = app::RunCommandLine(argc, argv); code >= 0) return code;
    if (!HasDisplay()) {
        std::fputs("qirlen: no display; use qirlen --cli LINK\n", stderr);
        return app::kCliNoDisplay;
    }
    app::ProgramState state;  // released when main returns, after the window is gone
    QApplication qt(argc, argv);
    InstallQtSinks();
    platform::SetOpenFileDialog(AskForFiles);
    platform::SetMessagePumpSink([] { QCoreApplication::processEvents(); });
    app::MainWindow window(app::OnMainWindowCreated);
    // The command line's deadline and choice of stream hold for the window's fetches too.
    app::CliOptions options = app::ParseCliOptions(argc, argv).options;
    window.SetFetchTimeout(std::chrono::seconds(options.timeoutSeconds));
    window.SetStreamWish({options.quality, options.codec, options.flv});
    app::run_guard::SetBrowserTerminator(hostctl::Engine().wkeTerminateBrowser);
    window.show();
    return qt.exec();
}
