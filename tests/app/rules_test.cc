// The pure rules of the live-stream tool: GBK search and cutting, the stream address, the
// share text, the property block, the user-agent presets and the page query's scripts.
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/output_checks.h"
#include "app/text_rules.h"
#include "app/texts.h"
#include "hostctl/page_query.h"
#include "hostctl/property_block.h"
#include "hostctl/user_agents.h"
#include "platform/codepage.h"
#include "platform/sinks.h"

using app::texts::Gbk;

namespace {

std::string Suffix() {
    return app::texts::SuccessSuffix();
}

TEST(Find, MatchesOnlyAtCharacterStarts) {
    // "中" is D6 D0 and "好" is BA C3: "\xD0\xBA" spans two characters and is no match.
    std::string text = Gbk("中好") + "src=";
    EXPECT_EQ(app::Find(text, "\xD0\xBA"), -1);
    EXPECT_EQ(app::Find(text, Gbk("好")), 3);
    EXPECT_EQ(app::Find(text, "src="), 5);
    EXPECT_EQ(app::Find("abcabc", "bc"), 2);
    EXPECT_EQ(app::Find("abc", "ABC"), -1);  // case matters
    EXPECT_EQ(app::Find("abc", ""), -1);
    EXPECT_EQ(app::Find("", "a"), -1);
    EXPECT_EQ(app::Find("abc", "abc"), 1);  // a match that fills the whole text
    EXPECT_EQ(app::Find("xxab", "ab"), 3);  // and one that ends with it
    EXPECT_EQ(app::Find("ab", "abc"), -1);  // longer than the text
    EXPECT_EQ(app::Find(Gbk("中") + "m3u8", "m3u8"), 3);
}

TEST(Part, CutsByBytesWithinTheText) {
    EXPECT_EQ(app::Part("abcdef", 2, 3), "bcd");
    EXPECT_EQ(app::Part("abcdef", 5, 10), "ef");
    EXPECT_EQ(app::Part("abcdef", 0, 3), "");
    EXPECT_EQ(app::Part("abcdef", 7, 1), "");
    EXPECT_EQ(app::Part("abcdef", 2, 0), "");
    EXPECT_EQ(app::Part("abcdef", 2, -4), "");
    EXPECT_EQ(app::Part("abcdef", 6, 1), "f");  // the last byte
    EXPECT_EQ(app::Part("abcdef", 6, 9), "f");
    EXPECT_EQ(app::Part("abcdef", 1, 6), "abcdef");
}

TEST(TextEquals, ComparesUnsignedBytesUpToTheFirstNul) {
    EXPECT_EQ(app::TextEquals("abc", "abc"), 0);
    EXPECT_LT(app::TextEquals("abc", "abd"), 0);
    EXPECT_GT(app::TextEquals("b", "abc"), 0);
    EXPECT_LT(app::TextEquals("ab", "abc"), 0);
    EXPECT_GT(app::TextEquals("\xD6", "a"), 0);  // unsigned: 0xD6 sorts after 'a'
    EXPECT_EQ(app::TextEquals(std::string("ab\0x", 4), "ab"), 0);
    EXPECT_EQ(app::TextEquals("", std::string()), 0);
}

TEST(ExtractStream, TheWholeSignedAddressWithItsReferencesDecoded) {
    auto found = app::ExtractStream(
        "<video src=\"https://x/live/stream-1.m3u8?expire=9&amp;sign=a1&#38;t=&#x41;\"></video>");
    EXPECT_TRUE(found.success);
    EXPECT_EQ(found.streamAddress, "https://x/live/stream-1.m3u8?expire=9&sign=a1&t=A");
    EXPECT_EQ(found.message, found.streamAddress + Suffix());
    EXPECT_EQ(app::ExtractStream("src='a&amp;b.m3u8' x").streamAddress, "a&b.m3u8");
    // An unknown reference stays; an unquoted value runs to the end of its "m3u8".
    EXPECT_EQ(app::ExtractStream("src='a&nbsp;b.m3u8'").streamAddress, "a&nbsp;b.m3u8");
    EXPECT_EQ(app::ExtractStream("src=xhttps://y/a.m3u8?q=1 z").streamAddress, "https://y/a.m3u8");
    // No src= but an m3u8 at position m: the m bytes from position 4, as before.
    EXPECT_EQ(app::ExtractStream("abcdefg.m3u8").streamAddress, "defg.m3u8");
    // "undefined" only as the whole text means a missing element.
    EXPECT_EQ(app::ExtractStream("<video src=\"https://x/undefined/a.m3u8\">").streamAddress,
              "https://x/undefined/a.m3u8");
}

TEST(ExtractStream, FailuresAndPagesWithoutAnAddress) {
    auto missing = app::ExtractStream("undefined");
    EXPECT_EQ(missing.message, Gbk("获取失败,请检查地址链接是否正确。"));
    EXPECT_FALSE(missing.success);
    EXPECT_TRUE(missing.streamless);
    // The live-ended marker wins over any address, and the room data is not asked.
    auto ended = app::ExtractStream(Gbk("<video src=\"a.m3u8\">直播已结束"));
    EXPECT_EQ(ended.message, Gbk("获取失败，直播已结束。"));
    EXPECT_FALSE(ended.streamless);
    // No address (m3u8 before src=, no m3u8, an empty element) is no success: the room data
    // may answer, else the element-missing message.
    for (const char* page : {"m3u8 <video src=\"x\">", "<video src=\"x\">", "", "undefined "}) {
        auto none = app::ExtractStream(page);
        EXPECT_FALSE(none.success) << page;
        EXPECT_TRUE(none.streamless) << page;
        EXPECT_EQ(none.message, Gbk("获取失败,请检查地址链接是否正确。")) << page;
    }
}

TEST(QueryValue, EncodesEverythingButUnreservedBytes) {
    EXPECT_EQ(app::EncodeQueryValue("https://x/a.m3u8?e=1&s=a b~_-"),
              "https%3A%2F%2Fx%2Fa.m3u8%3Fe%3D1%26s%3Da%20b~_-");
    EXPECT_EQ(app::EncodeQueryValue("\xD6\xD0"), "%D6%D0");
}

TEST(OutputChecks, OnlyPlainWebAddressesGoOut) {
    using app::IsPlainWebAddress;
    for (const char* good :
         {"https://pull.test/stage/a_or4.m3u8?expire=1893456000&sign=0f1e",
          "HTTP://h.test:8080/a.m3u8", "http://127.0.0.1/a.m3u8", "http://[::1]:80/a.m3u8",
          "https://h.test", "https://h.test/a%0Ab.m3u8#x", "https://u:p@h.test/a.m3u8"})
        EXPECT_TRUE(IsPlainWebAddress(good)) << good;
    for (const char* bad : {"--log-file=/tmp/pwn.m3u8",
                            "-https://h.test/a.m3u8",
                            "javascript:alert(1)//.m3u8",
                            "file:///etc/passwd?.m3u8",
                            "data:text/plain,x.m3u8",
                            "$1",
                            "//h.test/a.m3u8",
                            "/relative/a.m3u8",
                            "https://",
                            "https:///a.m3u8",
                            "https://:80/a.m3u8",
                            "https://h.test:8x/a.m3u8",
                            "https://h.test/a b.m3u8",
                            "https://h.test/a\nb.m3u8",
                            "https://h.test/a\rb.m3u8",
                            "https://h.test/a\tb.m3u8",
                            "https://h.test/\x1b[2J.m3u8",
                            "https://h.test/a\x7f.m3u8",
                            "https://h.test/\xc2\x9b"
                            "31m.m3u8",
                            "https://h.test/\"a.m3u8",
                            "https://h.test/a>b",
                            "https://h.test/a\\b",
                            "",
                            "https\n://h.test/a.m3u8",
                            "ftp://h.test/a.m3u8"})
        EXPECT_FALSE(IsPlainWebAddress(bad)) << bad;
    EXPECT_FALSE(IsPlainWebAddress(std::string("https://h.test/a\0b.m3u8", 23)));
    EXPECT_FALSE(IsPlainWebAddress(Gbk("https://h.test/中.m3u8")));
}

TEST(OutputChecks, ControlCharactersAreTakenOutOfTexts) {
    using app::WithoutControlCharacters;
    EXPECT_EQ(WithoutControlCharacters("a\tb\nc\r\x1b[2Jd\x07\x7f"), "abc[2Jd");
    EXPECT_EQ(WithoutControlCharacters("x\xc2\x9b"
                                       "31my\xc2\x80"),
              "x31my");
    // The range's last, U+009F, goes too; U+00A0 just past it stays.
    EXPECT_EQ(WithoutControlCharacters("a\xc2\x9f"
                                       "b\xc2\xa0"),
              "ab\xc2\xa0");
    EXPECT_EQ(WithoutControlCharacters("原画 é ¡ ·"), "原画 é ¡ ·");  // U+00A0 and up stay
    EXPECT_EQ(WithoutControlCharacters(std::string("a\0b", 3)), "ab");
    EXPECT_EQ(WithoutControlCharacters("trailing\xc2"), "trailing\xc2");
}

TEST(OutputChecks, ThePlayerIsHandedOnlyWebAddresses) {
    std::vector<std::string> opened;
    platform::ShellOpenSink before = platform::SetShellOpenSink([&](const std::string& target) {
        opened.push_back(target);
        return true;
    });
    app::OpenWithShell("--log-file=/tmp/pwn.m3u8");
    app::OpenWithShell("file:///etc/passwd");
    app::OpenWithShell("http://player.test/examples/player.html?videourl=\n");
    app::OpenWithShell("");  // nothing extracted yet: the shell is asked for nothing
    app::OpenWithShell("http://player.test/examples/player.html?videourl=https%3A%2F%2Fh%2Fa");
    platform::SetShellOpenSink(before);
    EXPECT_EQ(opened,
              (std::vector<std::string>{
                  "", "http://player.test/examples/player.html?videourl=https%3A%2F%2Fh%2Fa"}));
}

TEST(LinkToLoad, TheShareLinkInsideASharedText) {
    auto link = [](const char* utf8) { return app::LinkToLoad(Gbk(utf8)); };
    using Link = std::optional<std::string>;
    EXPECT_EQ(
        link("8.94 复制打开抖音，看看【主播的直播】 https://v.douyin.com/iRNBho6/ Hxg:/ 05/28 "),
        Link("https://v.douyin.com/iRNBho6/"));
    EXPECT_EQ(link("先看http://other.example/ 再看http://v.douyin.com:8080/abc/直播"),
              Link("http://v.douyin.com:8080/abc/"));
    EXPECT_EQ(app::LinkToLoad(app::texts::InputHint()), app::texts::ExampleShareLink());
    // Punctuation that closes the sentence is not part of the link; a ")" only when unbalanced.
    EXPECT_EQ(link("(https://v.douyin.com/x/)"), Link("https://v.douyin.com/x/"));
    EXPECT_EQ(link("https://v.douyin.com/x/, 打开"), Link("https://v.douyin.com/x/"));
    EXPECT_EQ(link("看 https://v.douyin.com/x/?a=1!.;:'*?"), Link("https://v.douyin.com/x/?a=1"));
    EXPECT_EQ(link("https://v.douyin.com/x_(1)/"), Link("https://v.douyin.com/x_(1)/"));
    EXPECT_EQ(link("see https://v.douyin.com/ab(1))."), Link("https://v.douyin.com/ab(1)"));
    // Without a scheme the link gets https://, port included.
    EXPECT_EQ(link("看v.douyin.com/a 或 https://v.douyin.com/b/ 吧"),
              Link("https://v.douyin.com/a"));
    EXPECT_EQ(link("v.douyin.com:8443/x/"), Link("https://v.douyin.com:8443/x/"));
    // Only a link whose host is the share host.
    EXPECT_EQ(link("http://elsewhere/?v.douyin.com"), std::nullopt);
    EXPECT_EQ(link("file:///etc/hostname#v.douyin.com"), std::nullopt);
    EXPECT_EQ(link("https://v.douyin.com.evil.example/x/"), std::nullopt);
    EXPECT_EQ(link("https://notv.douyin.com/x/"), std::nullopt);
    EXPECT_EQ(link("去xv.douyin.com看"), std::nullopt);
    // A share link names a room: the bare host is no link.
    EXPECT_EQ(link("去v.douyin.com看"), std::nullopt);
    EXPECT_EQ(link("https://v.douyin.com/"), std::nullopt);
}

TEST(LinkToLoad, TheWebSitesRoomLinks) {
    auto link = [](const char* utf8) { return app::LinkToLoad(Gbk(utf8)); };
    using Link = std::optional<std::string>;
    EXPECT_EQ(link("https://live.douyin.com/81234567"), Link("https://live.douyin.com/81234567"));
    EXPECT_EQ(link("看 https://live.douyin.com/81234567?enter_from_merge=web_search&x=1 吧"),
              Link("https://live.douyin.com/81234567?enter_from_merge=web_search&x=1"));
    EXPECT_EQ(link("https://www.douyin.com/follow/live/81234567"),
              Link("https://www.douyin.com/follow/live/81234567"));
    EXPECT_EQ(link("https://www.douyin.com/root/live/81234567/?from=tab"),
              Link("https://www.douyin.com/root/live/81234567/?from=tab"));
    EXPECT_EQ(link("live.douyin.com/81234567"), Link("https://live.douyin.com/81234567"));
    // Any other page of those hosts, or another host, is no room link.
    for (const char* other :
         {"https://live.douyin.com/", "https://live.douyin.com/a/b", "https://www.douyin.com/",
          "https://www.douyin.com/video/7380000000000000001", "https://www.douyin.com/81234567",
          "https://www.douyin.com/follow/live/", "https://m.douyin.com/live/81234567",
          "https://live.douyin.com.evil.example/81234567", "https://live.douyin.com/8123%2F4567"})
        EXPECT_EQ(link(other), std::nullopt) << other;
}

TEST(Texts, TheFixedTextsAndTheHint) {
    EXPECT_EQ(app::texts::InputHint(),
              Gbk("请输入抖音直播间分享链接，如https://v.douyin.com/iRNBho6/"));
    EXPECT_EQ(app::texts::WrongLinkMessage(),
              Gbk("请输入正确的链接，例如：https://v.douyin.com/iRNBho6/"));
    EXPECT_EQ(app::texts::WindowTitle(), "Qirlen V1.0.1        Tolvane");
    EXPECT_NE(app::Find(app::texts::InputHint(), app::texts::ShareLinkHost()), -1);
    setenv("QIRLEN_PLAYER_HOST", "player.test", 1);
    EXPECT_EQ(app::texts::PlayerPageHost(), "player.test");
    unsetenv("QIRLEN_PLAYER_HOST");
    EXPECT_EQ(app::texts::PlayerPageHost(), app::texts::kDefaultPlayerPageHost);
}

TEST(PropertyBlock, RoundTripsAndRejectsWhatItCannotRead) {
    hostctl::BrowserProperties p;
    p.reserved1 = 7;
    p.startAddress = "http://x/";
    p.storageDirectory = Gbk("缓存目录");
    p.cookieDirectory = "c";
    p.userAgent = "iPhone X";
    p.allowNewWindow = false;
    auto block = hostctl::WritePropertyBlock(p);
    EXPECT_EQ(block[0], 1);  // version 1, little-endian
    auto back = hostctl::ReadPropertyBlock(block);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->reserved1, 7);
    EXPECT_EQ(back->startAddress, "http://x/");
    EXPECT_EQ(back->storageDirectory, Gbk("缓存目录"));
    EXPECT_EQ(back->userAgent, "iPhone X");
    EXPECT_FALSE(back->allowNewWindow);

