// The platform layer: code pages, module lookup, paths, sinks and the dialog slot.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/codepage.h"
#include "platform/file_dialog.h"
#include "platform/module.h"
#include "platform/paths.h"
#include "platform/script_literal.h"
#include "platform/sinks.h"

using namespace platform;

namespace {

const std::string kGbkChinese = "\xD6\xD0\xCE\xC4";  // 中文

TEST(CodePage, ChineseRoundTripsThroughEveryForm) {
    EXPECT_EQ(GbkToUtf16(kGbkChinese), u"中文");
    EXPECT_EQ(Utf16ToGbk(u"中文"), kGbkChinese);
    EXPECT_EQ(GbkToUtf8(kGbkChinese), "中文");
    EXPECT_EQ(Utf8ToGbk("中文abc"), kGbkChinese + "abc");
    EXPECT_EQ(Utf16ToUtf8(u"a中😀"), "a中😀");
    EXPECT_EQ(Utf8ToUtf16("a中😀"), u"a中😀");
    EXPECT_EQ(GbkToUtf16(""), u"");
}

// Latin-1 characters that GBK has take its two-byte form, never the single byte they have
// in Latin-1 (which the decoder would read as the start of another character).
TEST(CodePage, Latin1CharactersGbkHasTakeTwoBytes) {
    EXPECT_EQ(Utf16ToGbk(u"\u00B7\u00D7\u00F7\u00B0"), "\xA1\xA4\xA1\xC1\xA1\xC2\xA1\xE3");
    EXPECT_EQ(GbkToUtf16("\xA1\xA4\xA1\xC1"), u"\u00B7\u00D7");
    EXPECT_EQ(Utf8ToGbk("a\u00B7b"),
              "a\xA1\xA4"
              "b");
}

TEST(CodePage, CharactersGbkCannotHoldBecomeQuestionMarks) {
    EXPECT_EQ(Utf16ToGbk(u"a😀b"), "a?b");                             // one mark for the whole pair
    EXPECT_EQ(Utf16ToGbk(u"ก中文"), "?" + kGbkChinese);               // Thai is not in GBK
    EXPECT_EQ(Utf16ToGbk(std::u16string(1, char16_t(0xD800))), "?");  // a lone surrogate
    EXPECT_EQ(Utf8ToGbk("\xF0\x9F\x98\x80"), "?");
}

TEST(CodePage, BytesThatDoNotConvertAreMarkedAndTheRestConverts) {
    struct Row {
        const char* bytes;
        std::u16string text;
    };
    const Row gbk[] = {
        {"ab\x81", u"ab\uFFFD"},  // a lead byte without its trail
        {"\x81\x7F"
         "a\xD6\xD0",
         u"\uFFFD\x7F"
         "a中"},  // 7F never trails
        {"ab\xFF"
         "cd",
         u"ab\uFFFDcd"},      // FF never leads
        {"\xC2\xB9", u"鹿"},  // also valid UTF-8, still GBK here
    };
    for (const auto& row : gbk) EXPECT_EQ(GbkToUtf16(row.bytes), row.text) << row.bytes;
    const Row utf8[] = {
        {"ab\xFF"
         "cd",
         u"ab\uFFFDcd"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},            // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
        {"x\xE4\xB8", u"x\uFFFD\uFFFD"},          // cut short at the end
        {"\xE4\xB8"
         "a",
         u"\uFFFD\uFFFDa"},  // and inside the text
    };
    for (const auto& row : utf8) EXPECT_EQ(Utf8ToUtf16(row.bytes), row.text) << row.bytes;
    EXPECT_EQ(GbkToUtf8("var a = '\x81';\nrun();"), "var a = '\xEF\xBF\xBD';\nrun();");
    EXPECT_EQ(Utf8ToGbk("a\xFF中"), "a?" + kGbkChinese.substr(0, 2));
    EXPECT_FALSE(IsValidUtf8("\xD6\xD0"));
    EXPECT_TRUE(IsValidUtf8("中"));
}

TEST(CodePage, EmbeddedNulsAreKept) {
    std::string withNul("a\0b", 3);
    EXPECT_EQ(GbkToUtf16(withNul), std::u16string(u"a\0b", 3));
    EXPECT_EQ(Utf16Length(u"abc"), 3u);
    EXPECT_EQ(Utf16Length(nullptr), 0u);
}

// Escaping decides by what the decoder makes of the bytes: a lead byte whose next byte is no
// trail byte is a character of its own, so the quote after it is escaped like any other.
TEST(ScriptLiteral, ALoneLeadByteNeverTakesTheNextCharacterWithIt) {
    EXPECT_EQ(EscapeForScriptLiteral("\x81'x"), "\\uFFFD\\'x");
    EXPECT_EQ(EscapeForScriptLiteral("\xFE\"\xFE\\\xFE\r\xFE\n"),
              "\\uFFFD\\\"\\uFFFD\\\\\\uFFFD\\r\\uFFFD\\n");
    EXPECT_EQ(EscapeForScriptLiteral("\xE4\xB8\xAD');"), "\xE4\xB8\\uFFFD\\');");  // UTF-8 中
    EXPECT_EQ(EscapeForScriptLiteral("\x95\x5C'"), "\x95\x5C\\'");  // 0x5C as a trail byte
    EXPECT_EQ(EscapeForScriptLiteral(std::string("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(EscapeForScriptLiteral(kGbkChinese + "-1"), kGbkChinese + "-1");
}

TEST(Modules, FoundOnlyByTheNameTheyWereLoadedUnder) {
    std::string original = ProgramDirectory() + "node.so";
    ASSERT_TRUE(FileExists(original));
    std::string copy = std::filesystem::temp_directory_path() /
                       ("engine-copy-" + std::to_string(getpid()) + ".so");
    std::filesystem::copy_file(original, copy, std::filesystem::copy_options::overwrite_existing);
    std::string copyName = copy.substr(copy.find_last_of('/') + 1);

    EXPECT_EQ(FindLoadedModule("node.so"), nullptr);  // nothing is loaded by looking
    ModuleHandle module = LoadModule(copy);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(FindLoadedModule(copyName), module);
    EXPECT_EQ(FindLoadedModule(copy), module);
    EXPECT_EQ(FindLoadedModule("node.so"), nullptr);
    EXPECT_NE(ResolveEntry(module, "wkeRunJsByFrame"), nullptr);
    EXPECT_EQ(ResolveEntry(module, "noSuchEntry"), nullptr);

    ModuleHandle engine = LoadModule(original);
    EXPECT_EQ(FindLoadedModule("node.so"), engine);
    FreeModule(module);
    EXPECT_EQ(FindLoadedModule(copyName), nullptr);
    EXPECT_EQ(LoadModule("/nonexistent/node.so"), nullptr);
    EXPECT_FALSE(LastModuleError().empty());
    std::filesystem::remove(copy);
}

TEST(Paths, ProgramDirectoryAndStorage) {
    std::string dir = ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(FileExists(dir + "platform_test"));
    EXPECT_FALSE(FileExists(dir + "no-such-file"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_EQ(StorageDirectory("cookie目录"),
              dir + "cookie目录/");  // the build directory is writable
}

TEST(Sinks, RecordersSeeWhatTheProgramShowsCopiesAndOpens) {
    std::string shown, copied, opened;
    unsigned style = 0;
    auto oldBox =
        SetMessageBoxSink([&](const std::string& text, const std::string& title, unsigned s) {
            shown = title + ":" + text;
            style = s;
            return 1;
        });
    auto oldClip = SetClipboardSink([&](const std::string& t) {
        copied = t;
        return true;
    });
    auto oldShell = SetShellOpenSink([&](const std::string& t) {
        opened = t;
        return true;
    });
    EXPECT_EQ(ShowMessageBox("text", "title", kMbIconError), 1);
    EXPECT_TRUE(CopyToClipboard(kGbkChinese));
    EXPECT_TRUE(ShellOpen("http://x/"));
    EXPECT_EQ(shown, "title:text");
    EXPECT_EQ(style, kMbIconError);
    EXPECT_EQ(copied, kGbkChinese);
    EXPECT_EQ(opened, "http://x/");
    SetMessageBoxSink(oldBox);
    SetShellOpenSink(oldShell);
    SetClipboardSink(nullptr);  // the default: no clipboard here
    EXPECT_FALSE(CopyToClipboard("x"));
    SetClipboardSink(oldClip);
}

int AnswerA(OPENFILENAMEW* ofn) {
    ofn->lpstrFile[0] = u'a';
    ofn->lpstrFile[1] = 0;
    return 1;
}

TEST(FileDialog, OneSlotThatCanBeSwapped) {
    char16_t buffer[8] = {};
    OPENFILENAMEW ofn{sizeof(OPENFILENAMEW), buffer, 8, 0, nullptr};
    EXPECT_EQ(GetOpenFileNameW(&ofn), 0);  // nobody to ask: cancelled
    OpenFileDialogFunction previous = SetOpenFileDialog(AnswerA);
    EXPECT_EQ(GetOpenFileNameW(&ofn), 1);
    EXPECT_EQ(buffer[0], u'a');
    EXPECT_EQ(GetOpenFileNameW(nullptr), 0);
    EXPECT_EQ(SetOpenFileDialog(previous), AnswerA);
    EXPECT_EQ(CurrentOpenFileDialog(), previous);
}

}  // namespace
