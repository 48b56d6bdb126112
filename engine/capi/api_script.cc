// Entry points: running scripts, binding functions, the calls pages make into them, and what
// the engine says of its browser.
#include "engine/capi/api_guard.h"
#include "engine/capi/host_text.h"
#include "engine/capi/script_calls.h"
#include "platform/codepage.h"

using engine::Browser;
using engine::ExecState;
using engine::Guard;
using engine::Page;
using engine::ScriptCalls;
using engine::WithPage;

extern "C" {

jsValue wkeRunJsByFrame(wkeWebView handle, wkeWebFrameHandle frame, const char* script,
                        bool isInClosure) {
    ScriptCalls& calls = ScriptCalls::Get();
    return WithPage(handle, calls.values().Undefined(), [&](Page& p) {
        return calls.ValueOf(p.scripts().Run(frame, script ? script : "", isInClosure));
    });
}

jsValue wkeRunJsInIsolatedWorld(wkeWebView handle, wkeWebFrameHandle frame, const char* script,
                                bool isInClosure) {
    ScriptCalls& calls = ScriptCalls::Get();
    return WithPage(handle, calls.values().Undefined(), [&](Page& p) {
        return calls.ValueOf(
            p.scripts().RunInHostWorld(frame, engine::Utf8Text(script), isInClosure));
    });
}

const char* wkeEngineFailure(void) {
    return Browser::Get().failure().c_str();
}

bool wkeEngineEverAnswered(void) {
    return Browser::Get().everAnswered();
}

bool wkeLastRunFailed(wkeWebView handle) {
    return WithPage(handle, true, [](Page& p) { return p.scripts().lastRunFailed; });
}

jsValue wkeRunJSW(wkeWebView handle, const char16_t* script) {
    ScriptCalls& calls = ScriptCalls::Get();
    return WithPage(handle, calls.values().Undefined(), [&](Page& p) {
        return calls.ValueOf(
            p.scripts().Run(1, platform::Utf16ToUtf8(script ? script : u""), true));
    });
}

jsExecState wkeGlobalExec(wkeWebView handle) {
    return WithPage<jsExecState>(handle, nullptr,
                                 [](Page& p) { return ScriptCalls::Get().GlobalExec(p); });
}

wkeWebFrameHandle wkeWebFrameGetMainFrame(wkeWebView handle) {
    return WithPage<wkeWebFrameHandle>(handle, 0, [](Page&) { return 1; });
}

void wkeJsBindFunctionEx(const char* name, jsNativeFunction fn, void* param, unsigned int argCount,
                         unsigned int flags) {
    Guard([&] {
        if (!name || !*name || !fn) return;
        Browser& browser = Browser::Get();
        browser.Initialize();
        browser.Bind({engine::HostText(name), ScriptCalls::Get().Adapt(fn, param),
                      (flags & WKE_JS_BIND_REPLY_ONLY) != 0, (flags & WKE_JS_BIND_RUN_ONLY) != 0});
    });
}

void wkeJsBindFunction(const char* name, jsNativeFunction fn, void* param, unsigned int argCount) {
    wkeJsBindFunctionEx(name, fn, param, argCount, 0);
}

void wkeAcceptCallsBetweenRuns(wkeWebView handle, bool open) {
    WithPage(handle, [&](Page& p) { p.scripts().acceptBetweenRuns = open; });
}

int64_t wkeDroppedBoundCalls(wkeWebView handle) {
    if (!handle) return Guard<int64_t>(0, [] { return Browser::Get().boundFunctions().dropped(); });
    return WithPage<int64_t>(handle, 0, [](Page& p) { return p.scripts().droppedCalls; });
}

wkeWebView jsGetWebView(jsExecState es) {
    return Guard<wkeWebView>(nullptr, [&]() -> wkeWebView {
        ExecState* state = ScriptCalls::Get().State(es);
        if (!state) return nullptr;
        return Page::HandleOf(state->view);
    });
}

int jsArgCount(jsExecState es) {
    return Guard(0, [&] {
        ExecState* state = ScriptCalls::Get().State(es);
        return state ? static_cast<int>(state->args.size()) : 0;
    });
}

jsValue jsArg(jsExecState es, int index) {
    ScriptCalls& calls = ScriptCalls::Get();
    return Guard(calls.values().Undefined(), [&] {
        ExecState* state = calls.State(es);
        if (!state || index < 0 || static_cast<size_t>(index) >= state->args.size())
            return calls.values().Undefined();
        return state->args[index];
    });
}

}  // extern "C"
