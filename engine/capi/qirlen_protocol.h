/* The engine's protocol entries, for the modern face of the automation library: a view's page
 * session spoken to directly, in DevTools protocol commands and events, with texts in UTF-8
 * JSON. Offered by node.so beside wke.h and, like it, resolved by name at run time.
 *
 * Everything happens on the engine's thread, as with wke.h. A command waits for its answer
 * and meanwhile handles whatever else arrives (events go to the listeners, as they come).
 */
#ifndef QIRLEN_ENGINE_QIRLEN_PROTOCOL_H
#define QIRLEN_ENGINE_QIRLEN_PROTOCOL_H

#include <stddef.h>

#include "engine/capi/wke.h"

#ifdef __cplusplus
extern "C" {
#endif

/* How a command ended. */
enum qirlenProtocolOutcome {
    QIRLEN_PROTOCOL_OK = 0,      /* the text is the command's result, as JSON */
    QIRLEN_PROTOCOL_REFUSED = 1, /* the page said no; the text is its error message */
    QIRLEN_PROTOCOL_TIMEOUT = 2, /* no answer within the time given */
    QIRLEN_PROTOCOL_NO_PAGE = 3, /* the view is unknown, closed, or never got its page */
    QIRLEN_PROTOCOL_CRASHED = 4, /* the page's renderer died */
    QIRLEN_PROTOCOL_GONE = 5     /* the browser is not running */
};

/* The answer's text is valid only during the call. */
typedef void (*qirlenProtocolAnswer)(void* param, int outcome, const char* text, size_t length);
/* An event of the view's page: its method and its params as JSON, valid during the call. */
typedef void (*qirlenProtocolEvent)(void* param, const char* method, const char* params,
                                    size_t length);

/* Sends `method` with `params` (a JSON object in UTF-8; null or "" for none) to the view's
 * page session and waits up to `timeoutMs` for the answer, which goes to `answer` (when
 * given). With `timeoutMs` 0 the command is sent without waiting and its answer dropped.
 * Returns the outcome. */
WKE_API int qirlenProtocolCall(wkeWebView view, const char* method, const char* params,
                               int timeoutMs, qirlenProtocolAnswer answer, void* param);

/* The listener of the view's page events (one per view; null `listener` removes it). With
 * `answersDialogs` the listener answers the page's dialogs itself
 * (Page.handleJavaScriptDialog) and the engine leaves them to it. */
WKE_API void qirlenProtocolListen(wkeWebView view, qirlenProtocolEvent listener, void* param,
                                  int answersDialogs);

/* Handles what the browser has sent and dispatches what is pending, waiting up to
 * `timeoutMs` for the first message. 0 when the browser is not running. */
WKE_API int qirlenProtocolPump(int timeoutMs);

#ifdef __cplusplus
}
#endif

#endif
