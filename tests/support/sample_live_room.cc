#include "tests/support/sample_live_room.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <vector>

namespace testsupport {
namespace {

bool LooksLikeAPhone(const HttpRequest& r) {
    std::string agent = r.header("User-Agent");
    return agent.find("iPhone") != std::string::npos || agent.find("Android") != std::string::npos;
}

// Like the real rooms, the stream element exists only in the mobile page, and the mobile
// page builds it only on a device with touch input.
std::string RoomPage(const std::string& videoBox) {
    return "<!doctype html><html><head><meta charset=utf-8><title>直播间</title></head><body>"
           "<div id=\"__APP_ROOT__\"></div><script>"
           "var touch = navigator.maxTouchPoints > 0 && 'ontouchstart' in window;"
           "document.getElementById('__APP_ROOT__').innerHTML = touch"
           " ? '<div><div class=\"reflow-content\"><div class=\"video-box\">" +
           videoBox +
           "</div></div></div>'"
           " : '<p>请在手机上打开</p>';"
           "</script></body></html>";
}

// "&" as the page writes it in an attribute.
std::string Escaped(std::string address) {
    for (size_t at = 0; (at = address.find('&', at)) != std::string::npos; at += 5)
        address.replace(at, 1, "&amp;");
    return address;
}

std::string DesktopPage() {
    return "<!doctype html><html><head><meta charset=utf-8><title>抖音直播</title></head><body>"
           "<div id=\"__APP_ROOT__\"><div "
           "class=\"desktop\"><p>下载抖音，观看直播</p></div></div></body></html>";
}

// Today's reflow page: no stream element; the room is in the rows of streamed chunks,
// "<hex id>:<JSON>", split across pushes (one boundary inside a string) and tied together by
// "$<hex id>" references, some to later rows. Addresses carry "\u0026" for "&".
std::string JsonEscaped(const std::string& text) {
    return nlohmann::json(text).dump();
}

// "&" as the JSON escape \u0026, as the platform writes it in its rows.
std::string Amp(std::string json) {
    for (size_t at; (at = json.find('&')) != std::string::npos;) json.replace(at, 1, "\\u0026");
    return json;
}

// Every address of one stream of the sample rooms: the main line on one CDN, the backup line
// on another, each as an HLS playlist and an FLV stream, signed until `expiry`.
struct Tier {
    std::string key, resolution, codec;
    long long expiry;
    bool mainHls = true;  // the audio-only tier's main line has no playlist
};

std::string Hex(long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx", value);
    return text;
}

std::string TierAddress(const std::string& stream, const Tier& t, bool backup, bool hls) {
    std::string name = "stream-" + stream + "_" + (t.key == "origin" ? "or4" : t.key);
    std::string kind = hls ? "hls" : "flv";
    if (backup)
        return "https://pull-" + kind + "-f5.sample-cdn.invalid/stage/" + name +
               (hls ? ".m3u8" : ".flv") +
               "?wsSecret=5e4f30211203f4e5d6c7b8a99a8b7c6d&wsTime=" + Hex(t.expiry);
    return "https://pull-" + kind + "-l13.sample-cdn.invalid/stage/" + name +
           (hls ? ".m3u8" : ".flv") + "?expire=" + Hex(t.expiry) +
           "&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9";
}

// The player's stream data: one entry per tier, with its main and backup lines.
std::string StreamData(const std::string& stream, const std::vector<Tier>& tiers) {
    nlohmann::json data = nlohmann::json::object();
    for (const Tier& t : tiers) {
        nlohmann::json params = {{"resolution", t.resolution}, {"vbitrate", 2500000}};
        if (!t.codec.empty()) params["VCodec"] = t.codec;
        data[t.key] = {{"main",
                        {{"hls", t.mainHls ? TierAddress(stream, t, false, true) : ""},
                         {"flv", TierAddress(stream, t, false, false)},
                         {"cmaf", ""},
                         {"sdk_params", params.dump()}}},
                       {"backup",
                        {{"hls", TierAddress(stream, t, true, true)},
                         {"flv", TierAddress(stream, t, true, false)}}}};
    }
    return nlohmann::json{{"common", {{"session_id", "037-2024"}}}, {"data", data}}.dump();
}

// The address maps name the tiers their own way, and so do their names: the player calls
// hd 高清 where the maps call HD1 超清 and SD2 高清; it names neither origin nor HD1's 超清.
const char* kMapKeys[][2] = {{"uhd", "FULL_HD1"}, {"hd", "HD1"}, {"sd", "SD2"}, {"ld", "SD1"}};

nlohmann::json StreamUrl(const std::string& stream, const std::vector<Tier>& tiers,
                         const nlohmann::json& streamData, bool snakeCase) {
    nlohmann::json hlsMap = nlohmann::json::object(), flvMap = nlohmann::json::object();
    for (const Tier& t : tiers)
        for (const auto& pair : kMapKeys)
            if (t.key == pair[0]) {
                hlsMap[pair[1]] = TierAddress(stream, t, false, true);
                flvMap[pair[1]] = TierAddress(stream, t, false, false);
            }
    nlohmann::json names = {{"ORIGION", "原画"},
                            {"FULL_HD1", "蓝光"},
                            {"HD1", "超清"},
                            {"SD2", "高清"},
                            {"SD1", "标清"}};
    nlohmann::json qualities = nlohmann::json::array(
        {{{"name", "蓝光"}, {"sdk_key", "uhd"}, {"level", 4}, {"resolution", "1080x1920"}},
         {{"name", "高清"}, {"sdk_key", "hd"}, {"level", 3}, {"resolution", "720x1280"}},
         {{"name", "标清"}, {"sdk_key", "sd"}, {"level", 2}, {"resolution", "540x960"}},
         {{"name", "流畅"}, {"sdk_key", "ld"}, {"level", 1}, {"resolution", "360x640"}},
         {{"name", "音频"}, {"sdk_key", "ao"}, {"level", 0}, {"resolution", ""}}});
    auto key = [&](const char* camel, const char* snake) { return snakeCase ? snake : camel; };
    return {{key("hlsPullUrlMap", "hls_pull_url_map"), hlsMap},
            {key("flvPullUrl", "flv_pull_url"), flvMap},
            {key("resolutionName", "resolution_name"), names},
            {key("defaultResolution", "default_resolution"), "FULL_HD1"},
            {key("hlsPullUrl", "hls_pull_url"), hlsMap.value("FULL_HD1", "")},
            {key("liveCoreSdkData", "live_core_sdk_data"),
             {{key("pullData", "pull_data"),
               {{key("streamData", "stream_data"), streamData},
                {"options", {{"qualities", qualities}}}}}}}};
}

// Today's tiers: an H.265 origin over H.264 tiers, and audio only; `originExpiry` and
// `expiry` sign them.
std::vector<Tier> TodayTiers(long long originExpiry, long long expiry) {
    return {{"origin", "1080x1920", "h265", originExpiry},
            {"uhd", "1080x1920", "h264", expiry},
            {"hd", "720x1280", "h264", expiry},
            {"sd", "540x960", "h264", expiry},
            {"ld", "360x640", "h264", expiry},
            {"ao", "", "", expiry, false}};
}

// A phone room page's rows. `owner` is the owner row's JSON.
std::string TodayRows(const std::string& roomId, int status, const std::string& owner,
                      const std::vector<Tier>& tiers) {
    std::string room =
        status == 2 ? R"({"idStr":")" + roomId +
                          R"(","status":2,"title":"今晚\"聊天\"局","owner":"$4",)"
                          R"("unknownKey":{"x":[1,2]},"streamUrl":"$5"})"
                    : R"({"idStr":")" + roomId + R"(","status":4,"title":"已下播","owner":"$4"})";
    std::string stream =
        status == 2 ? Amp(StreamUrl(roomId, tiers, StreamData(roomId, tiers), false).dump()) : "{}";
    return "0:[\"$\",\"html\",null,{\"children\":\"$L2\"}]\n"
           "7:I[\"app/room\",[],\"Room\"]\n"
           "2:[\"$\",\"$L7\",null,{\"data\":{\"room\":\"$3\"},\"path\":\"$$\"}]\n"
           "3:" +
           room +
           "\n"
           "4:" +
           owner +
           "\n"
           "5:" +
           stream + "\n";
}

