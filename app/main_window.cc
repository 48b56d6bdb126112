#include "app/main_window.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <vector>

#include "app/output_checks.h"
#include "app/text_rules.h"
#include "app/texts.h"
#include "hostctl/browser_control.h"
#include "hostctl/engine_library.h"
#include "platform/codepage.h"
#include "platform/sinks.h"

namespace app {
namespace {

QFont BoxFont(int pixelHeight) {
    QFont font(ToQt(texts::Gbk("微软雅黑")));
    font.setPixelSize(pixelHeight);
    font.setWeight(QFont::Normal);
    return font;
}

void SetColors(QWidget* w, const QColor& text, const QColor& base) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Base, base);
    w->setPalette(palette);
}

}  // namespace

QString ToQt(const std::string& gbk) {
    return QString::fromStdU16String(platform::GbkToUtf16(gbk));
}
std::string FromQt(const QString& text) {
    return platform::Utf16ToGbk(text.toStdU16String());
}

MainWindow::MainWindow(std::function<void(MainWindow&)> onCreated)
    : onCreated_(std::move(onCreated)) {
    BuildLayout();
    fetchDeadline_ = new QTimer(this);
    fetchDeadline_->setSingleShot(true);
    fetchDeadline_->setInterval(kDefaultFetchTimeout);
    connect(fetchDeadline_, &QTimer::timeout, [this] { OnFetchTimedOut(); });
    hostctl::BrowserEvents events;
    // The window judges the page it loaded: a window the page opens is taken here, so the
    // control makes none and the engine is answered with no view.
    events.createView = [](int, const std::string&) { return true; };
    events.loadingFinished = [this](const std::string& url, int result, const std::string& reason) {
        OnPageLoadingFinished(url, result, reason);
    };
    browser_->SetEvents(std::move(events));
    connect(fetchButton_, &QPushButton::clicked, [this] { OnFetchClicked(); });
    connect(playerButton_, &QPushButton::clicked, [this] { OnPlayerClicked(); });
    linkBox_->installEventFilter(this);
    if (onCreated_) onCreated_(*this);
}

