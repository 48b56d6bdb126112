// What the service reads and writes as text, without a service: the routes of its requests,
// the rooms file, and the playlist of watched rooms.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "serve/rooms_file.h"
#include "serve/routes.h"
#include "serve/watch_text.h"

namespace {

TEST(Routes, OnlyThePlatformsLinksAndRoomIds) {
    struct Case {
        const char* method;
        const char* path;
        const char* query;
        serve::Route::Kind kind;
        const char* link;
    };
    using K = serve::Route::Kind;
    const Case cases[] = {
        {"GET", "/douyin/81234567", "", K::kStream, "https://live.douyin.com/81234567"},
        {"HEAD", "/douyin/81234567.flv", "", K::kStream, "https://live.douyin.com/81234567"},
        {"GET", "/douyin/81234567.json", "", K::kJson, "https://live.douyin.com/81234567"},
        {"GET", "/douyin", "url=https%3A%2F%2Fv.douyin.com%2Fab12%2F", K::kStream,
         "https://v.douyin.com/ab12/"},
        {"GET", "/douyin", "url=%E7%9C%8B+https://v.douyin.com/ab12/+%E5%A4%8D%E5%88%B6",
         K::kStream, "https://v.douyin.com/ab12/"},
        {"GET", "/douyin", "url=http://127.0.0.1:8090/x", K::kBadRequest, ""},
        {"GET", "/douyin", "url=file:///etc/passwd", K::kBadRequest, ""},
        {"GET", "/douyin", "url=%zz", K::kBadRequest, ""},
        {"GET", "/douyin", "", K::kBadRequest, ""},
        {"GET", "/douyin/8123%2e4567", "", K::kBadRequest, ""},
        {"GET", "/douyin/..%2f..%2fetc", "", K::kNotFound, ""},
        {"GET", "/douyin/81234567/x", "", K::kBadRequest, ""},
        {"GET", "/douyin/1.mp4", "", K::kNotFound, ""},
        {"GET", "/douyin/81234567", "codec=vp9", K::kBadRequest, ""},
        {"GET", "/douyin/81234567", "format=mp4", K::kBadRequest, ""},
        {"POST", "/douyin/81234567", "", K::kBadMethod, ""},
        {"GET", "/healthz", "", K::kHealth, ""},
        {"GET", "/rooms", "", K::kRooms, ""},
        {"HEAD", "/playlist.m3u", "", K::kPlaylist, ""},
        {"GET", "/events", "", K::kEvents, ""},
        {"GET", "/elsewhere", "", K::kNotFound, ""},
    };
    for (const Case& c : cases) {
        serve::HttpRequest request{c.method, c.path, c.query, {}};
        serve::Route route = serve::RouteOf(request);
        EXPECT_EQ(route.kind, c.kind) << c.path << "?" << c.query;
        EXPECT_EQ(route.request.link, c.link) << c.path << "?" << c.query;
    }
    serve::Route flv = serve::RouteOf({"GET", "/douyin/1.flv", "quality=%E5%8E%9F%E7%94%BB", {}});
    EXPECT_TRUE(flv.request.wish.flv);
    EXPECT_EQ(flv.request.wish.quality, "\xd4\xad\xbb\xad");  // 原画 in GBK
}

TEST(RoomsFile, OneLinkPerLineWithTheOptionsAfterIt) {
    struct Case {
        const char* line;
        const char* link;  // empty: the line is left out, for `error`
        const char* quality;
        const char* codec;
        bool flv;
        const char* webRid;
        const char* error;
    };
    const Case cases[] = {
        {"https://live.douyin.com/81234567", "https://live.douyin.com/81234567", "", "", false,
         "81234567", ""},
        {"81234567 quality=原画 codec=h265 format=flv", "https://live.douyin.com/81234567",
         "\xd4\xad\xbb\xad", "h265", true, "81234567", ""},
        {"  www.douyin.com/root/live/5550001/  # the second channel",
         "https://www.douyin.com/root/live/5550001/", "", "", false, "5550001", ""},
        {"看 https://v.douyin.com/ab12/ 复制 quality=hd", "https://v.douyin.com/ab12/", "hd", "",
         false, "", ""},
        {"https://live.douyin.com/1 codec=vp9", "", "", "", false, "",
         "line 1: codec takes h264 or h265"},
        {"https://live.douyin.com/1 speed=2", "", "", "", false, "",
         "line 1: no option speed (quality=, codec=, format=)"},
        {"quality=hd", "", "", "", false, "", "line 1: no link before the options"},
        {"http://127.0.0.1:8090/douyin/1", "", "", "", false, "", "line 1: holds no room link"},
        {"https://live.douyin.com/\xff\xfe", "", "", "", false, "", "line 1: not UTF-8"},
    };
    for (const Case& c : cases) {
        serve::RoomsList list = serve::ParseRooms(c.line);
        if (*c.link == '\0') {
            EXPECT_TRUE(list.rooms.empty()) << c.line;
            EXPECT_EQ(list.errors, std::vector<std::string>{c.error}) << c.line;
            continue;
        }
        ASSERT_EQ(list.rooms.size(), 1u) << c.line;
        const serve::WatchedRoom& room = list.rooms[0];
        EXPECT_EQ(room.request.link, c.link) << c.line;
        EXPECT_EQ(room.request.wish.quality, c.quality) << c.line;
        EXPECT_EQ(room.request.wish.codec, c.codec) << c.line;
        EXPECT_EQ(room.request.wish.flv, c.flv) << c.line;
        EXPECT_EQ(room.webRid, c.webRid) << c.line;
    }
    // Comments and blank lines are no rooms; a room twice with the same options is one.
    serve::RoomsList list = serve::ParseRooms(
        "# rooms\n\n81234567\r\nhttps://live.douyin.com/81234567\n81234567 format=flv\n");
    EXPECT_EQ(list.rooms.size(), 2u);
    EXPECT_EQ(list.errors,
              std::vector<std::string>{"line 4: the same room and options as a line before"});
}

TEST(WatchText, APlaylistOfStableLinksThatNoPageTextBreaks) {
    const std::pair<const char*, const char*> texts[] = {
        {"今晚\"聊天\",局", "今晚聊天局"},
        {"a\x1b[31m\r\n#EXTINF:-1,b", "a[31m#EXTINF:-1b"},
        {"\xc2\x85x\x7f", "x"},  // C1 and DEL
    };
    for (const auto& [text, shown] : texts) EXPECT_EQ(serve::M3uText(text), shown) << text;
    const std::pair<const char*, const char*> hosts[] = {
        {"tv.example:8090", "tv.example:8090"},
        {"[::1]:8090", "[::1]:8090"},
        {"a\" tvg-logo=\"x", "127.0.0.1:8090"},
        {"a/b?c", "127.0.0.1:8090"},
        {"", "127.0.0.1:8090"},
    };
    for (const auto& [host, used] : hosts)
        EXPECT_EQ(serve::HostOrDefault(host, "127.0.0.1:8090"), used) << host;

    std::vector<serve::RoomState> rooms(3);
    rooms[0].room = serve::ParseRooms("81234567").rooms[0];
    rooms[0].webRid = "81234567";
    rooms[0].live = true;
    rooms[0].owner = "主播\"七\"";
    rooms[0].title = "今晚, 聊天";
    rooms[0].avatar = "https://p3.cdn.invalid/a.jpeg?x=1";
    rooms[1].room =
        serve::ParseRooms("https://v.douyin.com/ab12/ quality=原画 format=flv").rooms[0];
    rooms[1].live = false;
    rooms[1].title = "已下播";
    rooms[1].avatar = "javascript:alert(1)\" x=\"";
    rooms[2].room = serve::ParseRooms("看看 v.douyin.com/cd34/, codec=h265").rooms[0];
    EXPECT_EQ(serve::PlaylistText(rooms, "tv.example:8090"),
              "#EXTM3U\n"
              "#EXTINF:-1 tvg-logo=\"https://p3.cdn.invalid/a.jpeg?x=1\" group-title=\"直播中\","
              "主播七 - 今晚 聊天\n"
              "http://tv.example:8090/douyin/81234567\n"
              "#EXTINF:-1 group-title=\"未开播\",已下播\n"
              "http://tv.example:8090/douyin?url=https%3A%2F%2Fv.douyin.com%2Fab12%2F"
              "&quality=%E5%8E%9F%E7%94%BB&format=flv\n"
              "#EXTINF:-1 group-title=\"未开播\",看看 v.douyin.com/cd34/\n"
              "http://tv.example:8090/douyin?url=https%3A%2F%2Fv.douyin.com%2Fcd34%2F"
              "&codec=h265\n");
}

}  // namespace
