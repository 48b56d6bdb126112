#include "automation/script_bridge.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "automation/engine_binding.h"
#include "platform/text_encoding.h"

namespace automation {
namespace {

jsValue Undefined() {
    return Api().jsUndefined ? Api().jsUndefined() : 0;
}

}  // namespace

ScriptBridge& Bridge() {
    static ScriptBridge bridge;
    return bridge;
}

void ResetBridge() {
    Bridge() = ScriptBridge{};
}

jsValue DispatchScriptCall(jsExecState context, void* handler) {
    if (!handler) return Undefined();
    return reinterpret_cast<ScriptHandler>(handler)(context);
}

SuppliedValue::SuppliedValue(wkeWebView view, const std::string& value) {
    Bridge().valueToSupply = value;
    Bridge().valueView = view;
}

SuppliedValue::~SuppliedValue() {
    Bridge().valueToSupply.clear();
    Bridge().valueView = nullptr;
}

void BindScriptFunction(const std::string& name, ScriptHandler handler, unsigned argCount,
                        unsigned flags) {
    void* param = reinterpret_cast<void*>(handler);
    if (flags) {
        auto bindEx = LookupEntry<decltype(&::wkeJsBindFunctionEx)>("wkeJsBindFunctionEx");
        if (bindEx) {
            bindEx(name.c_str(), DispatchScriptCall, param, argCount, flags);
            return;
        }
    }
    auto bind = LookupEntry<decltype(&::wkeJsBindFunction)>("wkeJsBindFunction");
    if (!bind) return;  // an engine without it: nothing can be bound
    bind(name.c_str(), DispatchScriptCall, param, argCount);
}

std::string ScriptArgText(jsExecState context, int index) {
    const engine_loader::EntryPoints& api = Api();
    if (!api.jsArg || !api.jsToTempStringW) return {};
    const char16_t* text = api.jsToTempStringW(context, api.jsArg(context, index));
    return text ? platform::Utf16ToText(text) : std::string();
}

// Leading white space and a sign, then digits; whatever follows is ignored.
int32_t ScriptArgInt(jsExecState context, int index) {
    return TextToInt(ScriptArgText(context, index));
}

int32_t TextToInt(const std::string& text) {
    errno = 0;
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// Only "Getvalue" answers the page; the other nine only record, so the page does not wait.
// All ten serve the layer's own runs alone: a page calling them on its own (from a timer,
// from another view) would write into the slots an operation is about to read, or read a
// value meant for another page.
void BindScriptBridge() {
    constexpr unsigned kAnswers = WKE_JS_BIND_RUN_ONLY;
    constexpr unsigned kRecords = WKE_JS_BIND_RUN_ONLY | WKE_JS_BIND_REPLY_ONLY;
    BindScriptFunction("GetAttributeBack", handlers::GetAttributeBack, 1, kRecords);
    BindScriptFunction("FramesCount", handlers::FramesCount, 1, kRecords);
    BindScriptFunction("GetElementInformation", handlers::GetElementInformation, 6, kRecords);
    BindScriptFunction("LoadJs_Success", handlers::LoadJsSuccess, 6, kRecords);
    BindScriptFunction("ScrollBack", handlers::ScrollBack, 1, kRecords);
    BindScriptFunction("selectBack", handlers::SelectBack, 2, kRecords);
    BindScriptFunction("Getvalue", handlers::Getvalue, 1, kAnswers);
    BindScriptFunction("GetElementRect", handlers::GetElementRect, 6, kRecords);
    BindScriptFunction("Elementundefined", handlers::ElementUndefined, 0, kRecords);
    BindScriptFunction("enumresources", handlers::EnumResources, 3, kRecords);
}

namespace handlers {

jsValue GetAttributeBack(jsExecState c) {
    Bridge().attributeReply = ScriptArgText(c, 0);
    return Undefined();
}

jsValue FramesCount(jsExecState c) {
    Bridge().frameTotalReply = ScriptArgInt(c, 0);
    return Undefined();
}

jsValue GetElementInformation(jsExecState c) {
    ScriptBridge& bridge = Bridge();
    if (bridge.elementInfoList.full()) return Undefined();
    ElementInfo info{ScriptArgText(c, 0), ScriptArgText(c, 1), ScriptArgText(c, 2),
                     ScriptArgText(c, 3), ScriptArgText(c, 4), ScriptArgInt(c, 5),
                     ScriptArgText(c, 6)};
    size_t bytes = info.id.size() + info.innerText.size() + info.outerHTML.size() +
                   info.nodeName.size() + info.className.size() + info.cssSelector.size();
    if (!bridge.elementInfoList.Add(std::move(info), bytes)) ++bridge.listsFilled;
    return Undefined();
}

jsValue LoadJsSuccess(jsExecState) {
    Bridge().scriptLoaded = true;
    return Undefined();
}

jsValue ScrollBack(jsExecState c) {
    Bridge().scrollReply = ScriptArgInt(c, 0);
    return Undefined();
}

jsValue SelectBack(jsExecState c) {
    ScriptBridge& bridge = Bridge();
    if (bridge.optionTexts.full()) return Undefined();
    std::string text = ScriptArgText(c, 0), value = ScriptArgText(c, 1);
    size_t bytes = text.size() + value.size();
    if (bridge.optionTexts.Add(std::move(text), bytes)) {
        bridge.optionValues.push_back(std::move(value));
    } else {
        bridge.optionValues.clear();
        bridge.optionValues.shrink_to_fit();
        ++bridge.listsFilled;
    }
    return Undefined();
}

// Hands `valueToSupply` to the page as a string, so that long values never have to be
// quoted inside script text; only to the view it was supplied for, asked by that view's
// page with that view's handle. Anyone else gets the empty text.
jsValue Getvalue(jsExecState c) {
    const engine_loader::EntryPoints& api = Api();
    if (!api.wkeGlobalExec || !api.jsStringW) return Undefined();
    auto view = reinterpret_cast<wkeWebView>(static_cast<intptr_t>(ScriptArgInt(c, 0)));
    auto caller = LookupEntry<decltype(&::jsGetWebView)>("jsGetWebView");
    const ScriptBridge& bridge = Bridge();
    bool forCaller =
        bridge.valueView && view == bridge.valueView && (!caller || caller(c) == bridge.valueView);
    jsExecState global = api.wkeGlobalExec(view);
    std::u16string text = forCaller ? platform::TextToUtf16(bridge.valueToSupply) : u"";
    return api.jsStringW(global, text.c_str());
}

// Scripts pass a rectangle's properties in alphabetical order: bottom, height, left, right,
// top, width.
jsValue GetElementRect(jsExecState c) {
    ElementRect& r = Bridge().elementRect;
    r.left = ScriptArgInt(c, 2);
    r.top = ScriptArgInt(c, 4);
    r.right = ScriptArgInt(c, 3);
    r.bottom = ScriptArgInt(c, 0);
    r.width = ScriptArgInt(c, 5);
    r.height = ScriptArgInt(c, 1);
    return Undefined();
}

jsValue ElementUndefined(jsExecState) {
    Bridge().elementMissing = true;
    return Undefined();
}

jsValue EnumResources(jsExecState c) {
    std::string kind = ScriptArgText(c, 0);
    if (kind == "script" || kind == "CSS" || kind == "embed") {
        ScriptBridge& bridge = Bridge();
        if (bridge.resourceList.full()) return Undefined();
        std::string address = ScriptArgText(c, 1);
        size_t bytes = address.size();
        if (!bridge.resourceList.Add(std::move(address), bytes)) ++bridge.listsFilled;
    } else if (kind == "frameCount")
        Bridge().frameRecordReply = ScriptArgInt(c, 1);
    return Undefined();
}

}  // namespace handlers
}  // namespace automation
