// The room-data reader on pages shaped like the platform's (streamed chunks in camelCase and
// snake_case, state objects, plain JSON, verification pages, broken data), run in the real
// engine; and the choice of a quality and the expiry of an address, without a page.
#include "app/room_data.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "hostctl/engine_library.h"
#include "hostctl/page_query.h"
#include "platform/codepage.h"
#include "tests/support/host_loop.h"
#include "tests/support/http_server.h"

using app::ParseRoomData;
using app::RoomData;

namespace {

std::string Push(const char* name, const std::string& text) {
    return "<script>self." + std::string(name) + ".push([1," + nlohmann::json(text).dump() +
           "])</script>";
}

std::string ChunkPage(const char* name, const std::vector<std::string>& chunks,
                      const std::string& after = "") {
    std::string page = "<!doctype html><meta charset=utf-8><body><p>room</p><script>(self." +
                       std::string(name) + "=self." + name + "||[]).push([0])</script>";
    for (const std::string& chunk : chunks) page += Push(name, chunk);
    return page + after + "</body>";
}

class RoomDataReader : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        server_ = new testsupport::HttpServer([](const testsupport::HttpRequest& r) {
            testsupport::HttpResponse response;
            response.body = pages_[r.path];
            if (r.path == "/json") response.contentType = "application/json";
            return response;
        });
    }
    void SetUp() override {
        ASSERT_TRUE(hostctl::EngineLibrary::Load());
        view_ =
            hostctl::Engine().wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 400, 600);
        ASSERT_NE(view_, nullptr);
    }
    void TearDown() override { hostctl::Engine().wkeDestroyWebWindow(view_); }

    RoomData Read(const std::string& path, const std::string& body) {
        pages_[path] = body;
        hostctl::Engine().wkeLoadURL(view_, server_->Url(path).c_str());
        testsupport::PumpHostLoop([&] { return hostctl::Engine().wkeIsLoadComplete(view_); });
        hostctl::PageQuery query;
        return ParseRoomData(query.Evaluate(view_, app::RoomDataScript()));
    }

    static inline testsupport::HttpServer* server_ = nullptr;
    static inline std::map<std::string, std::string> pages_;
    wkeWebView view_ = nullptr;
};

// Rows as the platform streams them: references to later rows, an escaped quote, a "$"
// escaped as "$$", an unknown row kind, a text row of 15 UTF-8 bytes with a line break and no end
// of its own,
// "\u0026" in addresses.
const std::string kRows =
    "0:[\"$\",\"html\",null,{\"children\":\"$L2\"}]\n"
    "7:I[\"app/room\",[],\"Room\"]\n"
    "9:Tf,line\nbreak 中!4:{\"nickname\":\"$$主播\"}\n"
    "2:[\"$\",\"$L7\",null,{\"data\":{\"room\":\"$3\"},\"note\":\"$9\"}]\n"
    "3:{\"idStr\":\"42\",\"status\":2,\"title\":\"say \\\"hi\\\"\",\"owner\":\"$4\","
    "\"extra\":{\"new\":[true]},\"streamUrl\":\"$5\"}\n"
    "5:{\"hlsPullUrlMap\":{\"HD1\":\"https://h/hd.m3u8?a=1\\u0026expire=1893456000\","
    "\"SD2\":\"https://h/ld.m3u8\"},\"flvPullUrl\":{\"HD1\":\"https://h/hd.flv\"}}\n";

TEST_F(RoomDataReader, StreamedChunksWithReferencesSplitAnywhere) {
    size_t inString = kRows.find("say") + 2;
    RoomData room =
        Read("/rsc", ChunkPage("__rsc_f", {kRows.substr(0, inString), kRows.substr(inString)}));
    ASSERT_TRUE(room.found);
    EXPECT_EQ(room.status, 2);
    EXPECT_EQ(room.roomId, "42");
    EXPECT_EQ(room.title, "say \"hi\"");
    EXPECT_EQ(room.owner, platform::Utf8ToGbk("$主播"));  // "$$" escapes a "$"
    ASSERT_EQ(room.qualities.size(), 2u);
    EXPECT_EQ(room.qualities[0].key, "HD1");
    EXPECT_EQ(room.qualities[0].hls, "https://h/hd.m3u8?a=1&expire=1893456000");
    EXPECT_EQ(room.qualities[0].flv, "https://h/hd.flv");
    EXPECT_EQ(app::ChooseQuality(room)->hls, room.qualities[0].hls);
}