// Today's reflow page: no stream element; the room is in the rows of streamed chunks,
// "<hex id>:<JSON>", split across pushes (one boundary inside a string) and tied together by
// "$<hex id>" references, some to later rows.
std::string ChunkedPage(const char* array, const std::string& rows, size_t cut) {
    std::string page =
        "<!doctype html><html><head><meta charset=utf-8><title>直播间</title></head><body>"
        "<div id=\"__APP_ROOT__\"><div class=\"reflow-page\"><p>主播的直播间</p></div></div>"
        "<script>(self." +
        std::string(array) + "=self." + array + "||[]).push([0])</script>";
    for (const std::string& chunk : {rows.substr(0, cut), rows.substr(cut)})
        page +=
            "<script>self." + std::string(array) + ".push([1," + JsonEscaped(chunk) + "])</script>";
    return page + "</body></html>";
}

const char* kOwnerLive = R"({"nickname":"主播小七","webRid":"81234567"})";
const char* kOwnerAway = R"({"nickname":"主播小八","webRid":"80000002"})";

std::string TodayPage(const std::string& roomId, int status, const char* owner,
                      const std::vector<Tier>& tiers) {
    std::string rows = TodayRows(roomId, status, owner, tiers);
    return ChunkedPage("__rsc_f", rows, rows.find("主播小") + 3);  // inside a string
}

