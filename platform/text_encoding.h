#pragma once
// The encoding of the texts the program hands the automation library and gets back from it:
// GBK (code page 936), as the program's own, or UTF-8 for a program that is UTF-8 throughout.
// Process-wide; every conversion between those texts and the engine's UTF-8 or UTF-16 goes
// through these functions, so the one switch changes all of them at once.
#include <string>
#include <string_view>

namespace platform {

enum class TextEncoding { Gbk, Utf8 };

// Set it before the first operation; an operation in progress is not switched mid-way.
void SetTextEncoding(TextEncoding encoding);
TextEncoding CurrentTextEncoding();

// Program text to and from the engine's encodings. Decoding: a byte that starts no character
// becomes U+FFFD. Encoding: under GBK a character GBK lacks becomes "?"; under UTF-8 every
// character is kept (an unpaired surrogate becomes U+FFFD).
std::u16string TextToUtf16(std::string_view text);
std::string Utf16ToText(std::u16string_view text);
std::string TextToUtf8(std::string_view text);
// For the engine's entry points that take GBK (a cookie, the platform pages are told): the
// text as it is under GBK; under UTF-8 converted, a character GBK lacks becoming "?".
std::string TextToGbk(std::string_view text);
// For the library's own texts, written in UTF-8 in its sources.
std::string Utf8ToText(std::string_view utf8);

}  // namespace platform
