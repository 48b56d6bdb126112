/* The web engine's C interface, offered by the module node.so.
 *
 * Programs never link against node.so: they load it at run time and resolve every entry
 * point below by name. All calls and all callbacks happen on the thread that called
 * wkeInitializeEx. Notifications are queued and delivered by wkeWake, which the host calls
 * when the descriptor of wkeGetEventFd becomes readable; calls from page script into bound
 * native functions, and the page's dialogs, request hooks and file chooser (which keep the
 * page waiting), are delivered as soon as they happen, also inside a running script, except
 * that while one view's script runs, another view's calls wait for the event loop (so that
 * they never fall between the running script's own). A page's own debugger statements never
 * stop it: nobody is debugging it.
 * Frame handle 0 (no frame named) means the main frame.
 *
 * Calls from inside a bound function or a notification: wkeShutdown and wkeDestroyWebWindow
 * take effect when the outermost engine call returns (the answer of the run that asked
 * stays readable); scripts cannot be run from inside a bound function (wkeRunJsByFrame
 * answers undefined at once); wkeWake does nothing there, nor before wkeInitializeEx.
 * Everything else works as outside.
 *
 * Text: the host's char* texts are GBK (code page 936), as the program's own: addresses
 * (wkeLoadURL), the user agent, device parameters, cookie texts and bound names. Script
 * texts (wkeRunJsByFrame), wkeLoadHTML, jsString and wkeSetString take UTF-8, and texts the
 * engine hands back are UTF-8. Bytes that do not convert become U+FFFD, the rest is kept.
 * char16_t* is NUL-terminated UTF-16. Pointers the engine returns stay valid until the next
 * call that returns the same kind of text for the same view.
 */
#ifndef QIRLEN_ENGINE_WKE_H
#define QIRLEN_ENGINE_WKE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#else
#include <stdbool.h>
#include <uchar.h>
#endif

#define WKE_API __attribute__((visibility("default")))

typedef struct wkeWebViewOpaque* wkeWebView; /* 1, 2, 3 ...; 0 = none */
typedef struct jsExecStateOpaque* jsExecState;
typedef struct wkeStringOpaque* wkeString;
typedef int64_t jsValue;
typedef intptr_t wkeWebFrameHandle; /* 1 = main frame; others 2, 3 ... in pre-order */
typedef void* wkeWindowHandle;

typedef struct {
    int x, y, w, h;
} wkeRect;

typedef struct {
    int unuse;
    void* data;
    size_t length;
} wkeMemBuf;

typedef struct {
    int x, y, width, height;
    bool menuBarVisible, statusBarVisible, toolBarVisible, locationBarVisible;
    bool scrollbarsVisible, resizable, fullscreen;
} wkeWindowFeatures;

/* The proxy every request of the browser goes through, taken when the settings' mask has 1
 * set. type: 1 HTTP, 2 SOCKS4, 3 SOCKS4A, 4 SOCKS5, 5 SOCKS5 with names resolved by the
 * proxy (0 or another: none). The browser sends no credentials to it: a proxy that asks for
 * them refuses its requests (the engine says so on stderr when they are given). */
typedef struct {
    int type;
    char hostname[100];
    unsigned short port;
    char username[50];
    char password[50];
} wkeProxy;

/* Read by each start of the browser (wkeInitializeEx), and kept for later starts. */
typedef struct {
    wkeProxy proxy;
    unsigned mask;
} wkeSettings;

typedef enum {
    WKE_WINDOW_TYPE_POPUP = 0,
    WKE_WINDOW_TYPE_TRANSPARENT = 1,
    WKE_WINDOW_TYPE_CONTROL = 2
} wkeWindowType;

typedef enum {
    WKE_LOADING_SUCCEEDED = 0,
    WKE_LOADING_FAILED = 1,
    WKE_LOADING_CANCELED = 2
} wkeLoadingResult;

