// Entry points: life, windows, loading, settings and notifications of views.
#include "engine/capi/api_guard.h"
#include "engine/page/kept_files.h"
#include "platform/base64.h"
#include "platform/codepage.h"

using engine::Engine;
using engine::Guard;
using engine::HostText;
using engine::View;
using engine::WithView;

extern "C" {

void wkeInitializeEx(const wkeSettings*) {
    Guard([] { Engine::Get().Initialize(); });
}
void wkeShutdown(void) {
    Guard([] { Engine::Get().ShutdownWhenOutside(); });
}
// Not through Guard: that counts calls in the engine's own state, which belongs to the
// engine's thread, and nothing here throws.
void wkeTerminateBrowser(void) {
    Engine::Get().TerminateBrowser();
}
unsigned int wkeVersion(void) {
    return 0x00010000;
}
const char* wkeVersionString(void) {
    return "qirlen-node 1.0 (Chromium over the DevTools protocol)";
}

wkeWebView wkeCreateWebWindow(wkeWindowType, wkeWindowHandle, int, int, int width, int height) {
    return Guard<wkeWebView>(nullptr, [&] { return Engine::Get().CreateView(width, height); });
}

void wkeDestroyWebWindow(wkeWebView handle) {
    WithView(handle, [&](View& v) {
        if (Engine::Get().Nested()) return Engine::Get().DestroyWhenOutside(handle);
        if (v.on.closing && !v.on.closing.fn(handle, v.on.closing.param)) return;
        auto destroyed = v.on.destroy;
        Engine::Get().DestroyView(v);
        if (destroyed) destroyed.fn(handle, destroyed.param);
    });
}

void wkeShowWindow(wkeWebView handle, bool show) {
    WithView(handle, [&](View& v) {
        v.shown = show;
        Engine::Get().ApplyScreencast(v);
    });
}

void wkeResize(wkeWebView handle, int width, int height) {
    WithView(handle, [&](View& v) {
        if (width <= 0 || height <= 0) return;
        v.width = width;
        v.height = height;
        Engine::Get().ApplySize(v);
    });
}

wkeWindowHandle wkeGetWindowHandle(wkeWebView handle) {
    // There is no native window; the view's number stands in for it.
    return WithView<wkeWindowHandle>(handle, nullptr, [&](View& v) {
        return reinterpret_cast<wkeWindowHandle>(static_cast<intptr_t>(v.id));
    });
}

void wkeSetWindowTitleW(wkeWebView handle, const char16_t* title) {
    WithView(handle, [&](View& v) { v.windowTitle = title ? title : u""; });
}

void wkeSetTransparent(wkeWebView handle, bool transparent) {
    WithView(handle, [&](View& v) {
        v.transparent = transparent;
        nlohmann::json params = nlohmann::json::object();
        if (transparent) params["color"] = {{"r", 0}, {"g", 0}, {"b", 0}, {"a", 0}};
        Engine::Get().Call(v, "Emulation.setDefaultBackgroundColorOverride", params);
    });
}

void wkeLoadURL(wkeWebView handle, const char* url) {
    WithView(handle, [&](View& v) { Engine::Get().Navigate(v, HostText(url)); });
}

void wkeLoadURLW(wkeWebView handle, const char16_t* url) {
    WithView(handle,
             [&](View& v) { Engine::Get().Navigate(v, platform::Utf16ToUtf8(url ? url : u"")); });
}

void wkeLoadHTML(wkeWebView handle, const char* html) {
    WithView(handle, [&](View& v) {
        std::string page = engine::Utf8Text(html);
        Engine::Get().Navigate(
            v, "data:text/html;charset=utf-8;base64," + platform::EncodeBase64(page));
    });
}

void wkeReload(wkeWebView handle) {
    WithView(handle, [](View& v) { Engine::Get().Reload(v); });
}
void wkeStopLoading(wkeWebView handle) {
    WithView(handle, [](View& v) { Engine::Get().StopLoading(v); });
}
bool wkeIsLoaded(wkeWebView handle) {
    return WithView(handle, false, [](View& v) { return v.loaded; });
}
bool wkeIsLoadComplete(wkeWebView handle) {
    return WithView(handle, false, [](View& v) { return v.loadComplete; });
}
bool wkeIsLoadFailed(wkeWebView handle) {
    return WithView(handle, false, [](View& v) { return v.loadFailed; });
}
bool wkeIsPageCrashed(wkeWebView handle) {
    return WithView(handle, false, [](View& v) { return v.crashed; });
}

const char* wkeGetURL(wkeWebView handle) {
    return WithView<const char*>(handle, "", [](View& v) {
        v.urlText = v.url;
        return v.urlText.c_str();
    });
}

const char* wkeGetTitle(wkeWebView handle) {
    return WithView<const char*>(handle, "", [](View& v) {
        v.titleText = v.title;
        return v.titleText.c_str();
    });
}

// ---- settings -----------------------------------------------------------------------------

void wkeSetUserAgent(wkeWebView handle, const char* userAgent) {
    WithView(handle, [&](View& v) {
        v.userAgent = HostText(userAgent);
        Engine::Get().ApplyUserAgent(v);
    });
}

void wkeSetTouchEnabled(wkeWebView handle, bool enable) {
    WithView(handle, [&](View& v) {
        v.touch = enable;
        Engine::Get().ApplyTouch(v);
    });
}

void wkeSetDeviceParameter(wkeWebView handle, const char* name, const char* text, int intValue,
                           float) {
    WithView(handle, [&](View& v) {
        std::string key = name ? name : "";
        engine::DeviceProfile& d = v.device;
        if (key == "navigator.platform")
            d.platform = HostText(text);
        else if (key == "navigator.maxTouchPoints")
            d.maxTouchPoints = intValue;
        else if (key == "navigator.hardwareConcurrency")
            d.hardwareConcurrency = intValue;
        else if (key == "screen.width")
            d.screenWidth = intValue;
        else if (key == "screen.height")
            d.screenHeight = intValue;
        else if (key == "screen.availWidth")
            d.availWidth = intValue;
        else if (key == "screen.availHeight")
            d.availHeight = intValue;
        else
            return;
        Engine& e = Engine::Get();
        e.ApplyDeviceProfile(v);
        if (key == "navigator.platform") e.ApplyUserAgent(v);
        if (key == "navigator.maxTouchPoints" && v.touch) e.ApplyTouch(v);
    });
}

void wkeSetDebugConfig(wkeWebView handle, const char* name, const char* value) {
    WithView(handle, [&](View& v) { Engine::Get().ApplyDebugConfig(v, name ? name : "", value); });
}

void wkeSetCspCheckEnable(wkeWebView handle, bool enable) {
    WithView(handle, [&](View& v) {
        v.cspBypassed = !enable;
        Engine::Get().Call(v, "Page.setBypassCSP", {{"enabled", !enable}});
    });
}

// Plug-ins no longer exist in the browser; the setting is kept and changes nothing.
void wkeSetNpapiPluginsEnabled(wkeWebView, bool) {}

void wkeSetNavigationToNewWindowEnable(wkeWebView handle, bool enable) {
    WithView(handle, [&](View& v) { v.newWindowNavigation = enable; });
}

void wkeSetLocalStorageFullPath(wkeWebView handle, const char16_t* path) {
    WithView(handle, [&](View& v) {
        v.localStoragePath = path ? path : u"";
        Engine::Get().RestoreLocalStorage(v);
    });
}

void wkeSetCookieJarPath(wkeWebView handle, const char16_t* path) {
    WithView(handle, [&](View& v) {
        v.cookieJarPath = path ? path : u"";
        Engine::Get().RestoreCookies(v);
    });
}

const char* wkeStorageFailure(void) {
    static std::string text;
    text = engine::KeptFilesFailure();
    return text.c_str();
}

void wkeSetCookieEnabled(wkeWebView handle, bool enable) {
    WithView(handle, [&](View& v) {
        v.cookiesEnabled = enable;
        Engine::Get().Call(v, "Emulation.setDocumentCookieDisabled", {{"disabled", !enable}});
    });
}

// ---- notifications ------------------------------------------------------------------------

#define QIRLEN_NOTIFICATION(entry, slot, type, after)     \
    void entry(wkeWebView handle, type cb, void* param) { \
        WithView(handle, [&](View& v) {                   \
            v.on.slot.fn = cb;                            \
            v.on.slot.param = param;                      \
            after;                                        \
        });                                               \
    }

QIRLEN_NOTIFICATION(wkeOnLoadingFinish, loadingFinish, wkeLoadingFinishCallback, )
QIRLEN_NOTIFICATION(wkeOnDocumentReady2, documentReady, wkeDocumentReady2Callback,
                    Engine::Get().ApplyLifecycleEvents(v))
QIRLEN_NOTIFICATION(wkeOnTitleChanged, titleChanged, wkeTitleChangedCallback, )
QIRLEN_NOTIFICATION(wkeOnURLChanged2, urlChanged, wkeURLChangedCallback2, )
QIRLEN_NOTIFICATION(wkeOnNavigation, navigation, wkeNavigationCallback,
                    Engine::Get().ApplyRequestHooks(v))
QIRLEN_NOTIFICATION(wkeOnCreateView, createView, wkeCreateViewCallback, )
QIRLEN_NOTIFICATION(wkeOnConsole, console, wkeConsoleCallback, )
QIRLEN_NOTIFICATION(wkeOnAlertBox, alert, wkeAlertBoxCallback, )
QIRLEN_NOTIFICATION(wkeOnConfirmBox, confirm, wkeConfirmBoxCallback, )
QIRLEN_NOTIFICATION(wkeOnPromptBox, prompt, wkePromptBoxCallback, )
QIRLEN_NOTIFICATION(wkeOnDownload, download, wkeDownloadCallback, )
QIRLEN_NOTIFICATION(wkeOnDownloadFinished, downloadFinished, wkeDownloadFinishedCallback, )
QIRLEN_NOTIFICATION(wkeOnLoadUrlBegin, loadUrlBegin, wkeLoadUrlBeginCallback,
                    Engine::Get().ApplyRequestHooks(v))
QIRLEN_NOTIFICATION(wkeOnLoadUrlEnd, loadUrlEnd, wkeLoadUrlEndCallback,
                    Engine::Get().ApplyRequestHooks(v))
QIRLEN_NOTIFICATION(wkeOnMouseOverUrlChanged, mouseOverUrl, wkeMouseOverUrlChangedCallback,
                    Engine::Get().ApplyHoverWatch(v))
QIRLEN_NOTIFICATION(wkeOnPaintUpdated, paint, wkePaintUpdatedCallback,
                    Engine::Get().ApplyScreencast(v))
QIRLEN_NOTIFICATION(wkeOnWindowClosing, closing, wkeWindowClosingCallback, )
QIRLEN_NOTIFICATION(wkeOnWindowDestroy, destroy, wkeWindowDestroyCallback, )

#undef QIRLEN_NOTIFICATION

}  // extern "C"