// The web site's room page (live.douyin.com/<web id>): the desktop page's rows, the room in
// snake_case under the page's state, its stream data a text row that a "$" names.
std::string WebSitePage(const std::string& roomId, int status, const std::string& webRid) {
    std::vector<Tier> tiers = {{"origin", "1080x1920", "h265", SampleLiveRoom::kExpiry},
                               {"hd", "720x1280", "h264", SampleLiveRoom::kExpiry},
                               {"ao", "", "", SampleLiveRoom::kExpiry, false}};
    nlohmann::json room = {{"id_str", roomId},
                           {"status", status},
                           {"title", "又开播了"},
                           {"owner", {{"nickname", "主播"}, {"web_rid", webRid}}}};
    std::string data = StreamData(roomId, tiers);
    if (status == 2) room["stream_url"] = StreamUrl(roomId, tiers, "$c", true);
    nlohmann::json state = {
        "$",
        "$L9",
        nullptr,
        {{"state", {{"roomStore", {{"roomInfo", {{"room", room}, {"web_rid", webRid}}}}}}}}};
    size_t bytes = data.size();  // the text row's length counts UTF-8 bytes
    std::string rows = "9:I[\"app/live\",[],\"Live\"]\nc:T" + Hex(static_cast<long long>(bytes)) +
                       "," + data + "a:" + Amp(state.dump()) + "\n";
    return ChunkedPage("__pace_f", rows, rows.find("sample-cdn") + 4);
}

std::string VerificationPage() {
    return "<!doctype html><html><head><meta charset=utf-8><title>验证码中间页</title></head>"
           "<body><div id=\"captcha_container\"><p>请完成下列验证后继续:</p>"
           "<div class=\"captcha_verify_slide\">拖动滑块完成拼图</div></div></body></html>";
}

std::string HostOf(const HttpRequest& r) {
    std::string host = r.header("Host");
    return host.substr(0, host.find(':'));
}

// live.douyin.com/<web id> and www.douyin.com/{follow,root}/live/<web id>: the streamer who
// is live again, and one who is not.
HttpResponse WebSiteAnswer(const HttpRequest& r, const std::string& host) {
    HttpResponse page;
    std::string path = r.path.substr(0, r.path.find('?'));
    for (const char* prefix : {"/follow/live/", "/root/live/"})
        if (host == "www.douyin.com" && path.rfind(prefix, 0) == 0)
            path = "/" + path.substr(std::strlen(prefix));
    if (host == "www.douyin.com" && path == r.path.substr(0, r.path.find('?'))) path.clear();
    if (path == std::string("/") + SampleLiveRoom::kLiveAgainWebRid)
        page.body = WebSitePage("7380000000000000009", 2, SampleLiveRoom::kLiveAgainWebRid);
    else if (path == "/80000002")
        page.body = WebSitePage("7380000000000000008", 4, "80000002");
    else
        page = {404, "text/html; charset=utf-8", "<p>not found</p>", {}};
    return page;
}

// How the platform turns a client away: statuses with or without a body, an empty page.
bool Refusal(const std::string& path, HttpResponse& page) {
    if (path == "/webcast/reflow/refused444") {
        page = {444, "text/html; charset=utf-8", "", {}};
    } else if (path == "/webcast/reflow/refused403") {
        page = {403,
                "text/html; charset=utf-8",
                "<html><body><h1>403 Forbidden</h1><hr><center>tengine</center></body></html>",
                {}};
    } else if (path == "/webcast/reflow/failed503") {
        page = {503, "text/html; charset=utf-8", "", {}};
    } else if (path == "/webcast/reflow/empty200") {
        page = {200, "text/html; charset=utf-8", "", {}};
    } else {
        return false;
    }
    return true;
}