typedef enum {
    WKE_NAVIGATION_TYPE_LINKCLICK = 0,
    WKE_NAVIGATION_TYPE_FORMSUBMITTE = 1,
    WKE_NAVIGATION_TYPE_BACKFORWARD = 2,
    WKE_NAVIGATION_TYPE_RELOAD = 3,
    WKE_NAVIGATION_TYPE_FORMRESUBMITT = 4,
    WKE_NAVIGATION_TYPE_OTHER = 5
} wkeNavigationType;

typedef enum {
    wkeLevelDebug = 4,
    wkeLevelLog = 1,
    wkeLevelInfo = 5,
    wkeLevelWarning = 2,
    wkeLevelError = 3
} wkeConsoleLevel;

typedef enum {
    JSTYPE_NUMBER = 0,
    JSTYPE_STRING = 1,
    JSTYPE_BOOLEAN = 2,
    JSTYPE_OBJECT = 3,
    JSTYPE_FUNCTION = 4,
    JSTYPE_UNDEFINED = 5,
    JSTYPE_ARRAY = 6,
    JSTYPE_NULL = 7
} jsType;

/* Windows mouse messages and MK_* flags understood by wkeFireMouseEvent. */
enum {
    WKE_MSG_MOUSEMOVE = 0x0200,
    WKE_MSG_LBUTTONDOWN = 0x0201,
    WKE_MSG_LBUTTONUP = 0x0202,
    WKE_MSG_LBUTTONDBLCLK = 0x0203,
    WKE_MSG_RBUTTONDOWN = 0x0204,
    WKE_MSG_RBUTTONUP = 0x0205,
    WKE_MSG_RBUTTONDBLCLK = 0x0206,
    WKE_MSG_MBUTTONDOWN = 0x0207,
    WKE_MSG_MBUTTONUP = 0x0208,
    WKE_MSG_MBUTTONDBLCLK = 0x0209,
    WKE_MSG_MOUSEWHEEL = 0x020A
};
enum {
    WKE_LBUTTON = 0x01,
    WKE_RBUTTON = 0x02,
    WKE_SHIFT = 0x04,
    WKE_CONTROL = 0x08,
    WKE_MBUTTON = 0x10
};
/* Key flags: the modifier state rides in WKE_SHIFT, WKE_CONTROL and WKE_ALT (where Windows
 * would ask GetKeyState), beside the key message's own bits. */
enum { WKE_ALT = 0x20, WKE_EXTENDED = 0x0100, WKE_REPEAT = 0x4000 };

/* ---- callbacks ---------------------------------------------------------------------- */
typedef jsValue (*jsNativeFunction)(jsExecState es, void* param);
typedef void (*wkeLoadingFinishCallback)(wkeWebView view, void* param, const wkeString url,
                                         wkeLoadingResult result, const wkeString failedReason);
typedef void (*wkeDocumentReady2Callback)(wkeWebView view, void* param, wkeWebFrameHandle frame);
/* Titles (here and from wkeGetTitle) are the page's first 2048 UTF-16 code units. */
typedef void (*wkeTitleChangedCallback)(wkeWebView view, void* param, const wkeString title);
typedef void (*wkeURLChangedCallback2)(wkeWebView view, void* param, wkeWebFrameHandle frame,
                                       const wkeString url);
typedef bool (*wkeNavigationCallback)(wkeWebView view, void* param, wkeNavigationType type,
                                      wkeString url);
typedef wkeWebView (*wkeCreateViewCallback)(wkeWebView view, void* param, wkeNavigationType type,
                                            const wkeString url, const wkeWindowFeatures* features);
typedef void (*wkeConsoleCallback)(wkeWebView view, void* param, wkeConsoleLevel level,
                                   const wkeString message, const wkeString sourceName,
                                   unsigned sourceLine, const wkeString stackTrace);
typedef void (*wkeAlertBoxCallback)(wkeWebView view, void* param, const wkeString msg);
typedef bool (*wkeConfirmBoxCallback)(wkeWebView view, void* param, const wkeString msg);
/* Write the answer into `result` with wkeSetString and return true; false cancels. */
typedef bool (*wkePromptBoxCallback)(wkeWebView view, void* param, const wkeString msg,
                                     const wkeString defaultResult, wkeString result);
