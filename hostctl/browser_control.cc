#include "hostctl/browser_control.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSocketNotifier>

#include "hostctl/engine_library.h"
#include "hostctl/user_agents.h"
#include "hostctl/virtual_keys.h"
#include "platform/codepage.h"

namespace hostctl {
namespace {

std::string Text(const wkeString s) {
    const char16_t* text = Engine().wkeGetStringW ? Engine().wkeGetStringW(s) : nullptr;
    return text ? platform::Utf16ToGbk(text) : std::string();
}

QSocketNotifier* eventNotifier = nullptr;

// Notifications arrive on the GUI thread: the engine's descriptor is watched by Qt's loop.
void WatchEngineEvents() {
    const EngineEntries& e = Engine();
    if (!e.wkeGetEventFd || !e.wkeWake || e.wkeGetEventFd() < 0) return;
    if (eventNotifier && eventNotifier->socket() == e.wkeGetEventFd()) return;
    delete eventNotifier;
    eventNotifier = new QSocketNotifier(e.wkeGetEventFd(), QSocketNotifier::Read);
    QObject::connect(eventNotifier, &QSocketNotifier::activated, [] { Engine().wkeWake(nullptr); });
}

// A restarting engine closes its descriptor: nobody may watch it meanwhile.
void StopWatchingEngineEvents() {
    delete eventNotifier;
    eventNotifier = nullptr;
}

int Modifiers(Qt::KeyboardModifiers m) {
    return (m & Qt::ControlModifier ? 1 : 0) | (m & Qt::ShiftModifier ? 2 : 0) |
           (m & Qt::AltModifier ? 4 : 0);
}

// The modifier state in the engine's key and wheel flags.
unsigned KeyFlags(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? WKE_SHIFT : 0) | (m & Qt::ControlModifier ? WKE_CONTROL : 0) |
           (m & Qt::AltModifier ? WKE_ALT : 0);
}

unsigned MouseFlags(QMouseEvent* e) {
    unsigned flags = 0;
    if (e->buttons() & Qt::LeftButton) flags |= WKE_LBUTTON;
    if (e->buttons() & Qt::RightButton) flags |= WKE_RBUTTON;
    if (e->buttons() & Qt::MiddleButton) flags |= WKE_MBUTTON;
    if (e->modifiers() & Qt::ShiftModifier) flags |= WKE_SHIFT;
    if (e->modifiers() & Qt::ControlModifier) flags |= WKE_CONTROL;
    return flags;
}

const char16_t kPopupTitle[] = u"Qirlen";

}  // namespace