TEST_F(RoomDataReader, TheDesktopPagesSnakeCaseStateAndThePlayersStreamData) {
    nlohmann::json streamData = {
        {"data",
         {{"origin",
           {{"main",
             {{"hls", "https://h/or4.m3u8"},
              {"flv", "https://h/or4.flv"},
              {"sdk_params", R"({"resolution":"1080x1920","VCodec":"h265"})"}}}}},
          {"ao", {{"main", {{"hls", "https://h/ao.m3u8"}, {"sdk_params", "{}"}}}}}}}};
    nlohmann::json state = {{"state",
                             {{"roomStore",
                               {{"roomInfo",
                                 {{"room",
                                   {{"id_str", "77"},
                                    {"status", 2},
                                    {"owner", {{"nickname", "n"}, {"web_rid", "123"}}},
                                    {"stream_url",
                                     {{"hls_pull_url", "https://h/default.m3u8"},
                                      {"default_resolution", "HD1"},
                                      {"live_core_sdk_data",
                                       {{"pull_data",
                                         {{"stream_data", streamData.dump()},
                                          {"options",
                                           {{"qualities",
                                             {{{"name", "原画"},
                                               {"sdk_key", "origin"},
                                               {"level", 5}}}}}}}}}}}}}}}}}}}}};
    RoomData room = Read("/pace", ChunkPage("__pace_f", {"a:" + state.dump() + "\n"}));
    ASSERT_TRUE(room.found);
    EXPECT_EQ(room.roomId, "77");
    ASSERT_EQ(room.qualities.size(), 3u);  // origin, the default address, audio only last
    EXPECT_EQ(room.qualities[0].key, "origin");
    EXPECT_EQ(app::NamesText(room.qualities[0]), platform::Utf8ToGbk("原画"));
    EXPECT_EQ(room.qualities[0].codec, "h265");
    EXPECT_EQ(room.qualities[0].resolution, "1080x1920");
    EXPECT_EQ(room.qualities[1].hls, "https://h/default.m3u8");
    EXPECT_EQ(room.qualities[2].key, "ao");
    EXPECT_EQ(app::ChooseQuality(room)->key, "origin");
    EXPECT_EQ(app::ChooseQuality(room, "ao")->hls, "https://h/ao.m3u8");
}

// The web site's desktop page: its stream data a text row that a "$" names, with backup
// lines; the address maps with their own names; the player's names with codecs.
TEST_F(RoomDataReader, TheDesktopPagesTextRowStreamDataBackupLinesAndBothNames) {
    nlohmann::json data = {
        {"data",
         {{"origin",
           {{"main",
             {{"hls", "https://h/s_or4.m3u8"},
              {"flv", "https://h/s_or4.flv"},
              {"sdk_params", R"({"resolution":"1080x1920","VCodec":"bytevc1"})"}}},
            {"backup", {{"hls", "https://b/s_or4.m3u8"}, {"flv", "https://b/s_or4.flv"}}}}},
          {"hd", {{"main", {{"hls", "https://h/s_hd.m3u8"}, {"sdk_params", "{}"}}}}}}}};
    std::string text = data.dump();
    nlohmann::json qualities = {{{"name", "高清"}, {"sdk_key", "hd"}, {"v_codec", "264"}}};
    nlohmann::json pull = {{"stream_data", "$c"}, {"options", {{"qualities", qualities}}}};
    nlohmann::json stream = {{"hls_pull_url_map", {{"HD1", "https://h/s_hd.m3u8?k=1"}}},
                             {"resolution_name", {{"ORIGION", "原画"}, {"HD1", "超清"}}},
                             {"live_core_sdk_data", {{"pull_data", pull}}}};
    nlohmann::json room = {{"status", 2},
                           {"owner", {{"nickname", "n"}, {"web_rid", "81234567"}}},
                           {"stream_url", stream}};
    nlohmann::json state = {{"state", {{"roomStore", {{"roomInfo", {{"room", room}}}}}}}};
    char length[16];
    std::snprintf(length, sizeof length, "%zx", text.size());
    std::string rows = "c:T" + std::string(length) + "," + text + "a:" + state.dump() + "\n";
    RoomData read = Read("/desktop", ChunkPage("__pace_f", {rows}));
    ASSERT_TRUE(read.found);
    EXPECT_EQ(read.webRid, "81234567");
    ASSERT_EQ(read.qualities.size(), 2u);
    const app::Quality& origin = read.qualities[0];
    EXPECT_EQ(app::KeysText(origin), "origin/ORIGION");
    EXPECT_EQ(app::NamesText(origin), platform::Utf8ToGbk("原画"));
    EXPECT_EQ(origin.codec, "h265");
    EXPECT_EQ(origin.backupHls, "https://b/s_or4.m3u8");
    EXPECT_EQ(origin.backupFlv, "https://b/s_or4.flv");
    const app::Quality& hd = read.qualities[1];
    EXPECT_EQ(app::KeysText(hd), "hd/HD1");
    EXPECT_EQ(app::NamesText(hd), platform::Utf8ToGbk("超清/高清"));
    EXPECT_EQ(hd.codec, "h264");
}

