#pragma once
// The engine's string object (wkeString): text handed to callbacks and written by them.
#include <string>

#include "engine/capi/wke.h"

namespace engine {

class EngineString {
  public:
    explicit EngineString(std::string utf8 = {}) : utf8_(std::move(utf8)) {}

    wkeString handle() { return reinterpret_cast<wkeString>(this); }
    // Null for a null handle or one that is not an engine string.
    static EngineString* From(wkeString s);

    const std::string& utf8() const { return utf8_; }
    const char16_t* utf16();
    void Set(std::string utf8);

  private:
    static constexpr unsigned kMagic = 0x51524C4Eu;
    unsigned magic_ = kMagic;
    std::string utf8_;
    std::u16string utf16_;
    bool haveUtf16_ = false;
};

}  // namespace engine
