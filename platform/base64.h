#pragma once
// Base64 in the standard alphabet (RFC 4648), one decoder for the engine's protocol data and
// the pictures a page hands back.
#include <string>
#include <string_view>

namespace platform {

// Characters outside the alphabet (line breaks) are skipped; "=" ends the data. A last group
// of two or three characters decodes its one or two bytes, padded or not; a single character
// left over carries no whole byte and gives nothing.
std::string DecodeBase64(std::string_view text);
// Padded to whole groups.
std::string EncodeBase64(std::string_view bytes);

}  // namespace platform
