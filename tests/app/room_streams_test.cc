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
        s.playerNames.push_back({key, Gbk(name)});
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

// Each stream's keys and names as --list gives them, best first.
void ExpectStreams(const std::vector<Quality>& streams,
                   const std::vector<std::pair<const char*, const char*>>& keysAndNames) {
    ASSERT_EQ(streams.size(), keysAndNames.size());
    for (size_t i = 0; i < streams.size(); ++i) {
        EXPECT_EQ(app::KeysText(streams[i]), keysAndNames[i].first) << i;
        EXPECT_EQ(app::NamesText(streams[i]), Gbk(keysAndNames[i].second)) << i;
    }
}

TEST(RoomStreams, OneEntryPerStreamWithBothKeysBothNamesAndTheBackupLine) {
    std::vector<Quality> streams = app::MergeStreams(TodayShaped());
    // ORIGION's name comes from the maps without an address; 高清 is the maps' SD2 and the
    // player's hd.
    ExpectStreams(streams, {{"origin/ORIGION", "原画"},
                            {"uhd/FULL_HD1", "蓝光"},
                            {"hd/HD1", "超清/高清"},
                            {"sd/SD2", "高清/标清"},
                            {"ld/SD1", "标清/流畅"},
                            {"ao", "音频"}});
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
    s.playerNames = {{"uhd", Gbk("蓝光"), "1080x1920", "h265"}};
    std::vector<Quality> streams = app::MergeStreams(s);
    // FULL_HD1 takes the player's name by the pair; HD1's address names another stream.
    ExpectStreams(streams, {{"FULL_HD1", "蓝光"}, {"hd", ""}, {"HD1", "超清"}, {"SD1", ""}});
    EXPECT_EQ(streams[0].codec, "h265");
    // A dot in a directory is no extension: the paths still differ.
    s = {};
    s.tiers = {Tier("hd", "h264")};
    s.tiers[0].hls = "https://h/v1.2/one_hd";
    s.hlsMap["HD1"] = "https://h/v1.2/three_ld";
    ExpectStreams(app::MergeStreams(s), {{"hd", ""}, {"HD1", ""}});
    s.hlsMap["HD1"] = "https://h/v1.2/one_hd?sign=2";  // the same stream signed anew
    ExpectStreams(app::MergeStreams(s), {{"hd/HD1", ""}});
}

// As the platform served rooms in 2026-09: the maps have no ORIGION address and give the
// origin's own addresses under FULL_HD1; the audio tier has FLV only, on the origin's path;
// md has no name; the player names three tiers only; the backup line signs with k and t.
std::string Recorded(const std::string& key, bool hls, bool backup,
                     const char* expiry = "1893456000", const char* backupExpiry = "1893456000") {
    bool onOrigin = key == "origin" || key == "ao";
    std::string address = std::string("https://pull-") + (hls ? "hls" : "flv") +
                          (backup ? "-f26" : "-l26") + ".cdn/third/stream-9" +
                          (onOrigin ? "" : "_" + key) + (hls ? ".m3u8?" : ".flv?") +
                          (key == "ao" ? "only_audio=1&" : "");
    return backup ? address + "k=0f1e2d3c4b5a6978&t=" + backupExpiry
                  : address + "auth_key=" + expiry + "-0-0-ab";
}

