// Entry points: script values and the engine's strings.
#include "engine/capi/api_guard.h"
#include "engine/capi/engine_string.h"
#include "engine/capi/host_text.h"
#include "engine/capi/script_calls.h"
#include "platform/codepage.h"

using engine::EngineString;
using engine::Guard;
using engine::ScriptCalls;

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

engine::ValueTable& Values() {
    return ScriptCalls::Get().values();
}

}  // namespace

extern "C" {

jsType jsTypeOf(jsValue v) {
    return Guard(JSTYPE_UNDEFINED, [&] { return Values().Get(v).type; });
}

const char* jsToString(jsExecState, jsValue v) {
    return Guard<const char*>("", [&] { return Keep(Values().Get(v).text); });
}

const char16_t* jsToTempStringW(jsExecState, jsValue v) {
    return Guard<const char16_t*>(
        u"", [&] { return Keep(platform::Utf8ToUtf16(Values().Get(v).text)); });
}

jsValue jsUndefined(void) {
    return Values().Undefined();
}
jsValue jsInt(int n) {
    return Values().Int(n);
}

jsValue jsString(jsExecState, const char* utf8) {
    return Guard(jsUndefined(), [&] { return Values().String(engine::Utf8Text(utf8)); });
}

jsValue jsStringW(jsExecState, const char16_t* text) {
    return Guard(jsUndefined(),
                 [&] { return Values().String(platform::Utf16ToUtf8(text ? text : u"")); });
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

}  // extern "C"
