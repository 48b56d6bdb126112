#pragma once
// The native functions bound into page script, and the process-wide reply slots they fill.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/capi/wke.h"

namespace automation {

struct ElementInfo {
    std::string id, innerText, outerHTML, nodeName, className;
    int32_t frameRecord = 0;
    std::string cssSelector;
};

struct ElementRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0, width = 0, height = 0;
};

// The most text one list slot holds (bytes of all its entries): a page decides how many
// elements, options or resources it reports and how long each is.
constexpr size_t kMaxListBytes = size_t{16} << 20;

// A list slot that takes entries while their texts stay within kMaxListBytes. The entry that
// would pass it empties the list, which then takes nothing until it is cleared: an operation
// must not take part of a list for the whole of it.
template <typename T>
class BoundedList {
  public:
    // A new list starts empty and with room.
    void clear() {
        entries_ = {};
        bytes_ = 0;
        full_ = false;
    }
    // False when the entry did not fit, or the list is full already.
    bool Add(T entry, size_t bytes) {
        if (full_) return false;
        if (bytes > kMaxListBytes - bytes_) {
            entries_ = {};
            full_ = true;
            return false;
        }
        bytes_ += bytes;
        entries_.push_back(std::move(entry));
        return true;
    }
    bool full() const { return full_; }
    // Read only: every entry comes in through Add, which keeps the bound.
    const std::vector<T>& entries() const { return entries_; }

  private:
    std::vector<T> entries_;
    size_t bytes_ = 0;
    bool full_ = false;
};

// Texts are the program's (GBK, or UTF-8 after the process-wide switch).
struct ScriptBridge {
    std::string attributeReply;
    int32_t frameTotalReply = 0;
    BoundedList<ElementInfo> elementInfoList;
    bool scriptLoaded = false;
    int32_t scrollReply = 0;
    BoundedList<std::string> optionTexts;  // their texts count for the values too
    std::vector<std::string> optionValues;
    std::string valueToSupply;
    wkeWebView valueView = nullptr;  // whose runs may fetch valueToSupply; none: nobody
    ElementRect elementRect;
    bool elementMissing = false;
    BoundedList<std::string> resourceList;
    int32_t frameRecordReply = 0;
    // How many times a list slot filled up: a run in which one did has failed.
    uint64_t listsFilled = 0;
};

// The one set of slots of the process.
ScriptBridge& Bridge();
// Empties every slot (program start and end).
void ResetBridge();

// Hands `value` to the Getvalue calls of `view`'s runs while it lives; afterwards the slot
// is empty and belongs to no view, so that no later page, and no other view, reads it.
class SuppliedValue {
  public:
    SuppliedValue(wkeWebView view, const std::string& value);
    ~SuppliedValue();
    SuppliedValue(const SuppliedValue&) = delete;
    SuppliedValue& operator=(const SuppliedValue&) = delete;
};

using ScriptHandler = jsValue (*)(jsExecState context);

// Makes `name` (GBK) callable from page script; its calls reach `handler`. `flags` are the
// engine's WKE_JS_BIND_*: a handler that always answers undefined is bound reply-only (its
// calls still arrive in order before the run that made them returns, but the page need not
// wait for each); one only the layer's own runs may call is bound run-only.
void BindScriptFunction(const std::string& name, ScriptHandler handler, unsigned argCount,
                        unsigned flags = 0);
// The function the engine calls for every bound name; the binding parameter is the handler.
jsValue DispatchScriptCall(jsExecState context, void* handler);

std::string ScriptArgText(jsExecState context, int index);  // the program's text
int32_t ScriptArgInt(jsExecState context, int index);
// How the program reads an integer from a text: leading blanks, a sign, the digits that
// follow; the rest ignored, no digits 0, clamped to 32 bits.
int32_t TextToInt(const std::string& text);

// Binds the ten functions, in their order.
void BindScriptBridge();

// The ten handlers.
namespace handlers {
jsValue GetAttributeBack(jsExecState c);
jsValue FramesCount(jsExecState c);
jsValue GetElementInformation(jsExecState c);
jsValue LoadJsSuccess(jsExecState c);
jsValue ScrollBack(jsExecState c);
jsValue SelectBack(jsExecState c);
jsValue Getvalue(jsExecState c);
jsValue GetElementRect(jsExecState c);
jsValue ElementUndefined(jsExecState c);
jsValue EnumResources(jsExecState c);
}  // namespace handlers

}  // namespace automation