TEST_F(RoomDataReader, StateObjectsPlainJsonAndPushesTheFrameworkTookOver) {
    RoomData fromState =
        Read("/state",
             "<body><script>window.__INIT_PROPS__ = {'/webcast/reflow/:id': {room: {"
             "id_str: '5', status: 4, title: 'over'}}};</script></body>");
    EXPECT_TRUE(fromState.found);
    EXPECT_EQ(fromState.status, app::kRoomEnded);
    EXPECT_EQ(app::ChooseQuality(fromState), nullptr);

    // Read from the script's own text, never run: a JSON text handed to JSON.parse, too.
    RoomData parsedState =
        Read("/parsed-state",
             R"(<body><script>window.__INITIAL_STATE__=JSON.parse("{\"room\":{\"status\":2,)"
             R"(\"stream_url\":{\"hls_pull_url_map\":{\"SD1\":\"https://h/p.m3u8\"}}}}");)"
             R"(</script></body>)");
    ASSERT_TRUE(parsedState.found);
    EXPECT_EQ(app::ChooseQuality(parsedState)->hls, "https://h/p.m3u8");

    RoomData plain =
        Read("/json", R"({"data":{"room":{"idStr":"8","status":2,)"
                      R"("streamUrl":{"hlsPullUrlMap":{"SD1":"https://h/sd.m3u8"}}}}})");
    ASSERT_TRUE(plain.found);
    EXPECT_EQ(app::ChooseQuality(plain)->hls, "https://h/sd.m3u8");

    // The array was replaced after the pushes: they are read back from the scripts.
    std::string rows =
        "1:{\"room\":{\"status\":2,\"streamUrl\":{\"hlsPullUrlMap\":{\"HD1\":"
        "\"https://h/x.m3u8?q=])\"}}}}\n";
    RoomData taken = Read("/taken", ChunkPage("__rsc_f", {rows},
                                              "<script>self.__rsc_f = {push: function () {}};"
                                              "</script>"));
    ASSERT_TRUE(taken.found);
    EXPECT_EQ(taken.qualities.at(0).hls, "https://h/x.m3u8?q=])");
}

TEST_F(RoomDataReader, BrokenDataGivesNoAddressAndNoCrash) {
    std::vector<std::pair<std::string, std::string>> broken = {
        {"/cycle", ChunkPage("__rsc_f", {"1:\"$2\"\n2:\"$1\"\n3:{\"room\":\"$1\"}\n"})},
        {"/missing-row", ChunkPage("__rsc_f", {"1:{\"room\":{\"streamUrl\":\"$ff\"}}\n"})},
        {"/bad-json",
         ChunkPage("__rsc_f", {"1:{\"room\":{\"streamUrl\":{\"hlsPullUrlMap\":{\"HD1\""})},
        {"/not-strings", "<body><script>self.__rsc_f=[[1,{}],[1,5],null,'x'];</script></body>"},
        {"/bad-stream-data",
         ChunkPage("__pace_f", {"1:{\"room\":{\"stream_url\":{\"live_core_sdk_data\":{"
                                "\"pull_data\":{\"stream_data\":\"{not json\"}}}}}\n"})},
    };
    for (const auto& [path, page] : broken) {
        RoomData room = Read(path, page);
        EXPECT_EQ(app::ChooseQuality(room), nullptr) << path;
    }
    EXPECT_FALSE(Read("/plain", "<body><p>nothing here</p></body>").found);
}

