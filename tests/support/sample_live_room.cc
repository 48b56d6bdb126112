#include "tests/support/sample_live_room.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <vector>

#include "tests/support/sample_heavy_pages.h"
#include "tests/support/sample_room_streams.h"

namespace testsupport {
namespace {

using sample_room::Amp;
using sample_room::Hex;
using sample_room::RecordedTiers;
using sample_room::Shape;
using sample_room::StreamData;
using sample_room::StreamUrl;
using sample_room::Tier;
using sample_room::TodayTiers;

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

// A phone room page's rows. `owner` is the owner row's JSON.
std::string TodayRows(const std::string& roomId, int status, const std::string& owner,
                      const std::vector<Tier>& tiers, Shape shape) {
    std::string room =
        status == 2 ? R"({"idStr":")" + roomId +
                          R"(","status":2,"title":"今晚\"聊天\"局","owner":"$4",)"
                          R"("unknownKey":{"x":[1,2]},"streamUrl":"$5"})"
                    : R"({"idStr":")" + roomId + R"(","status":4,"title":"已下播","owner":"$4"})";
    std::string stream =
        status == 2
            ? Amp(StreamUrl(roomId, tiers, StreamData(roomId, tiers, shape), false, shape).dump())
            : "{}";
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
                      const std::vector<Tier>& tiers, Shape shape = Shape::kToday) {
    std::string rows = TodayRows(roomId, status, owner, tiers, shape);
    return ChunkedPage("__rsc_f", rows, rows.find("主播小") + 3);  // inside a string
}