    auto newer = block;
    newer[0] = 2;
    EXPECT_FALSE(hostctl::ReadPropertyBlock(newer));
    EXPECT_FALSE(
        hostctl::ReadPropertyBlock(std::vector<uint8_t>(block.begin(), block.begin() + 14)));

    auto fresh = hostctl::ReadPropertyBlock({});
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->startAddress, "");
    EXPECT_NE(app::Find(fresh->storageDirectory, Gbk("缓存目录")), -1);
    EXPECT_NE(app::Find(fresh->cookieDirectory, Gbk("cookie目录")), -1);
}

TEST(UserAgents, EveryPresetNameGivesItsString) {
    const std::string chrome =
        "Mozilla/5.0 (Windows NT 10.0; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
        "Chrome/69.0.3497.100 Safari/537.36";
    const std::pair<const char*, std::string> table[] = {
        {"iPhone X",
         "Mozilla/5.0 (iPhone; CPU iPhone OS 11_0 like Mac OS X) AppleWebKit/604.1.38 (KHTML, "
         "like Gecko) Version/11.0 Mobile/15A372 Safari/604.1"},
        {"iPad Pro",
         "Mozilla/5.0 (iPad; CPU OS 11_0 like Mac OS X) AppleWebKit/604.1.34 (KHTML, like Gecko) "
         "Version/11.0 Mobile/15A5341f Safari/604.1"},
        {"安卓Galaxy S5",
         "Mozilla/5.0 (Linux; Android 5.0; SM-G900P Build/LRX21T) AppleWebKit/537.36 (KHTML, "
         "like Gecko) Chrome/69.0.3497.100 Mobile Safari/537.36"},
        {"Winsows Safari",
         "Mozilla/5.0 (Windows NT 10.0; WOW64) AppleWebKit/534.50 (KHTML, like Gecko) "
         "Version/5.1 Safari/534.50"},
        {"Winsows Chrome", chrome},
        {"默认UA", chrome},
        {"Winsows Firefox",
         "Mozilla/5.0 (Windows NT 10.0; WOW64; rv:6.0) Gecko/20100101 Firefox/6.0"},
        {"Winsows Opera", "Opera/9.80 (Windows NT 10.0; U; zh-cn) Presto/2.9.168 Version/11.50"},
        {"Winsows IE9",
         "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 10.0; Win64; x64; Trident/5.0; .NET CLR "
         "2.0.50727; SLCC2; .NET CLR 3.5.30729; .NET CLR 3.0.30729; Media Center PC 6.0; "
         "InfoPath.3; .NET4.0C; Tablet PC 2.0; .NET4.0E)"},
        {"Winsows IE8",
         "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 10.0; WOW64; Trident/4.0; SLCC2; .NET "
         "CLR 2.0.50727; .NET CLR 3.5.30729; .NET CLR 3.0.30729; Media Center PC 6.0; .NET4.0C; "
         "InfoPath.3)"},
        {"Winsows IE7", "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 10.0; WOW64)"},
    };
    for (const auto& [name, agent] : table)
        EXPECT_EQ(hostctl::ResolveUserAgent(Gbk(name)), agent) << name;
    EXPECT_EQ(hostctl::ResolveUserAgent(""), "");  // the empty text is used as it is
}

