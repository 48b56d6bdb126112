#pragma once
// How the sample rooms write their streams: every address of each tier (main and backup
// lines, HLS and FLV, signed until an expiry), the player's stream data and the address maps,
// in the shapes of today's rooms and of the rooms as the platform served them in 2026-09.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace testsupport::sample_room {

// "&" as the JSON escape \u0026, as the platform writes it in its rows.
inline std::string Amp(std::string json) {
    for (size_t at; (at = json.find('&')) != std::string::npos;) json.replace(at, 1, "\\u0026");
    return json;
}

// Every address of one stream of the sample rooms: the main line on one CDN, the backup line
// on another, each as an HLS playlist and an FLV stream, signed until `expiry` (the backup
// line until `backupExpiry`, where given).
struct Tier {
    std::string key, resolution, codec;
    long long expiry;
    bool mainHls = true;    // the audio-only tier has no playlist on its main line,
    bool backupHls = true;  // and as the platform serves it now, on neither line
    long long backupExpiry = 0;
};

// How the rooms write their streams: the sample rooms of today, or as the platform served
// them in 2026-09 (the phone's share page or the web site's desktop page).
enum class Shape { kToday, kRecordedPhone, kRecordedDesktop, kLoopback };

// The sample room's own port, for the room whose stream it serves itself.
void SetLoopbackPort(int port);

// Hexadecimal, as today's rooms write an expiry and a text row's length.
std::string Hex(long long value);

// The player's stream data: one entry per tier, with its main and backup lines.
std::string StreamData(const std::string& stream, const std::vector<Tier>& tiers,
                       Shape shape = Shape::kToday);

// The room's stream object: the address maps, their names and the player's data.
nlohmann::json StreamUrl(const std::string& stream, const std::vector<Tier>& tiers,
                         const nlohmann::json& streamData, bool snakeCase,
                         Shape shape = Shape::kToday);

// As recorded: an H.265 origin over H.264 tiers, md that nobody names, and audio on FLV only;
// the main lines signed until `expiry`, the backup lines until `backupExpiry`.
std::vector<Tier> RecordedTiers(bool phone, long long expiry, long long backupExpiry);

// Today's tiers: an H.265 origin over H.264 tiers, and audio only; `originExpiry` and
// `expiry` sign them.
std::vector<Tier> TodayTiers(long long originExpiry, long long expiry);

}  // namespace testsupport::sample_room
