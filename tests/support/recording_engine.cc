// An engine double for what the real engine cannot tell: that an operation did not touch
// the engine at all, and the exact script text an operation sent. Every entry point counts
// its calls; the device-parameter entry point is missing on purpose.
#include <atomic>
#include <string>

#include "engine/capi/wke.h"

namespace {
std::atomic<int> calls{0};
std::string lastScript;
long lastFrame = 0;
bool lastInClosure = false;
}  // namespace

extern "C" {
WKE_API int recordingEngineCalls() {
    return calls.load();
}
// The last script run, as the engine received it (UTF-8), with its frame and closure flag.
WKE_API const char* recordingEngineLastScript(long* frame, bool* inClosure) {
    *frame = lastFrame;
    *inClosure = lastInClosure;
    return lastScript.c_str();
}
WKE_API jsValue wkeRunJsByFrame(wkeWebView, wkeWebFrameHandle frame, const char* script,
                                bool inClosure) {
    lastScript = script;
    lastFrame = frame;
    lastInClosure = inClosure;
    return ++calls, 0;
}
WKE_API jsExecState wkeGlobalExec(wkeWebView) {
    return ++calls, nullptr;
}
WKE_API const char16_t* jsToTempStringW(jsExecState, jsValue) {
    return ++calls, u"";
}
WKE_API jsValue jsArg(jsExecState, int) {
    return ++calls, 0;
}
WKE_API jsValue jsUndefined(void) {
    return ++calls, 0;
}
WKE_API jsValue jsStringW(jsExecState, const char16_t*) {
    return ++calls, 0;
}
WKE_API void wkeSetDebugConfig(wkeWebView, const char*, const char*) {
    ++calls;
}
WKE_API void wkeJsBindFunction(const char*, jsNativeFunction, void*, unsigned) {
    ++calls;
}
WKE_API const char* wkeGetCookie(wkeWebView) {
    return ++calls, "";
}
WKE_API void wkeSetCookie(wkeWebView, const char*, const char*) {
    ++calls;
}
WKE_API void wkeVisitAllCookie(wkeWebView, void*, wkeCookieVisitor) {
    ++calls;
}
WKE_API void wkeSetUserKeyValue(wkeWebView, const char*, void*) {
    ++calls;
}
WKE_API void* wkeGetUserKeyValue(wkeWebView, const char*) {
    return ++calls, nullptr;
}
WKE_API int wkeNetGetFavicon(wkeWebView, wkeOnNetGetFaviconCallback, void*) {
    return ++calls, 0;
}
WKE_API bool wkeFireMouseEvent(wkeWebView, unsigned, int, int, unsigned) {
    return ++calls, true;
}
}
