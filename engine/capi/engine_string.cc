#include "engine/capi/engine_string.h"

#include "platform/codepage.h"

namespace engine {

EngineString* EngineString::From(wkeString s) {
    auto* text = reinterpret_cast<EngineString*>(s);
    return text && text->magic_ == kMagic ? text : nullptr;
}

const char16_t* EngineString::utf16() {
    if (!haveUtf16_) {
        utf16_ = platform::Utf8ToUtf16(utf8_);
        haveUtf16_ = true;
    }
    return utf16_.c_str();
}

void EngineString::Set(std::string utf8) {
    utf8_ = std::move(utf8);
    haveUtf16_ = false;
}

}  // namespace engine