void MainWindow::SetFetchTimeout(std::chrono::milliseconds timeout) {
    fetchDeadline_->setInterval(timeout);
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildLayout() {
    setWindowTitle(ToQt(texts::WindowTitle()));
    move(50, 50);
    // One size, no maximising: the layout is drawn for it.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(ClientSizeFor(QMargins()));

    linkBox_ = new QLineEdit(ToQt(texts::InputHint()), this);
    linkBox_->setObjectName(ToQt(texts::Gbk("编辑框1")));
    linkBox_->setGeometry(64, 16, 352, 32);
    linkBox_->setFont(BoxFont(12));
    SetColors(linkBox_, QColor(192, 192, 192), Qt::white);
    linkBox_->setCursorPosition(0);

    linkLabel_ = new QLabel(ToQt(texts::Gbk("链接地址")), this);
    linkLabel_->setObjectName(ToQt(texts::Gbk("标签2")));
    linkLabel_->setGeometry(8, 17, 80, 24);

    resultBox_ = new QPlainTextEdit(this);
    resultBox_->setObjectName(ToQt(texts::Gbk("编辑框2")));
    resultBox_->setGeometry(8, 64, 528, 89);
    resultBox_->setFont(BoxFont(14));
    SetColors(resultBox_, Qt::black, Qt::white);

    noteLabel_ = new QLabel(ToQt(texts::Gbk("注：本程序仅供交流学习使用。")), this);
    noteLabel_->setObjectName(ToQt(texts::Gbk("标签3")));
    noteLabel_->setGeometry(8, 166, 232, 24);

    playerButton_ = new QPushButton(ToQt(texts::Gbk("浏览器在线观看")), this);
    playerButton_->setObjectName(ToQt(texts::Gbk("按钮2")));
    playerButton_->setGeometry(423, 161, 112, 32);

    fetchButton_ = new QPushButton(ToQt(texts::CaptionIdle()), this);
    fetchButton_->setObjectName(ToQt(texts::Gbk("按钮1")));
    fetchButton_->setGeometry(424, 15, 112, 32);
    // The fetch button holds the focus at first, so that the hint stays until the user
    // goes to the link box.
    fetchButton_->setFocus();

    // Placed beyond the window's right edge: it loads pages but is never seen, so it never
    // takes the keyboard either.
    browser_ = new hostctl::BrowserControl(this, QRect(608, 8, 600, 510));
    browser_->setObjectName(ToQt(texts::Gbk("浏览框1")));
    browser_->setFocusPolicy(Qt::NoFocus);
    // Tab goes from the link to its button, then to the result and the player; Tab in the
    // result box moves on instead of writing a tab.
    resultBox_->setTabChangesFocus(true);
    setTabOrder(linkBox_, fetchButton_);
    setTabOrder(fetchButton_, resultBox_);
    setTabOrder(resultBox_, playerButton_);
}

// The outer frame is 550x227. Without a window manager's report of its frame, a fixed
// dialog's frame is taken (3 px borders, a 23 px title bar), which leaves the layout its 8 px
// margins. A thicker frame never clips a control: the window then grows instead.
QSize MainWindow::ClientSizeFor(const QMargins& frame) {
    QMargins used = frame.isNull() ? QMargins(3, 23, 3, 3) : frame;
    QSize client(kOuterWidth - used.left() - used.right(),
                 kOuterHeight - used.top() - used.bottom());
    return client.expandedTo(QSize(kLayoutRight, kLayoutBottom));
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FitToFrame();
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    FitToFrame();  // a window manager reports its frame once it has framed the window
}

void MainWindow::FitToFrame() {
    QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    QSize client = ClientSizeFor(frame);
    if (client != size()) setFixedSize(client);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == linkBox_ && event->type() == QEvent::FocusIn) OnLinkBoxFocused();
    return QWidget::eventFilter(watched, event);
}

void MainWindow::Load(const std::string& address) {
    browser_->LoadAddress(address);
}
intptr_t MainWindow::View() {
    return browser_->GetWebView();
}

void MainWindow::OnFetchClicked() {
    RestartDeadBrowser();
    if (!workflow_.StartFetch(FromQt(linkBox_->text()))) return;
    fetching_ = true;
    fetchDeadline_->start();
    // A disabled button hands its focus on; the link box would re-enable it on focus, so
    // the result box takes it.
    if (fetchButton_->hasFocus()) resultBox_->setFocus();
    fetchButton_->setEnabled(false);
    fetchButton_->setText(ToQt(texts::CaptionLoading()));
}

// Only the load a press asked for is read: a page that reloads or navigates itself later
// never reaches the result box or the clipboard.
void MainWindow::OnPageLoadingFinished(const std::string& url, int result,
                                       const std::string& reason) {
    // The blank page's reload with the phone profile may end after a quick first press: no
    // share link ends there.
    if (!fetching_ || url == "about:blank") return;
    // Another load took this one's place (the page's own redirect, a second press): the
    // one that replaced it finishes the fetch, or the deadline does.
    if (result == WKE_LOADING_CANCELED) return;
    // The streamer's current room could not be looked up: the shared broadcast has ended.
    if (result != WKE_LOADING_SUCCEEDED && workflow_.lookingUpStreamer())
        return ShowOutcome(workflow_.AbandonStreamerLookup(), false);
    if (result != WKE_LOADING_SUCCEEDED) {
        ShowOutcome(LoadFailureText(reason), false);
        return LeaveErrorPage();
    }
    std::optional<std::string> message = workflow_.FinishFetch(result);
    // A page that died while it was read holds nothing, whatever the reading said.
    if (PageCrashed()) return ShowOutcome(texts::FailurePageCrashed(), false);
    if (!message && workflow_.anotherLoadFollows()) return;
    ShowOutcome(message.value_or(texts::FailureElementMissing()), workflow_.lastSucceeded());
}

