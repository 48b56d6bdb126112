// Windows a page opens, as the command line meets them: it judges the page it loaded and
// opens none of them, whatever they hold.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/support/hostile_site.h"

namespace {

using hostile::kShareHost;
using hostile::Local;

// A room page whose one address is `address`.
std::string RoomPage(const std::string& address) {
    std::string row = "1:{\"room\":{\"status\":2,\"streamUrl\":{\"hlsPullUrlMap\":{\"origin\":\"" +
                      address + "\"}}}}\n";
    return "<!doctype html><body><p>room</p><script>(self.__rsc_f=self.__rsc_f||[]).push([0])"
           "</script><script>self.__rsc_f.push([1," +
           nlohmann::json(row).dump() + "])</script></body>";
}

TEST(HostileNewWindows, TheCommandLineNeverJudgesAWindowThePageOpened) {
    // A local file with room data, and a page on the share host that opens it (and, for
    // good measure, a room of its own site) in new windows, with no room of its own.
    auto dir =
        std::filesystem::temp_directory_path() / ("qirlen-hostile-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "room.html") << RoomPage("https://local-file.test/file_or4.m3u8");
    Local().Serve("/r8/room/", RoomPage("https://popup.test/popup_or4.m3u8"));
    struct Case {
        const char* path;
        std::string target;
    } cases[] = {
        {"/r8/file/", "file://" + (dir / "room.html").string()},
        {"/r8/site/", Local().Url(kShareHost, "/r8/room/")},
    };
    for (const Case& c : cases) {
        Local().Serve(c.path, "<!doctype html><body><p>no room here</p><script>window.open('" +
                                  c.target + "');</script></body>");
        hostile::CliRun run = hostile::RunCli({"--cli", Local().Url(kShareHost, c.path)});
        EXPECT_EQ(run.exit, 2) << c.path << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.path;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
