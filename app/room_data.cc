#include "app/room_data.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <nlohmann/json.hpp>

#include "app/output_checks.h"
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

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Best first; a key not named here comes after them, audio only never by itself.
int Rank(const std::string& key) {
    static const std::vector<std::vector<std::string>> order = {
        {"origin"}, {"full_hd1", "uhd"}, {"hd1", "hd"}, {"sd1", "sd"}, {"sd2", "ld"}, {"md"}};
    std::string lower = Lower(key);
    for (size_t rank = 0; rank < order.size(); ++rank)
        if (std::find(order[rank].begin(), order[rank].end(), lower) != order[rank].end())
            return static_cast<int>(rank);
    return lower == "ao" ? 1000 : static_cast<int>(order.size());
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

// The value of query parameter `name`, up to "&", "#" or "-".
std::optional<int64_t> TimeParameter(const std::string& address, const std::string& name) {
    size_t query = address.find('?');
    if (query == std::string::npos) return std::nullopt;
    for (size_t at = query; at != std::string::npos; at = address.find('&', at + 1)) {
        if (address.compare(at + 1, name.size() + 1, name + "=") != 0) continue;
        std::string value = address.substr(at + name.size() + 2);
        return TimeValue(value.substr(0, value.find_first_of("&#-")));
    }
    return std::nullopt;
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
    if (data.value("found", false) != true) return room;
    room.found = true;
    room.status = data.value("status", 0);
    room.roomId = Text(data, "roomId");
    room.title = platform::Utf8ToGbk(Text(data, "title"));
    room.owner = platform::Utf8ToGbk(Text(data, "owner"));
    for (const auto& q : data.value("qualities", nlohmann::json::array())) {
        if (!q.is_object()) continue;
        Quality quality{Text(q, "key"),        platform::Utf8ToGbk(Text(q, "name")),
                        Text(q, "resolution"), Lower(Text(q, "codec")),
                        Address(q, "hls"),     Address(q, "flv")};
        // A quality whose every address was refused is no stream of the room.
        if (!quality.hls.empty() || !quality.flv.empty()) room.qualities.push_back(quality);
    }
    // Best first, audio only last.
    std::stable_sort(room.qualities.begin(), room.qualities.end(),
                     [](const Quality& a, const Quality& b) { return Rank(a.key) < Rank(b.key); });
    return room;
}

const Quality* ChooseQuality(const RoomData& room, const std::string& wanted) {
    const Quality* best = nullptr;
    for (const Quality& q : room.qualities) {
        if (!wanted.empty()) {
            if (Lower(q.key) == Lower(wanted) || (!q.name.empty() && q.name == wanted)) return &q;
            continue;
        }
        if (q.hls.empty() || Rank(q.key) >= 1000) continue;
        if (!best || Rank(q.key) < Rank(best->key)) best = &q;
    }
    return best;
}

std::optional<int64_t> AddressExpiry(const std::string& address) {
    for (const char* name : {"expire", "wsTime", "volcTime", "auth_key"})
        if (auto time = TimeParameter(address, name)) return time;
    return std::nullopt;
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
