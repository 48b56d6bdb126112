#include "tests/support/sample_live_room.h"

#include <nlohmann/json.hpp>

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

std::string Amp(std::string address) {  // "&" as the JSON escape \u0026
    for (size_t at; (at = address.find('&')) != std::string::npos;)
        address.replace(at, 1, "\\u0026");
    return address;
}

std::string StreamData() {
    auto tier = [](const std::string& hls, const std::string& resolution, const char* codec) {
        nlohmann::json params = {
            {"resolution", resolution}, {"vbitrate", 2500000}, {"VCodec", codec}};
        return nlohmann::json{
            {"main",
             {{"hls", hls},
              {"flv", hls.empty() ? "" : "https://pull-flv.sample-cdn.invalid/x.flv"},
              {"sdk_params", params.dump()}}}};
    };
    nlohmann::json data = {
        {"common", {{"session_id", "037-2024"}}},
        {"data",
         {{"origin", tier(SampleLiveRoom::kTodayOrigin, "1080x1920", "h265")},
          {"hd",
           tier("https://pull-hls-l13.sample-cdn.invalid/stage/stream-7380000000000000001_hd5.m3u8",
                "720x1280", "h264")},
          {"ao", tier(SampleLiveRoom::kTodayAudio, "", "")}}}};
    return data.dump();
}

std::string TodayRows(bool live) {
    std::string room =
        live ? R"({"idStr":"7380000000000000001","status":2,"title":"今晚\"聊天\"局","owner":"$4",)"
               R"("unknownKey":{"x":[1,2]},"streamUrl":"$5"})"
             : R"({"idStr":"7380000000000000002","status":4,"title":"已下播","owner":"$4"})";
    nlohmann::json qualities = nlohmann::json::array(
        {{{"name", "原画"}, {"sdk_key", "origin"}, {"level", 5}, {"resolution", "1080x1920"}},
         {{"name", "高清"}, {"sdk_key", "hd"}, {"level", 3}, {"resolution", "720x1280"}},
         {{"name", "音频"}, {"sdk_key", "ao"}, {"level", 0}, {"resolution", ""}}});
    std::string stream =
        std::string(R"({"hlsPullUrlMap":{"FULL_HD1":")") +
        Amp("https://pull-hls-l13.sample-cdn.invalid/stage/stream-7380000000000000001_uhd.m3u8?"
            "expire=70dbd880&sign=00") +
        R"(","HD1":")" + Amp(SampleLiveRoom::kTodayHd1) +
        R"(","SD1":"https://pull-hls-l13.sample-cdn.invalid/sd.m3u8","SD2":"https://pull-hls-l13.sample-cdn.invalid/ld.m3u8"},)"
        R"("flvPullUrl":{"FULL_HD1":"https://pull-flv.sample-cdn.invalid/uhd.flv"},"defaultResolution":"FULL_HD1",)"
        R"("liveCoreSdkData":{"pullData":{"streamData":)" +
        JsonEscaped(StreamData()) + R"(,"options":{"qualities":)" + qualities.dump() + "}}}}";
    return "0:[\"$\",\"html\",null,{\"children\":\"$L2\"}]\n"
           "7:I[\"app/room\",[],\"Room\"]\n"
           "2:[\"$\",\"$L7\",null,{\"data\":{\"room\":\"$3\"},\"path\":\"$$\"}]\n"
           "3:" +
           room +
           "\n"
           "4:{\"nickname\":\"主播小七\",\"webRid\":\"81234567\"}\n"
           "5:" +
           stream + "\n";
}

std::string TodayPage(bool live) {
    std::string rows = TodayRows(live);
    size_t cut = rows.find("主播小七") + 3;  // inside a string, between two pushes
    std::string page =
        "<!doctype html><html><head><meta charset=utf-8><title>直播间</title></head><body>"
        "<div id=\"__APP_ROOT__\"><div class=\"reflow-page\"><p>主播小七的直播间</p></div></div>"
        "<script>(self.__rsc_f=self.__rsc_f||[]).push([0])</script>";
    for (const std::string& chunk : {rows.substr(0, cut), rows.substr(cut)})
        page += "<script>self.__rsc_f.push([1," + JsonEscaped(chunk) + "])</script>";
    return page + "</body></html>";
}

std::string VerificationPage() {
    return "<!doctype html><html><head><meta charset=utf-8><title>验证码中间页</title></head>"
           "<body><div id=\"captcha_container\"><p>请完成下列验证后继续:</p>"
           "<div class=\"captcha_verify_slide\">拖动滑块完成拼图</div></div></body></html>";
}

HttpResponse Answer(const HttpRequest& r) {
    HttpResponse page;
    auto redirect = [&](const std::string& room) {
        page.status = 302;
        page.headers.push_back({"Location", "/webcast/reflow/" + room});
        return page;
    };
    if (r.path == std::string("/") + SampleLiveRoom::kLiveToken + "/") return redirect("live");
    if (r.path == std::string("/") + SampleLiveRoom::kEndedToken + "/") return redirect("ended");
    if (r.path == std::string("/") + SampleLiveRoom::kBrokenToken + "/") return redirect("broken");
    if (r.path == std::string("/") + SampleLiveRoom::kTodayToken + "/")
        return redirect("7380000000000000001?u_code=x");
    if (r.path == std::string("/") + SampleLiveRoom::kTodayEndedToken + "/")
        return redirect("7380000000000000002");
    if (r.path == std::string("/") + SampleLiveRoom::kVerifyToken + "/") return redirect("verify");
    bool room = r.path.rfind("/webcast/reflow/", 0) == 0;
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
        page.body = TodayPage(true);
    } else if (r.path == "/webcast/reflow/7380000000000000002") {
        page.body = TodayPage(false);
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

std::string SampleLiveRoom::ChromiumArgs() {
    return "'--host-resolver-rules=MAP v.douyin.com 127.0.0.1' --ignore-certificate-errors";
}

}  // namespace testsupport
