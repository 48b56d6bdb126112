// The engine's conversions without a browser: Base64 both ways, numbers as text, script
// values from the protocol and from the page bridge, the host's GBK texts, the network an
// address is on, and the names a page gives its downloads.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/browser/address_space.h"
#include "engine/browser/download_names.h"
#include "engine/capi/host_text.h"
#include "engine/capi/js_values.h"
#include "engine/transport/json_text.h"
#include "platform/base64.h"

using namespace engine;

namespace {

TEST(Base64, EncodesAndDecodesEveryTail) {
    struct Row {
        std::string bytes, text;
    } rows[] = {
        {"", ""},
        {"f", "Zg=="},  // a one-byte tail
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {std::string("\xFB\xEF\xFF", 3), "++//"},  // the alphabet's last two characters
        {std::string("\x00\x10\x83", 3), "ABCD"},
        {std::string("\xF8", 1), "+A=="},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(platform::EncodeBase64(r.bytes), r.text) << r.text;
        EXPECT_EQ(platform::DecodeBase64(r.text), r.bytes) << r.text;
    }
    EXPECT_EQ(platform::DecodeBase64("Zm9v\nYmFy"), "foobar");  // line breaks are skipped
    EXPECT_EQ(platform::DecodeBase64("Zg==Zm8="), "f");         // "=" ends the data
    EXPECT_EQ(platform::DecodeBase64("Z"), "");                 // too few bits for a byte
}

TEST(NumbersAsText, AsJavaScriptWritesThem) {
    struct Row {
        double value;
        const char* text;
    } rows[] = {
        {0, "0"},
        {-0.0, "0"},
        {-5, "-5"},
        {12.7, "12.7"},
        {-3.25, "-3.25"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1e20, "100000000000000000000"},
        {2147483648.0, "2147483648"},
        {1e-7, "1e-7"},
        {-1e-7, "-1e-7"},
        {0.000001, "0.000001"},
        {0.0000015, "0.0000015"},
        {1152921504606846976.0, "1152921504606847000"},  // 2**60, shortest digits
        {1e21, "1e+21"},
        {1.5e300, "1.5e+300"},
        {123e-20, "1.23e-18"},
        {5e-324, "5e-324"},
        {1.7976931348623157e308, "1.7976931348623157e+308"},
        {NAN, "NaN"},
        {-INFINITY, "-Infinity"},
    };
    for (const auto& r : rows) EXPECT_EQ(NumberToString(r.value), r.text) << r.text;
}

TEST(ScriptValues, FromTheProtocolAndTheBridge) {
    ValueTable values;
    auto remote = [&](const char* json) {
        return values.Get(values.FromRemote(nlohmann::json::parse(json)));
    };
    EXPECT_EQ(remote(R"({"type":"number","value":-7})").text, "-7");
    EXPECT_EQ(remote(R"({"type":"number","value":-7})").number, -7);
    EXPECT_EQ(remote(R"({"type":"number","value":0.30000000000000004})").text,
              "0.30000000000000004");
    EXPECT_EQ(remote(R"({"type":"number","unserializableValue":"-0"})").text, "0");
    EXPECT_EQ(remote(R"({"type":"number","value":4294967296})").number, 4294967296.0);
    EXPECT_EQ(remote(R"({"type":"object","subtype":"null","value":null})").type, JSTYPE_NULL);
    EXPECT_EQ(remote(R"({"type":"object","subtype":"array","value":[1,"b",[2,3]]})").text,
              "1,b,2,3");
    EXPECT_EQ(remote(R"({"type":"undefined"})").type, JSTYPE_UNDEFINED);
    EXPECT_EQ(remote(R"({"type":"bigint","unserializableValue":"10n"})").text, "10");

    auto bridged = [&](const char* type, const char* text) {
        return values.Get(values.FromBridge(nlohmann::json::array({type, text})));
    };
    EXPECT_EQ(bridged("number", "-2147483649").number, -2147483649.0);
    EXPECT_EQ(bridged("number", "1.5").type, JSTYPE_NUMBER);
    EXPECT_EQ(bridged("bigint", "10").text, "10");
    EXPECT_EQ(bridged("boolean", "false").boolean, false);
    EXPECT_EQ(bridged("string", "中").text, "中");
    EXPECT_EQ(values.Get(values.FromBridge(nlohmann::json::array({"string"}))).type,
              JSTYPE_UNDEFINED);  // a malformed pair
    // Integers travel inside the handle; the rest through the table.
    EXPECT_EQ(values.Get(values.Int(-1)).text, "-1");
    EXPECT_EQ(values.Get(values.Int(INT32_MIN)).number, INT32_MIN);
    EXPECT_EQ(values.ToArgument(values.Number(-0.5)), nlohmann::json({{"value", -0.5}}));
}

TEST(ProtocolText, LoneSurrogatesAreReplacedNotFatal) {
    struct Row {
        const char* json;
        const char* text;
    } rows[] = {
        {R"(["a\ud800b"])",
         "a\xEF\xBF\xBD"
         "b"},                                        // a lone high half
        {R"(["\udc00"])", "\xEF\xBF\xBD"},            // a lone low half
        {R"(["\ud83d\ude00"])", "\xF0\x9F\x98\x80"},  // a proper pair stays
        {R"(["\\ud800"])", "\\ud800"},                // an escaped backslash
        {R"(["\ud800\ud800\ude00"])", "\xEF\xBF\xBD\xF0\x90\x88\x80"},
    };
    for (const auto& r : rows) {
        nlohmann::json parsed = ParseLenient(r.json);
        ASSERT_TRUE(parsed.is_array()) << r.json;
        EXPECT_EQ(parsed[0].get<std::string>(), r.text) << r.json;
    }
    EXPECT_TRUE(ParseLenient("not json \\ud800").is_discarded());
}

TEST(HostText, IsGbkWhateverItLooksLike) {
    EXPECT_EQ(HostText("\xC2\xB9"), "鹿");  // also valid UTF-8 ("¹")
    EXPECT_EQ(HostText("\xD6\xD0\xCE\xC4"
                       "a"),
              "中文a");
    EXPECT_EQ(HostText("a\x80"
                       "b"),
              "a€b");  // one byte above 0x7F
    EXPECT_EQ(HostText("a\xFF"
                       "b"),
              "a\xEF\xBF\xBD"
              "b");  // not GBK: marked, not dropped
    EXPECT_EQ(HostText(nullptr), "");
    EXPECT_EQ(Utf8Text("ok\xE4\xB8"), "ok\xEF\xBF\xBD\xEF\xBF\xBD");
}

// What a public page is refused is every address that is not public: unique-local IPv6
// (fc00::/7, fd00::/8 the part in use) and link-local count as the local network, by address,
// in a URL and behind a resolver rule.
TEST(AddressSpaces, IPv6NetworksAsChromiumSeesThem) {
    AddressSpaces spaces;
    spaces.Configure({"--host-resolver-rules=MAP ula.test [fd00::5]"});
    struct Row {
        const char* ip;
        AddressSpace space;
    } rows[] = {
        {"fd00::1", AddressSpace::kLocal},         {"fdff:ffff::1", AddressSpace::kLocal},
        {"fc00::1", AddressSpace::kLocal},         {"fe80::1", AddressSpace::kLocal},
        {"fbff::1", AddressSpace::kPublic},        {"fe00::1", AddressSpace::kPublic},
        {"2001:db8::1", AddressSpace::kPublic},    {"::1", AddressSpace::kLoopback},
        {"::ffff:10.1.2.3", AddressSpace::kLocal},
    };
    for (const auto& r : rows) EXPECT_EQ(spaces.OfAddress(r.ip, 80), r.space) << r.ip;
    EXPECT_EQ(spaces.OfUrl("http://[fd12:3456::1]:8080/x"), AddressSpace::kLocal);
    EXPECT_EQ(spaces.OfUrl("https://ula.test/x"), AddressSpace::kLocal);
}

// What a page names its download becomes a name that shows what the file is and keeps its
// extension.
TEST(DownloadNames, ShowWhatTheFileIsAndKeepTheirExtension) {
    std::string han;  // 100 three-byte characters
    for (int i = 0; i < 100; ++i) han += "文";
    struct Row {
        std::string page, kept;
    } rows[] = {
        {"report.pdf", "report.pdf"},
        {"报告 2024.pdf", "报告 2024.pdf"},
        {"../.bashrc", "bashrc"},
        {"a\\b\\c.txt", "c.txt"},
        // bidirectional controls, each of them: "invoice\u202Efdp.exe" shows as "invoiceexe.pdf"
        {"invoice\u202Efdp.exe", "invoicefdp.exe"},
        {"a\u061Cb\u200Ec\u200Fd\u202Ae\u202Bf\u202Cg\u202Dh\u2066i\u2067j\u2068k\u2069l.txt",
         "abcdefghijkl.txt"},
        {"\u202E\u2067.hidden", "hidden"},  // nothing before the dot once they are gone
        {"tab\tnew\nline\u0085c1\u009F.txt", "tabnewlinec1.txt"},    // C0 and C1 controls
        {"dash\u2010quote\u201C.txt", "dash\u2010quote\u201C.txt"},  // printable neighbours
        // too long: the stem is cut, on a whole character, and the extension stays
        {std::string(296, 'x') + ".pdf", std::string(196, 'x') + ".pdf"},
        {han + han + ".txt", han.substr(0, 195) + ".txt"},
        // an "extension" that is most of the name is cut like the rest
        {"a." + std::string(300, 'b'), "a." + std::string(198, 'b')},
        {std::string(300, 'y'), std::string(200, 'y')},
        {"...", "download"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(SafeDownloadName(r.page), r.kept) << r.page;
        EXPECT_LE(SafeDownloadName(r.page).size(), 200u) << r.page;
    }
}

}  // namespace
