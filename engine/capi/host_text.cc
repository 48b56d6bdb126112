#include "engine/capi/host_text.h"

#include "platform/codepage.h"

namespace engine {

std::string HostText(const char* text) {
    return text ? platform::GbkToUtf8(text) : std::string();
}

std::string Utf8Text(const char* text) {
    return text ? platform::Utf16ToUtf8(platform::Utf8ToUtf16(text)) : std::string();
}

}  // namespace engine