HttpResponse Answer(const HttpRequest& r) {
    HttpResponse page;
    std::string host = HostOf(r);
    if (host == "live.douyin.com" || host == "www.douyin.com") return WebSiteAnswer(r, host);
    auto redirect = [&](const std::string& room) {
        page.status = 302;
        page.headers.push_back({"Location", "/webcast/reflow/" + room});
        return page;
    };
    static const std::map<std::string, std::string> shares = {
        {SampleLiveRoom::kLiveToken, "live"},
        {SampleLiveRoom::kEndedToken, "ended"},
        {SampleLiveRoom::kBrokenToken, "broken"},
        {SampleLiveRoom::kTodayToken, "7380000000000000001?u_code=x"},
        {SampleLiveRoom::kTodayEndedToken, "7380000000000000002"},
        {SampleLiveRoom::kStaleToken, "7380000000000000003"},
        {SampleLiveRoom::kOriginExpiredToken, "7380000000000000005"},
        {SampleLiveRoom::kAllExpiredToken, "7380000000000000006"},
        {SampleLiveRoom::kVerifyToken, "verify"},
        {SampleLiveRoom::kRefused444Token, "refused444"},
        {SampleLiveRoom::kRefused403Token, "refused403"},
        {SampleLiveRoom::kFailed503Token, "failed503"},
        {SampleLiveRoom::kEmptyToken, "empty200"}};
    for (const auto& [token, room] : shares)
        if (r.path == "/" + token + "/") return redirect(room);
    bool room = r.path.rfind("/webcast/reflow/", 0) == 0;
    const long long past = 1577836800;  // 2020-01-01: long expired
    const long long valid = SampleLiveRoom::kTodayExpiry;
    if (room && Refusal(r.path, page)) return page;
    if (room && !LooksLikeAPhone(r)) {
        page.body = DesktopPage();
    } else if (r.path == "/webcast/reflow/live") {
        page.body =
            RoomPage(std::string("<div class=\"player\"><video autoplay muted playsinline src=\"") +
                     Escaped(SampleLiveRoom::kStreamAddress) + "\"></video></div>");
    } else if (r.path == "/webcast/reflow/ended") {
        page.body =
            RoomPage("<div class=\"player\"><p>直播已结束</p><img src=\"/cover.jpg\"></div>");
    } else if (r.path.rfind("/webcast/reflow/7380000000000000001", 0) == 0) {
        page.body = TodayPage("7380000000000000001", 2, kOwnerLive, TodayTiers(valid, valid));
    } else if (r.path == "/webcast/reflow/7380000000000000002") {
        page.body = TodayPage("7380000000000000002", 4, kOwnerAway, {});
    } else if (r.path == "/webcast/reflow/7380000000000000003") {
        page.body = TodayPage("7380000000000000003", 4, kOwnerLive, {});
    } else if (r.path == "/webcast/reflow/7380000000000000005") {
        page.body = TodayPage("7380000000000000005", 2, kOwnerLive, TodayTiers(past, valid));
    } else if (r.path == "/webcast/reflow/7380000000000000006") {
        page.body = TodayPage("7380000000000000006", 2, kOwnerLive, TodayTiers(past, past));
    } else if (r.path == "/webcast/reflow/verify") {
        page.body = VerificationPage();
    } else if (r.path == "/webcast/reflow/broken") {
        page.body = RoomPage("");
    } else {
        page.status = 404;
        page.body = "<p>not found</p>";
    }
    return page;
}

}  // namespace

SampleLiveRoom::SampleLiveRoom(int port) : server_(Answer, port) {}

std::string SampleLiveRoom::ShareLink(const std::string& token) const {
    return "http://v.douyin.com:" + std::to_string(port()) + "/" + token + "/";
}

std::string SampleLiveRoom::WebSiteLink(const std::string& path) const {
    return "http://live.douyin.com:" + std::to_string(port()) + path;
}

std::string SampleLiveRoom::ChromiumArgs(int port) {
    std::string rules =
        "MAP v.douyin.com 127.0.0.1, MAP live.douyin.com 127.0.0.1, "
        "MAP www.douyin.com 127.0.0.1";
    if (port) rules = "MAP live.douyin.com:443 127.0.0.1:" + std::to_string(port) + ", " + rules;
    return "'--host-resolver-rules=" + rules + "' --ignore-certificate-errors";
}

}  // namespace testsupport
