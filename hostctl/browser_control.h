#pragma once
// The browser host control (control type "网页浏览框", English type name WEB_VIEW_BOX): one engine
// web view on a form, its notifications turned into control events.
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/capi/wke.h"
#include "hostctl/property_block.h"

namespace hostctl {

// Handlers the application may bind; texts are GBK. An unbound handler leaves the
// engine's default answer in place. Events 14 to 24 return whether the input goes on to
// the page.
struct BrowserEvents {
    std::function<void(int frame)> documentReady;                       // 0
    std::function<void(const std::string& title)> titleChanged;         // 1
    std::function<void(const std::string& url, int frame)> urlChanged;  // 2
    std::function<bool(int type, const std::string& url)> navigation;   // 3
    std::function<bool(int type, const std::string& url)> createView;   // 4: true takes it
    std::function<void(const std::string& url, int result, const std::string& reason)>
        loadingFinished;  // 5
    std::function<void(int level, int line, const std::string& message, const std::string& source,
                       const std::string& stack)>
        console;                                              // 6
    std::function<void(const std::string& message)> alert;    // 7
    std::function<bool(const std::string& message)> confirm;  // 8
    std::function<std::optional<std::string>(const std::string& message, const std::string& value)>
        prompt;                                                              // 9
    std::function<bool(const std::string& url)> download;                    // 10
    std::function<bool(const std::string& url, intptr_t job)> loadUrlBegin;  // 11
    std::function<void(const std::string& url, intptr_t job, intptr_t buffer, int length)>
        loadUrlEnd;                                            // 12
    std::function<void(const std::string& url)> mouseOverUrl;  // 13
    std::function<bool(int x, int y, int modifiers)> leftDown, leftUp, leftDoubleClick, rightDown,
        rightUp,
        mouseMove;  // 14-19
    // The middle button has no event number; its handlers work like the others'.
    std::function<bool(int x, int y, int modifiers)> middleDown, middleUp;
    std::function<bool()> focusGained, focusLost;                // 20, 21
    std::function<bool(int key, int modifiers)> keyDown, keyUp;  // 22, 23
    std::function<bool(int character)> character;                // 24
    std::function<void(int& style, int& left, int& top, int& width, int& height)>
        newWindowGeometry;                                  // 26
    std::function<void(wkeWebView view)> newWindowCreated;  // 27
};

class BrowserControl : public QWidget {
  public:
    static constexpr const char* kTypeName = "WEB_VIEW_BOX";
    static constexpr const char* kControlType = "网页浏览框";  // UTF-8 here

    // Creates the control at `geometry` of `parent` with its stored property block
    // (empty: the starting values). Loads the engine once per process.
    BrowserControl(QWidget* parent, const QRect& geometry,
                   const std::vector<uint8_t>& propertyBlock = {}, bool designMode = false);
    ~BrowserControl() override;

    // ---- commands
    void LoadAddress(const std::string& address);  // GBK, handed on unchanged
    intptr_t GetWebView() const { return reinterpret_cast<intptr_t>(view_); }
    // The settings object's command: touch input for any view.
    static void SetTouchEnabled(intptr_t view, bool enabled);
    // A preset name or a user-agent string; on a live control applied at once, with a reload.
    void SetUserAgentProperty(const std::string& value);

    const BrowserProperties& properties() const { return properties_; }
    std::vector<uint8_t> propertyBlock() const { return WritePropertyBlock(properties_); }

    // After the browser died: starts a new one (views made before stay dead) and gives
    // the control a new view, with the control's settings, handlers and hooks. The
    // application sets the view up again as at start. True when the control has a view.
    bool RestartBrowser();

    // Binds the application's handlers (replacing earlier ones).
    void SetEvents(BrowserEvents events);
    const BrowserEvents& events() const { return events_; }

    // Whether the engine is told the view can be seen (it then sends pictures of the page).
    bool onScreen() const { return shown_; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    void moveEvent(QMoveEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void keyReleaseEvent(QKeyEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void inputMethodEvent(QInputMethodEvent*) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateView();
    void WireNotifications();
    void WireRequestHooks();
    void UpdateVisibility();
    bool Live() const { return view_ && !designMode_; }
    bool RaiseMouse(const std::function<bool(int, int, int)>& handler, QMouseEvent* e);
    void ForwardMouse(const std::function<bool(int, int, int)>& handler, unsigned message,
                      QMouseEvent* e);
    wkeWebView OpenNewWindow(int type, const std::string& url);
    void TypeCharacters(const QString& text, unsigned flags);

    friend struct BrowserCallbacks;
    BrowserProperties properties_;
    BrowserEvents events_;
    wkeWebView view_ = nullptr;
    bool designMode_ = false;
    bool shown_ = false;
    QImage picture_;
};

}  // namespace hostctl
