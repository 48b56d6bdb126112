#pragma once
#include <string>

namespace hostctl {

// A preset name (GBK, byte for byte) gives its user-agent string; any other text,
// the empty text included, is used as it is.
std::string ResolveUserAgent(const std::string& value);

}  // namespace hostctl
