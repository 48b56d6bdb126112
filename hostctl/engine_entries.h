#pragma once
// Every entry point of the engine module, in the fixed order in which the browser host
// control resolves them by name.
#include "engine/capi/wke.h"

#define QIRLEN_ENGINE_ENTRIES(X)                                                                   \
    X(wkeShutdown)                                                                                 \
    X(wkeTerminateBrowser)                                                                         \
    X(wkeVersion)                                                                                  \
    X(wkeVersionString)                                                                            \
    X(wkeCreateWebWindow)                                                                          \
    X(wkeDestroyWebWindow)                                                                         \
    X(wkeShowWindow)                                                                               \
    X(wkeResize)                                                                                   \
    X(wkeGetWindowHandle)                                                                          \
    X(wkeSetWindowTitleW)                                                                          \
    X(wkeSetTransparent)                                                                           \
    X(wkeLoadURL)                                                                                  \
    X(wkeLoadURLW)                                                                                 \
    X(wkeLoadHTML)                                                                                 \
    X(wkeReload)                                                                                   \
    X(wkeStopLoading)                                                                              \
    X(wkeIsLoaded)                                                                                 \
    X(wkeIsLoadComplete)                                                                           \
    X(wkeIsLoadFailed)                                                                             \
    X(wkeIsPageCrashed)                                                                            \
    X(wkeGetURL)                                                                                   \
    X(wkeGetTitle)                                                                                 \
    X(wkeRunJsByFrame)                                                                             \
    X(wkeRunJSW)                                                                                   \
    X(wkeRunJsInIsolatedWorld) X(wkeLastRunFailed) X(wkeEngineFailure) X(wkeEngineEverAnswered) X(wkeGlobalExec) X(wkeWebFrameGetMainFrame)     \
        X(wkeJsBindFunction) X(jsArgCount) X(jsArg) X(jsTypeOf) X(jsToString) X(jsToTempStringW)   \
            X(jsUndefined) X(jsInt) X(jsString) X(jsStringW) X(wkeGetString) X(wkeGetStringW) X(   \
                wkeSetString) X(wkeSetStringW) X(wkeSetUserAgent) X(wkeSetTouchEnabled)            \
                X(wkeSetDeviceParameter) X(wkeSetDebugConfig) X(wkeSetCspCheckEnable) X(           \
                    wkeSetNpapiPluginsEnabled) X(wkeSetNavigationToNewWindowEnable)                \
                    X(wkeSetLocalStorageFullPath) X(wkeSetCookieJarPath) X(wkeSetCookieEnabled) X(wkeStorageFailure) X( \
                        wkeGetCookie) X(wkeSetCookie) X(wkeVisitAllCookie) X(wkeSetUserKeyValue)   \
                        X(wkeGetUserKeyValue) X(wkeNetGetFavicon) X(wkeFireMouseEvent) X(          \
                            wkeFireMouseWheelEvent) X(wkeFireKeyDownEvent) X(wkeFireKeyUpEvent)    \
                            X(wkeFireKeyPressEvent) X(wkeSetFocus) X(wkeKillFocus)                 \
                                X(wkeOnLoadingFinish) X(wkeOnDocumentReady2) X(wkeOnTitleChanged)  \
                                    X(wkeOnURLChanged2) X(wkeOnNavigation) X(wkeOnCreateView)      \
                                        X(wkeOnConsole) X(wkeOnAlertBox) X(wkeOnConfirmBox)        \
                                            X(wkeOnPromptBox) X(wkeOnDownload)                     \
                                                X(wkeOnLoadUrlBegin) X(wkeOnLoadUrlEnd)            \
                                                    X(wkeOnMouseOverUrlChanged)                    \
                                                        X(wkeOnPaintUpdated) X(wkeOnWindowClosing) \
                                                            X(wkeOnWindowDestroy) X(wkeGetEventFd) \
                                                                X(wkeWake)

namespace hostctl {

// One slot per entry point; a slot is null when the module lacks that export.
struct EngineEntries {
#define QIRLEN_ENTRY_SLOT(name) decltype(&::name) name = nullptr;
    QIRLEN_ENGINE_ENTRIES(QIRLEN_ENTRY_SLOT)
#undef QIRLEN_ENTRY_SLOT
};

}  // namespace hostctl
