#pragma once
// What the service keeps across a restart: its answers, so that a restarted service answers
// cached links at once; its back-off; and what the last checks saw of the watched rooms, so
// that a room live before the restart is no new broadcast after it. SQLite under the state
// directory; a transaction per write, so that a crash never leaves the file unreadable.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "serve/resolver.h"
#include "serve/watch_text.h"

struct sqlite3;

namespace serve {

struct KeptAnswer {
    Resolved resolved;
    int64_t confirmedAt = 0;
};

class StateStore {
  public:
    // Opens (or makes) the file; error() says why when it could not.
    explicit StateStore(const std::string& path);
    ~StateStore();
    bool open() const { return db_ != nullptr; }
    const std::string& error() const { return error_; }

    std::map<std::string, KeptAnswer> Answers();
    void Keep(const std::string& key, const KeptAnswer& answer);
    void Forget(const std::string& key);
    // The pacing's back-off: its length, and the Unix time until which loads wait.
    void KeepBackOff(int64_t seconds, int64_t until);
    std::pair<int64_t, int64_t> BackOff();
    // The watched rooms' states by their keys (what checks saw; their options are the rooms
    // file's), and which rooms are still watched: the others' states go.
    std::map<std::string, RoomState> Rooms();
    void KeepRoom(const std::string& key, const RoomState& state);
    void KeepOnlyRooms(const std::vector<std::string>& keys);

  private:
    bool Run(const char* sql);
    sqlite3* db_ = nullptr;
    std::string error_;
};

// $XDG_STATE_HOME/qirlen, else ~/.local/state/qirlen; $STATE_DIRECTORY (systemd) first.
std::string StateDirectory();

}  // namespace serve
