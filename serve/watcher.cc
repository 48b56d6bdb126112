#include "serve/watcher.h"

#include <boost/asio/post.hpp>
#include <cstdio>

#include "app/cli.h"
#include "app/room_data.h"
#include "app/texts.h"
#include "serve/on_live.h"
#include "serve/routes.h"

namespace serve {
namespace {

std::string KeyOf(const RoomState& state) {
    return CacheKey(state.room.request);
}

// The kinds of change one check makes to a room's state ("live", "offline", "title",
// "failed"), the state brought up to date. A failed check leaves the room live or not as the
// last check that could tell found it; a room first seen offline is no change; a room live
// in another broadcast than at the last check went live again.
std::vector<std::string> Apply(RoomState& state, const Resolved& resolved, int64_t now) {
    std::vector<std::string> events;
    state.lastCheck = now;
    state.message = resolved.message;
    if (resolved.code != app::kCliSuccess && resolved.code != app::kCliFailureMessage) {
        if (state.lastError != resolved.message) events.push_back("failed");
        state.lastError = resolved.message;
        return events;
    }
    state.lastError.clear();
    bool live = resolved.code == app::kCliSuccess;
    bool anotherBroadcast = live && state.live == true && !state.roomId.empty() &&
                            !resolved.roomId.empty() && resolved.roomId != state.roomId;
    if (state.live != live || anotherBroadcast) {
        if (live || state.live == true) events.push_back(live ? "live" : "offline");
        state.since = now;
    } else if (live && !resolved.title.empty() && !state.title.empty() &&
               resolved.title != state.title) {
        events.push_back("title");
    }
    state.live = live;
    state.address = live ? resolved.address : "";
    if (live && !resolved.roomId.empty()) state.roomId = resolved.roomId;
    if (!resolved.title.empty()) state.title = resolved.title;
    if (!resolved.owner.empty()) state.owner = resolved.owner;
    if (!resolved.avatar.empty()) state.avatar = resolved.avatar;
    if (IsWebRid(resolved.webRid)) state.webRid = resolved.webRid;
    return events;
}

void Say(const std::string& line) {
    std::fprintf(stderr, "qirlen serve: %s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace

Watcher::Watcher(boost::asio::io_context& io, Resolver& resolver, Service& service,
                 WatchSettings settings, UnixClock clock, Metrics& metrics, StateStore* store)
    : resolver_(resolver),
      service_(service),
      settings_(std::move(settings)),
      clock_(std::move(clock)),
      metrics_(metrics),
      store_(store),
      kept_(store ? store->Rooms() : std::map<std::string, RoomState>{}),
      link_(std::make_shared<Link>()),
      strand_(boost::asio::make_strand(io)),
      timer_(strand_) {
    link_->watcher = this;
}

Watcher::~Watcher() {
    std::lock_guard<std::mutex> hold(link_->lock);
    link_->watcher = nullptr;
}

void Watcher::SetRooms(std::vector<WatchedRoom> rooms) {
    {
        std::lock_guard<std::mutex> hold(link_->lock);
        std::vector<Watched> kept;
        std::vector<size_t> added;
        std::vector<std::string> keys;
        for (WatchedRoom& room : rooms) {
            keys.push_back(CacheKey(room.request));
            auto old = std::find_if(rooms_.begin(), rooms_.end(), [&](const Watched& w) {
                return KeyOf(w.state) == CacheKey(room.request);
            });
            Watched watched;
            if (old != rooms_.end()) {
                watched = std::move(*old);
            } else {
                added.push_back(kept.size());
                if (auto earlier = kept_.find(keys.back()); earlier != kept_.end())
                    watched.state = std::move(earlier->second);
                if (watched.state.webRid.empty()) watched.state.webRid = room.webRid;
            }
            watched.state.room = std::move(room);
            kept.push_back(std::move(watched));
        }
        // New rooms take turns spread evenly over the interval, the first at once.
        Clock::time_point now = Clock::now();
        for (size_t i = 0; i < added.size(); ++i)
            kept[added[i]].next = now + settings_.interval * static_cast<long long>(i) /
                                            static_cast<long long>(added.size());
        rooms_ = std::move(kept);
        kept_.clear();
        if (store_) store_->KeepOnlyRooms(keys);
        Count();
    }
    boost::asio::post(strand_, [this] { Arm(); });
}

// The timer set for the next room's turn.
void Watcher::Arm() {
    Clock::time_point next = Clock::time_point::max();
    {
        std::lock_guard<std::mutex> hold(link_->lock);
        for (const Watched& w : rooms_) next = std::min(next, w.next);
    }
    if (next == Clock::time_point::max()) {
        timer_.cancel();
        return;
    }
    timer_.expires_at(next);
    timer_.async_wait([this](const boost::system::error_code& cancelled) {
        if (!cancelled) Tick();
    });
}

// Every room whose turn has come is checked, unless its last check is still under way; its
// next turn is an interval on, so that the rooms keep their spread.
void Watcher::Tick() {
    std::vector<ResolveRequest> due;
    {
        std::lock_guard<std::mutex> hold(link_->lock);
        Clock::time_point now = Clock::now();
        for (Watched& w : rooms_) {
            if (w.next > now) continue;
            if (!w.checking) due.push_back(w.state.room.request);
            w.checking = true;
            while (w.next <= now) w.next += settings_.interval;
        }
    }
    for (ResolveRequest& request : due) {
        std::string key = CacheKey(request);
        resolver_.Resolve(std::move(request), [link = link_, key](Resolved resolved) {
            std::lock_guard<std::mutex> hold(link->lock);
            if (link->watcher) link->watcher->Checked(key, resolved);
        });
    }
    Arm();
}

void Watcher::Checked(const std::string& key, const Resolved& resolved) {
    auto it = std::find_if(rooms_.begin(), rooms_.end(),
                           [&](const Watched& w) { return KeyOf(w.state) == key; });
    if (it == rooms_.end()) return;  // no longer watched
    it->checking = false;
    RoomState& state = it->state;
    std::string oldRoom = state.roomId;
    std::vector<std::string> events = Apply(state, resolved, clock_());
    if (store_) store_->KeepRoom(key, state);
    Count();
    // Answers kept for a broadcast that has ended would send players to a dead address.
    if (state.live == false) {
        std::vector<std::string> links = {state.room.request.link};
        if (!state.webRid.empty()) links.push_back(app::texts::StreamerRoomAddress(state.webRid));
        service_.ForgetRoom(links, oldRoom);
    } else if (!oldRoom.empty() && oldRoom != state.roomId) {
        service_.ForgetRoom({}, oldRoom);
    }
    if (events.empty()) return;
    RoomState shown = Shown(*it);
    std::erase_if(streams_, [](const std::shared_ptr<HttpStream>& s) { return !s->open(); });
    for (const std::string& event : events) {
        std::string text = EventText(event, shown, settings_.host);
        for (const auto& stream : streams_) stream->Send(text);
        if (event == "live") RunOnLive(shown);
    }
}

void Watcher::RunOnLive(const RoomState& room) {
    if (settings_.onLive.empty()) return;
    Environment environment = {{"QIRLEN_ROOM", room.webRid.empty() ? room.roomId : room.webRid},
                               {"QIRLEN_TITLE", room.title},
                               {"QIRLEN_OWNER", room.owner},
                               {"QIRLEN_URL", room.address},
                               {"QIRLEN_LINK", StableLink(room, settings_.host)}};
    std::string error;
    if (!StartCommand(settings_.onLive, environment, error)) Say("--on-live: " + error);
}

// With its next check's time, later while page loads back off.
RoomState Watcher::Shown(const Watched& watched) const {
    RoomState state = watched.state;
    int64_t now = clock_();
    auto wait = std::chrono::duration_cast<std::chrono::seconds>(watched.next - Clock::now());
    state.nextCheck = now + std::max<int64_t>(0, wait.count());
    Service::BackOffState backOff = service_.BackOff();
    if (backOff.until > now) {
        state.backOff = backOff.seconds;
        state.nextCheck = std::max(state.nextCheck, backOff.until);
    }
    return state;
}

void Watcher::Count() {
    size_t live = std::count_if(rooms_.begin(), rooms_.end(),
                                [](const Watched& w) { return w.state.live == true; });
    metrics_.SetRooms(rooms_.size(), live);
}

std::vector<RoomState> Watcher::Rooms() {
    std::lock_guard<std::mutex> hold(link_->lock);
    std::vector<RoomState> states;
    for (const Watched& w : rooms_) states.push_back(Shown(w));
    return states;
}

std::string Watcher::RoomsJson(const std::string& host) {
    return serve::RoomsJson(Rooms(), HostOrDefault(host, settings_.host));
}

std::string Watcher::Playlist(const std::string& host) {
    return PlaylistText(Rooms(), HostOrDefault(host, settings_.host));
}

void Watcher::Subscribe(std::shared_ptr<HttpStream> stream) {
    // A first line at once, so that the client knows it is heard.
    stream->Send(": watching\n\n");
    std::lock_guard<std::mutex> hold(link_->lock);
    streams_.push_back(std::move(stream));
}

}  // namespace serve
