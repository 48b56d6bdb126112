#include "app/room_data.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <map>
#include <nlohmann/json.hpp>

#include "app/output_checks.h"
#include "app/room_streams.h"
#include "platform/codepage.h"

extern "C" const char app_room_data_js[];

namespace app {
namespace {

// A text the page gave, without what could break a line or steer a terminal (UTF-8).
std::string Text(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? WithoutControlCharacters(it->get<std::string>())
                                                 : std::string();
}

// An address the page gave, or nothing when it is not one that may be let out.
std::string Address(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return {};
    std::string address = it->get<std::string>();
    return IsPlainWebAddress(address) ? address : std::string();
}

// A Unix time written in decimal or in hex: decimal when it reads as a time of this era.
std::optional<int64_t> TimeValue(const std::string& text) {
    auto read = [&](int base) -> std::optional<int64_t> {
        if (text.empty()) return std::nullopt;
        char* end = nullptr;
        long long number = std::strtoll(text.c_str(), &end, base);
        if (*end != '\0' || number < 1000000000LL || number >= 100000000000LL) return std::nullopt;
        return number;
    };
    if (auto decimal = read(10)) return decimal;
    return read(16);
}

// The value of query parameter `name`, up to the next "&" or "#".
std::optional<std::string> QueryValue(const std::string& address, const std::string& name) {
    size_t query = address.find('?');
    if (query == std::string::npos) return std::nullopt;
    for (size_t at = query; at != std::string::npos; at = address.find('&', at + 1)) {
        if (address.compare(at + 1, name.size() + 1, name + "=") != 0) continue;
        size_t from = at + name.size() + 2;
        return address.substr(from, address.find_first_of("&#", from) - from);
    }
    return std::nullopt;
}

// A time in query parameter `name`, up to its first "-" (auth_key=<time>-<rand>-...).
std::optional<int64_t> TimeParameter(const std::string& address, const std::string& name) {
    std::optional<std::string> value = QueryValue(address, name);
    if (!value) return std::nullopt;
    return TimeValue(value->substr(0, value->find('-')));
}

std::map<std::string, std::string> Map(const nlohmann::json& object, const char* key,
                                       bool addresses) {
    std::map<std::string, std::string> out;
    auto it = object.find(key);
    if (it == object.end() || !it->is_object()) return out;
    for (const auto& [name, value] : it->items()) {
        if (!value.is_string()) continue;
        std::string text =
            addresses ? Address(*it, name.c_str()) : platform::Utf8ToGbk(Text(*it, name.c_str()));
        if (!text.empty()) out[WithoutControlCharacters(name)] = text;
    }
    return out;
}

StreamSources ReadStreamSources(const nlohmann::json& streams) {
    StreamSources sources;
    if (!streams.is_object()) return sources;
    for (const auto& t : streams.value("tiers", nlohmann::json::array())) {
        if (!t.is_object()) continue;
        Quality tier;
        tier.key = Text(t, "key");
        tier.resolution = Text(t, "resolution");
        tier.codec = CodecName(Text(t, "codec"));
        tier.hls = Address(t, "hls");
        tier.flv = Address(t, "flv");
        tier.backupHls = Address(t, "backupHls");
        tier.backupFlv = Address(t, "backupFlv");
        sources.tiers.push_back(tier);
    }
    for (const auto& n : streams.value("playerNames", nlohmann::json::array())) {
        if (!n.is_object()) continue;
        sources.playerNames.push_back({Text(n, "key"), platform::Utf8ToGbk(Text(n, "name")),
                                       Text(n, "resolution"), CodecName(Text(n, "codec"))});
    }
    sources.hlsMap = Map(streams, "hlsMap", true);
    sources.flvMap = Map(streams, "flvMap", true);
    sources.mapNames = Map(streams, "mapNames", false);
    sources.defaultHls = Address(streams, "defaultHls");
    sources.defaultKey = Text(streams, "defaultKey");
    return sources;
}

}  // namespace

const char* RoomDataScript() {
    return app_room_data_js;
}

RoomData ParseRoomData(const std::string& json) {
    RoomData room;
    nlohmann::json data = nlohmann::json::parse(json, nullptr, false);
    if (!data.is_object()) return room;
    room.verification = data.value("verification", false) == true;
    room.httpStatus = data.value("httpStatus", 0);
    room.emptyPage = data.value("emptyPage", false) == true;
    if (data.value("found", false) != true) return room;
    room.found = true;
    room.status = data.value("status", 0);
    room.roomId = Text(data, "roomId");
    room.title = platform::Utf8ToGbk(Text(data, "title"));
    room.owner = platform::Utf8ToGbk(Text(data, "owner"));
    room.webRid = Text(data, "webRid");
    room.avatar = Address(data, "avatar");
    room.qualities = MergeStreams(ReadStreamSources(data.value("streams", nlohmann::json())));
    return room;
}

std::optional<int64_t> AddressExpiry(const std::string& address) {
    for (const char* name : {"expire", "wsTime", "volcTime", "auth_key"})
        if (auto time = TimeParameter(address, name)) return time;
    // The backup line signs with k=<hex>&t=<decimal seconds>; t alone may mean anything.
    if (QueryValue(address, "k")) {
        auto time = QueryValue(address, "t");
        if (time && time->find_first_not_of("0123456789") == std::string::npos)
            return TimeValue(*time);
    }
    return std::nullopt;
}

bool AddressExpired(const std::string& address, int64_t now) {
    std::optional<int64_t> expiry = AddressExpiry(address);
    return expiry && *expiry <= now;
}

std::string LocalTimeText(int64_t unixTime) {
    std::time_t time = static_cast<std::time_t>(unixTime);
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace app
