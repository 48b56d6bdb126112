// The command line when the page it loads crashes: a failure said at once, never "no stream".
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "tests/app/stalling_server.h"
#include "tests/support/hostile_site.h"
#include "tests/support/process_tree.h"

namespace {

// Kills the renderers of the program's browser only: this binary's own browser stays.
int KillTheProgramsRenderers() {
    int killed = 0;
    for (const testsupport::ProcessInfo& p : testsupport::Descendants(getpid()))
        if (p.name == "qirlen")
            killed += testsupport::KillBelow(p.pid, testsupport::kRendererMarker);
    return killed;
}

TEST(CommandLineFaults, APageThatCrashesWhileLoadingIsALoadFailure) {
    testsupport::StallingServer site;
    site.Serve("/crashing/", testsupport::StallingServer::StallingPage());
    hostile::CliRun run;
    std::thread cli([&] { run = hostile::RunCli({"--cli", site.Url("/crashing/")}); });
    bool loading = site.WaitForStall();
    int killed = loading ? KillTheProgramsRenderers() : 0;
    site.Release();
    cli.join();
    ASSERT_TRUE(loading);
    ASSERT_GT(killed, 0);
    EXPECT_EQ(run.exit, 4) << run.err;
    EXPECT_NE(run.err.find("qirlen: the page crashed"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
}

}  // namespace
