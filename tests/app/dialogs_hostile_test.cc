// Pages that open dialogs without end: the program still tells the truth about the room.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "app/texts.h"
#include "hostctl/page_query.h"
#include "tests/app/workflow_view.h"
#include "tests/support/hostile_site.h"

namespace {

using hostile::kShareHost;
using hostile::Local;

const std::string kRoomAddress = "https://pull.test/stage/dialog_room.m3u8?expire=1893456000";

// A room page that opens one dialog after another for good. Dialogs in tasks of their own
// leave the page's reads their turn: the room is read. One task of endless dialogs never
// yields, so no read of ours can run there: the page did not answer, never "no stream".
TEST(HostileDialogs, EndlessDialogsNeverMakeARoomLookStreamless) {
    struct Case {
        const char* path;
        const char* loop;
        int exit;
        std::string out;
        const char* said;
    } cases[] = {
        {"/dialogs/task-after-task/",
         "(function next() { alert('again'); confirm('sure?'); prompt('name?'); "
         "setTimeout(next, 0); })();",
         0, kRoomAddress + "\n", ""},
        {"/dialogs/in-one-task/", "setTimeout(function () { for (;;) alert('again'); }, 0);", 4, "",
         "the page did not answer"},
    };
    for (const Case& c : cases) {
        Local().Serve(c.path, "<!doctype html><meta charset=utf-8><body><p>room</p>" +
                                  hostile::RoomChunks(kRoomAddress) +
                                  "<script>addEventListener('load', function () {" + c.loop +
                                  "});</script></body>");
        hostile::CliRun run =
            // The deadline is room for a busy machine: the reads give up by themselves.
            hostile::RunCli({"--cli", "--timeout", "40", Local().Url(kShareHost, c.path)});
        EXPECT_EQ(run.exit, c.exit) << c.path << ": " << run.err;
        EXPECT_EQ(run.out, c.out) << c.path;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << c.path << ": " << run.err;
    }
}

// The window's side: a page that keeps its renderer busy past the time a read may take (here
// for a bounded while, so that the suite's browser answers again) gets the window's text for a
// page that did not answer, not the one for a link without a stream.
class HostileDialogsInProcess : public hostile::WorkflowView {};

TEST_F(HostileDialogsInProcess, ABusyPageIsNoAnswerInTheWindow) {
    const char* path = "/dialogs/busy-for-a-while/";
    Local().Serve(path, "<!doctype html><meta charset=utf-8><body><p>room</p>" +
                            hostile::RoomChunks(kRoomAddress) +
                            "<script>addEventListener('load', function () { setTimeout(function "
                            "() { for (var t = Date.now(); Date.now() - t < 14000;); }, 0); "
                            "});</script></body>");
    app::StreamWorkflow workflow(*this);
    ASSERT_TRUE(workflow.StartFetch(Local().Url(kShareHost, path)));
    std::optional<std::string> message = workflow.FinishFetch(0);
    ASSERT_TRUE(message);
    EXPECT_EQ(*message, app::texts::FailureNoAnswer());
    EXPECT_EQ(workflow.lastOutcome(), app::FetchOutcome::kNoAnswer);
    EXPECT_TRUE(workflow.room().qualities.empty());
    // The next cases share this browser: wait until the page answers again.
    hostctl::PageQuery probe;
    EXPECT_TRUE(testsupport::PumpHostLoop(
        [&] { return probe.Evaluate(view_, "return 1") == "1" && !probe.lastFailed(); }, 20000));
}

}  // namespace
