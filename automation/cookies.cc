// Cookies, the page's icon, the engine's debug settings and raw mouse input.
#include <cstring>

#include "automation/engine_binding.h"
#include "automation/web_automation.h"

namespace automation {
namespace {

constexpr const char* kCookieVisitorKey = "qxCookieVisitorCallback";
constexpr const char* kFaviconKey = "qxOnNetGetFavicon";

// The engine calls a fixed function with an adapter as its parameter; the adapter passes
// the engine's arguments on to the caller's function, with the caller's own parameter.
// It stays with the view, under its key, until the next call for that key replaces it,
// because the engine may call it after the operation has returned.
template <typename Function>
struct CallbackAdapter {
    Function target;
    void* param;
};
using CookieAdapter = CallbackAdapter<wkeCookieVisitor>;
using FaviconAdapter = CallbackAdapter<wkeOnNetGetFaviconCallback>;

bool ForwardCookie(void* adapter, const char* name, const char* value, const char* domain,
                   const char* path, int secure, int httpOnly, int* expires) {
    auto* a = static_cast<CookieAdapter*>(adapter);
    return a->target(a->param, name, value, domain, path, secure, httpOnly, expires);
}

void ForwardFavicon(wkeWebView view, void* adapter, const char* url, wkeMemBuf* buf) {
    auto* a = static_cast<FaviconAdapter*>(adapter);
    a->target(view, a->param, url, buf);
}

// Replaces the view's adapter under `key` with a new one; null when the engine lacks the
// user-key entry points.
template <typename Adapter>
Adapter* ReplaceAdapter(wkeWebView view, const char* key, Adapter fresh) {
    auto get = LookupEntry<decltype(&::wkeGetUserKeyValue)>("wkeGetUserKeyValue");
    auto set = LookupEntry<decltype(&::wkeSetUserKeyValue)>("wkeSetUserKeyValue");
    if (!get || !set) return nullptr;
    delete static_cast<Adapter*>(get(view, key));
    auto* adapter = new Adapter(fresh);
    set(view, key, adapter);
    return adapter;
}

}  // namespace

std::string WebAutomation::GetCookies() {
    if (!view_) return {};
    auto get = LookupEntry<decltype(&::wkeGetCookie)>("wkeGetCookie");
    const char* text = get ? get(view_) : nullptr;
    return text ? text : "";
}

bool WebAutomation::SetCookie(const std::string& url, const std::string& cookie) {
    if (!view_) return false;
    auto set = LookupEntry<decltype(&::wkeSetCookie)>("wkeSetCookie");
    if (!set) return false;
    set(view_, url.c_str(), cookie.c_str());
    return true;
}

bool WebAutomation::VisitAllCookies(wkeCookieVisitor visitor, void* param) {
    if (!view_ || !visitor) return false;
    auto visit = LookupEntry<decltype(&::wkeVisitAllCookie)>("wkeVisitAllCookie");
    if (!visit) return false;
    auto* adapter = ReplaceAdapter(view_, kCookieVisitorKey, CookieAdapter{visitor, param});
    if (!adapter) return false;
    visit(view_, adapter, ForwardCookie);
    return true;
}

bool WebAutomation::RequestFavicon(wkeOnNetGetFaviconCallback callback, void* param) {
    if (!view_ || !callback) return false;
    auto request = LookupEntry<decltype(&::wkeNetGetFavicon)>("wkeNetGetFavicon");
    if (!request) return false;
    auto* adapter = ReplaceAdapter(view_, kFaviconKey, FaviconAdapter{callback, param});
    if (!adapter) return false;
    request(view_, ForwardFavicon, adapter);
    return true;
}

void WebAutomation::SetDebugConfig(const std::string& name, const std::string& value) {
    if (!view_ || !Api().wkeSetDebugConfig) return;
    Api().wkeSetDebugConfig(view_, name.c_str(), value.c_str());
}

bool WebAutomation::FireMouseEvent(uint32_t message, int32_t x, int32_t y, uint32_t flags) {
    if (!view_) return false;
    auto fire = LookupEntry<decltype(&::wkeFireMouseEvent)>("wkeFireMouseEvent");
    return fire && fire(view_, message, x, y, flags);
}

}  // namespace automation