TEST(UserAgents, PresetsByExactNameOtherwiseAsGiven) {
    EXPECT_EQ(hostctl::ResolveUserAgent("Winsows Firefox"),
              "Mozilla/5.0 (Windows NT 10.0; WOW64; rv:6.0) Gecko/20100101 Firefox/6.0");
    EXPECT_EQ(hostctl::ResolveUserAgent(Gbk("默认UA")),
              hostctl::ResolveUserAgent("Winsows Chrome"));
    EXPECT_NE(hostctl::ResolveUserAgent(Gbk("安卓Galaxy S5")).find("Android 5.0"),
              std::string::npos);
    EXPECT_EQ(hostctl::ResolveUserAgent("iphone x"), "iphone x");
    EXPECT_EQ(hostctl::ResolveUserAgent(""), "");
}

TEST(PageQuery, Scripts) {
    std::string sel = "#__APP_ROOT__ > div";
    EXPECT_EQ(hostctl::PageQuery::BuildScript(2, sel, 1),
              "return document.querySelectorAll('#__APP_ROOT__ > div')[0].innerHTML");
    EXPECT_EQ(hostctl::PageQuery::BuildScript(2, sel, 0),
              hostctl::PageQuery::BuildScript(2, sel, 1));
    EXPECT_EQ(hostctl::PageQuery::BuildScript(7, "p", 3),
              "return document.querySelectorAll('p')[2].innerHTML");
    EXPECT_EQ(hostctl::PageQuery::BuildScript(1, "a.innerHTML==go", 5),
              "return (function(){var elems = document.querySelectorAll('a'); for(var i = 0; i < "
              "elems.length; "
              "i++){ if(elems[i].innerHTML == 'go'){ return elems[i]; }}})().innerHTML");
    EXPECT_EQ(
        hostctl::PageQuery::BuildScript(1, "a.b.innerhtml==go", 1),
        "return " +
            Gbk("console.log('选择器配置错误,如果选择a元素的innerHTML属性 请 输入a.innerHTML')") +
            ".innerHTML");
    EXPECT_EQ(hostctl::PageQuery::BuildScript(1, "data-x", 1),
              "return document.querySelectorAll('[data-x]')[0].innerHTML");
    EXPECT_EQ(hostctl::PageQuery::BuildScript(1, "name=it's", 2),
              "return document.querySelectorAll('[name=\\\"it\\'s\\\"]')[1].innerHTML");
    EXPECT_EQ(
        hostctl::PageQuery::BuildScript(1, "title='say \"hi\"'", 1),
        "return document.querySelectorAll('[title=\\\"say \\\\\\\"hi\\\\\\\"\\\"]')[0].innerHTML");
    EXPECT_EQ(hostctl::PageQuery::BuildScript(1, "[id=a]", 1),
              "return document.querySelectorAll('[id=a]')[0].innerHTML");
    // A byte that starts no GBK character takes neither a quote nor a backslash with it (the
    // last one starts a character with the backslash).
    EXPECT_EQ(
        hostctl::PageQuery::BuildScript(1, "name=\x81'\x81\"\x81\\", 1),
        "return document.querySelectorAll('[name=\\\"?\\'?\\\\\\\"\x81\\\\\"]')[0].innerHTML");
}

TEST(Convert, Utf8ToGbkAndNothingFromAddresses) {
    EXPECT_EQ(hostctl::ConvertUtf8(std::string("获取失败")), Gbk("获取失败"));
    std::string utf8 = "直播";
    EXPECT_EQ(hostctl::ConvertUtf8(std::vector<uint8_t>(utf8.begin(), utf8.end())), Gbk("直播"));
    EXPECT_EQ(hostctl::ConvertUtf8(std::string("undefined")), "undefined");
    EXPECT_EQ(hostctl::ConvertUtf8(reinterpret_cast<intptr_t>(utf8.c_str())), "");
    // A byte that is not UTF-8 is marked; the rest of the text still converts.
    EXPECT_EQ(hostctl::ConvertUtf8(std::string("直\xFF播")), Gbk("直?播"));
}

}  // namespace
