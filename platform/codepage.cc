#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Decodes one UTF-8 sequence at text[i]; returns the code point and advances i,
// or returns -1 for a malformed, overlong or surrogate sequence.
long DecodeUtf8(std::string_view text, size_t& i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || lead > 0xF4 || i + extra >= text.size()) return -1;
    long cp = lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        unsigned char cont = byte(i + k);
        if ((cont & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (cont & 0x3F);
    }
    static constexpr long kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    i += extra + 1;
    return cp;
}

class Iconv {
  public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();)
        if (DecodeUtf8(bytes, i) < 0) return false;
    return true;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        long cp = DecodeUtf8(utf8, i);
        if (cp < 0) {
            out.push_back(kReplacement);  // one mark per byte that starts no character
            ++i;
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        long cp = text[i];
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
            cp = kReplacement;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string GbkToUtf16(std::string_view gbk) {
    bool ascii = true;
    for (char c : gbk) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::u16string(gbk.begin(), gbk.end());
    // Opening a converter costs far more than most conversions: each thread keeps its own.
    thread_local Iconv cd("UTF-16LE", "CP936");
    if (!cd.ok()) return {};
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    std::vector<char> out(gbk.size() * 2 + 2);
    std::u16string result;
    result.reserve(gbk.size());
    char* in = const_cast<char*>(gbk.data());
    size_t inLeft = gbk.size();
    while (inLeft > 0) {
        char* dst = out.data();
        size_t outLeft = out.size();
        bool stuck = iconv(cd.get(), &in, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1);
        size_t bytes = out.size() - outLeft;
        for (size_t k = 0; k + 1 < bytes; k += 2)
            result.push_back(static_cast<char16_t>(static_cast<unsigned char>(out[k]) |
                                                   (static_cast<unsigned char>(out[k + 1]) << 8)));
        if (stuck) {
            // A byte that starts no GBK character (or a lead byte cut off at the end)
            // becomes one replacement mark; the text goes on after it.
            result.push_back(kReplacement);
            ++in;
            --inLeft;
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return result;
}

std::string Utf16ToGbk(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    thread_local Iconv cd("CP936", "UTF-16LE");
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        // One character at a time, so that an unmappable one becomes "?" on its own.
        size_t units =
            IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]) ? 2 : 1;
        char in[4];
        for (size_t k = 0; k < units; ++k) {
            in[2 * k] = static_cast<char>(text[i + k] & 0xFF);
            in[2 * k + 1] = static_cast<char>(text[i + k] >> 8);
        }
        char buf[8];
        char* src = in;
        size_t inLeft = units * 2;
        char* dst = buf;
        size_t outLeft = sizeof buf;
        if (cd.ok() && iconv(cd.get(), &src, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1))
            out.append(buf, sizeof buf - outLeft);
        else
            out.push_back('?');
        if (cd.ok()) iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        i += units - 1;
    }
    return out;
}

std::string GbkToUtf8(std::string_view gbk) {
    return Utf16ToUtf8(GbkToUtf16(gbk));
}
std::string Utf8ToGbk(std::string_view utf8) {
    return Utf16ToGbk(Utf8ToUtf16(utf8));
}

size_t Utf16Length(const char16_t* text) {
    size_t n = 0;
    while (text && text[n]) ++n;
    return n;
}

}  // namespace platform