typedef bool (*wkeDownloadCallback)(wkeWebView view, void* param, const char* url);
/* An accepted download has ended. `path` is the file it was saved as (UTF-8): in the download
 * directory ($QIRLEN_DOWNLOAD_DIR, else ~/Downloads), under the page's name without directories,
 * leading dots or control characters, with " (1)", " (2)" ... before the extension when the
 * name is taken: an existing file is never replaced. `path` is null when nothing was saved
 * (the download failed or was cancelled, or no free name was found). */
typedef void (*wkeDownloadFinishedCallback)(wkeWebView view, void* param, const char* url,
                                            const char* path);
/* true: the callback handled the request, which then does not go to the network. */
typedef bool (*wkeLoadUrlBeginCallback)(wkeWebView view, void* param, const char* url, void* job);
typedef void (*wkeLoadUrlEndCallback)(wkeWebView view, void* param, const char* url, void* job,
                                      void* buf, int len);
typedef void (*wkeMouseOverUrlChangedCallback)(wkeWebView view, void* param, const wkeString url);
/* The view's picture as PNG bytes (width x height pixels); `dirty` is the whole view. */
typedef void (*wkePaintUpdatedCallback)(wkeWebView view, void* param, const void* png, size_t size,
                                        const wkeRect* dirty, int width, int height);
typedef bool (*wkeWindowClosingCallback)(wkeWebView view, void* param);
typedef void (*wkeWindowDestroyCallback)(wkeWebView view, void* param);
typedef void (*wkeOnNetGetFaviconCallback)(wkeWebView view, void* param, const char* url,
                                           wkeMemBuf* buf);
/* Return true to stop the walk. *expires is seconds since 1970, 0 for a session cookie. */
typedef bool (*wkeCookieVisitor)(void* params, const char* name, const char* value,
                                 const char* domain, const char* path, int secure, int httpOnly,
                                 int* expires);

/* ---- life --------------------------------------------------------------------------- */
WKE_API void wkeInitializeEx(const wkeSettings* settings);
/* Ends the browser and forgets every view. After the browser died (wkeEngineFailure not
 * empty), wkeShutdown then wkeInitializeEx start a fresh one: views made afterwards work,
 * views from before stay dead (every call on them does nothing or answers empty), and
 * wkeGetEventFd stays the same descriptor. */
WKE_API void wkeShutdown(void);
/* Kills the browser's whole process group at once (stopped processes included) and removes
 * its profile directory, for a host about to exit on a deadline or a signal. Unlike every
 * other entry point it may be called from any thread while the engine's thread is blocked in
 * a call (which then returns as failed), and from a signal handler: it is async-signal-safe
 * and touches only what was fixed when the browser started. The engine is unusable
 * afterwards: it starts no browser again, and does nothing at exit. */
WKE_API void wkeTerminateBrowser(void);
WKE_API unsigned int wkeVersion(void);
WKE_API const char* wkeVersionString(void);
WKE_API wkeWebView wkeCreateWebWindow(wkeWindowType type, wkeWindowHandle parent, int x, int y,
                                      int width, int height);
WKE_API void wkeDestroyWebWindow(wkeWebView view);
WKE_API void wkeShowWindow(wkeWebView view, bool show);
WKE_API void wkeResize(wkeWebView view, int width, int height);
WKE_API wkeWindowHandle wkeGetWindowHandle(wkeWebView view);
WKE_API void wkeSetWindowTitleW(wkeWebView view, const char16_t* title);
WKE_API void wkeSetTransparent(wkeWebView view, bool transparent);