app::StreamSources RecordedShaped(bool desktop, const char* expiry = "1893456000",
                                  const char* backupExpiry = "1893456000") {
    app::StreamSources s;
    for (const char* key : {"origin", "hd", "sd", "ld", "md", "ao"}) {
        Quality q;
        q.key = key;
        q.codec = q.key == "origin" ? "h265" : q.key == "ao" ? "" : "h264";
        if (q.key == "md") q.resolution = "640x360";
        bool video = q.key != "ao";
        q.hls = video ? Recorded(key, true, false, expiry) : "";
        q.flv = Recorded(key, false, false, expiry);
        q.backupHls = video ? Recorded(key, true, true, expiry, backupExpiry) : "";
        q.backupFlv = Recorded(key, false, true, expiry, backupExpiry);
        s.tiers.push_back(q);
    }
    for (auto [key, name] : {std::pair{"ld", "标清"}, {"sd", "高清"}, {"hd", "蓝光"}})
        s.playerNames.push_back({key, Gbk(name)});
    for (auto [key, mapKey] :
         {std::pair{"origin", "FULL_HD1"}, {"hd", "HD1"}, {"sd", "SD2"}, {"ld", "SD1"}}) {
        s.hlsMap[mapKey] = Recorded(key, true, false, expiry);
        s.flvMap[mapKey] = Recorded(key, false, false, expiry);
    }
    for (auto [mapKey, name] :
         {std::pair{"FULL_HD1", "蓝光"}, {"HD1", "超清"}, {"SD2", "高清"}, {"SD1", "标清"}})
        s.mapNames[mapKey] = Gbk(name);
    if (!desktop) s.mapNames["ORIGION"] = Gbk("原画");
    s.defaultHls = s.hlsMap["FULL_HD1"];
    s.defaultKey = "FULL_HD1";
    return s;
}

TEST(RoomStreams, AsRecordedOneStreamPerAddressAudioApartAndUnnamedStreamsKept) {
    for (bool desktop : {false, true}) {
        std::vector<Quality> streams = app::MergeStreams(RecordedShaped(desktop));
        // 原画 names the origin also where no source spells it out.
        ExpectStreams(streams, {{"origin/ORIGION/FULL_HD1", "原画/蓝光"},
                                {"hd/HD1", "超清/蓝光"},
                                {"sd/SD2", "高清"},
                                {"ld/SD1", "标清"},
                                {"md", ""},
                                {"ao", ""}});
        EXPECT_EQ(streams[0].hls, Recorded("origin", true, false)) << desktop;
        EXPECT_EQ(streams[4].resolution, "640x360");
        EXPECT_EQ(streams[5].hls, "");
        EXPECT_EQ(streams[5].flv, Recorded("ao", false, false));
        EXPECT_TRUE(app::IsAudioOnly(streams[5]));
    }
}

TEST(StreamChoice, AsRecordedNamesKeysTheAudioStreamAndTheBackupLinesExpiry) {
    for (bool desktop : {false, true}) {
        app::RoomData room = Room(RecordedShaped(desktop));
        auto chosen = [&](const char* quality, bool flv = false) {
            return app::ChooseStream(room, {Gbk(quality), "", flv}, kNow);
        };
        for (const char* origin : {"原画", "蓝光", "ORIGION", "full_hd1", "origin", ""})
            EXPECT_EQ(chosen(origin).address, Recorded("origin", true, false)) << origin;
        EXPECT_EQ(chosen("超清").address, Recorded("hd", true, false));
        EXPECT_EQ(chosen("高清").address, Recorded("sd", true, false));
        EXPECT_EQ(chosen("md").address, Recorded("md", true, false));
        // Audio: never a video address; its FLV when asked for.
        EXPECT_EQ(chosen("ao").failure, ChoiceFailure::kNoSuchFormat);
        EXPECT_EQ(chosen("ao", true).address, Recorded("ao", false, false));
    }
    const char* past = "1577836800";
    app::RoomData mainGone = Room(RecordedShaped(false, past));
    EXPECT_EQ(app::ChooseStream(mainGone, {}, kNow).address, Recorded("origin", true, true));
    app::RoomData allGone = Room(RecordedShaped(false, past, past));
    EXPECT_EQ(app::ChooseStream(allGone, {}, kNow).failure, ChoiceFailure::kExpired);
    EXPECT_EQ(app::ChooseStream(allGone, {"ao", "", true}, kNow).failure, ChoiceFailure::kExpired);
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
