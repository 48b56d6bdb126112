// Cookies, the page's icon, the engine's debug settings and raw mouse input.
#include <cstring>
#include <memory>
#include <vector>

#include "automation/engine_binding.h"
#include "automation/view_automation.h"
#include "platform/text_encoding.h"

namespace automation {
namespace {

constexpr const char* kCookieVisitorKey = "qxCookieVisitorCallback";
constexpr const char* kFaviconKey = "qxOnNetGetFavicon";

// The engine calls a fixed function with an adapter as its parameter; the adapter passes
// the engine's arguments on to the caller's function, with the caller's own parameter.
// It is kept with the view under its key; a newer one for the same key takes its place
// there, but an adapter is freed only when no callback of the engine is still due to
// reach it (or its view has ended), since the engine may call it after the operation
// has returned.
struct KeptAdapter {
    wkeWebView view = nullptr;
    const char* key = nullptr;
    int callbacksDue = 0;
    virtual ~KeptAdapter() = default;
};

template <typename Function>
struct CallbackAdapter : KeptAdapter {
    CallbackAdapter(Function t, void* p) : target(t), param(p) {}
    Function target;
    void* param;
};
using CookieAdapter = CallbackAdapter<wkeCookieVisitor>;
using FaviconAdapter = CallbackAdapter<wkeOnNetGetFaviconCallback>;

std::vector<std::unique_ptr<KeptAdapter>>& KeptAdapters() {
    static std::vector<std::unique_ptr<KeptAdapter>> adapters;
    return adapters;
}

// Frees the adapters that can no longer be called: replaced ones with nothing due, and
// those of views that ended (the view no longer answers for its key).
void FreeUnreachableAdapters() {
    auto get = LookupEntry<decltype(&::wkeGetUserKeyValue)>("wkeGetUserKeyValue");
    if (!get) return;
    std::erase_if(KeptAdapters(), [&](const std::unique_ptr<KeptAdapter>& a) {
        void* current = get(a->view, a->key);
        return current == nullptr || (current != a.get() && a->callbacksDue == 0);
    });
}

// A callback that was due has come (or will not come after all).
void CallbackDone(KeptAdapter* adapter) {
    --adapter->callbacksDue;
    FreeUnreachableAdapters();
}

bool ForwardCookie(void* adapter, const char* name, const char* value, const char* domain,
                   const char* path, int secure, int httpOnly, int* expires) {
    auto* a = static_cast<CookieAdapter*>(static_cast<KeptAdapter*>(adapter));
    return a->target(a->param, name, value, domain, path, secure, httpOnly, expires);
}

void ForwardFavicon(wkeWebView view, void* adapter, const char* url, wkeMemBuf* buf) {
    auto* a = static_cast<FaviconAdapter*>(static_cast<KeptAdapter*>(adapter));
    a->target(view, a->param, url, buf);
    CallbackDone(a);
}

// Puts a new adapter under the view's `key`, with one callback due; null when the engine
// lacks the user-key entry points.
template <typename Adapter>
Adapter* KeepAdapter(wkeWebView view, const char* key, Adapter* fresh) {
    std::unique_ptr<Adapter> owned(fresh);
    auto set = LookupEntry<decltype(&::wkeSetUserKeyValue)>("wkeSetUserKeyValue");
    if (!set || !LookupEntry<decltype(&::wkeGetUserKeyValue)>("wkeGetUserKeyValue")) return nullptr;
    owned->view = view;
    owned->key = key;
    owned->callbacksDue = 1;
    set(view, key, static_cast<KeptAdapter*>(owned.get()));
    KeptAdapters().push_back(std::move(owned));
    return fresh;
}

}  // namespace

std::string ViewAutomation::GetCookies() {
    if (!view_) return {};
    auto get = LookupEntry<decltype(&::wkeGetCookie)>("wkeGetCookie");
    const char* text = get ? get(view_) : nullptr;
    return text ? text : "";
}

bool ViewAutomation::SetCookie(const std::string& url, const std::string& cookie) {
    if (!view_) return false;
    auto set = LookupEntry<decltype(&::wkeSetCookie)>("wkeSetCookie");
    if (!set) return false;
    set(view_, platform::TextToGbk(url).c_str(), platform::TextToGbk(cookie).c_str());
    return true;
}

bool ViewAutomation::VisitAllCookies(wkeCookieVisitor visitor, void* param) {
    if (!view_ || !visitor) return false;
    auto visit = LookupEntry<decltype(&::wkeVisitAllCookie)>("wkeVisitAllCookie");
    if (!visit) return false;
    auto* adapter = KeepAdapter(view_, kCookieVisitorKey, new CookieAdapter(visitor, param));
    if (!adapter) return false;
    visit(view_, static_cast<KeptAdapter*>(adapter), ForwardCookie);
    CallbackDone(adapter);  // the engine visits every cookie inside the call
    return true;
}

bool ViewAutomation::RequestFavicon(wkeOnNetGetFaviconCallback callback, void* param) {
    if (!view_ || !callback) return false;
    auto request = LookupEntry<decltype(&::wkeNetGetFavicon)>("wkeNetGetFavicon");
    if (!request) return false;
    auto* adapter = KeepAdapter(view_, kFaviconKey, new FaviconAdapter(callback, param));
    if (!adapter) return false;
    // The engine answers 0 when no callback will come.
    if (!request(view_, ForwardFavicon, static_cast<KeptAdapter*>(adapter))) CallbackDone(adapter);
    return true;
}

void ViewAutomation::SetDebugConfig(const std::string& name, const std::string& value) {
    if (!view_ || !Api().wkeSetDebugConfig) return;
    Api().wkeSetDebugConfig(view_, name.c_str(), value.c_str());
}

bool ViewAutomation::FireMouseEvent(uint32_t message, int32_t x, int32_t y, uint32_t flags) {
    if (!view_) return false;
    auto fire = LookupEntry<decltype(&::wkeFireMouseEvent)>("wkeFireMouseEvent");
    return fire && fire(view_, message, x, y, flags);
}

}  // namespace automation
