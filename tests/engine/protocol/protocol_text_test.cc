// Protocol texts as the engine takes them in: long strings are decoded as the library's
// parser decodes short ones, and the strings of a message whose texts the engine keeps only
// the head of are cut while it arrives, in whatever pieces it comes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "engine/capi/api_guard.h"
#include "engine/page/bounds.h"
#include "engine/transport/json_text.h"

using engine::CutLongStrings;
using engine::MessageIntake;
using engine::ParseLenient;
using engine::StringCutter;

namespace {

TEST(ProtocolText, LongStringsReadAsShortOnes) {
    const std::string pad(70000, 'p');  // long enough to be decoded by the engine itself
    for (const std::string body :
         {R"(a\ud800b)", R"(\ud83d\ude00)", R"(\\ud800)", R"(\ud800\ud800\ude00)",
          R"(\n\t\"\/\\\u00e9\b\f\r)", "\xC3\xA9\xE4\xB8\xAD"}) {
        SCOPED_TRACE(body);
        auto text = [&](const std::string& head) {
            return "[\"" + head + body + "\",{\"k\":[\"" + head + body + "\"]}]";
        };
        nlohmann::json short_ = ParseLenient(text("")), long_ = ParseLenient(text(pad));
        ASSERT_TRUE(short_.is_array());
        ASSERT_TRUE(long_.is_array());
        EXPECT_EQ(long_[0].get<std::string>(), pad + short_[0].get<std::string>());
        EXPECT_EQ(long_[1]["k"][0].get<std::string>(), pad + short_[0].get<std::string>());
    }
    for (const std::string& bad : {"[\"" + pad + "\x01\"]", "[\"" + pad + "\\x\"]",
                                   "[\"" + pad + "\\u12\"]", "[\"" + pad, "[\"" + pad + "\"}"})
        EXPECT_TRUE(ParseLenient(bad).is_discarded()) << bad.substr(pad.size() + 2);
}

std::string ByteByByte(const std::string& text, size_t maxBytes) {
    std::string out;
    StringCutter cutter(maxBytes);
    for (char c : text) cutter.Add(std::string_view(&c, 1), out);
    return out;
}

TEST(ProtocolText, LongStringsAreCutAtWholeCharactersInAnyPieces) {
    std::string many = "[", manyCut = "[";
    for (int i = 0; i < 5; ++i) {
        many += (i ? ",\"" : "\"") + std::string(400, 'a' + i) + "\"";
        manyCut += (i ? ",\"" : "\"") + std::string(i < 4 ? 300 : 256, 'a' + i) + "\"";
    }
    struct Row {
        std::string json;
        size_t maxBytes;
        std::string cut;
    } rows[] = {
        {R"({"a":"abcdef","b":[1,"xy"]})", 4, R"({"a":"abcd","b":[1,"xy"]})"},
        {R"(["ab\u00e9cd"])", 3, R"(["ab\u00e9"])"},   // the escape at the cut stays whole
        {"[\"ab\xC3\xA9z\"]", 3, "[\"ab\xC3\xA9\"]"},  // and so does a UTF-8 character
        {R"(["a\"bcd","e"])", 2, R"(["a\"","e"])"},    // an escaped quote ends nothing
        {R"(["a\\","bcd"])", 2, R"(["a\\","bc"])"},    // an escaped backslash is no escape
        {many + "]", 300, manyCut + "]"},              // past 4 * 300, a name's length
        {R"({"k":"abcdef)", 4, R"({"k":"abcd)"},       // not JSON stays not JSON
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.json.substr(0, 40));
        EXPECT_EQ(CutLongStrings(r.json, r.maxBytes), r.cut);
        EXPECT_EQ(ByteByByte(r.json, r.maxBytes), r.cut);
    }
}

// A console event is held cut all the while it arrives; any other message is taken whole.
TEST(ProtocolText, OnlyEventsWhoseHeadsAreKeptAreCutOnTheWay) {
    const std::string big(size_t{4} << 20, 'x');
    for (const std::string method : {"Runtime.consoleAPICalled", "Runtime.bindingCalled"}) {
        SCOPED_TRACE(method);
        std::string message = "{\"method\":\"" + method + "\",\"params\":{\"args\":[{\"value\":\"" +
                              big + "\"}],\"name\":\"n\"}}";
        MessageIntake intake;
        size_t held = 0;
        for (size_t at = 0; at < message.size(); at += 4096) {
            intake.Add(std::string_view(message).substr(at, 4096));
            held = std::max(held, intake.size());
        }
        nlohmann::json taken = ParseLenient(intake.Take());
        ASSERT_TRUE(taken.is_object());
        EXPECT_EQ(taken["params"]["name"], "n");
        bool cut = method == "Runtime.consoleAPICalled";
        size_t kept = cut ? engine::kMaxConsoleTextWritten : big.size();
        EXPECT_EQ(taken["params"]["args"][0]["value"].get<std::string>().size(), kept);
        EXPECT_LT(held, kept + 4096 + 200);
        EXPECT_EQ(intake.size(), 0u);  // ready for the next
    }
}

// An entry point that fails inside goes on with its empty result, but leaves a trace in the
// protocol log for whoever diagnoses it.
TEST(ProtocolLog, AnExceptionCaughtAtAnEntryPointIsTraced) {
    setenv("QIRLEN_PROTOCOL_LOG", "1", 1);
    testing::internal::CaptureStderr();
    int result = engine::Guard(7, []() -> int { throw std::runtime_error("a broken answer"); });
    std::string log = testing::internal::GetCapturedStderr();
    unsetenv("QIRLEN_PROTOCOL_LOG");
    EXPECT_EQ(result, 7);
    EXPECT_NE(log.find("an entry point: a broken answer"), std::string::npos) << log;
}

}  // namespace
