#pragma once
// The live room as the page embeds it as data, read by a page script after the load: its
// status, title, owner and every address by quality; the choice of one quality; and how
// long a signed address stays valid.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace app {

struct Quality {
    std::string key;         // the platform's name: origin, uhd, FULL_HD1, hd, ..., ao
    std::string name;        // what the player calls it (GBK), may be empty
    std::string resolution;  // "720x1280" where known
    std::string codec;       // "h264", "h265" where known
    std::string hls, flv;    // addresses; either may be empty
};

struct RoomData {
    bool found = false;                // the page holds a room
    bool verification = false;         // no room: the page asks to prove a person is there
    int status = 0;                    // 2 live, 4 ended
    std::string roomId, title, owner;  // title and owner GBK
    std::vector<Quality> qualities;
};

constexpr int kRoomEnded = 4;

// The page script that reads the room (UTF-8; a function body that returns a JSON text).
const char* RoomDataScript();
// The script's JSON text as a room; nothing found for anything else. Addresses that are not
// plain web addresses (IsPlainWebAddress) are left out, and a quality left without any;
// control characters are taken out of every text.
RoomData ParseRoomData(const std::string& json);

// The quality to use: `wanted` (its key or its player name, ASCII case ignored) when given,
// else the best one with an HLS address, audio only never unless asked. Null when none.
const Quality* ChooseQuality(const RoomData& room, const std::string& wanted = "");

// The Unix time until which a signed address is valid: expire= (decimal or hex), wsTime=,
// volcTime= (hex) or auth_key=<time>-...; nothing when the address says nothing.
std::optional<int64_t> AddressExpiry(const std::string& address);
// "YYYY-MM-DD HH:MM:SS" in local time.
std::string LocalTimeText(int64_t unixTime);

}  // namespace app