// The web site's room page (live.douyin.com/<web id>): the desktop page's rows, the room in
// snake_case under the page's state, its stream data a text row that a "$" names.
std::string WebSitePage(const std::string& roomId, int status, const std::string& webRid,
                        Shape shape = Shape::kToday, const std::string& title = "又开播了",
                        const std::string& avatar = "") {
    std::vector<Tier> tiers = {{"origin", "1080x1920", "h265", SampleLiveRoom::kExpiry},
                               {"hd", "720x1280", "h264", SampleLiveRoom::kExpiry},
                               {"ao", "", "", SampleLiveRoom::kExpiry, false}};
    if (shape == Shape::kRecordedDesktop)
        tiers = RecordedTiers(false, SampleLiveRoom::kExpiry, SampleLiveRoom::kExpiry);
    nlohmann::json room = {{"id_str", roomId},
                           {"status", status},
                           {"title", title},
                           {"owner", {{"nickname", "主播"}, {"web_rid", webRid}}}};
    if (!avatar.empty()) room["owner"]["avatar_thumb"] = {{"url_list", {avatar}}};
    std::string data = StreamData(roomId, tiers, shape);
    if (status == 2) room["stream_url"] = StreamUrl(roomId, tiers, "$c", true, shape);
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

// A room live while its file is there: its title and room id from the file.
std::optional<std::string> SwitchedRoom(const std::string& path) {
    std::string prefix = std::string("/") + SampleLiveRoom::kSwitchedWebRidPrefix;
    if (path.size() != prefix.size() + 1 || path.rfind(prefix, 0) != 0 ||
        !std::isdigit(static_cast<unsigned char>(path.back())))
        return std::nullopt;
    std::string webRid = path.substr(1);
    const char* dir = std::getenv("QIRLEN_SAMPLE_HLS_DIR");
    std::ifstream file(std::string(dir ? dir : ".") + "/live-" + webRid);
    std::string title, roomId = "7380000000000000" + webRid.substr(5), named;
    if (!file || !std::getline(file, title))
        return WebSitePage(roomId, 4, webRid, Shape::kLoopback, "已下播",
                           SampleLiveRoom::kOwnerAvatar);
    if (std::getline(file, named) && !named.empty()) roomId = named;
    return WebSitePage(roomId, 2, webRid, Shape::kLoopback, title, SampleLiveRoom::kOwnerAvatar);
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
    else if (path == std::string("/") + SampleLiveRoom::kRecordedWebRid)
        page.body = WebSitePage("7380000000000000024", 2, SampleLiveRoom::kRecordedWebRid,
                                Shape::kRecordedDesktop);
    else if (path == std::string("/") + SampleLiveRoom::kLoopbackWebRid)
        page.body = WebSitePage("7380000000000000025", 2, SampleLiveRoom::kLoopbackWebRid,
                                Shape::kLoopback);
    else if (auto switched = SwitchedRoom(path))
        page.body = *switched;
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

// The recorded rooms on the phone: valid, with the main lines expired, with every line expired
// (the expiry of the main and the backup lines).
const long long kPast = 1577836800;  // 2020-01-01: long expired
const std::map<std::string, std::pair<long long, long long>> kRecordedRooms = {
    {"/webcast/reflow/7380000000000000021", {SampleLiveRoom::kExpiry, SampleLiveRoom::kExpiry}},
    {"/webcast/reflow/7380000000000000022", {kPast, SampleLiveRoom::kExpiry}},
    {"/webcast/reflow/7380000000000000023", {kPast, kPast}}};

// The loopback room's stream: files from $QIRLEN_SAMPLE_HLS_DIR, by plain names only.
HttpResponse StreamFile(const std::string& path) {
    std::string name = path.substr(std::strlen("/hls/"));
    name = name.substr(0, name.find('?'));
    const char* dir = std::getenv("QIRLEN_SAMPLE_HLS_DIR");
    if (!dir || name.empty() || name[0] == '.' ||
        name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_.-") != std::string::npos)
        return {404, "text/plain", "no such stream\n", {}};
    std::ifstream file(std::string(dir) + "/" + name, std::ios::binary);
    if (!file) return {404, "text/plain", "no such stream\n", {}};
    std::ostringstream body;
    body << file.rdbuf();
    bool playlist = name.size() > 5 && name.substr(name.size() - 5) == ".m3u8";
    return {200, playlist ? "application/vnd.apple.mpegurl" : "video/mp2t", body.str(), {}};
}

// Each room page asked for, with the time it was asked (for tests of how loads are paced).
void LogLoad(const HttpRequest& r) {
    if (!std::getenv("QIRLEN_SAMPLE_LOG_LOADS")) return;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now().time_since_epoch())
                  .count();
    std::printf("load %lld %s%s\n", static_cast<long long>(ms), HostOf(r).c_str(), r.path.c_str());
    std::fflush(stdout);
}

// Each of the heavy page's files asked for, with its size.
void LogFetch(const HttpRequest& r, size_t bytes) {
    if (!std::getenv("QIRLEN_SAMPLE_LOG_LOADS")) return;
    std::printf("fetch %s %zu\n", r.path.c_str(), bytes);
    std::fflush(stdout);
}

std::string LiveRoomPage() {
    return RoomPage(std::string("<div class=\"player\"><video autoplay muted playsinline src=\"") +
                    Escaped(SampleLiveRoom::kStreamAddress) + "\"></video></div>");
}

HttpResponse Answer(const HttpRequest& r) {
    HttpResponse page;
    std::string host = HostOf(r);
    if (r.path.rfind("/hls/", 0) == 0) return StreamFile(r.path);
    if (auto file = sample_room::StaticFile(r.path)) {
        LogFetch(r, file->body.size());
        return *file;
    }
    if (host == "live.douyin.com" || host == "www.douyin.com" ||
        r.path.rfind("/webcast/reflow/", 0) == 0)
        LogLoad(r);
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
        {SampleLiveRoom::kRecordedToken, "7380000000000000021"},
        {SampleLiveRoom::kRecordedMainExpiredToken, "7380000000000000022"},
        {SampleLiveRoom::kRecordedExpiredToken, "7380000000000000023"},
        {SampleLiveRoom::kVerifyToken, "verify"},
        {SampleLiveRoom::kRefused444Token, "refused444"},
        {SampleLiveRoom::kRefused403Token, "refused403"},
        {SampleLiveRoom::kFailed503Token, "failed503"},
        {SampleLiveRoom::kEmptyToken, "empty200"},
        {SampleLiveRoom::kHeavyToken, "heavy"},
        {SampleLiveRoom::kInterstitialToken, "acwall"}};
    for (const auto& [token, room] : shares)
        if (r.path == "/" + token + "/") return redirect(room);
    bool room = r.path.rfind("/webcast/reflow/", 0) == 0;
    const long long past = kPast;
    const long long valid = SampleLiveRoom::kTodayExpiry;
    if (room && Refusal(r.path, page)) return page;
    if (room && !LooksLikeAPhone(r)) {
        page.body = DesktopPage();
    } else if (r.path == "/webcast/reflow/live") {
        page.body = LiveRoomPage();
    } else if (r.path == "/webcast/reflow/heavy") {
        page.body = sample_room::WithHeavyReferences(LiveRoomPage());
    } else if (r.path == "/webcast/reflow/acwall") {
        page = sample_room::InterstitialOr(r, sample_room::WithHeavyReferences(LiveRoomPage()));
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
    } else if (auto recorded = kRecordedRooms.find(r.path); recorded != kRecordedRooms.end()) {
        auto [main, backup] = recorded->second;
        page.body = TodayPage(r.path.substr(r.path.rfind('/') + 1), 2, kOwnerLive,
                              RecordedTiers(true, main, backup), Shape::kRecordedPhone);
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

SampleLiveRoom::SampleLiveRoom(int port)
    : server_(
          [this](const HttpRequest& r) {
              HttpResponse answer = Answer(r);
              bytesSent_ += answer.body.size();
              return answer;
          },
          port) {
    sample_room::SetLoopbackPort(server_.port());
}

unsigned long long SampleLiveRoom::bytesSent() const {
    return bytesSent_;
}

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
