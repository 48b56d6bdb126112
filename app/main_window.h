#pragma once
// The program's one window: the share-link box, the fetch button, the result box, the
// player button, two labels and the out-of-sight browser control.
#include <QMargins>
#include <QSize>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/stream_workflow.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace hostctl {
class BrowserControl;
}

namespace app {

class MainWindow : public QWidget, private StreamWorkflow::Page {
  public:
    // `onCreated` runs once the window and its controls exist, before the window is shown.
    explicit MainWindow(std::function<void(MainWindow&)> onCreated = nullptr);
    ~MainWindow() override;

    // Handlers, reachable for tests.
    void OnFetchClicked();
    void OnPageLoadingFinished(const std::string& url, int result, const std::string& reason);
    void OnPlayerClicked();
    void OnLinkBoxFocused();
    void OnFetchTimedOut();

    // How long a fetch may take before the window says the page did not load; the command
    // line's default.
    static constexpr std::chrono::seconds kDefaultFetchTimeout{30};
    void SetFetchTimeout(std::chrono::milliseconds timeout);
    // Between a press of the fetch button and the result (or failure) it shows.
    bool fetching() const { return fetching_; }

    hostctl::BrowserControl& browser() { return *browser_; }
    const StreamWorkflow& workflow() const { return workflow_; }
    // The stream to show instead of the best one: the command line's --quality, --codec and
    // --format, so that the window gives what --cli gives.
    void SetStreamWish(const StreamWish& wish) { workflow_.SetWish(wish); }
    QLineEdit& linkBox() { return *linkBox_; }
    QPlainTextEdit& resultBox() { return *resultBox_; }
    QPushButton& fetchButton() { return *fetchButton_; }
    QPushButton& playerButton() { return *playerButton_; }

    // The window's client size for a window-manager frame (none known: a fixed dialog's).
    static QSize ClientSizeFor(const QMargins& frame);
    static constexpr int kOuterWidth = 550, kOuterHeight = 227;
    static constexpr int kLayoutRight = 544, kLayoutBottom = 201;  // controls and margins

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void Load(const std::string& address) override;
    intptr_t View() override;
    void BuildLayout();
    void FitToFrame();
    void ShowOutcome(const std::string& message, bool succeeded);
    std::string LoadFailureText(const std::string& reason) const;
    std::string ResultNotes() const;
    void LeaveErrorPage();
    bool PageCrashed() const;
    void RestartDeadBrowser();

    QLineEdit* linkBox_ = nullptr;                // 编辑框1
    QLabel* linkLabel_ = nullptr;                 // 标签2
    QPlainTextEdit* resultBox_ = nullptr;         // 编辑框2
    QLabel* noteLabel_ = nullptr;                 // 标签3
    QPushButton* playerButton_ = nullptr;         // 按钮2
    QPushButton* fetchButton_ = nullptr;          // 按钮1
    hostctl::BrowserControl* browser_ = nullptr;  // 浏览框1
    StreamWorkflow workflow_{*this};
    std::function<void(MainWindow&)> onCreated_;  // run again for a restarted browser's view
    bool fetching_ = false;
    QTimer* fetchDeadline_ = nullptr;
};

// Asks the shell to open the address (GBK); nothing is reported either way.
void OpenWithShell(const std::string& address);

// GBK and Qt's strings.
QString ToQt(const std::string& gbk);
std::string FromQt(const QString& text);

}  // namespace app
