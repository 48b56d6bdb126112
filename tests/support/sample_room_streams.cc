#include "tests/support/sample_room_streams.h"

#include <atomic>
#include <cstdio>
#include <utility>

namespace testsupport::sample_room {
namespace {

std::atomic<int> ownPort{0};

}  // namespace

void SetLoopbackPort(int port) {
    ownPort = port;
}

std::string Hex(long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx", value);
    return text;
}

namespace {

std::string TodayAddress(const std::string& stream, const Tier& t, bool backup, bool hls) {
    std::string name = "stream-" + stream + "_" + (t.key == "origin" ? "or4" : t.key);
    std::string kind = hls ? "hls" : "flv";
    if (backup)
        return "https://pull-" + kind + "-f5.sample-cdn.invalid/stage/" + name +
               (hls ? ".m3u8" : ".flv") + "?wsSecret=5e4f30211203f4e5d6c7b8a99a8b7c6d&wsTime=" +
               Hex(t.backupExpiry ? t.backupExpiry : t.expiry);
    return "https://pull-" + kind + "-l13.sample-cdn.invalid/stage/" + name +
           (hls ? ".m3u8" : ".flv") + "?expire=" + Hex(t.expiry) +
           "&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9";
}

// As recorded: the origin without a tier suffix, the audio on the origin's own path; the
// main line signed with auth_key (the phone page's CDN) or expire and sign (the desktop
// page's), the backup line with k and t.
std::string RecordedAddress(const std::string& stream, const Tier& t, bool backup, bool hls,
                            Shape shape) {
    bool origin = t.key == "origin" || t.key == "ao";
    std::string address = "https://pull-" + std::string(hls ? "hls" : "flv") +
                          (backup ? "-f26" : "-l26") + ".sample-cdn.invalid/third/stream-" +
                          stream + (origin ? "" : "_" + t.key) + (hls ? ".m3u8?" : ".flv?") +
                          (t.key == "ao" ? "only_audio=1&" : "");
    if (backup)
        return address +
               "k=0f1e2d3c4b5a6978&t=" + std::to_string(t.backupExpiry ? t.backupExpiry : t.expiry);
    if (shape == Shape::kRecordedPhone)
        return address + "auth_key=" + std::to_string(t.expiry) + "-0-0-9a8b7c6d5e4f3021";
    return address + "expire=" + std::to_string(t.expiry) +
           "&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9";
}

std::string TierAddress(const std::string& stream, const Tier& t, bool backup, bool hls,
                        Shape shape) {
    if (hls && !(backup ? t.backupHls : t.mainHls)) return "";
    if (shape == Shape::kLoopback)
        return "http://127.0.0.1:" + std::to_string(ownPort.load()) + "/hls/" + t.key +
               (hls ? ".m3u8" : ".flv") + "?expire=" + std::to_string(t.expiry);
    return shape == Shape::kToday ? TodayAddress(stream, t, backup, hls)
                                  : RecordedAddress(stream, t, backup, hls, shape);
}

}  // namespace

std::string StreamData(const std::string& stream, const std::vector<Tier>& tiers, Shape shape) {
    nlohmann::json data = nlohmann::json::object();
    for (const Tier& t : tiers) {
        nlohmann::json params = {{"resolution", t.resolution}, {"vbitrate", 2500000}};
        if (!t.codec.empty()) params["VCodec"] = t.codec;
        data[t.key] = {{"main",
                        {{"hls", TierAddress(stream, t, false, true, shape)},
                         {"flv", TierAddress(stream, t, false, false, shape)},
                         {"cmaf", ""},
                         {"sdk_params", params.dump()}}},
                       {"backup",
                        {{"hls", TierAddress(stream, t, true, true, shape)},
                         {"flv", TierAddress(stream, t, true, false, shape)}}}};
    }
    return nlohmann::json{{"common", {{"session_id", "037-2024"}}}, {"data", data}}.dump();
}

namespace {

// The address maps name the tiers their own way, and so do their names: the player calls
// hd 高清 where the maps call HD1 超清 and SD2 高清; it names neither origin nor HD1's 超清.
// As recorded, FULL_HD1 is the origin stream, the player names three tiers only (hd 蓝光),
// and the desktop page's maps do not name the origin at all.
using Pairs = std::vector<std::pair<const char*, const char*>>;
const Pairs kTodayMapKeys = {{"uhd", "FULL_HD1"}, {"hd", "HD1"}, {"sd", "SD2"}, {"ld", "SD1"}};
const Pairs kRecordedMapKeys = {
    {"origin", "FULL_HD1"}, {"hd", "HD1"}, {"sd", "SD2"}, {"ld", "SD1"}};

nlohmann::json MapNames(Shape shape) {
    nlohmann::json names = {
        {"FULL_HD1", "蓝光"}, {"HD1", "超清"}, {"SD2", "高清"}, {"SD1", "标清"}};
    if (shape != Shape::kRecordedDesktop) names["ORIGION"] = "原画";
    return names;
}

nlohmann::json PlayerOptions(Shape shape) {
    auto quality = [](const char* name, const char* key, int level, const char* resolution) {
        return nlohmann::json{
            {"name", name}, {"sdk_key", key}, {"level", level}, {"resolution", resolution}};
    };
    if (shape != Shape::kToday)
        return {{"default_quality", quality("高清", "sd", 2, "540x960")},
                {"qualities",
                 {quality("标清", "ld", 1, "360x640"), quality("高清", "sd", 2, "540x960"),
                  quality("蓝光", "hd", 3, "720x1280")}}};
    return {{"qualities",
             {quality("蓝光", "uhd", 4, "1080x1920"), quality("高清", "hd", 3, "720x1280"),
              quality("标清", "sd", 2, "540x960"), quality("流畅", "ld", 1, "360x640"),
              quality("音频", "ao", 0, "")}}};
}

}  // namespace

nlohmann::json StreamUrl(const std::string& stream, const std::vector<Tier>& tiers,
                         const nlohmann::json& streamData, bool snakeCase, Shape shape) {
    nlohmann::json hlsMap = nlohmann::json::object(), flvMap = nlohmann::json::object();
    for (const Tier& t : tiers)
        for (const auto& [tier, mapKey] : shape == Shape::kToday ? kTodayMapKeys : kRecordedMapKeys)
            if (t.key == tier) {
                hlsMap[mapKey] = TierAddress(stream, t, false, true, shape);
                flvMap[mapKey] = TierAddress(stream, t, false, false, shape);
            }
    auto key = [&](const char* camel, const char* snake) { return snakeCase ? snake : camel; };
    return {
        {key("hlsPullUrlMap", "hls_pull_url_map"), hlsMap},
        {key("flvPullUrl", "flv_pull_url"), flvMap},
        {key("resolutionName", "resolution_name"), MapNames(shape)},
        {key("defaultResolution", "default_resolution"), "FULL_HD1"},
        {key("hlsPullUrl", "hls_pull_url"), hlsMap.value("FULL_HD1", "")},
        {key("liveCoreSdkData", "live_core_sdk_data"),
         {{key("pullData", "pull_data"),
           {{key("streamData", "stream_data"), streamData}, {"options", PlayerOptions(shape)}}}}}};
}

std::vector<Tier> RecordedTiers(bool phone, long long expiry, long long backupExpiry) {
    std::vector<Tier> tiers = {{"origin", "1080x1920", "bytevc1", expiry},
                               {"hd", "720x1280", "h264", expiry},
                               {"sd", "540x960", "h264", expiry},
                               {"ld", "360x640", "h264", expiry}};
    if (phone) {
        tiers.push_back({"md", "640x360", "h264", expiry});
        tiers.push_back({"ao", "", "", expiry, false, false});
    }
    for (Tier& t : tiers) t.backupExpiry = backupExpiry;
    return tiers;
}

std::vector<Tier> TodayTiers(long long originExpiry, long long expiry) {
    return {{"origin", "1080x1920", "h265", originExpiry},
            {"uhd", "1080x1920", "h264", expiry},
            {"hd", "720x1280", "h264", expiry},
            {"sd", "540x960", "h264", expiry},
            {"ld", "360x640", "h264", expiry},
            {"ao", "", "", expiry, false}};
}

}  // namespace testsupport::sample_room
