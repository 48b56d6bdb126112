#include "serve/watch_text.h"

#include <nlohmann/json.hpp>

#include "app/output_checks.h"
#include "app/text_rules.h"
#include "platform/codepage.h"

namespace serve {
namespace {

constexpr size_t kMaxHostBytes = 255;

// The room's options as a query, "" when it has none.
std::string OptionsQuery(const app::StreamWish& wish) {
    std::string query;
    auto add = [&](const char* name, const std::string& value) {
        query +=
            (query.empty() ? "?" : "&") + std::string(name) + "=" + app::EncodeQueryValue(value);
    };
    if (!wish.quality.empty()) add("quality", platform::GbkToUtf8(wish.quality));
    if (!wish.codec.empty()) add("codec", wish.codec);
    if (wish.flv) add("format", "flv");
    return query;
}

// "<owner> - <title>", either alone where the other is unknown, the link before a check.
std::string EntryName(const RoomState& room) {
    std::string owner = M3uText(room.owner), title = M3uText(room.title);
    if (owner.empty() && title.empty()) return M3uText(room.room.text);
    if (owner.empty() || title.empty()) return owner + title;
    return owner + " - " + title;
}

nlohmann::ordered_json TimeOrNull(int64_t time) {
    return time ? nlohmann::ordered_json(time) : nlohmann::ordered_json(nullptr);
}

std::string Dump(const nlohmann::ordered_json& json) {
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

std::string M3uText(const std::string& text) {
    std::string out = app::WithoutControlCharacters(text);
    std::erase_if(out, [](char c) { return c == '"' || c == ','; });
    return out;
}

std::string HostOrDefault(const std::string& host, const std::string& fallback) {
    bool fits = !host.empty() && host.size() <= kMaxHostBytes &&
                host.find_first_not_of(
                    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                    "0123456789.-:[]") == std::string::npos;
    return fits ? host : fallback;
}

std::string StableLink(const RoomState& room, const std::string& host) {
    std::string query = OptionsQuery(room.room.request.wish);
    if (room.webRid.empty())
        return "http://" + host +
               "/douyin?url=" + app::EncodeQueryValue(platform::GbkToUtf8(room.room.request.link)) +
               (query.empty() ? "" : "&" + query.substr(1));
    return "http://" + host + "/douyin/" + room.webRid + query;
}

std::string PlaylistText(const std::vector<RoomState>& rooms, const std::string& host) {
    std::string out = "#EXTM3U\n";
    for (const RoomState& room : rooms) {
        out += "#EXTINF:-1";
        if (app::IsPlainWebAddress(room.avatar)) out += " tvg-logo=\"" + room.avatar + "\"";
        out += std::string(" group-title=\"") + (room.live.value_or(false) ? "直播中" : "未开播") +
               "\"," + EntryName(room) + "\n" + StableLink(room, host) + "\n";
    }
    return out;
}

std::string RoomJson(const RoomState& room, const std::string& host) {
    const app::StreamWish& wish = room.room.request.wish;
    nlohmann::ordered_json out = {
        {"link", room.room.text},
        {"stableLink", StableLink(room, host)},
        {"quality", platform::GbkToUtf8(wish.quality)},
        {"codec", wish.codec},
        {"format", wish.flv ? "flv" : "hls"},
        {"live", room.live ? nlohmann::ordered_json(*room.live) : nullptr},
        {"since", TimeOrNull(room.since)},
        {"title", room.title},
        {"owner", room.owner},
        {"avatar", room.avatar},
        {"webRid", room.webRid},
        {"roomId", room.roomId},
        {"address", room.address},
        {"message", room.message},
        {"lastCheck", TimeOrNull(room.lastCheck)},
        {"nextCheck", TimeOrNull(room.nextCheck)},
        {"backOff", room.backOff},
        {"lastError", room.lastError}};
    return Dump(out);
}

std::string RoomsJson(const std::vector<RoomState>& rooms, const std::string& host) {
    std::string out = "[";
    for (size_t i = 0; i < rooms.size(); ++i) out += (i ? ",\n" : "\n") + RoomJson(rooms[i], host);
    return out + "\n]\n";
}

std::string EventText(const std::string& name, const RoomState& room, const std::string& host) {
    return "event: " + name + "\ndata: " + RoomJson(room, host) + "\n\n";
}

}  // namespace serve
