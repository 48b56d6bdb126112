// The program's own readers, the stream element's and the room data's, on pages that replace
// the built-ins those readers would use: a page may show what it likes, but it cannot answer
// in the readers' place, nor keep them from reading the room it really holds.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/stream_workflow.h"
#include "app/texts.h"
#include "tests/app/workflow_view.h"
#include "tests/support/hostile_site.h"
#include "tests/support/page_view.h"

namespace {

using hostile::kShareHost;
using hostile::Local;

const std::string kForgedAddress = "https://forged.test/chosen.m3u8";
const std::string kRoomAddress = "https://pull.test/stage/room_or4.m3u8?expire=1893456000";

// The stream element where the program looks for it, holding `inner`.
std::string StreamElement(const std::string& inner) {
    return "<div id=__APP_ROOT__><div><div class=reflow-content><div class=video-box><div>" +
           inner + "</div></div></div></div></div>";
}

std::string HtmlPage(const std::string& body, const std::string& script) {
    return "<!doctype html><meta charset=utf-8><body>" + body + "<script>" + script +
           "</script></body>";
}

// A page with neither a stream nor a room, each replacing one thing a reader in its world
// would call, so as to answer with an address of its choosing.
TEST(HostileReaders, APageWithoutARoomCannotAnswerForTheReaders) {
    std::string forgedRoom = R"({"found":true,"status":2,"qualities":[{"key":"origin","hls":")" +
                             kForgedAddress + R"("}]})";
    struct Case {
        const char* path;
        std::string page;
    } cases[] = {
        {"/r7/stringify/",
         HtmlPage("<p>no room here</p>",
                  "JSON.stringify = function () { return '" + forgedRoom + "'; };")},
        {"/r7/query-all/", HtmlPage("<p>no room here</p>",
                                    "document.querySelectorAll = function () {"
                                    " return [{innerHTML: '<video src=\"" +
                                        kForgedAddress + "\">'}]; };")},
        {"/r7/inner-html/",
         HtmlPage(StreamElement("loading"),
                  "Object.defineProperty(Element.prototype, 'innerHTML', {get: function () {"
                  " return '<video src=\"" +
                      kForgedAddress + "\">'; }});")},
    };
    for (const Case& c : cases) {
        Local().Serve(c.path, c.page);
        hostile::CliRun run = hostile::RunCli({"--cli", Local().Url(kShareHost, c.path)});
        EXPECT_EQ(run.exit, 2) << c.path << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.path;
    }
}

// The workflow of the window and the command line, on a view of the suite's browser.
class HostileReadersInProcess : public hostile::WorkflowView {};

// A real room whose page then breaks the built-ins a reader in its world leans on.
TEST_F(HostileReadersInProcess, ARoomIsReadWhateverThePageReplaced) {
    const char* breakers[] = {
        "JSON.parse = function () { return {}; };",
        "Array.prototype.push = function () { return 0; };",
        "Function.prototype.call = function () { throw new Error('no'); };",
        "Object.defineProperty(Object.prototype, 'room', {get: function () { return {status: 4}; "
        "}});",
    };
    int n = 0;
    for (const char* breaker : breakers) {
        std::string path = "/r7/room-" + std::to_string(n++) + "/";
        Local().Serve(path, HtmlPage("<p>room</p>" + hostile::RoomChunks(kRoomAddress), breaker));
        app::StreamWorkflow workflow(*this);
        ASSERT_TRUE(workflow.StartFetch(Local().Url(kShareHost, path)));
        std::optional<std::string> message = workflow.FinishFetch(0);
        ASSERT_TRUE(message) << breaker;
        EXPECT_TRUE(workflow.lastSucceeded()) << breaker << ": " << *message;
        EXPECT_EQ(workflow.streamAddress(), kRoomAddress) << breaker;
    }
}

}  // namespace