// The engine's callbacks; `param` is the control.
struct BrowserCallbacks {
    static BrowserControl* Of(void* p) {
        auto* c = static_cast<BrowserControl*>(p);
        return c && !c->designMode_ ? c : nullptr;
    }
    static void DocumentReady(wkeWebView, void* p, wkeWebFrameHandle frame) {
        if (auto* c = Of(p); c && c->events_.documentReady)
            c->events_.documentReady(static_cast<int>(frame));
    }
    static void TitleChanged(wkeWebView, void* p, const wkeString title) {
        if (auto* c = Of(p); c && c->events_.titleChanged) c->events_.titleChanged(Text(title));
    }
    static void UrlChanged(wkeWebView, void* p, wkeWebFrameHandle frame, const wkeString url) {
        if (auto* c = Of(p); c && c->events_.urlChanged)
            c->events_.urlChanged(Text(url), static_cast<int>(frame));
    }
    static bool Navigation(wkeWebView, void* p, wkeNavigationType type, wkeString url) {
        auto* c = Of(p);
        return !c || !c->events_.navigation || c->events_.navigation(type, Text(url));
    }
    static wkeWebView CreateView(wkeWebView, void* p, wkeNavigationType type, const wkeString url,
                                 const wkeWindowFeatures*) {
        auto* c = Of(p);
        return c ? c->OpenNewWindow(type, Text(url)) : nullptr;
    }
    static void LoadingFinish(wkeWebView, void* p, const wkeString url, wkeLoadingResult result,
                              const wkeString reason) {
        if (auto* c = Of(p); c && c->events_.loadingFinished)
            c->events_.loadingFinished(Text(url), static_cast<int>(result), Text(reason));
    }
    static void Console(wkeWebView, void* p, wkeConsoleLevel level, const wkeString message,
                        const wkeString source, unsigned line, const wkeString stack) {
        if (auto* c = Of(p); c && c->events_.console)
            c->events_.console(level, static_cast<int>(line), Text(message), Text(source),
                               Text(stack));
    }
    static void Alert(wkeWebView, void* p, const wkeString message) {
        if (auto* c = Of(p); c && c->events_.alert) c->events_.alert(Text(message));
    }
    static bool Confirm(wkeWebView, void* p, const wkeString message) {
        auto* c = Of(p);
        return c && c->events_.confirm && c->events_.confirm(Text(message));
    }
    static bool Prompt(wkeWebView, void* p, const wkeString message, const wkeString value,
                       wkeString result) {
        auto* c = Of(p);
        if (!c || !c->events_.prompt) return false;
        auto answer = c->events_.prompt(Text(message), Text(value));
        if (!answer) return false;
        std::u16string wide = platform::GbkToUtf16(*answer);
        if (Engine().wkeSetStringW) Engine().wkeSetStringW(result, wide.c_str(), wide.size());
        return true;
    }
    static bool Download(wkeWebView, void* p, const char* url) {
        auto* c = Of(p);
        return c && c->events_.download && c->events_.download(platform::Utf8ToGbk(url ? url : ""));
    }
    static bool LoadUrlBegin(wkeWebView, void* p, const char* url, void* job) {
        auto* c = Of(p);
        return c && c->events_.loadUrlBegin &&
               c->events_.loadUrlBegin(platform::Utf8ToGbk(url ? url : ""),
                                       reinterpret_cast<intptr_t>(job));
    }
    static void LoadUrlEnd(wkeWebView, void* p, const char* url, void* job, void* buf, int len) {
        if (auto* c = Of(p); c && c->events_.loadUrlEnd)
            c->events_.loadUrlEnd(platform::Utf8ToGbk(url ? url : ""),
                                  reinterpret_cast<intptr_t>(job), reinterpret_cast<intptr_t>(buf),
                                  len);
    }
    static void MouseOverUrl(wkeWebView, void* p, const wkeString url) {
        if (auto* c = Of(p); c && c->events_.mouseOverUrl) c->events_.mouseOverUrl(Text(url));
    }
    static void Paint(wkeWebView, void* p, const void* png, size_t size, const wkeRect*, int, int) {
        auto* c = static_cast<BrowserControl*>(p);
        c->picture_.loadFromData(static_cast<const uchar*>(png), static_cast<int>(size), "PNG");
        c->update();
    }
    static bool PopupClosing(wkeWebView, void*) { return true; }
    static void PopupDestroyed(wkeWebView, void*) {}
    static void PopupTitle(wkeWebView, void*, const wkeString) {}
};

BrowserControl::BrowserControl(QWidget* parent, const QRect& geometry,
                               const std::vector<uint8_t>& block, bool designMode)
    : QWidget(parent), designMode_(designMode) {
    properties_ = ReadPropertyBlock(block).value_or(BrowserProperties::Defaults());
    properties_.userAgent = ResolveUserAgent(properties_.userAgent);
    setGeometry(geometry);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_InputMethodEnabled);
    // A control placed partly outside its parent comes into sight when the parent grows.
    if (parent) parent->installEventFilter(this);
    CreateView();
}

BrowserControl::~BrowserControl() {
    // Notifications for the view must not reach a control that is gone.
    if (view_ && Engine().wkeDestroyWebWindow) Engine().wkeDestroyWebWindow(view_);
}

bool BrowserControl::RestartBrowser() {
    StopWatchingEngineEvents();
    if (view_ && Engine().wkeDestroyWebWindow) Engine().wkeDestroyWebWindow(view_);
    view_ = nullptr;
    bool restarted = EngineLibrary::Restart();
    shown_ = false;
    picture_ = QImage();
    CreateView();
    UpdateVisibility();
    return restarted && view_;
}