TEST_F(RoomDataReader, AVerificationPageIsToldApart) {
    RoomData check = Read("/captcha", "<body><div id=captcha_container>拖动滑块</div></body>");
    EXPECT_FALSE(check.found);
    EXPECT_TRUE(check.verification);
    EXPECT_TRUE(Read("/words", "<body><p>请完成安全验证</p></body>").verification);
    EXPECT_FALSE(Read("/other", "<body><p>下载抖音</p></body>").verification);
}

// ---- without a page --------------------------------------------------------------------

RoomData Room(std::vector<std::pair<std::string, std::string>> keysAndHls) {
    RoomData room;
    room.found = true;
    for (auto& [key, hls] : keysAndHls) {
        app::Quality q;
        q.key = key;
        q.hls = hls;
        room.qualities.push_back(q);
    }
    return room;
}

TEST(QualityChoice, TheBestHlsNeverAudioOnlyUnlessAsked) {
    EXPECT_EQ(app::ChooseQuality(Room({{"SD2", "l"}, {"uhd", "u"}, {"HD1", "h"}}))->hls, "u");
    EXPECT_EQ(app::ChooseQuality(Room({{"md", "m"}, {"origin", "o"}}))->hls, "o");
    EXPECT_EQ(app::ChooseQuality(Room({{"ao", "a"}})), nullptr);
    EXPECT_EQ(app::ChooseQuality(Room({{"ao", "a"}, {"odd", "x"}}))->hls, "x");
    EXPECT_EQ(app::ChooseQuality(Room({{"FULL_HD1", ""}, {"SD1", "s"}}))->hls, "s");
    RoomData named = Room({{"origin", "o"}, {"ao", "a"}});
    named.qualities[0].playerNames = {platform::Utf8ToGbk("原画")};
    EXPECT_EQ(app::ChooseQuality(named, "AO")->hls, "a");
    EXPECT_EQ(app::ChooseQuality(named, platform::Utf8ToGbk("原画"))->hls, "o");
    EXPECT_EQ(app::ChooseQuality(named, "hd"), nullptr);
    EXPECT_FALSE(ParseRoomData("not json").found);
    EXPECT_FALSE(ParseRoomData("{\"found\":true,\"qualities\":5}").qualities.size());
}

TEST(AddressExpiry, DecimalHexAndTheOtherCdnsSigns) {
    using app::AddressExpiry;
    EXPECT_EQ(AddressExpiry("https://h/a.m3u8?x=1&expire=1893456000&sign=f"), 1893456000);
    EXPECT_EQ(AddressExpiry("https://h/a.m3u8?expire=70dbd880"), 0x70dbd880);
    EXPECT_EQ(AddressExpiry("https://h/a.m3u8?wsSecret=ab&wsTime=70dbd880"), 0x70dbd880);
    EXPECT_EQ(AddressExpiry("https://h/a.m3u8?volcSecret=ab&volcTime=1893456000"), 1893456000);
    EXPECT_EQ(AddressExpiry("https://h/a.m3u8?auth_key=1893456000-0-0-abcdef"), 1893456000);
    // The backup line's t, decimal, only beside its k.
    EXPECT_EQ(AddressExpiry("https://h/a.flv?only_audio=1&k=0f1e2d3c4b5a6978&t=1893456000"),
              1893456000);
    EXPECT_EQ(AddressExpiry("https://h/a.m3u8?t=1893456000"), std::nullopt);
    EXPECT_EQ(AddressExpiry("https://h/a.m3u8?k=0f&t=70dbd880"), std::nullopt);
    EXPECT_EQ(AddressExpiry("https://h/a.m3u8?k=0f&t_id=1893456000"), std::nullopt);
    EXPECT_EQ(AddressExpiry("https://h/a.m3u8?expires=1893456000"), std::nullopt);
    EXPECT_EQ(AddressExpiry("https://h/a.m3u8?expire=soon"), std::nullopt);
    EXPECT_EQ(AddressExpiry("https://h/expire=1893456000.m3u8"), std::nullopt);
}

}  // namespace
