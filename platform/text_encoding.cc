#include "platform/text_encoding.h"

#include <atomic>

#include "platform/codepage.h"

namespace platform {
namespace {

std::atomic<TextEncoding> encoding{TextEncoding::Gbk};

bool IsUtf8() {
    return encoding.load(std::memory_order_relaxed) == TextEncoding::Utf8;
}

}  // namespace

void SetTextEncoding(TextEncoding value) {
    encoding.store(value);
}

TextEncoding CurrentTextEncoding() {
    return encoding.load();
}

std::u16string TextToUtf16(std::string_view text) {
    return IsUtf8() ? Utf8ToUtf16(text) : GbkToUtf16(text);
}

std::string Utf16ToText(std::u16string_view text) {
    return IsUtf8() ? Utf16ToUtf8(text) : Utf16ToGbk(text);
}

// Malformed UTF-8 is still decoded and encoded again, so that the engine never receives a
// byte sequence that is not UTF-8.
std::string TextToUtf8(std::string_view text) {
    return Utf16ToUtf8(TextToUtf16(text));
}

std::string TextToGbk(std::string_view text) {
    return IsUtf8() ? Utf8ToGbk(text) : std::string(text);
}

std::string Utf8ToText(std::string_view utf8) {
    return IsUtf8() ? std::string(utf8) : Utf8ToGbk(utf8);
}

}  // namespace platform
