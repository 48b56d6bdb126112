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
#include "serve/rooms_file.h"
#include "serve/serve_options.h"
#include "serve/service.h"
#include "serve/state_store.h"
#include "serve/stream_check.h"
#include "serve/watcher.h"

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

// The rooms file read, each line left out said; false when it cannot be read.
bool ReadRooms(const std::string& path, RoomsList& rooms) {
    std::string error;
    if (!ReadRoomsFile(path, rooms, error)) {
        Say(error);
        return false;
    }
    for (const std::string& why : rooms.errors) Say(path + ": " + why + " (left out)");
    Say("watching " + std::to_string(rooms.rooms.size()) + " rooms of " + path);
    return true;
}

// ADDR:PORT as a link names it; an address that means every one is named by loopback.
std::string HostOf(std::string address, unsigned short port) {
    if (address == "0.0.0.0") address = "127.0.0.1";
    if (address == "::") address = "::1";
    if (address.find(':') != std::string::npos) address = "[" + address + "]";
    return address + ":" + std::to_string(port);
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
    RoomsList rooms;
    if (!o.roomsFile.empty() && !ReadRooms(o.roomsFile, rooms)) return kUsage;
    Metrics metrics;
    StateStore store(StateDirectory() + "/serve.db");
    if (!store.open()) Say("answers are not kept across restarts: " + store.error());
    std::atomic<Service*> service{nullptr};
    // Ended before the service (below): its last answers still reach a service that exists.
    auto resolver = std::make_unique<EngineResolver>(
        o.pace, o.timeout, o.browserUrls, metrics, [&](std::chrono::seconds backOff) {
            Service::BackOffState state{backOff.count(), std::time(nullptr) + backOff.count()};
            if (Service* s = service.load()) s->SetBackOff(state);
            store.KeepBackOff(state.seconds, state.until);
        });
    // A service restarted while it backed off keeps backing off: the platform has not forgotten.
    if (auto [seconds, until] = store.BackOff(); seconds > 0) {
        int64_t left = std::max<int64_t>(0, until - std::time(nullptr));
        resolver->ResumeBackOff(std::chrono::seconds(seconds), std::chrono::seconds(left));
    }
    ServiceSettings settings;
    UnixClock unixNow = [] { return static_cast<int64_t>(std::time(nullptr)); };
    settings.recheck = o.recheck;
    Service handler(
        *resolver, [](const std::string& address) { return StreamAnswers(address); }, metrics,
        settings, unixNow, store.open() ? &store : nullptr);
    service = &handler;
    auto [backOff, backOffUntil] = store.BackOff();
    handler.SetBackOff({backOff, backOffUntil});

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
    std::unique_ptr<Watcher> watcher;
    if (!o.roomsFile.empty()) {
        WatchSettings watch{o.interval, o.onLive, HostOf(o.address, server.port())};
        watcher = std::make_unique<Watcher>(io, *resolver, handler, watch, unixNow, metrics,
                                            store.open() ? &store : nullptr);
        handler.SetWatch(watcher.get());
        watcher->SetRooms(std::move(rooms.rooms));
    }
    // SIGTERM and Ctrl-C drain: no new connections, the answers under way finish, then the
    // browser ends. SIGHUP reads the rooms file again (the rooms as they were when it cannot
    // be read).
    boost::asio::signal_set signals(io, SIGTERM, SIGINT, SIGHUP);
    boost::asio::steady_timer drainLimit(io);
    std::function<void()> waitForSignal = [&] {
        signals.async_wait([&](const boost::system::error_code& failed, int signal) {
            if (failed) return;
            if (signal == SIGHUP) {
                RoomsList again;
                if (watcher && ReadRooms(o.roomsFile, again))
                    watcher->SetRooms(std::move(again.rooms));
                return waitForSignal();
            }
            Say("draining");
            handler.Abandon();
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
