#pragma once
// The browser control's design-time properties, as stored with the form.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hostctl {

struct BrowserProperties {
    int32_t reserved1 = 0, reserved2 = 0;  // kept with the block, not used by the control
    std::string startAddress;              // GBK
    std::string storageDirectory;          // GBK
    std::string cookieDirectory;           // GBK
    std::string userAgent;                 // GBK: a preset name or a user-agent string
    bool allowNewWindow = true;            // the block's last integer

    // A new control: its storage and cookie directories where the program keeps state.
    static BrowserProperties Defaults();
};

// version 1, two integers, four NUL-terminated texts, one integer (little-endian).
std::vector<uint8_t> WritePropertyBlock(const BrowserProperties& p);

// An empty block gives the starting values; a newer version or a damaged block is rejected.
std::optional<BrowserProperties> ReadPropertyBlock(const std::vector<uint8_t>& block);

}  // namespace hostctl