void BrowserControl::CreateView() {
    if (!EngineLibrary::Load()) return;
    const EngineEntries& e = Engine();
    if (!e.wkeCreateWebWindow) return;
    view_ =
        e.wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, reinterpret_cast<wkeWindowHandle>(winId()), 0,
                             0, width(), height());
    if (!view_) return;
    WatchEngineEvents();
    if (e.wkeSetTransparent) e.wkeSetTransparent(view_, false);
    if (e.wkeOnPaintUpdated) e.wkeOnPaintUpdated(view_, BrowserCallbacks::Paint, this);
    if (e.wkeSetCspCheckEnable) e.wkeSetCspCheckEnable(view_, false);
    if (e.wkeSetNpapiPluginsEnabled) e.wkeSetNpapiPluginsEnabled(view_, true);
    if (e.wkeSetNavigationToNewWindowEnable) e.wkeSetNavigationToNewWindowEnable(view_, true);
    if (!properties_.userAgent.empty() && e.wkeSetUserAgent)
        e.wkeSetUserAgent(view_, properties_.userAgent.c_str());
    if (!properties_.storageDirectory.empty() && e.wkeSetLocalStorageFullPath)
        e.wkeSetLocalStorageFullPath(view_,
                                     platform::GbkToUtf16(properties_.storageDirectory).c_str());
    if (!properties_.cookieDirectory.empty() && e.wkeSetCookieJarPath)
        e.wkeSetCookieJarPath(view_, platform::GbkToUtf16(properties_.cookieDirectory).c_str());
    if (designMode_) return;
    if (!properties_.startAddress.empty() && e.wkeLoadURL)
        e.wkeLoadURL(view_, properties_.startAddress.c_str());
    if (e.wkeSetNavigationToNewWindowEnable)
        e.wkeSetNavigationToNewWindowEnable(view_, properties_.allowNewWindow);
    WireNotifications();
}

void BrowserControl::WireNotifications() {
    const EngineEntries& e = Engine();
    auto wire = [&](auto setter, auto callback) {
        if (setter) setter(view_, callback, this);
    };
    wire(e.wkeOnTitleChanged, BrowserCallbacks::TitleChanged);
    wire(e.wkeOnMouseOverUrlChanged, BrowserCallbacks::MouseOverUrl);
    wire(e.wkeOnURLChanged2, BrowserCallbacks::UrlChanged);
    wire(e.wkeOnAlertBox, BrowserCallbacks::Alert);
    wire(e.wkeOnConfirmBox, BrowserCallbacks::Confirm);
    wire(e.wkeOnPromptBox, BrowserCallbacks::Prompt);
    wire(e.wkeOnCreateView, BrowserCallbacks::CreateView);
    wire(e.wkeOnDocumentReady2, BrowserCallbacks::DocumentReady);
    wire(e.wkeOnLoadingFinish, BrowserCallbacks::LoadingFinish);
    wire(e.wkeOnDownload, BrowserCallbacks::Download);
    wire(e.wkeOnConsole, BrowserCallbacks::Console);
    WireRequestHooks();
}

// Navigation and request hooks hold every request of the page until they answer, so they
// are wired only while the application has a handler for them.
void BrowserControl::WireRequestHooks() {
    const EngineEntries& e = Engine();
    if (!view_ || designMode_) return;
    if (e.wkeOnNavigation)
        e.wkeOnNavigation(view_, events_.navigation ? BrowserCallbacks::Navigation : nullptr, this);
    if (e.wkeOnLoadUrlBegin)
        e.wkeOnLoadUrlBegin(view_, events_.loadUrlBegin ? BrowserCallbacks::LoadUrlBegin : nullptr,
                            this);
    if (e.wkeOnLoadUrlEnd)
        e.wkeOnLoadUrlEnd(view_, events_.loadUrlEnd ? BrowserCallbacks::LoadUrlEnd : nullptr, this);
}

void BrowserControl::SetEvents(BrowserEvents events) {
    events_ = std::move(events);
    WireRequestHooks();
}

void BrowserControl::LoadAddress(const std::string& address) {
    if (view_ && Engine().wkeLoadURL) Engine().wkeLoadURL(view_, address.c_str());
}

void BrowserControl::SetTouchEnabled(intptr_t view, bool enabled) {
    if (Engine().wkeSetTouchEnabled)
        Engine().wkeSetTouchEnabled(reinterpret_cast<wkeWebView>(view), enabled);
}

void BrowserControl::SetUserAgentProperty(const std::string& value) {
    properties_.userAgent = ResolveUserAgent(value);
    if (!Live()) return;
    const EngineEntries& e = Engine();
    if (e.wkeSetUserAgent) e.wkeSetUserAgent(view_, properties_.userAgent.c_str());
    if (e.wkeReload) e.wkeReload(view_);
}

