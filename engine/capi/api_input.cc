// Entry points: cookies, the host's keys, the page's icon, input, and the event loop.
#include "engine/capi/api_guard.h"
#include "engine/capi/event_loop.h"
#include "engine/capi/host_text.h"

using engine::Browser;
using engine::Guard;
using engine::HostText;
using engine::KeyAction;
using engine::Page;
using engine::WithPage;

extern "C" {

const char* wkeGetCookie(wkeWebView handle) {
    return WithPage<const char*>(handle, "", [](Page& p) {
        p.hostData().cookieText = p.storage().CookiesForPage();
        return p.hostData().cookieText.c_str();
    });
}

void wkeSetCookie(wkeWebView handle, const char* url, const char* cookie) {
    WithPage(handle, [&](Page& p) { p.storage().SetCookie(HostText(url), HostText(cookie)); });
}

void wkeVisitAllCookie(wkeWebView handle, void* params, wkeCookieVisitor visitor) {
    WithPage(handle, [&](Page& p) { p.storage().VisitCookies(params, visitor); });
}

void wkeSetUserKeyValue(wkeWebView handle, const char* key, void* value) {
    WithPage(handle, [&](Page& p) { p.hostData().userKeys[key ? key : ""] = value; });
}

void* wkeGetUserKeyValue(wkeWebView handle, const char* key) {
    return WithPage<void*>(handle, nullptr, [&](Page& p) -> void* {
        const auto& keys = p.hostData().userKeys;
        auto it = keys.find(key ? key : "");
        return it == keys.end() ? nullptr : it->second;
    });
}

int wkeNetGetFavicon(wkeWebView handle, wkeOnNetGetFaviconCallback callback, void* param) {
    return WithPage(handle, 0, [&](Page& p) { return p.RequestFavicon(callback, param); });
}

bool wkeFireMouseEvent(wkeWebView handle, unsigned int message, int x, int y, unsigned int flags) {
    return WithPage(handle, false,
                    [&](Page& p) { return p.input().FireMouse(message, x, y, flags); });
}

bool wkeFireMouseWheelEvent(wkeWebView handle, int x, int y, int delta, unsigned int flags) {
    return WithPage(handle, false,
                    [&](Page& p) { return p.input().FireWheel(x, y, delta, flags); });
}

bool wkeFireKeyDownEvent(wkeWebView handle, unsigned int code, unsigned int flags, bool system) {
    return WithPage(handle, false, [&](Page& p) {
        return p.input().FireKey(KeyAction::kDown, code, flags, system);
    });
}

bool wkeFireKeyUpEvent(wkeWebView handle, unsigned int code, unsigned int flags, bool system) {
    return WithPage(handle, false, [&](Page& p) {
        return p.input().FireKey(KeyAction::kUp, code, flags, system);
    });
}

bool wkeFireKeyPressEvent(wkeWebView handle, unsigned int code, unsigned int flags, bool system) {
    return WithPage(handle, false, [&](Page& p) {
        return p.input().FireKey(KeyAction::kPress, code, flags, system);
    });
}

void wkeSetFocus(wkeWebView handle) {
    WithPage(handle, [&](Page& p) { p.input().SetFocus(true); });
}

void wkeKillFocus(wkeWebView handle) {
    WithPage(handle, [&](Page& p) { p.input().SetFocus(false); });
}

// ---- event loop ---------------------------------------------------------------------------

int wkeGetEventFd(void) {
    return engine::EventLoop::Get().fd();
}

void wkeWake(wkeWebView handle) {
    Guard([&] { engine::EventLoop::Get().Wake(Browser::PageIdOf(handle)); });
}

}  // extern "C"