/* ---- loading ------------------------------------------------------------------------ */
WKE_API void wkeLoadURL(wkeWebView view, const char* url);
WKE_API void wkeLoadURLW(wkeWebView view, const char16_t* url);
WKE_API void wkeLoadHTML(wkeWebView view, const char* html);
WKE_API void wkeReload(wkeWebView view);
WKE_API void wkeStopLoading(wkeWebView view);
WKE_API bool wkeIsLoaded(wkeWebView view);
WKE_API bool wkeIsLoadComplete(wkeWebView view);
WKE_API bool wkeIsLoadFailed(wkeWebView view);
/* Whether the view's page (its renderer) crashed, until the view's next load begins. A crash
 * before the load finished finishes it as WKE_LOADING_FAILED with the reason "the page
 * crashed", also when it comes just after the frame stopped loading. Every script run and
 * every other call on a crashed page returns at once as failed (wkeLastRunFailed is true). */
WKE_API bool wkeIsPageCrashed(wkeWebView view);
WKE_API const char* wkeGetURL(wkeWebView view);
WKE_API const char* wkeGetTitle(wkeWebView view);

/* ---- script ------------------------------------------------------------------------- */
WKE_API jsValue wkeRunJsByFrame(wkeWebView view, wkeWebFrameHandle frame, const char* script,
                                bool isInClosure);
/* Whether the view's last script run failed: it threw, did not parse, was stopped, named no
 * frame, or a bound call in it could not be answered. A script that returns undefined has
 * not failed. */
WKE_API bool wkeLastRunFailed(wkeWebView view);
/* Why the engine has no browser: it could not be started, or it stopped (UTF-8); the empty
 * text while it works. The engine also prints it on stderr unless QIRLEN_ENGINE_QUIET is set
 * (for a host that tells its user itself). */
WKE_API const char* wkeEngineFailure(void);
/* Whether the browser has answered the engine at least once: with a failure, false means it
 * never started (it exited, or could not run, before its first answer), true that it stopped
 * later. */
WKE_API bool wkeEngineEverAnswered(void);
WKE_API jsValue wkeRunJSW(wkeWebView view, const char16_t* script);
/* Runs a UTF-8 script in a world of the frame's document that is the host's alone: it sees
 * the document (its elements, their text and attributes) but none of the page's script
 * globals, and the built-ins it uses (JSON, Array, the DOM's own functions) are its own, out
 * of the page's reach, whatever the page has replaced. For a host that reads a page it does
 * not trust. The world stays for the document's life, shared by every such run in that frame
 * and apart from the engine's own. Bound functions are not reachable from it; while it runs,
 * the pages' calls into them wait. isInClosure as for wkeRunJsByFrame; wkeLastRunFailed tells
 * whether it ran to its end. */
WKE_API jsValue wkeRunJsInIsolatedWorld(wkeWebView view, wkeWebFrameHandle frame,
                                        const char* script, bool isInClosure);
WKE_API jsExecState wkeGlobalExec(wkeWebView view);
WKE_API wkeWebFrameHandle wkeWebFrameGetMainFrame(wkeWebView view);
WKE_API void wkeJsBindFunction(const char* name, jsNativeFunction fn, void* param,
                               unsigned int argCount);
/* For a function that always returns undefined: its calls are delivered in order with all
 * others and before the run that made them returns, but the page does not wait for each. */
#define WKE_JS_BIND_REPLY_ONLY 1u
/* For a function only the host's own runs may call: a call is accepted only from the script
 * run in progress in its view (wkeRunJsByFrame, wkeRunJSW), or while the view accepts calls
 * between runs (wkeAcceptCallsBetweenRuns). Others (the page's own timers and handlers
 * between runs, other views) are dropped and counted; such a call never waits for an
 * answer: the page gets undefined. Bound names are fixed on the page's window: the page can
 * neither replace nor delete them. Every run starts with a statement of the engine's on its
 * first line, so a "use strict" at the head of a script run outside a closure is no
 * directive (put it inside a function). */
#define WKE_JS_BIND_RUN_ONLY 2u
/* The most one call into a bound function carries: its name and arguments as texts, written
 * out, in UTF-16 code units (16 Mi). A larger call is not made: it throws a RangeError where
 * the page made it (which fails the run, unless the script catches it), and the native
 * function is not called. */
#define WKE_BOUND_CALL_MAX_CHARS (16u << 20)
WKE_API void wkeJsBindFunctionEx(const char* name, jsNativeFunction fn, void* param,
                                 unsigned int argCount, unsigned int flags);