wkeWebView BrowserControl::OpenNewWindow(int type, const std::string& url) {
    if (events_.createView && events_.createView(type, url))
        return nullptr;  // taken by the handler
    const EngineEntries& e = Engine();
    if (!properties_.allowNewWindow || !e.wkeCreateWebWindow) return nullptr;
    int style = 0x00CF0000, left = 100, top = 100, w = 800, h = 600;  // an overlapped window
    if (events_.newWindowGeometry) events_.newWindowGeometry(style, left, top, w, h);
    wkeWebView popup = e.wkeCreateWebWindow(WKE_WINDOW_TYPE_POPUP, nullptr, left, top, w, h);
    if (!popup) return nullptr;
    if (events_.newWindowCreated) events_.newWindowCreated(popup);
    if (e.wkeSetWindowTitleW) e.wkeSetWindowTitleW(popup, kPopupTitle);
    if (e.wkeShowWindow) e.wkeShowWindow(popup, true);
    if (e.wkeOnCreateView) e.wkeOnCreateView(popup, BrowserCallbacks::CreateView, this);
    if (e.wkeOnTitleChanged) e.wkeOnTitleChanged(popup, BrowserCallbacks::PopupTitle, this);
    if (e.wkeOnWindowClosing) e.wkeOnWindowClosing(popup, BrowserCallbacks::PopupClosing, this);
    if (e.wkeOnWindowDestroy) e.wkeOnWindowDestroy(popup, BrowserCallbacks::PopupDestroyed, this);
    if (e.wkeSetNavigationToNewWindowEnable) e.wkeSetNavigationToNewWindowEnable(popup, true);
    return popup;
}

// ---- the view on screen ---------------------------------------------------------------------

// Pictures of the page cost CPU, so the engine sends them only while the control can be seen.
void BrowserControl::UpdateVisibility() {
    bool visible = isVisible() && !visibleRegion().isEmpty();
    if (!view_ || visible == shown_ || !Engine().wkeShowWindow) return;
    shown_ = visible;
    Engine().wkeShowWindow(view_, visible);
}

void BrowserControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (picture_.isNull())
        painter.fillRect(rect(), Qt::white);
    else
        painter.drawImage(rect(), picture_);
}

void BrowserControl::resizeEvent(QResizeEvent*) {
    if (view_ && Engine().wkeResize) Engine().wkeResize(view_, width(), height());
    UpdateVisibility();
}
void BrowserControl::showEvent(QShowEvent*) {
    UpdateVisibility();
}
void BrowserControl::hideEvent(QHideEvent*) {
    UpdateVisibility();
}
void BrowserControl::moveEvent(QMoveEvent*) {
    UpdateVisibility();
}
bool BrowserControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        UpdateVisibility();
    return QWidget::eventFilter(watched, event);
}

// ---- input: raised as events 14 to 24, then passed on unless a handler holds it back ---------

bool BrowserControl::RaiseMouse(const std::function<bool(int, int, int)>& handler, QMouseEvent* e) {
    if (designMode_) return false;
    int x = static_cast<int16_t>(e->position().x());
    return !handler || handler(x, static_cast<int>(e->position().y()), Modifiers(e->modifiers()));
}

// Raises the event, then hands the input to the page unless the handler held it back.
void BrowserControl::ForwardMouse(const std::function<bool(int, int, int)>& handler,
                                  unsigned message, QMouseEvent* e) {
    if (!RaiseMouse(handler, e) || !view_ || !Engine().wkeFireMouseEvent) return;
    Engine().wkeFireMouseEvent(view_, message, e->position().x(), e->position().y(), MouseFlags(e));
}

// The handler and the engine's message for a button going down or up.
struct ButtonRoute {
    const std::function<bool(int, int, int)>* handler;
    unsigned message;
};

static ButtonRoute Route(const BrowserEvents& events, Qt::MouseButton button, bool down) {
    switch (button) {
        case Qt::LeftButton:
            return {down ? &events.leftDown : &events.leftUp,
                    down ? WKE_MSG_LBUTTONDOWN : WKE_MSG_LBUTTONUP};
        case Qt::MiddleButton:
            return {down ? &events.middleDown : &events.middleUp,
                    down ? WKE_MSG_MBUTTONDOWN : WKE_MSG_MBUTTONUP};
        default:
            return {down ? &events.rightDown : &events.rightUp,
                    down ? WKE_MSG_RBUTTONDOWN : WKE_MSG_RBUTTONUP};
    }
}

