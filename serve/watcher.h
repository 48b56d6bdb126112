#pragma once
// The watched rooms: each checked every interval through the service's resolver (so its
// checks are paced with every other page load and share its browser), the rooms' checks
// spread over the interval rather than all at once. A room that goes live runs the user's
// command; every change is an event for the /events streams; a room seen offline, or live
// in another broadcast, leaves no kept answer behind in the service. What the checks saw is
// kept across a restart, so that a room live before it is no new broadcast after it.
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serve/resolver.h"
#include "serve/service.h"
#include "serve/state_store.h"
#include "serve/watch_text.h"

namespace serve {

struct WatchSettings {
    std::chrono::milliseconds interval{60000};  // between two checks of one room
    std::string onLive;                         // the user's command; empty for none
    std::string host;                           // where the service listens, "ADDR:PORT"
};

class Watcher : public WatchPages {
  public:
    using Clock = std::chrono::steady_clock;
    // `store` (may be null) gives the states an earlier run saw and keeps every check's.
    Watcher(boost::asio::io_context& io, Resolver& resolver, Service& service,
            WatchSettings settings, UnixClock clock, Metrics& metrics, StateStore* store);
    // Checks under way are forgotten. Its io_context has stopped by then.
    ~Watcher() override;

    // The rooms to watch from now on: those watched already keep their state and their
    // turn; new ones are spread over the next interval.
    void SetRooms(std::vector<WatchedRoom> rooms);
    std::vector<RoomState> Rooms();

    std::string RoomsJson(const std::string& host) override;
    std::string Playlist(const std::string& host) override;
    void Subscribe(std::shared_ptr<HttpStream> stream) override;

  private:
    struct Watched {
        RoomState state;
        Clock::time_point next;
        bool checking = false;
    };
    // What a finished check may reach: the watcher, unless it has gone.
    struct Link {
        std::mutex lock;
        Watcher* watcher = nullptr;
    };

    void Arm();
    void Tick();
    void Checked(const std::string& key, const Resolved& resolved);  // under link_->lock
    void RunOnLive(const RoomState& room);
    RoomState Shown(const Watched& watched) const;  // with its next check's time
    void Count();                                   // the rooms live, for /metrics

    Resolver& resolver_;
    Service& service_;
    WatchSettings settings_;
    UnixClock clock_;
    Metrics& metrics_;
    StateStore* store_;
    std::map<std::string, RoomState> kept_;  // an earlier run's states, until taken up
    std::shared_ptr<Link> link_;             // its lock guards all below
    std::vector<Watched> rooms_;
    std::vector<std::shared_ptr<HttpStream>> streams_;
    boost::asio::strand<boost::asio::io_context::executor_type> strand_;
    boost::asio::steady_timer timer_;  // on the strand
};

}  // namespace serve
