// Entry points: scripts, script values, engine strings, cookies, input and the event loop.
#include <cstring>

#include "engine/capi/api_guard.h"
#include "platform/codepage.h"

using engine::Engine;
using engine::EngineString;
using engine::ExecState;
using engine::Guard;
using engine::HostText;
using engine::View;
using engine::WithView;

namespace {

// Texts handed out by pointer stay valid for the next few calls of the same kind.
template <typename Text>
const typename Text::value_type* Keep(Text text) {
    static Text ring[8];
    static unsigned next = 0;
    Text& slot = ring[next++ % 8];
    slot = std::move(text);
    return slot.c_str();
}

}  // namespace

extern "C" {

jsValue wkeRunJsByFrame(wkeWebView handle, wkeWebFrameHandle frame, const char* script,
                        bool isInClosure) {
    Engine& e = Engine::Get();
    return WithView(handle, e.values().Undefined(),
                    [&](View& v) { return e.Run(v, frame, script ? script : "", isInClosure); });
}

const char* wkeEngineFailure(void) {
    return Engine::Get().failure().c_str();
}

bool wkeEngineEverAnswered(void) {
    return Engine::Get().everAnswered();
}

bool wkeLastRunFailed(wkeWebView handle) {
    return WithView(handle, true, [](View& v) { return v.lastRunFailed; });
}

jsValue wkeRunJSW(wkeWebView handle, const char16_t* script) {
    Engine& e = Engine::Get();
    return WithView(handle, e.values().Undefined(), [&](View& v) {
        return e.Run(v, 1, platform::Utf16ToUtf8(script ? script : u""), true);
    });
}

jsExecState wkeGlobalExec(wkeWebView handle) {
    return WithView<jsExecState>(handle, nullptr,
                                 [](View& v) { return Engine::Get().GlobalExec(v); });
}

wkeWebFrameHandle wkeWebFrameGetMainFrame(wkeWebView handle) {
    return WithView<wkeWebFrameHandle>(handle, 0, [](View&) { return 1; });
}

void wkeJsBindFunctionEx(const char* name, jsNativeFunction fn, void* param, unsigned int argCount,
                         unsigned int flags) {
    Guard([&] {
        if (!name || !*name || !fn) return;
        Engine& e = Engine::Get();
        e.Initialize();
        e.Bind(HostText(name), fn, param, argCount, (flags & WKE_JS_BIND_REPLY_ONLY) != 0,
               (flags & WKE_JS_BIND_RUN_ONLY) != 0);
    });
}

void wkeAcceptCallsBetweenRuns(wkeWebView handle, bool open) {
    WithView(handle, [&](View& v) { v.acceptBetweenRuns = open; });
}

int64_t wkeDroppedBoundCalls(wkeWebView handle) {
    if (!handle) return Guard<int64_t>(0, [] { return Engine::Get().DroppedCalls(nullptr); });
    return WithView<int64_t>(handle, 0, [](View& v) { return Engine::Get().DroppedCalls(&v); });
}

wkeWebView jsGetWebView(jsExecState es) {
    return Guard<wkeWebView>(nullptr, [&]() -> wkeWebView {
        ExecState* state = Engine::Get().State(es);
        if (!state) return nullptr;
        return reinterpret_cast<wkeWebView>(static_cast<intptr_t>(state->view));
    });
}

void wkeJsBindFunction(const char* name, jsNativeFunction fn, void* param, unsigned int argCount) {
    wkeJsBindFunctionEx(name, fn, param, argCount, 0);
}

int jsArgCount(jsExecState es) {
    return Guard(0, [&] {
        ExecState* state = Engine::Get().State(es);
        return state ? static_cast<int>(state->args.size()) : 0;
    });
}

jsValue jsArg(jsExecState es, int index) {
    Engine& e = Engine::Get();
    return Guard(e.values().Undefined(), [&] {
        ExecState* state = e.State(es);
        if (!state || index < 0 || static_cast<size_t>(index) >= state->args.size())
            return e.values().Undefined();
        return state->args[index];
    });
}

jsType jsTypeOf(jsValue v) {
    return Guard(JSTYPE_UNDEFINED, [&] { return Engine::Get().values().Get(v).type; });
}

const char* jsToString(jsExecState, jsValue v) {
    return Guard<const char*>("", [&] { return Keep(Engine::Get().values().Get(v).text); });
}

const char16_t* jsToTempStringW(jsExecState, jsValue v) {
    return Guard<const char16_t*>(
        u"", [&] { return Keep(platform::Utf8ToUtf16(Engine::Get().values().Get(v).text)); });
}

jsValue jsUndefined(void) {
    return Engine::Get().values().Undefined();
}
jsValue jsInt(int n) {
    return Engine::Get().values().Int(n);
}

jsValue jsString(jsExecState, const char* utf8) {
    return Guard(jsUndefined(),
                 [&] { return Engine::Get().values().String(engine::Utf8Text(utf8)); });
}

jsValue jsStringW(jsExecState, const char16_t* text) {
    return Guard(jsUndefined(), [&] {
        return Engine::Get().values().String(platform::Utf16ToUtf8(text ? text : u""));
    });
}

// ---- engine strings -----------------------------------------------------------------------

const char* wkeGetString(const wkeString s) {
    EngineString* text = EngineString::From(s);
    return text ? text->utf8().c_str() : "";
}

const char16_t* wkeGetStringW(const wkeString s) {
    return Guard<const char16_t*>(u"", [&] {
        EngineString* text = EngineString::From(s);
        return text ? text->utf16() : u"";
    });
}

void wkeSetString(wkeString s, const char* utf8, size_t len) {
    Guard([&] {
        if (EngineString* text = EngineString::From(s))
            text->Set(utf8 ? std::string(utf8, len) : "");
    });
}

void wkeSetStringW(wkeString s, const char16_t* value, size_t len) {
    Guard([&] {
        if (EngineString* text = EngineString::From(s))
            text->Set(value ? platform::Utf16ToUtf8(std::u16string_view(value, len)) : "");
    });
}

// ---- cookies, keys, icon, input -----------------------------------------------------------

const char* wkeGetCookie(wkeWebView handle) {
    return WithView<const char*>(handle, "", [](View& v) {
        v.cookieText = Engine::Get().CookiesForPage(v);
        return v.cookieText.c_str();
    });
}

void wkeSetCookie(wkeWebView handle, const char* url, const char* cookie) {
    WithView(handle, [&](View& v) { Engine::Get().SetCookie(v, HostText(url), HostText(cookie)); });
}

void wkeVisitAllCookie(wkeWebView handle, void* params, wkeCookieVisitor visitor) {
    WithView(handle, [&](View& v) { Engine::Get().VisitCookies(v, params, visitor); });
}

void wkeSetUserKeyValue(wkeWebView handle, const char* key, void* value) {
    WithView(handle, [&](View& v) { v.userKeys[key ? key : ""] = value; });
}

void* wkeGetUserKeyValue(wkeWebView handle, const char* key) {
    return WithView<void*>(handle, nullptr, [&](View& v) -> void* {
        auto it = v.userKeys.find(key ? key : "");
        return it == v.userKeys.end() ? nullptr : it->second;
    });
}

int wkeNetGetFavicon(wkeWebView handle, wkeOnNetGetFaviconCallback callback, void* param) {
    return WithView(handle, 0,
                    [&](View& v) { return Engine::Get().RequestFavicon(v, callback, param); });
}

bool wkeFireMouseEvent(wkeWebView handle, unsigned int message, int x, int y, unsigned int flags) {
    return WithView(handle, false,
                    [&](View& v) { return Engine::Get().FireMouse(v, message, x, y, flags); });
}

bool wkeFireMouseWheelEvent(wkeWebView handle, int x, int y, int delta, unsigned int flags) {
    return WithView(handle, false,
                    [&](View& v) { return Engine::Get().FireWheel(v, x, y, delta, flags); });
}

bool wkeFireKeyDownEvent(wkeWebView handle, unsigned int code, unsigned int flags, bool system) {
    return WithView(handle, false, [&](View& v) {
        return Engine::Get().FireKey(v, engine::KeyAction::kDown, code, flags, system);
    });
}

bool wkeFireKeyUpEvent(wkeWebView handle, unsigned int code, unsigned int flags, bool system) {
    return WithView(handle, false, [&](View& v) {
        return Engine::Get().FireKey(v, engine::KeyAction::kUp, code, flags, system);
    });
}

bool wkeFireKeyPressEvent(wkeWebView handle, unsigned int code, unsigned int flags, bool system) {
    return WithView(handle, false, [&](View& v) {
        return Engine::Get().FireKey(v, engine::KeyAction::kPress, code, flags, system);
    });
}

void wkeSetFocus(wkeWebView handle) {
    WithView(handle, [&](View& v) { Engine::Get().SetPageFocus(v, true); });
}

void wkeKillFocus(wkeWebView handle) {
    WithView(handle, [&](View& v) { Engine::Get().SetPageFocus(v, false); });
}

// ---- event loop ---------------------------------------------------------------------------

int wkeGetEventFd(void) {
    return Engine::Get().EventFd();
}

void wkeWake(wkeWebView handle) {
    Guard([&] { Engine::Get().Wake(static_cast<int>(reinterpret_cast<intptr_t>(handle))); });
}

}  // extern "C"
