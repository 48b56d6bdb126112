// The pictures a page hands back, as bytes; the decoding is the engine's own.
#include "platform/base64.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "automation/web_automation.h"

namespace automation {

std::vector<uint8_t> DecodeBase64(std::string_view text) {
    std::string bytes = platform::DecodeBase64(text);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace automation
