#pragma once
// Code-page conversion as the program needs it: GBK (code page 936) inside the program,
// UTF-16 and UTF-8 at the engine boundary. Results carry no terminating NUL of their own;
// c_str() supplies it where a NUL-terminated text is handed on.
#include <string>
#include <string_view>

namespace platform {

// Decoders. A byte that does not start a valid character becomes U+FFFD and the rest of
// the text converts, as the system converter does when it is not asked to be strict.
std::u16string GbkToUtf16(std::string_view gbk);
std::u16string Utf8ToUtf16(std::string_view utf8);

// Encoders. A character GBK cannot hold becomes "?", as the system converter does;
// an unpaired surrogate becomes "?" in GBK and U+FFFD in UTF-8.
std::string Utf16ToGbk(std::u16string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

bool IsValidUtf8(std::string_view bytes);

// Length of a NUL-terminated UTF-16 text (null counts as empty).
size_t Utf16Length(const char16_t* text);

}  // namespace platform
