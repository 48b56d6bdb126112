#pragma once
// The live room as the page embeds it as data, read by a page script after the load: its
// status, title, owner and every stream with its addresses; the choice of one stream; and
// how long a signed address stays valid.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace app {

// One distinct stream of the room. The player's stream data and the address maps name the
// same stream more than once (origin and ORIGION, and on some pages FULL_HD1 too; hd and HD1,
// ...), each source with names of its own that need not agree.
struct Quality {
    std::string key;  // the player's key (origin, uhd, hd, sd, ld, md, ao), else the map's
    std::vector<std::string>
        mapKeys;  // the address maps' keys for it (ORIGION, FULL_HD1, HD1, ...), best first
    std::vector<std::string> mapNames;  // the maps' names for it (resolution_name, GBK), best first
    std::vector<std::string> playerNames;  // the player's names for it (GBK)
    std::string resolution;                // "720x1280" where known
    std::string codec;                     // "h264", "h265" where known
    std::string hls, flv;                  // the main line's addresses; either may be empty
    std::string backupHls, backupFlv;      // the backup line's
};

// Every key of the stream, the player's first; every name, the maps' first; each once.
std::vector<std::string> KeysOf(const Quality& quality);
std::vector<std::string> NamesOf(const Quality& quality);
// The same joined with "/": "origin/ORIGION/FULL_HD1", "原画/蓝光" (GBK).
std::string KeysText(const Quality& quality);
std::string NamesText(const Quality& quality);
// The audio-only stream: keyed ao, or whose addresses all carry only_audio=1.
bool IsAudioOnly(const Quality& quality);

struct RoomData {
    bool found = false;                // the page holds a room
    bool verification = false;         // no room: the page asks to prove a person is there
    int httpStatus = 0;                // of the page's document, 0 where unknown
    bool emptyPage = false;            // the page holds nothing at all
    int status = 0;                    // 2 live, 4 ended
    std::string roomId, title, owner;  // title and owner GBK
    std::string webRid;                // the streamer's room id on the platform's web site
    std::string avatar;                // the owner's picture: a plain web address, else empty
    std::vector<Quality> qualities;    // best first, audio only last
};

constexpr int kRoomLive = 2;
constexpr int kRoomEnded = 4;

// The page script that reads the room (UTF-8; a function body that returns a JSON text).
const char* RoomDataScript();
// The script's JSON text as a room; nothing found for anything else. The player's tiers and
// the address maps' entries that are one stream (the same address, or the conventional pair
// where no address says otherwise) become one Quality. Addresses that are not plain web
// addresses (IsPlainWebAddress) are left out, and a stream left without any; control
// characters are taken out of every text.
RoomData ParseRoomData(const std::string& json);

// "h264" or "h265" for the ways the platform writes a codec (264, avc, hevc, bytevc1, ...);
// anything else lower-cased.
std::string CodecName(const std::string& written);

// What the user asks of the address. Empty fields: the best stream, any codec, HLS.
struct StreamWish {
    std::string quality;  // a key (either kind, ASCII case ignored) or a name (GBK)
    std::string codec;    // "h264" or "h265"
    bool flv = false;     // the FLV address instead of the HLS playlist
};

enum class ChoiceFailure {
    kNone,
    kNoSuchQuality,  // no stream of that key or name
    kNoSuchCodec,    // no stream (of that quality) in that codec
    kNoSuchFormat,   // the streams asked for have no address of the asked format
    kExpired,        // every address asked for has passed its expiry
};

struct StreamChoice {
    const Quality* quality = nullptr;
    std::string address;
    ChoiceFailure failure = ChoiceFailure::kNone;
};

// The stream and address to use at Unix time `now`: the wished stream or else the best one
// (audio only never unless asked), its main line or else its backup line, in the wished
// format, whose address has not expired; a stream whose addresses have all expired gives
// way to the next.
StreamChoice ChooseStream(const RoomData& room, const StreamWish& wish, int64_t now);
// The stream of `wanted` (key or name; the maps' names before the player's), or, when
// empty, the best HLS one at `now`. Null when none.
const Quality* ChooseQuality(const RoomData& room, const std::string& wanted = "", int64_t now = 0);

// The Unix time until which a signed address is valid: expire= (decimal or hex), wsTime=,
// volcTime= (hex), auth_key=<time>-..., or t= (decimal) beside k= on the backup line;
// nothing when the address says nothing.
std::optional<int64_t> AddressExpiry(const std::string& address);
bool AddressExpired(const std::string& address, int64_t now);
// "YYYY-MM-DD HH:MM:SS" in local time.
std::string LocalTimeText(int64_t unixTime);

}  // namespace app
