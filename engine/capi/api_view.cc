// Entry points: life, windows, loading, settings and notifications of views.
#include "engine/capi/api_guard.h"
#include "engine/capi/host_text.h"
#include "engine/page/kept_files.h"
#include "platform/base64.h"
#include "platform/codepage.h"

using engine::ApiNesting;
using engine::Browser;
using engine::Guard;
using engine::HostText;
using engine::Page;
using engine::WithPage;

extern "C" {

void wkeInitializeEx(const wkeSettings* settings) {
    Guard([&] { Browser::Get().Initialize(settings); });
}
void wkeShutdown(void) {
    Guard([] { ApiNesting::Get().ShutdownWhenOutside(); });
}
// Not through Guard: that counts calls in the engine's own state, which belongs to the
// engine's thread, and nothing here throws.
void wkeTerminateBrowser(void) {
    Browser::Get().Terminate();
}
unsigned int wkeVersion(void) {
    return 0x00010000;
}
const char* wkeVersionString(void) {
    return "qirlen-node 1.0 (Chromium over the DevTools protocol)";
}

wkeWebView wkeCreateWebWindow(wkeWindowType, wkeWindowHandle, int, int, int width, int height) {
    return Guard<wkeWebView>(nullptr, [&] { return Browser::Get().CreatePage(width, height); });
}

void wkeDestroyWebWindow(wkeWebView handle) {
    WithPage(handle, [&](Page& p) {
        if (ApiNesting::Get().Nested()) return ApiNesting::Get().DestroyWhenOutside(handle);
        const auto& closing = p.on().closing;
        if (closing && !closing.fn(handle, closing.param)) return;
        auto destroyed = p.on().destroy;
        Browser::Get().DestroyPage(p);
        if (destroyed) destroyed.fn(handle, destroyed.param);
    });
}

void wkeShowWindow(wkeWebView handle, bool show) {
    WithPage(handle, [&](Page& p) {
        p.settings().shown = show;
        p.settings().ApplyScreencast();
    });
}

void wkeResize(wkeWebView handle, int width, int height) {
    WithPage(handle, [&](Page& p) {
        if (width <= 0 || height <= 0) return;
        p.settings().width = width;
        p.settings().height = height;
        p.settings().ApplySize();
    });
}

wkeWindowHandle wkeGetWindowHandle(wkeWebView handle) {
    // There is no native window; the view's number stands in for it.
    return WithPage<wkeWindowHandle>(handle, nullptr, [&](Page& p) {
        return reinterpret_cast<wkeWindowHandle>(static_cast<intptr_t>(p.id()));
    });
}

void wkeSetWindowTitleW(wkeWebView handle, const char16_t* title) {
    WithPage(handle, [&](Page& p) { p.settings().windowTitle = title ? title : u""; });
}

void wkeSetTransparent(wkeWebView handle, bool transparent) {
    WithPage(handle, [&](Page& p) {
        p.settings().transparent = transparent;
        p.settings().ApplyTransparent();
    });
}

void wkeLoadURL(wkeWebView handle, const char* url) {
    WithPage(handle, [&](Page& p) { p.loader().Navigate(HostText(url)); });
}

void wkeLoadURLW(wkeWebView handle, const char16_t* url) {
    WithPage(handle, [&](Page& p) { p.loader().Navigate(platform::Utf16ToUtf8(url ? url : u"")); });
}

void wkeLoadHTML(wkeWebView handle, const char* html) {
    WithPage(handle, [&](Page& p) {
        std::string page = engine::Utf8Text(html);
        p.loader().Navigate("data:text/html;charset=utf-8;base64," + platform::EncodeBase64(page));
    });
}

void wkeReload(wkeWebView handle) {
    WithPage(handle, [](Page& p) { p.loader().Reload(); });
}
void wkeStopLoading(wkeWebView handle) {
    WithPage(handle, [](Page& p) { p.loader().Stop(); });
}
bool wkeIsLoaded(wkeWebView handle) {
    return WithPage(handle, false, [](Page& p) { return p.loader().loaded; });
}
bool wkeIsLoadComplete(wkeWebView handle) {
    return WithPage(handle, false, [](Page& p) { return p.loader().complete; });
}
bool wkeIsLoadFailed(wkeWebView handle) {
    return WithPage(handle, false, [](Page& p) { return p.loader().failed; });
}
bool wkeIsPageCrashed(wkeWebView handle) {
    return WithPage(handle, false, [](Page& p) { return p.loader().crashed; });
}

const char* wkeGetURL(wkeWebView handle) {
    return WithPage<const char*>(handle, "", [](Page& p) {
        p.hostData().urlText = p.loader().url;
        return p.hostData().urlText.c_str();
    });
}

const char* wkeGetTitle(wkeWebView handle) {
    return WithPage<const char*>(handle, "", [](Page& p) {
        p.hostData().titleText = p.loader().title;
        return p.hostData().titleText.c_str();
    });
}

// ---- settings -----------------------------------------------------------------------------

void wkeSetUserAgent(wkeWebView handle, const char* userAgent) {
    WithPage(handle, [&](Page& p) {
        p.settings().userAgent = HostText(userAgent);
        p.settings().ApplyUserAgent();
    });
}

void wkeSetTouchEnabled(wkeWebView handle, bool enable) {
    WithPage(handle, [&](Page& p) {
        p.settings().touch = enable;
        p.settings().ApplyTouch();
    });
}

void wkeSetDeviceParameter(wkeWebView handle, const char* name, const char* text, int intValue,
                           float) {
    WithPage(handle, [&](Page& p) {
        std::string key = name ? name : "";
        engine::PageSettings& s = p.settings();
        engine::DeviceProfile& d = s.device;
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
        s.ApplyDeviceProfile();
        if (key == "navigator.platform") s.ApplyUserAgent();
        if (key == "navigator.maxTouchPoints" && s.touch) s.ApplyTouch();
    });
}

void wkeSetDebugConfig(wkeWebView handle, const char* name, const char* value) {
    WithPage(handle, [&](Page& p) { p.settings().ApplyDebugConfig(name ? name : "", value); });
}

void wkeSetCspCheckEnable(wkeWebView handle, bool enable) {
    WithPage(handle, [&](Page& p) {
        p.settings().cspBypassed = !enable;
        p.settings().ApplyCsp();
    });
}

// Plug-ins no longer exist in the browser; the setting is kept and changes nothing.
void wkeSetNpapiPluginsEnabled(wkeWebView, bool) {}

void wkeSetNavigationToNewWindowEnable(wkeWebView handle, bool enable) {
    WithPage(handle, [&](Page& p) { p.settings().newWindowNavigation = enable; });
}

void wkeSetLocalStorageFullPath(wkeWebView handle, const char16_t* path) {
    WithPage(handle, [&](Page& p) {
        p.storage().localStoragePath = path ? path : u"";
        p.storage().RestoreLocalStorage();
    });
}

void wkeSetCookieJarPath(wkeWebView handle, const char16_t* path) {
    WithPage(handle, [&](Page& p) {
        p.storage().cookieJarPath = path ? path : u"";
        p.storage().RestoreCookies();
    });
}

const char* wkeStorageFailure(void) {
    static std::string text;
    text = engine::KeptFilesFailure();
    return text.c_str();
}

void wkeSetCookieEnabled(wkeWebView handle, bool enable) {
    WithPage(handle, [&](Page& p) {
        p.settings().cookiesEnabled = enable;
        p.settings().ApplyCookiesEnabled();
    });
}

// ---- notifications ------------------------------------------------------------------------

#define QIRLEN_NOTIFICATION(entry, slot, type, after)     \
    void entry(wkeWebView handle, type cb, void* param) { \
        WithPage(handle, [&](Page& p) {                   \
            p.on().slot.fn = cb;                          \
            p.on().slot.param = param;                    \
            after;                                        \
        });                                               \
    }

QIRLEN_NOTIFICATION(wkeOnLoadingFinish, loadingFinish, wkeLoadingFinishCallback, )
QIRLEN_NOTIFICATION(wkeOnDocumentReady2, documentReady, wkeDocumentReady2Callback,
                    p.settings().ApplyLifecycleEvents())
QIRLEN_NOTIFICATION(wkeOnTitleChanged, titleChanged, wkeTitleChangedCallback, )
QIRLEN_NOTIFICATION(wkeOnURLChanged2, urlChanged, wkeURLChangedCallback2, )
QIRLEN_NOTIFICATION(wkeOnNavigation, navigation, wkeNavigationCallback,
                    p.settings().ApplyRequestHooks())
QIRLEN_NOTIFICATION(wkeOnCreateView, createView, wkeCreateViewCallback, )
QIRLEN_NOTIFICATION(wkeOnConsole, console, wkeConsoleCallback, )
QIRLEN_NOTIFICATION(wkeOnAlertBox, alert, wkeAlertBoxCallback, )
QIRLEN_NOTIFICATION(wkeOnConfirmBox, confirm, wkeConfirmBoxCallback, )
QIRLEN_NOTIFICATION(wkeOnPromptBox, prompt, wkePromptBoxCallback, )
QIRLEN_NOTIFICATION(wkeOnDownload, download, wkeDownloadCallback, )
QIRLEN_NOTIFICATION(wkeOnDownloadFinished, downloadFinished, wkeDownloadFinishedCallback, )
QIRLEN_NOTIFICATION(wkeOnLoadUrlBegin, loadUrlBegin, wkeLoadUrlBeginCallback,
                    p.settings().ApplyRequestHooks())
QIRLEN_NOTIFICATION(wkeOnLoadUrlEnd, loadUrlEnd, wkeLoadUrlEndCallback,
                    p.settings().ApplyRequestHooks())
QIRLEN_NOTIFICATION(wkeOnMouseOverUrlChanged, mouseOverUrl, wkeMouseOverUrlChangedCallback,
                    p.settings().ApplyHoverWatch())
QIRLEN_NOTIFICATION(wkeOnPaintUpdated, paint, wkePaintUpdatedCallback,
                    p.settings().ApplyScreencast())
QIRLEN_NOTIFICATION(wkeOnWindowClosing, closing, wkeWindowClosingCallback, )
QIRLEN_NOTIFICATION(wkeOnWindowDestroy, destroy, wkeWindowDestroyCallback, )

#undef QIRLEN_NOTIFICATION

}  // extern "C"
