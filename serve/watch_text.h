#pragma once
// What the service says of the rooms it watches: their state as JSON, as an M3U playlist of
// stable links for IPTV players, and as Server-Sent Events. Every text a page gave is made
// safe for the place it goes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "serve/rooms_file.h"

namespace serve {

struct RoomState {
    WatchedRoom room;
    std::optional<bool> live;  // unknown until a check said
    int64_t since = 0;         // Unix time `live` last changed; 0 before a check said
    // As the last check that read the room gave them (UTF-8); the web id only as digits.
    std::string title, owner, avatar, webRid, roomId;
    std::string address;                   // the stream address while live
    std::string message;                   // the last check's one-line message: why not live, say
    std::string lastError;                 // why the last check failed; empty once one succeeds
    int64_t lastCheck = 0, nextCheck = 0;  // Unix times; 0 for none
    int64_t backOff = 0;  // seconds every page load waits after refusals; 0 when none
};

// A page's text fit for an M3U line: no quotes, commas or control characters.
std::string M3uText(const std::string& text);

// `host` when it is a host and port a Host header may name, else `fallback`.
std::string HostOrDefault(const std::string& host, const std::string& fallback);

// The service's link for the room, http://<host>/douyin/<web id> (by the link while the web
// id is unknown), with the room's options.
std::string StableLink(const RoomState& room, const std::string& host);

// #EXTM3U, then for each room its #EXTINF line (the owner's picture, live or not, "<owner>
// - <title>") and its stable link.
std::string PlaylistText(const std::vector<RoomState>& rooms, const std::string& host);

// One room as a JSON object; every room as a JSON array, one room per line.
std::string RoomJson(const RoomState& room, const std::string& host);
std::string RoomsJson(const std::vector<RoomState>& rooms, const std::string& host);

// One Server-Sent Event: its name ("live", "offline", "title", "failed") and the room's JSON.
std::string EventText(const std::string& name, const RoomState& room, const std::string& host);

}  // namespace serve
