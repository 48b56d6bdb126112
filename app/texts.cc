#include "app/texts.h"

#include <cstdlib>

#include "platform/codepage.h"

namespace app::texts {

std::string Gbk(const char* utf8) {
    return platform::Utf8ToGbk(utf8);
}

#define QIRLEN_TEXT(name, value)               \
    const std::string& name() {                \
        static const std::string text = value; \
        return text;                           \
    }

QIRLEN_TEXT(ShareLinkHost, "v.douyin.com")
QIRLEN_TEXT(LiveRoomHost, "live.douyin.com")
QIRLEN_TEXT(WebSiteHost, "www.douyin.com")
QIRLEN_TEXT(ExampleShareLink, "https://v.douyin.com/iRNBho6/")
QIRLEN_TEXT(InputHint, Gbk("请输入抖音直播间分享链接，如") + ExampleShareLink())
QIRLEN_TEXT(WrongLinkMessage, Gbk("请输入正确的链接，例如：") + ExampleShareLink())
QIRLEN_TEXT(WrongLinkTitle, Gbk("链接错误"))
QIRLEN_TEXT(CaptionLoading, Gbk("获取中"))
QIRLEN_TEXT(CaptionIdle, Gbk("获取m3u8地址"))
QIRLEN_TEXT(StreamElementSelector, "#__APP_ROOT__ > div > div.reflow-content > div.video-box > div")
QIRLEN_TEXT(MissingElementAnswer, "undefined")
QIRLEN_TEXT(LiveEndedMarker, Gbk("直播已结束"))
QIRLEN_TEXT(PlayerAddressPrefix, "http://" + PlayerPageHost() + "/examples/player.html?videourl=")
QIRLEN_TEXT(SuccessSuffix, Gbk("\r\n链接已复制，请用PotPlayer等软件打开链接观看直播。"))
QIRLEN_TEXT(FailureElementMissing, Gbk("获取失败,请检查地址链接是否正确。"))
QIRLEN_TEXT(FailureLiveEnded, Gbk("获取失败，直播已结束。"))
QIRLEN_TEXT(FailureVerification, Gbk("获取失败，平台要求验证，请稍后再试或在浏览器中打开链接。"))
QIRLEN_TEXT(FailurePageNotLoaded, Gbk("获取失败，页面未能打开，请检查网络和链接后重试。"))
QIRLEN_TEXT(FailurePageCrashed, Gbk("获取失败，页面已崩溃，请重试。"))
QIRLEN_TEXT(FailureBrowserStopped, Gbk("获取失败，浏览器已停止运行，再次获取时将重新启动。"))
QIRLEN_TEXT(FailureNoAnswer, Gbk("获取失败，页面没有响应，请稍后再试。"))
QIRLEN_TEXT(FailurePlatformRefused, Gbk("获取失败，平台拒绝了请求或暂时出现故障，请稍后再试。"))
QIRLEN_TEXT(FailureAddressExpired, Gbk("获取失败，直播地址已过期，请重新获取。"))
QIRLEN_TEXT(StreamerLiveAgainNote,
            Gbk("分享的这场直播已结束，主播正在直播中：地址取自主播当前的直播间。"))
QIRLEN_TEXT(ExpiryPrefix, Gbk("有效期至 "))
QIRLEN_TEXT(WindowTitle, "Qirlen V1.0.1        Tolvane")

#undef QIRLEN_TEXT

std::string StreamerRoomAddress(const std::string& webRid) {
    return "https://" + LiveRoomHost() + "/" + webRid;
}

std::string StreamNote(const std::string& keys, const std::string& names) {
    return Gbk("画质 ") + keys + (names.empty() ? "" : Gbk("（") + names + Gbk("）"));
}

std::string PlayerCodecNote(const std::string& shownCodec, const std::string& shownName,
                            const std::string& playerCodec, const std::string& playerName) {
    auto named = [](const std::string& codec, const std::string& name) {
        std::string upper = codec == "h265" ? "H.265" : codec == "h264" ? "H.264" : codec;
        return name.empty() ? upper : upper + Gbk("（") + name + Gbk("）");
    };
    return Gbk("上面的地址为 ") + named(shownCodec, shownName) +
           Gbk("，多数浏览器无法播放；浏览器在线观看打开的是 ") + named(playerCodec, playerName) +
           Gbk("。");
}

std::string PlayerPageHost() {
    const char* chosen = std::getenv("QIRLEN_PLAYER_HOST");
    return chosen && *chosen ? chosen : kDefaultPlayerPageHost;
}

}  // namespace app::texts
