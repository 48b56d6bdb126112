#include "serve/serve_main.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "app/run_guard.h"
#include "serve/engine_resolver.h"
#include "serve/http_server.h"
#include "serve/serve_options.h"
#include "serve/service.h"
#include "serve/state_store.h"
#include "serve/stream_check.h"

namespace serve {
namespace {

constexpr int kUsage = 64;
constexpr int kCannotListen = 1;
// Answers under way get this long to finish after SIGTERM; the browser as long to end.
constexpr auto kDrainTime = std::chrono::seconds(20);
constexpr auto kBrowserEndTime = std::chrono::seconds(15);

void Say(const std::string& line) {
    std::fprintf(stderr, "qirlen serve: %s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace

int RunServe(int argc, char** argv) {
    ParsedServeOptions parsed = ParseServeOptions(argc, argv);
    if (!parsed.error.empty()) {
        Say(parsed.error + " (see qirlen serve --help)");
        return kUsage;
    }
    const ServeOptions& o = parsed.options;
    if (o.help) {
        std::fputs(kServeHelp, stdout);
        return 0;
    }
    Metrics metrics;
    StateStore store(StateDirectory() + "/serve.db");
    if (!store.open()) Say("answers are not kept across restarts: " + store.error());
    std::atomic<Service*> service{nullptr};
    // Ended before the service (below): its last answers still reach a service that exists.
    auto resolver = std::make_unique<EngineResolver>(o.pace, o.timeout, o.browserUrls, metrics,
                                                     [&](std::chrono::seconds backOff) {
                                                         if (Service* s = service.load())
                                                             s->SetBackOff(backOff);
                                                     });
    ServiceSettings settings;
    settings.recheck = o.recheck;
    Service handler(
        *resolver, [](const std::string& address) { return StreamAnswers(address); }, metrics,
        settings, [] { return static_cast<int64_t>(std::time(nullptr)); },
        store.open() ? &store : nullptr);
    service = &handler;

    boost::asio::io_context io;
    HttpServer server(io, [&](HttpExchange e) { handler.Handle(std::move(e)); });
    std::string error;
    if (!server.Listen(o.address, o.port, error)) {
        Say(error);
        return kCannotListen;
    }
    Say("listening on http://" +
        (o.address.find(':') == std::string::npos ? o.address : "[" + o.address + "]") + ":" +
        std::to_string(server.port()));
    // SIGTERM and Ctrl-C drain: no new connections, the answers under way finish, then the
    // browser ends. SIGHUP is taken so that it does not end the service.
    boost::asio::signal_set signals(io, SIGTERM, SIGINT, SIGHUP);
    boost::asio::steady_timer drainLimit(io);
    std::function<void()> waitForSignal = [&] {
        signals.async_wait([&](const boost::system::error_code& failed, int signal) {
            if (failed) return;
            if (signal == SIGHUP) return waitForSignal();
            Say("draining");
            server.Drain([&] { io.stop(); });
            drainLimit.expires_after(kDrainTime);
            drainLimit.async_wait([&](const boost::system::error_code& cancelled) {
                if (!cancelled) io.stop();
            });
        });
    };
    waitForSignal();
    std::thread second([&] { io.run(); });
    io.run();
    second.join();
    // Whatever the browser is stuck in, the guard ends it and the service in the end.
    app::run_guard::SetDeadline(std::chrono::steady_clock::now() + kBrowserEndTime,
                                "qirlen serve: the browser did not end in time; ended it", 0);
    resolver.reset();
    return 0;
}

}  // namespace serve
