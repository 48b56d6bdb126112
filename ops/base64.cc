// The program's own Base64 decoder for the pictures a page hands back.
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "automation/web_automation.h"
#include "platform/base64_alphabet.h"

namespace automation {
namespace {

void AppendGroup(const int (&v)[4], std::vector<uint8_t>& out) {
    out.push_back(static_cast<uint8_t>(v[0] * 4 + v[1] / 16));
    out.push_back(static_cast<uint8_t>((v[1] * 16 + v[2] / 4) % 256));
    out.push_back(static_cast<uint8_t>((v[2] * 64 + v[3]) % 256));
}

}  // namespace

// Bytes outside the alphabet are skipped; a pad ends the text; a group cut short without
// a pad is dropped. A pad in the first or second place leaves nothing of its group (six
// bits make no byte) and never takes bytes of an earlier group.
std::vector<uint8_t> DecodeBase64(std::string_view text) {
    std::vector<uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    int group[4] = {0, 0, 0, 0};
    int filled = 0;
    for (unsigned char c : text) {
        if (c == '=') {
            for (int k = filled; k < 4; ++k) group[k] = 0;
            AppendGroup(group, out);
            int place = filled + 1;  // 3 keeps one byte of the group, 4 keeps two
            int kept = std::max(0, place - 2);
            out.resize(out.size() - 3 + kept);
            return out;
        }
        int value = platform::Base64Value(static_cast<unsigned char>(c));
        if (value < 0) continue;
        group[filled++] = value;
        if (filled == 4) {
            AppendGroup(group, out);
            filled = 0;
        }
    }
    return out;
}

}  // namespace automation
