// The window's results for the rooms of today, as recorded, on the web site, and when the
// platform refuses or the addresses have expired.
#include <gtest/gtest.h>

#include <string>

#include "app/main_window.h"
#include "app/room_data.h"
#include "app/text_rules.h"
#include "app/texts.h"
#include "tests/app/window_fixture.h"
#include "tests/support/sample_live_room.h"

using apptest::Expected;
using apptest::Window;
using testsupport::SampleLiveRoom;

namespace {

TEST_F(Window, TodaysRoomsFromTheDataTheirPagesEmbed) {
    Fetch(room->ShareLink(SampleLiveRoom::kTodayToken));
    ASSERT_TRUE(WaitForResult());
    std::string message = std::string(SampleLiveRoom::kTodayOrigin) + app::texts::SuccessSuffix();
    ASSERT_EQ(recorder_.copied.size(), 1u);
    EXPECT_EQ(recorder_.copied[0], message);
    EXPECT_EQ(window_->resultBox().toolTip().split('\n').value(0),
              QString::fromUtf8("有效期至 ") +
                  QString::fromStdString(app::LocalTimeText(SampleLiveRoom::kTodayExpiry)));
    Fetch(room->ShareLink(SampleLiveRoom::kTodayEndedToken));
    ASSERT_TRUE(WaitFor([&] { return Result() == Expected("获取失败，直播已结束。"); }));
    EXPECT_TRUE(window_->resultBox().toolTip().isEmpty());
    Fetch(room->ShareLink(SampleLiveRoom::kVerifyToken));
    ASSERT_TRUE(WaitFor([&] {
        return Result() == Expected("获取失败，平台要求验证，请稍后再试或在浏览器中打开链接。");
    }));
    EXPECT_EQ(recorder_.copied.size(), 1u);
}

// The address shown, the first line of the result box.
std::string ShownAddress(const std::string& result) {
    return result.substr(0, result.find('\n'));
}

TEST_F(Window, AnH265AddressIsShownAndThePlayerGetsTheBestH264Stream) {
    Fetch(room->ShareLink(SampleLiveRoom::kTodayToken));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(ShownAddress(Result()), SampleLiveRoom::kTodayOrigin);
    EXPECT_EQ(window_->workflow().playerAddress(),
              app::texts::PlayerAddressPrefix() + app::EncodeQueryValue(SampleLiveRoom::kTodayUhd));
    EXPECT_EQ(window_->resultBox().toolTip(),
              QString::fromUtf8("有效期至 ") +
                  QString::fromStdString(app::LocalTimeText(SampleLiveRoom::kTodayExpiry)) +
                  QString::fromUtf8("\n画质 origin/ORIGION（原画）"
                                    "\n上面的地址为 H.265（原画），多数浏览器无法播放；"
                                    "浏览器在线观看打开的是 H.264（蓝光）。"));
    window_->playerButton().click();
    ASSERT_EQ(recorder_.opened.size(), 1u);
    EXPECT_EQ(recorder_.opened[0], window_->workflow().playerAddress());
}

// As the platform served rooms in 2026-09: the window shows what --cli gives for the same
// options, and its tooltip names the stream by all its keys and names.
TEST_F(Window, RoomsAsRecordedGiveTheCommandLinesStream) {
    Fetch(room->ShareLink(SampleLiveRoom::kRecordedToken));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(ShownAddress(Result()), SampleLiveRoom::kRecordedOrigin);
    EXPECT_EQ(window_->resultBox().toolTip().split('\n').mid(1).join('\n'),
              QString::fromUtf8("画质 origin/ORIGION/FULL_HD1（原画/蓝光）\n"
                                "上面的地址为 H.265（原画/蓝光），多数浏览器无法播放；"
                                "浏览器在线观看打开的是 H.264（超清/蓝光）。"));
    EXPECT_EQ(
        window_->workflow().playerAddress(),
        app::texts::PlayerAddressPrefix() + app::EncodeQueryValue(SampleLiveRoom::kRecordedHd));
    // The desktop page names the origin nowhere; 原画 is still its name.
    window_->SetStreamWish({app::texts::Gbk("原画")});
    window_->resultBox().clear();
    Fetch(room->WebSiteLink(std::string("/") + SampleLiveRoom::kRecordedWebRid));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(ShownAddress(Result()), SampleLiveRoom::kRecordedDesktopOrigin);
    EXPECT_TRUE(window_->resultBox().toolTip().contains(
        QString::fromUtf8("画质 origin/ORIGION/FULL_HD1（原画/蓝光）")));
    window_->SetStreamWish({"ao"});
    window_->resultBox().clear();
    Fetch(room->ShareLink(SampleLiveRoom::kRecordedToken));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(Result(), Expected("获取失败,请检查地址链接是否正确。"));  // never a video address
}

TEST_F(Window, TheWebSitesRoomLinksAndAStaleShareLink) {
    for (const std::string& link :
         {room->WebSiteLink("/81234567?enter_from_merge=web_live"),
          "http://www.douyin.com:" + std::to_string(room->port()) + "/follow/live/81234567",
          "http://www.douyin.com:" + std::to_string(room->port()) + "/root/live/81234567"}) {
        window_->resultBox().clear();
        Fetch(link);
        ASSERT_TRUE(WaitForResult()) << link;
        EXPECT_EQ(ShownAddress(Result()), SampleLiveRoom::kLiveAgainOrigin) << link;
        EXPECT_FALSE(window_->resultBox().toolTip().contains(QString::fromUtf8("分享的这场直播")));
    }
    EXPECT_EQ(
        window_->workflow().playerAddress(),
        app::texts::PlayerAddressPrefix() + app::EncodeQueryValue(SampleLiveRoom::kLiveAgainHd));
    // The share link's broadcast has ended; its streamer is live again in the web room.
    window_->resultBox().clear();
    Fetch(room->ShareLink(SampleLiveRoom::kStaleToken));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(ShownAddress(Result()), SampleLiveRoom::kLiveAgainOrigin);
    EXPECT_TRUE(
        window_->resultBox().toolTip().endsWith(app::ToQt(app::texts::StreamerLiveAgainNote())));
    EXPECT_TRUE(recorder_.boxes.empty());
    Fetch("https://www.douyin.com/video/7380000000000000001");
    EXPECT_EQ(recorder_.boxes.size(), 1u);
}

TEST_F(Window, RefusalsAndExpiredAddressesSaySo) {
    const std::string refused = Expected("获取失败，平台拒绝了请求或暂时出现故障，请稍后再试。");
    // One after the other: a refusal must not make the next page a failed load.
    for (const char* token : {SampleLiveRoom::kRefused444Token, SampleLiveRoom::kRefused403Token,
                              SampleLiveRoom::kFailed503Token, SampleLiveRoom::kEmptyToken}) {
        window_->resultBox().clear();
        Fetch(room->ShareLink(token));
        ASSERT_TRUE(WaitForResult()) << token;
        EXPECT_EQ(Result(), refused) << token;
        EXPECT_TRUE(window_->resultBox().toolTip().isEmpty());
    }
    window_->resultBox().clear();
    Fetch(room->ShareLink(SampleLiveRoom::kAllExpiredToken));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(Result(), Expected("获取失败，直播地址已过期，请重新获取。"));
    EXPECT_TRUE(recorder_.copied.empty());
    window_->resultBox().clear();
    Fetch(room->ShareLink(SampleLiveRoom::kOriginExpiredToken));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(ShownAddress(Result()),
              "https://pull-hls-l13.sample-cdn.invalid/stage/stream-7380000000000000005_uhd.m3u8?"
              "expire=70dbd880&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9");
}

}  // namespace
