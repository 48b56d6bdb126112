#pragma once
#include <string>
#include <string_view>

namespace engine {

// Standard alphabet; characters outside it are skipped, decoding stops at "=".
std::string DecodeBase64(std::string_view text);
std::string EncodeBase64(std::string_view bytes);

}  // namespace engine
