// The library linked statically into a program that exports nothing (no -rdynamic): the
// engine cannot reach the library's open-file dialog, and the file operations say so instead
// of clicking an input that then stays empty. Also the text switch at the conversion boundary.
#include <gtest/gtest.h>
#include <qirlen/session.h>

#include <filesystem>
#include <fstream>

#include "ops/api_hook.h"
#include "platform/script_literal.h"
#include "platform/text_encoding.h"
#include "tests/support/http_server.h"

namespace {

TEST(StaticLink, FileInputsFailLoudlyWhenTheEngineCannotReachTheDialog) {
    auto file = std::filesystem::temp_directory_path() / "qirlen-static-link.txt";
    std::ofstream(file) << "x";
    testsupport::HttpServer server([](const testsupport::HttpRequest&) {
        return testsupport::HttpResponse{200, "text/html", "<input type=file id=f>", {}};
    });
    qirlen::Session session;
    ASSERT_TRUE(session.Load(server.Url("/"), 20000)) << session.Error();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(session.Automation().SetFileInputPath({"getElementById", "f"}, file.string()));
    EXPECT_FALSE(session.Automation().SetFileInputPaths({"getElementById", "f"}, {file.string()}));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("file inputs cannot be filled"),
              std::string::npos);
    EXPECT_TRUE(ops::PendingFileAnswer().empty()) << "nothing is left for a later chooser";
    EXPECT_FALSE(ops::FileDialogHook().Installed());
    std::filesystem::remove(file);
}

struct Utf8Texts {
    Utf8Texts() { qirlen::SetTextEncoding(qirlen::TextEncoding::Utf8); }
    ~Utf8Texts() { qirlen::SetTextEncoding(qirlen::TextEncoding::Gbk); }
};

// Script literals keep every character under UTF-8; under GBK one it lacks is escaped, so
// the page still gets it.
TEST(TextEncoding, ScriptLiteralsFollowTheSwitch) {
    EXPECT_EQ(platform::EscapeForScriptLiteral("\xC3\xFB'"), "\xC3\xFB\\'");  // GBK
    {
        Utf8Texts utf8;
        EXPECT_EQ(platform::EscapeForScriptLiteral("a'名🙂\n"), "a\\'名🙂\\n");
        EXPECT_EQ(platform::TextToUtf16("🙂"), u"🙂");
        EXPECT_EQ(platform::Utf16ToText(u"名🙂"), "名🙂");
        EXPECT_EQ(platform::Utf8ToText("名"), "名");
        // Malformed UTF-8 never reaches the engine as it is.
        EXPECT_EQ(platform::TextToUtf8("a\xFF"), "a\xEF\xBF\xBD");
    }
    EXPECT_EQ(platform::Utf8ToText("名"), "\xC3\xFB");
    EXPECT_EQ(platform::Utf16ToText(u"名🙂"), "\xC3\xFB?");
    EXPECT_EQ(platform::TextToUtf8("\xC3\xFB"), "名");
}

}  // namespace