/* While open, the view's run-only functions also accept its page's calls between runs: for
 * a host that waits for an answer the page gives later, in its own time. */
WKE_API void wkeAcceptCallsBetweenRuns(wkeWebView view, bool open);
/* How many calls from a page were dropped: into run-only functions, and those that reach no
 * function (no call, no such function, or more than a call may carry, sent to the protocol
 * binding by the page itself): for one view, or (view 0) for all. */
WKE_API int64_t wkeDroppedBoundCalls(wkeWebView view);
/* The view whose page made the call into a bound function (0 outside such a call). */
WKE_API wkeWebView jsGetWebView(jsExecState es);
WKE_API int jsArgCount(jsExecState es);
WKE_API jsValue jsArg(jsExecState es, int index);
WKE_API jsType jsTypeOf(jsValue v);
WKE_API const char* jsToString(jsExecState es, jsValue v);
WKE_API const char16_t* jsToTempStringW(jsExecState es, jsValue v);
WKE_API jsValue jsUndefined(void);
WKE_API jsValue jsInt(int n);
WKE_API jsValue jsString(jsExecState es, const char* utf8);
WKE_API jsValue jsStringW(jsExecState es, const char16_t* text);

/* ---- engine strings ----------------------------------------------------------------- */
WKE_API const char* wkeGetString(const wkeString s);
WKE_API const char16_t* wkeGetStringW(const wkeString s);
WKE_API void wkeSetString(wkeString s, const char* utf8, size_t len);
WKE_API void wkeSetStringW(wkeString s, const char16_t* text, size_t len);

/* ---- settings ----------------------------------------------------------------------- */
WKE_API void wkeSetUserAgent(wkeWebView view, const char* userAgent);
WKE_API void wkeSetTouchEnabled(wkeWebView view, bool enable);
/* names: navigator.platform (text), navigator.maxTouchPoints, navigator.hardwareConcurrency,
 * screen.width, screen.height, screen.availWidth, screen.availHeight (integer) */
WKE_API void wkeSetDeviceParameter(wkeWebView view, const char* name, const char* text,
                                   int intValue, float floatValue);
/* names: jsEnable ("0" disables script; anything else, null too, enables it),
 * imageEnable ("0" blocks images), blockedResourceTypes (a comma-separated list of the
 * DevTools protocol's resource types, e.g. "Image,Font,Stylesheet": none of them is fetched;
 * "" fetches all) */
WKE_API void wkeSetDebugConfig(wkeWebView view, const char* name, const char* value);
WKE_API void wkeSetCspCheckEnable(wkeWebView view, bool enable);
WKE_API void wkeSetNpapiPluginsEnabled(wkeWebView view, bool enable);
WKE_API void wkeSetNavigationToNewWindowEnable(wkeWebView view, bool enable);
WKE_API void wkeSetLocalStorageFullPath(wkeWebView view, const char16_t* path);
WKE_API void wkeSetCookieJarPath(wkeWebView view, const char16_t* path);
WKE_API void wkeSetCookieEnabled(wkeWebView view, bool enable);
/* Why the cookies or local storage kept in those directories could not be written (a full or
 * read-only file system, say), UTF-8; the empty text while they are written. The file there
 * keeps what it held before, and no partial file is left. The engine also says it once on
 * stderr when a file starts failing. Several programs may share the directories: each save
 * merges, under a lock, into what the others kept. */
WKE_API const char* wkeStorageFailure(void);

/* ---- cookies, keys, icon, input ----------------------------------------------------- */
WKE_API const char* wkeGetCookie(wkeWebView view);
WKE_API void wkeSetCookie(wkeWebView view, const char* url, const char* cookie);
WKE_API void wkeVisitAllCookie(wkeWebView view, void* params, wkeCookieVisitor visitor);
WKE_API void wkeSetUserKeyValue(wkeWebView view, const char* key, void* value);
WKE_API void* wkeGetUserKeyValue(wkeWebView view, const char* key);
WKE_API int wkeNetGetFavicon(wkeWebView view, wkeOnNetGetFaviconCallback callback, void* param);
WKE_API bool wkeFireMouseEvent(wkeWebView view, unsigned int message, int x, int y,
                               unsigned int flags);