void BrowserControl::mousePressEvent(QMouseEvent* e) {
    ButtonRoute route = Route(events_, e->button(), true);
    ForwardMouse(*route.handler, route.message, e);
}

void BrowserControl::mouseReleaseEvent(QMouseEvent* e) {
    ButtonRoute route = Route(events_, e->button(), false);
    ForwardMouse(*route.handler, route.message, e);
}

void BrowserControl::mouseDoubleClickEvent(QMouseEvent* e) {
    ForwardMouse(events_.leftDoubleClick, WKE_MSG_LBUTTONDBLCLK, e);
}

void BrowserControl::mouseMoveEvent(QMouseEvent* e) {
    ForwardMouse(events_.mouseMove, WKE_MSG_MOUSEMOVE, e);
}

void BrowserControl::wheelEvent(QWheelEvent* e) {
    if (!Live() || !Engine().wkeFireMouseWheelEvent) return;
    unsigned flags = KeyFlags(e->modifiers());
    Engine().wkeFireMouseWheelEvent(view_, static_cast<int>(e->position().x()),
                                    static_cast<int>(e->position().y()), e->angleDelta().y(),
                                    flags);
}

// A focus change reaches the page unless the handler holds it back.
void BrowserControl::focusInEvent(QFocusEvent*) {
    if (designMode_) return;
    bool goOn = !events_.focusGained || events_.focusGained();
    if (goOn && view_ && Engine().wkeSetFocus) Engine().wkeSetFocus(view_);
}

void BrowserControl::focusOutEvent(QFocusEvent*) {
    if (designMode_) return;
    bool goOn = !events_.focusLost || events_.focusLost();
    if (goOn && view_ && Engine().wkeKillFocus) Engine().wkeKillFocus(view_);
}

// Every typed character raises event 24 and, unless held back, reaches the page. Control
// characters other than Enter only raise the event: the page acts on their key.
void BrowserControl::TypeCharacters(const QString& text, unsigned flags) {
    for (QChar c : text) {
        int code = c.unicode();
        bool goOn = !events_.character || events_.character(code);
        bool typed = code >= 0x20 ? code != 0x7F : code == '\r';
        if (goOn && typed && view_ && Engine().wkeFireKeyPressEvent)
            Engine().wkeFireKeyPressEvent(view_, code, flags, flags & WKE_ALT);
    }
}

void BrowserControl::keyPressEvent(QKeyEvent* e) {
    if (designMode_) return;
    int key = WindowsVirtualKey(e->key(), e->modifiers());
    unsigned flags = KeyFlags(e->modifiers()) | (e->isAutoRepeat() ? WKE_REPEAT : 0);
    bool goOn = !events_.keyDown || events_.keyDown(key, Modifiers(e->modifiers()));
    if (!goOn) return;
    if (view_ && Engine().wkeFireKeyDownEvent)
        Engine().wkeFireKeyDownEvent(view_, key, flags, flags & WKE_ALT);
    if (key == 116 && view_ && Engine().wkeReload) Engine().wkeReload(view_);  // F5
    TypeCharacters(e->text(), flags);
}

void BrowserControl::keyReleaseEvent(QKeyEvent* e) {
    if (designMode_) return;
    int key = WindowsVirtualKey(e->key(), e->modifiers());
    unsigned flags = KeyFlags(e->modifiers());
    bool goOn = !events_.keyUp || events_.keyUp(key, Modifiers(e->modifiers()));
    if (goOn && view_ && Engine().wkeFireKeyUpEvent)
        Engine().wkeFireKeyUpEvent(view_, key, flags, flags & WKE_ALT);
}

// Text an input method commits (Chinese, say) arrives as typed characters.
void BrowserControl::inputMethodEvent(QInputMethodEvent* e) {
    if (!designMode_ && !e->commitString().isEmpty()) TypeCharacters(e->commitString(), 0);
    e->accept();
}

QVariant BrowserControl::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (query == Qt::ImEnabled) return true;
    return QWidget::inputMethodQuery(query);
}

}  // namespace hostctl
