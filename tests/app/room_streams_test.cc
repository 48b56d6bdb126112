// The room's streams told apart (the player's tiers and the address maps naming one stream
// twice, with names that disagree) and the choice of one address by quality, codec, format
// and expiry; without a page.
#include "app/room_streams.h"

#include <gtest/gtest.h>

#include "app/room_data.h"
#include "platform/codepage.h"

using app::ChoiceFailure;
using app::Quality;
using app::StreamWish;

namespace {

constexpr int64_t kNow = 1700000000;
constexpr const char* kValid = "70dbd880";  // 2030
constexpr const char* kPast = "5e0be100";   // 2020

std::string Gbk(const char* utf8) {
    return platform::Utf8ToGbk(utf8);
}

std::string Address(const std::string& line, const std::string& key, const char* kind,
                    const char* expiry = kValid) {
    return "https://pull-" + std::string(kind) + "-" + line + ".cdn/stage/s-1_" + key +
           (std::string(kind) == "hls" ? ".m3u8" : ".flv") + "?expire=" + expiry + "&sign=ab";
}

Quality Tier(const std::string& key, const char* codec, const char* expiry = kValid,
             bool mainHls = true) {
    Quality q;
    q.key = key;
    q.codec = codec;
    q.hls = mainHls ? Address("l13", key, "hls", expiry) : "";
    q.flv = Address("l13", key, "flv", expiry);
    q.backupHls = Address("f5", key, "hls", expiry);
    q.backupFlv = Address("f5", key, "flv", expiry);
    return q;
}

// Shaped like today's rooms: an H.265 origin over H.264 tiers; the maps repeat the tiers'
// main addresses under their own keys and names; the player names hd 高清 (the maps' SD2)
// and names neither origin nor HD1's 超清.
app::StreamSources TodayShaped(const char* originExpiry = kValid, const char* expiry = kValid) {
    app::StreamSources s;
    s.tiers = {Tier("origin", "h265", originExpiry), Tier("uhd", "h264", expiry),
               Tier("hd", "h264", expiry),           Tier("sd", "h264", expiry),
               Tier("ld", "h264", expiry),           Tier("ao", "", expiry, false)};
    for (auto [key, name] :
         {std::pair{"uhd", "蓝光"}, {"hd", "高清"}, {"sd", "标清"}, {"ld", "流畅"}, {"ao", "音频"}})
        s.playerNames.push_back({key, "", "", Gbk(name)});
    for (auto [key, mapKey] :
         {std::pair{"uhd", "FULL_HD1"}, {"hd", "HD1"}, {"sd", "SD2"}, {"ld", "SD1"}}) {
        s.hlsMap[mapKey] = Address("l13", key, "hls", expiry);
        s.flvMap[mapKey] = Address("l13", key, "flv", expiry);
    }
    for (auto [mapKey, name] : {std::pair{"ORIGION", "原画"},
                                {"FULL_HD1", "蓝光"},
                                {"HD1", "超清"},
                                {"SD2", "高清"},
                                {"SD1", "标清"}})
        s.mapNames[mapKey] = Gbk(name);
    s.defaultHls = s.hlsMap["FULL_HD1"];
    s.defaultKey = "FULL_HD1";
    return s;
}

app::RoomData Room(const app::StreamSources& sources) {
    app::RoomData room;
    room.found = true;
    room.status = app::kRoomLive;
    room.qualities = app::MergeStreams(sources);
    return room;
}

TEST(RoomStreams, OneEntryPerStreamWithBothKeysBothNamesAndTheBackupLine) {
    std::vector<Quality> streams = app::MergeStreams(TodayShaped());
    ASSERT_EQ(streams.size(), 6u);
    const char* keys[][2] = {{"origin", "ORIGION"}, {"uhd", "FULL_HD1"}, {"hd", "HD1"},
                             {"sd", "SD2"},         {"ld", "SD1"},       {"ao", ""}};
    for (size_t i = 0; i < streams.size(); ++i) {
        EXPECT_EQ(streams[i].key, keys[i][0]);
        EXPECT_EQ(streams[i].mapKey, keys[i][1]);
    }
    EXPECT_EQ(streams[0].mapName, Gbk("原画"));  // a name the maps give, with no address
    EXPECT_EQ(streams[2].mapName, Gbk("超清"));
    EXPECT_EQ(streams[2].playerName, Gbk("高清"));
    EXPECT_EQ(streams[0].codec, "h265");
    EXPECT_EQ(streams[0].backupHls, Address("f5", "origin", "hls"));
    EXPECT_EQ(streams[5].hls, "");
    EXPECT_EQ(streams[5].backupHls, Address("f5", "ao", "hls"));
}

TEST(RoomStreams, MapEntriesWhoseAddressesNameAnotherStreamStayApart) {
    app::StreamSources s;
    s.tiers = {Tier("hd", "h264")};
    s.hlsMap["HD1"] = "https://h/other_hd.m3u8";
    s.hlsMap["SD1"] = "https://h/s-1_ld.m3u8";
    s.mapNames["HD1"] = Gbk("超清");
    s.hlsMap["FULL_HD1"] = "https://h/s-1_uhd.m3u8";  // a stream only the maps hold
    s.playerNames = {{"uhd", "", "", Gbk("蓝光"), "1080x1920", "h265"}};
    std::vector<Quality> streams = app::MergeStreams(s);
    ASSERT_EQ(streams.size(), 4u);
    EXPECT_EQ(streams[0].key, "FULL_HD1");
    EXPECT_EQ(streams[0].playerName, Gbk("蓝光"));  // the player's name, by the pair
    EXPECT_EQ(streams[0].codec, "h265");
    streams.erase(streams.begin());
    EXPECT_EQ(streams[0].key, "hd");
    EXPECT_EQ(streams[0].mapKey, "");
    EXPECT_EQ(streams[1].key, "HD1");
    EXPECT_EQ(streams[1].mapName, Gbk("超清"));
    EXPECT_EQ(streams[2].key, "SD1");
}

TEST(StreamChoice, KeysOfEitherKindAndNamesWhereTheMapsNameWins) {
    app::RoomData room = Room(TodayShaped());
    auto key = [&](const char* wanted) {
        const Quality* q = app::ChooseQuality(room, Gbk(wanted));
        return q ? q->key : std::string("none");
    };
    EXPECT_EQ(key("原画"), "origin");
    EXPECT_EQ(key("超清"), "hd");
    EXPECT_EQ(key("高清"), "sd");  // the player's hd, but the maps' SD2
    EXPECT_EQ(key("标清"), "ld");  // the player's sd, but the maps' SD1
    EXPECT_EQ(key("流畅"), "ld");  // the player's name alone
    EXPECT_EQ(key("sd2"), "sd");
    EXPECT_EQ(key("FULL_HD1"), "uhd");
    EXPECT_EQ(key("4k"), "none");
    EXPECT_EQ(app::ChooseStream(room, {"4k"}, kNow).failure, ChoiceFailure::kNoSuchQuality);
}

TEST(StreamChoice, AudioOnlyGivesAPlaylistNeverItsFlvUnlessAsked) {
    app::RoomData room = Room(TodayShaped());
    app::StreamChoice audio = app::ChooseStream(room, {"ao"}, kNow);
    EXPECT_EQ(audio.address, Address("f5", "ao", "hls"));  // the backup line's playlist
    EXPECT_EQ(app::ChooseStream(room, {"ao", "", true}, kNow).address, Address("l13", "ao", "flv"));
    room.qualities.back().backupHls.clear();
    EXPECT_EQ(app::ChooseStream(room, {"ao"}, kNow).failure, ChoiceFailure::kNoSuchFormat);
    EXPECT_EQ(app::ChooseStream(room, {}, kNow).quality->key, "origin");
}

TEST(StreamChoice, ExpiredAddressesGiveWayToLiveOnes) {
    app::RoomData room = Room(TodayShaped(kPast));
    EXPECT_EQ(app::ChooseStream(room, {}, kNow).address, Address("l13", "uhd", "hls"));
    EXPECT_EQ(app::ChooseStream(room, {"origin"}, kNow).failure, ChoiceFailure::kExpired);
    EXPECT_EQ(app::ChooseStream(room, {"", "h265"}, kNow).failure, ChoiceFailure::kExpired);
    // The main line expired, the backup line not.
    room.qualities[0].backupHls = Address("f5", "origin", "hls", kValid);
    EXPECT_EQ(app::ChooseStream(room, {}, kNow).address, room.qualities[0].backupHls);
    app::StreamChoice none = app::ChooseStream(Room(TodayShaped(kPast, kPast)), {}, kNow);
    EXPECT_EQ(none.failure, ChoiceFailure::kExpired);
    EXPECT_EQ(none.quality, nullptr);
    EXPECT_TRUE(none.address.empty());
}

TEST(StreamChoice, CodecsAndTheFlvFormat) {
    app::RoomData room = Room(TodayShaped());
    EXPECT_EQ(app::ChooseStream(room, {"", "h264"}, kNow).address, Address("l13", "uhd", "hls"));
    EXPECT_EQ(app::ChooseStream(room, {"", "h265"}, kNow).address, Address("l13", "origin", "hls"));
    EXPECT_EQ(app::ChooseStream(room, {"origin", "h264"}, kNow).failure,
              ChoiceFailure::kNoSuchCodec);
    EXPECT_EQ(app::ChooseStream(room, {"", "", true}, kNow).address,
              Address("l13", "origin", "flv"));
    EXPECT_EQ(app::ChooseStream(room, {"hd", "h264", true}, kNow).address,
              Address("l13", "hd", "flv"));
    for (const char* h265 : {"265", "H265", "hevc", "bytevc1", "h.265"})
        EXPECT_EQ(app::CodecName(h265), "h265") << h265;
    for (const char* h264 : {"264", "AVC", "h264"}) EXPECT_EQ(app::CodecName(h264), "h264") << h264;
    EXPECT_EQ(app::CodecName("av1"), "av1");
}

}  // namespace