/* A wheel turn at (x, y): delta in Windows units (120 a notch, positive away from the user,
 * which scrolls up); flags as for the mouse. */
WKE_API bool wkeFireMouseWheelEvent(wkeWebView view, int x, int y, int delta, unsigned int flags);
/* Keys as Windows sends them: a virtual-key code for down and up, a UTF-16 character code for
 * a press (a character outside the BMP comes as its two surrogates, one press each). */
WKE_API bool wkeFireKeyDownEvent(wkeWebView view, unsigned int virtualKeyCode, unsigned int flags,
                                 bool systemKey);
WKE_API bool wkeFireKeyUpEvent(wkeWebView view, unsigned int virtualKeyCode, unsigned int flags,
                               bool systemKey);
WKE_API bool wkeFireKeyPressEvent(wkeWebView view, unsigned int charCode, unsigned int flags,
                                  bool systemKey);
/* The view's page is told it has, or has lost, the input focus. */
WKE_API void wkeSetFocus(wkeWebView view);
WKE_API void wkeKillFocus(wkeWebView view);

/* ---- notifications ------------------------------------------------------------------- */
WKE_API void wkeOnLoadingFinish(wkeWebView view, wkeLoadingFinishCallback cb, void* param);
WKE_API void wkeOnDocumentReady2(wkeWebView view, wkeDocumentReady2Callback cb, void* param);
WKE_API void wkeOnTitleChanged(wkeWebView view, wkeTitleChangedCallback cb, void* param);
WKE_API void wkeOnURLChanged2(wkeWebView view, wkeURLChangedCallback2 cb, void* param);
WKE_API void wkeOnNavigation(wkeWebView view, wkeNavigationCallback cb, void* param);
WKE_API void wkeOnCreateView(wkeWebView view, wkeCreateViewCallback cb, void* param);
WKE_API void wkeOnConsole(wkeWebView view, wkeConsoleCallback cb, void* param);
WKE_API void wkeOnAlertBox(wkeWebView view, wkeAlertBoxCallback cb, void* param);
WKE_API void wkeOnConfirmBox(wkeWebView view, wkeConfirmBoxCallback cb, void* param);
WKE_API void wkeOnPromptBox(wkeWebView view, wkePromptBoxCallback cb, void* param);
WKE_API void wkeOnDownload(wkeWebView view, wkeDownloadCallback cb, void* param);
WKE_API void wkeOnDownloadFinished(wkeWebView view, wkeDownloadFinishedCallback cb, void* param);
WKE_API void wkeOnLoadUrlBegin(wkeWebView view, wkeLoadUrlBeginCallback cb, void* param);
WKE_API void wkeOnLoadUrlEnd(wkeWebView view, wkeLoadUrlEndCallback cb, void* param);
WKE_API void wkeOnMouseOverUrlChanged(wkeWebView view, wkeMouseOverUrlChangedCallback cb,
                                      void* param);
/* Pictures flow only while the view is shown (wkeShowWindow true) and a callback is set. */
WKE_API void wkeOnPaintUpdated(wkeWebView view, wkePaintUpdatedCallback cb, void* param);
WKE_API void wkeOnWindowClosing(wkeWebView view, wkeWindowClosingCallback cb, void* param);
WKE_API void wkeOnWindowDestroy(wkeWebView view, wkeWindowDestroyCallback cb, void* param);

/* ---- event loop --------------------------------------------------------------------- */
/* Readable while something may be pending; -1 before wkeInitializeEx, then the same
 * descriptor for the life of the process, across wkeShutdown and a new start. */
WKE_API int wkeGetEventFd(void);
/* Dispatches what is pending, for one view or (view 0) for every view. */
WKE_API void wkeWake(wkeWebView view);

#ifdef __cplusplus
}
#endif

#endif /* QIRLEN_ENGINE_WKE_H */
