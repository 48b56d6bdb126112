#include "tests/support/sample_live_room.h"

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

std::string DesktopPage() {
    return "<!doctype html><html><head><meta charset=utf-8><title>抖音直播</title></head><body>"
           "<div id=\"__APP_ROOT__\"><div "
           "class=\"desktop\"><p>下载抖音，观看直播</p></div></div></body></html>";
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
    bool room = r.path.rfind("/webcast/reflow/", 0) == 0;
    if (room && !LooksLikeAPhone(r)) {
        page.body = DesktopPage();
    } else if (r.path == "/webcast/reflow/live") {
        page.body = RoomPage(
            std::string("<div class=\"player\"><video autoplay muted playsinline src=\"") +
            SampleLiveRoom::kStreamAddress + "?expires=1765100000&amp;sign=ab12\"></video></div>");
    } else if (r.path == "/webcast/reflow/ended") {
        page.body =
            RoomPage("<div class=\"player\"><p>直播已结束</p><img src=\"/cover.jpg\"></div>");
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
