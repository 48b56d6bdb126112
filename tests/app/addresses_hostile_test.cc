// Addresses and texts a page hands the program, on their way to standard output, the result
// box, the clipboard and the player: only a plain web address goes out, and no text of the
// page breaks a line or steers a terminal.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/stream_workflow.h"
#include "app/texts.h"
#include "platform/codepage.h"
#include "platform/sinks.h"
#include "tests/app/workflow_view.h"
#include "tests/support/hostile_site.h"
#include "tests/support/page_view.h"

namespace {

using hostile::kShareHost;
using hostile::Local;

// The stream element where the program looks for it, holding `inner`.
std::string ElementPage(const std::string& inner) {
    return "<!doctype html><meta charset=utf-8><body><div id=__APP_ROOT__><div><div "
           "class=reflow-content><div class=video-box><div>" +
           inner + "</div></div></div></div></div></body>";
}

// A page that streams `rows` ("<hex id>:<JSON>\n" lines) as the platform's room pages do.
std::string ChunkPage(const std::string& rows) {
    return "<!doctype html><meta charset=utf-8><body><p>room</p><script>(self.__rsc_f=self."
           "__rsc_f||[]).push([0])</script><script>self.__rsc_f.push([1," +
           nlohmann::json(rows).dump() + "])</script></body>";
}

// A room whose stream has `hls` as its one address.
std::string RoomRow(const nlohmann::json& hls) {
    nlohmann::json room = {
        {"room", {{"status", 2}, {"streamUrl", {{"hlsPullUrlMap", {{"origin", hls}}}}}}}};
    return "1:" + room.dump() + "\n";
}

class HostileAddresses : public hostile::WorkflowView {};

// The workflow of the window and the command line: what a page offers as its stream but is
// no web address is the failure of a room without a stream; nothing is shown as an address,
// copied, or left for the player.
TEST_F(HostileAddresses, WhatIsNoWebAddressIsNoStream) {
    std::vector<std::string> pages = {
        ElementPage("<video src=\"--log-file=/tmp/pwn.m3u8\"></video>"),
        ElementPage("<video src=\"javascript:alert(1)//.m3u8\"></video>"),
        ElementPage("<video src=\"file:///etc/passwd?.m3u8\"></video>"),
        ElementPage("<video src=\"https://h.test/a&#10;forged.m3u8\"></video>"),
        ElementPage("<video src=\"https://h.test/&#27;]2;owned&#7;.m3u8\"></video>"),
        ElementPage("<video src=\"https://h.test/a b.m3u8\"></video>"),
        ElementPage("<video src=\"/relative/a.m3u8\"></video>"),
        ChunkPage(RoomRow("--log-file=/tmp/pwn.m3u8")),
        ChunkPage(RoomRow("javascript:alert(1)//.m3u8")),
        ChunkPage(RoomRow("https://h.test/a\nforged.m3u8")),
        ChunkPage(RoomRow("https://h.test/\x1b]2;owned\x07.m3u8")),
        ChunkPage(RoomRow("$$1")),                               // the text "$1"
        ChunkPage(RoomRow("$2") + "2:\"$3\"\n3:\"$2\"\n"),       // a cycle
        ChunkPage(RoomRow("$7") + "7:\"data:text/plain,x\"\n"),  // a reference to no address
    };
    std::vector<std::string> copied;
    platform::ClipboardSink before = platform::SetClipboardSink([&](const std::string& text) {
        copied.push_back(text);
        return true;
    });
    for (size_t n = 0; n < pages.size(); ++n) {
        std::string path = "/r9/page-" + std::to_string(n) + "/";
        Local().Serve(path, pages[n]);
        app::StreamWorkflow workflow(*this);
        ASSERT_TRUE(workflow.StartFetch(Local().Url(kShareHost, path)));
        std::optional<std::string> message = workflow.FinishFetch(0);
        // A page that shows no room is loaded once more, with its scripts.
        if (!message && workflow.anotherLoadFollows()) message = workflow.FinishFetch(0);
        ASSERT_TRUE(message) << pages[n];
        EXPECT_EQ(*message, app::texts::FailureElementMissing()) << pages[n];
        EXPECT_EQ(workflow.lastOutcome(), app::FetchOutcome::kMissing) << pages[n];
        EXPECT_EQ(workflow.streamAddress(), "") << pages[n];
        EXPECT_EQ(workflow.playerAddress(), "") << pages[n];
    }
    platform::SetClipboardSink(before);
    EXPECT_TRUE(copied.empty());
}

// README's own use, mpv "$(qirlen --cli LINK)": the page's option never reaches mpv.
TEST(HostileAddressesOnTheCommandLine, AnOptionForThePlayerIsNoAddress) {
    Local().Serve("/r9/option/", ElementPage("<video src=\"--log-file=/tmp/pwn.m3u8\"></video>"));
    hostile::CliRun run = hostile::RunCli({"--cli", Local().Url(kShareHost, "/r9/option/")});
    EXPECT_EQ(run.exit, 2) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(platform::GbkToUtf8(app::texts::FailureElementMissing())),
              std::string::npos)
        << run.err;
}

// Names and titles with tabs, line breaks and terminal controls: --list keeps one line of
// eight fields per stream, --json carries none of them.
TEST(HostileAddressesOnTheCommandLine, APagesTextsForgeNoLineAndSteerNoTerminal) {
    const std::string address = "https://pull.test/stage/a_or4.m3u8";
    const std::string key = "origin\tforged";
    nlohmann::json room = {
        {"room",
         {{"status", 2},
          {"title",
           "\x1b]2;owned\x07 \xc2\x9b"
           "31mred"},
          {"owner", {{"nickname", "a\r\nb"}}},
          {"streamUrl",
           {{"hlsPullUrlMap", {{key, address}}},
            {"liveCoreSdkData",
             {{"pullData",
               {{"options",
                 {{"qualities",
                   {{{"sdk_key", key},
                     {"name", "原画\nforged\t\t\t\thls\thttps://forged.test/x.m3u8"}}}}}}}}}}}}}}};
    Local().Serve("/r9/texts/", ChunkPage("1:" + room.dump() + "\n"));
    std::string link = Local().Url(kShareHost, "/r9/texts/");

    hostile::CliRun list = hostile::RunCli({"--cli", link, "--list"});
    EXPECT_EQ(list.exit, 0) << list.err;
    EXPECT_EQ(list.out, "originforged\t原画forgedhlshttps://forged.test/x.m3u8\t-\t-\t" + address +
                            "\t-\t-\t-\n");

    hostile::CliRun json = hostile::RunCli({"--cli", link, "--json"});
    EXPECT_EQ(json.exit, 0) << json.err;
    for (const char* control : {"\x1b", "\x07", "\r", "\xc2\x9b", "\\u001b", "\\u0007", "\\r"})
        EXPECT_EQ(json.out.find(control), std::string::npos) << control << " in " << json.out;
    nlohmann::json out = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_TRUE(out.is_object()) << json.out;
    EXPECT_EQ(out["address"], address);
    EXPECT_EQ(out["title"], "]2;owned 31mred");
    EXPECT_EQ(out["owner"], "ab");
}

}  // namespace