// A failed load leaves the view on the browser's error page, and the engine may take the
// next load's first answer for that page's failure: the view goes back to a blank page.
void MainWindow::LeaveErrorPage() {
    browser_->LoadAddress("about:blank");
}

void MainWindow::OnFetchTimedOut() {
    if (!fetching_) return;
    // The load is left to end by itself: a stalled browser would hold a stop command too.
    ShowOutcome(LoadFailureText(""), false);
}

void MainWindow::ShowOutcome(const std::string& message, bool succeeded) {
    fetching_ = false;
    fetchDeadline_->stop();
    resultBox_->setPlainText(ToQt(message));
    resultBox_->setToolTip(succeeded ? ToQt(ResultNotes()) : QString());
    fetchButton_->setEnabled(true);
    playerButton_->setEnabled(true);
    fetchButton_->setText(ToQt(texts::CaptionIdle()));
}

// The result box's tooltip: until when the address is valid, which stream it is (its keys and
// names, as --list gives them), which stream the player opens
// when it is not the one shown, and that the address is of the streamer's current room.
std::string MainWindow::ResultNotes() const {
    std::vector<std::string> lines;
    if (std::optional<int64_t> expiry = workflow_.streamExpiry())
        lines.push_back(texts::ExpiryPrefix() + LocalTimeText(*expiry));
    const Quality* shown = workflow_.chosenQuality();
    const Quality* played = workflow_.playerQuality();
    if (shown) lines.push_back(texts::StreamNote(KeysText(*shown), NamesText(*shown)));
    if (shown && played)
        lines.push_back(texts::PlayerCodecNote(shown->codec, NamesText(*shown), played->codec,
                                               NamesText(*played)));
    if (workflow_.fromStreamersCurrentRoom()) lines.push_back(texts::StreamerLiveAgainNote());
    std::string notes;
    for (const std::string& line : lines) notes += (notes.empty() ? "" : "\n") + line;
    return notes;
}

std::string MainWindow::LoadFailureText(const std::string& reason) const {
    if (!hostctl::EngineFailure().empty()) return texts::FailureBrowserStopped();
    if (PageCrashed()) return texts::FailurePageCrashed();
    return IsPlatformRefusal(reason) ? texts::FailurePlatformRefused()
                                     : texts::FailurePageNotLoaded();
}

bool MainWindow::PageCrashed() const {
    const hostctl::EngineEntries& e = hostctl::Engine();
    auto view = reinterpret_cast<wkeWebView>(browser_->GetWebView());
    return view && e.wkeIsPageCrashed && e.wkeIsPageCrashed(view);
}

// A browser that died is replaced at the next press: a new one, a new view for the control,
// and the start-up sequence again so that the view passes for a phone.
void MainWindow::RestartDeadBrowser() {
    if (hostctl::EngineFailure().empty() || !browser_->RestartBrowser()) return;
    if (onCreated_) onCreated_(*this);
}

void MainWindow::OnPlayerClicked() {
    OpenWithShell(workflow_.playerAddress());
}

void MainWindow::OnLinkBoxFocused() {
    if (TextEquals(FromQt(linkBox_->text()), texts::InputHint()) == 0) {
        linkBox_->setText(QString());
        SetColors(linkBox_, Qt::black, Qt::white);
        QFont font = linkBox_->font();
        font.setPointSize(10);
        linkBox_->setFont(font);
    }
    fetchButton_->setEnabled(true);
}

void OpenWithShell(const std::string& address) {
    // Only a web address reaches the shell (the empty one still asks it for nothing).
    if (!address.empty() && !IsPlainWebAddress(address)) return;
    platform::ShellOpen(address);
}

}  // namespace app
