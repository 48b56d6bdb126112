#pragma once
// The entry points of node.so as its hosts resolve them by name, in one list: the slots of
// the loader's table, the names it resolves and the names a host reports missing all come
// from here, so an entry point is added in one place (beside its declaration in wke.h).
#include "engine/capi/qirlen_protocol.h"
#include "engine/capi/wke.h"

// clang-format off

// The browser host control's set, in the order in which it names a missing one (one
// message each): a module without one of these is not the one the program was built for.
#define QIRLEN_ENGINE_ENTRIES(X) \
    X(wkeShutdown) \
    X(wkeTerminateBrowser) \
    X(wkeVersion) \
    X(wkeVersionString) \
    X(wkeCreateWebWindow) \
    X(wkeDestroyWebWindow) \
    X(wkeShowWindow) \
    X(wkeResize) \
    X(wkeGetWindowHandle) \
    X(wkeSetWindowTitleW) \
    X(wkeSetTransparent) \
    X(wkeLoadURL) \
    X(wkeLoadURLW) \
    X(wkeLoadHTML) \
    X(wkeReload) \
    X(wkeStopLoading) \
    X(wkeIsLoaded) \
    X(wkeIsLoadComplete) \
    X(wkeIsLoadFailed) \
    X(wkeIsPageCrashed) \
    X(wkeGetURL) \
    X(wkeGetTitle) \
    X(wkeRunJsByFrame) \
    X(wkeRunJSW) \
    X(wkeRunJsInIsolatedWorld) \
    X(wkeLastRunFailed) \
    X(wkeEngineFailure) \
    X(wkeEngineEverAnswered) \
    X(wkeGlobalExec) \
    X(wkeWebFrameGetMainFrame) \
    X(wkeJsBindFunction) \
    X(jsArgCount) \
    X(jsArg) \
    X(jsTypeOf) \
    X(jsToString) \
    X(jsToTempStringW) \
    X(jsUndefined) \
    X(jsInt) \
    X(jsString) \
    X(jsStringW) \
    X(wkeGetString) \
    X(wkeGetStringW) \
    X(wkeSetString) \
    X(wkeSetStringW) \
    X(wkeSetUserAgent) \
    X(wkeSetTouchEnabled) \
    X(wkeSetDeviceParameter) \
    X(wkeSetDebugConfig) \
    X(wkeSetCspCheckEnable) \
    X(wkeSetNpapiPluginsEnabled) \
    X(wkeSetNavigationToNewWindowEnable) \
    X(wkeSetLocalStorageFullPath) \
    X(wkeSetCookieJarPath) \
    X(wkeSetCookieEnabled) \
    X(wkeStorageFailure) \
    X(wkeGetCookie) \
    X(wkeSetCookie) \
    X(wkeVisitAllCookie) \
    X(wkeSetUserKeyValue) \
    X(wkeGetUserKeyValue) \
    X(wkeNetGetFavicon) \
    X(wkeFireMouseEvent) \
    X(wkeFireMouseWheelEvent) \
    X(wkeFireKeyDownEvent) \
    X(wkeFireKeyUpEvent) \
    X(wkeFireKeyPressEvent) \
    X(wkeSetFocus) \
    X(wkeKillFocus) \
    X(wkeOnLoadingFinish) \
    X(wkeOnDocumentReady2) \
    X(wkeOnTitleChanged) \
    X(wkeOnURLChanged2) \
    X(wkeOnNavigation) \
    X(wkeOnCreateView) \
    X(wkeOnConsole) \
    X(wkeOnAlertBox) \
    X(wkeOnConfirmBox) \
    X(wkeOnPromptBox) \
    X(wkeOnDownload) \
    X(wkeOnLoadUrlBegin) \
    X(wkeOnLoadUrlEnd) \
    X(wkeOnMouseOverUrlChanged) \
    X(wkeOnPaintUpdated) \
    X(wkeOnWindowClosing) \
    X(wkeOnWindowDestroy) \
    X(wkeGetEventFd) \
    X(wkeWake)

// The rest, which a host looks up where it uses them and does without when they are missing:
// the start, the binding with flags, the bridge's controls and the end of a download.
#define QIRLEN_ENGINE_FURTHER_ENTRIES(X) \
    X(wkeInitializeEx) \
    X(wkeJsBindFunctionEx) \
    X(wkeAcceptCallsBetweenRuns) \
    X(wkeDroppedBoundCalls) \
    X(jsGetWebView) \
    X(wkeOnDownloadFinished) \
    X(qirlenProtocolCall) \
    X(qirlenProtocolListen) \
    X(qirlenProtocolPump)

// Every entry point of the module.
#define QIRLEN_ALL_ENGINE_ENTRIES(X) QIRLEN_ENGINE_ENTRIES(X) QIRLEN_ENGINE_FURTHER_ENTRIES(X)

// clang-format on
