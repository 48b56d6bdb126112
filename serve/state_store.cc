#include "serve/state_store.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

namespace serve {
namespace {

// A statement that is finalized however its use ends.
struct Statement {
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &handle, nullptr); }
    ~Statement() { sqlite3_finalize(handle); }
    void Text(int at, const std::string& text) {
        sqlite3_bind_text(handle, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    std::string Column(int at) {
        const unsigned char* text = sqlite3_column_text(handle, at);
        return text ? reinterpret_cast<const char*>(text) : "";
    }
    sqlite3_stmt* handle = nullptr;
};

std::string RoomStateText(const RoomState& state) {
    nlohmann::json out = {{"live", state.live ? nlohmann::json(*state.live) : nullptr},
                          {"since", state.since},
                          {"title", state.title},
                          {"owner", state.owner},
                          {"avatar", state.avatar},
                          {"webRid", state.webRid},
                          {"roomId", state.roomId},
                          {"address", state.address},
                          {"message", state.message},
                          {"lastCheck", state.lastCheck},
                          {"lastError", state.lastError}};
    return out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// False for a text this store did not write.
bool ReadRoomState(const std::string& text, RoomState& state) {
    nlohmann::json in = nlohmann::json::parse(text, nullptr, false);
    if (!in.is_object()) return false;
    auto textOf = [&](const char* name) {
        auto it = in.find(name);
        return it != in.end() && it->is_string() ? it->get<std::string>() : std::string();
    };
    auto timeOf = [&](const char* name) {
        auto it = in.find(name);
        return it != in.end() && it->is_number_integer() ? it->get<int64_t>() : int64_t{0};
    };
    if (auto live = in.find("live"); live != in.end() && live->is_boolean())
        state.live = live->get<bool>();
    state.since = timeOf("since");
    state.lastCheck = timeOf("lastCheck");
    state.title = textOf("title");
    state.owner = textOf("owner");
    state.avatar = textOf("avatar");
    state.webRid = textOf("webRid");
    state.roomId = textOf("roomId");
    state.address = textOf("address");
    state.message = textOf("message");
    state.lastError = textOf("lastError");
    return true;
}

}  // namespace

StateStore::StateStore(const std::string& path) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        error_ = "cannot open " + path + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
        sqlite3_close(db_);
        db_ = nullptr;
        return;
    }
    sqlite3_busy_timeout(db_, 2000);
    // The journal makes every write whole or absent, whatever stops the process.
    bool ready = Run("PRAGMA journal_mode=WAL") && Run("PRAGMA synchronous=FULL") &&
                 Run("CREATE TABLE IF NOT EXISTS answers (key TEXT PRIMARY KEY, code INTEGER, "
                     "address TEXT, expiry INTEGER, json TEXT, room TEXT, confirmed INTEGER)") &&
                 Run("CREATE TABLE IF NOT EXISTS rooms (key TEXT PRIMARY KEY, state TEXT)") &&
                 Run("CREATE TABLE IF NOT EXISTS backoff (one INTEGER PRIMARY KEY CHECK (one = 1), "
                     "seconds INTEGER, until INTEGER)");
    if (!ready) {
        sqlite3_close(db_);
        db_ = nullptr;
    }
}

StateStore::~StateStore() {
    sqlite3_close(db_);
}

bool StateStore::Run(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error_ = message ? message : "SQLite failed";
    sqlite3_free(message);
    return false;
}

std::map<std::string, KeptAnswer> StateStore::Answers() {
    std::map<std::string, KeptAnswer> out;
    if (!db_) return out;
    Statement select(db_, "SELECT key, code, address, expiry, json, room, confirmed FROM answers");
    while (sqlite3_step(select.handle) == SQLITE_ROW) {
        KeptAnswer& kept = out[select.Column(0)];
        kept.resolved.code = sqlite3_column_int(select.handle, 1);
        kept.resolved.address = select.Column(2);
        if (sqlite3_column_type(select.handle, 3) != SQLITE_NULL)
            kept.resolved.expiry = sqlite3_column_int64(select.handle, 3);
        kept.resolved.json = select.Column(4);
        kept.resolved.roomId = select.Column(5);
        kept.confirmedAt = sqlite3_column_int64(select.handle, 6);
    }
    return out;
}

void StateStore::Keep(const std::string& key, const KeptAnswer& answer) {
    if (!db_) return;
    Statement insert(db_,
                     "INSERT OR REPLACE INTO answers (key, code, address, expiry, json, room, "
                     "confirmed) VALUES (?, ?, ?, ?, ?, ?, ?)");
    insert.Text(1, key);
    sqlite3_bind_int(insert.handle, 2, answer.resolved.code);
    insert.Text(3, answer.resolved.address);
    if (answer.resolved.expiry)
        sqlite3_bind_int64(insert.handle, 4, *answer.resolved.expiry);
    else
        sqlite3_bind_null(insert.handle, 4);
    insert.Text(5, answer.resolved.json);
    insert.Text(6, answer.resolved.roomId);
    sqlite3_bind_int64(insert.handle, 7, answer.confirmedAt);
    sqlite3_step(insert.handle);
}

void StateStore::Forget(const std::string& key) {
    if (!db_) return;
    Statement remove(db_, "DELETE FROM answers WHERE key = ?");
    remove.Text(1, key);
    sqlite3_step(remove.handle);
}

void StateStore::KeepBackOff(int64_t seconds, int64_t until) {
    if (!db_) return;
    Statement keep(db_, "INSERT OR REPLACE INTO backoff (one, seconds, until) VALUES (1, ?, ?)");
    sqlite3_bind_int64(keep.handle, 1, seconds);
    sqlite3_bind_int64(keep.handle, 2, until);
    sqlite3_step(keep.handle);
}

std::pair<int64_t, int64_t> StateStore::BackOff() {
    if (!db_) return {0, 0};
    Statement select(db_, "SELECT seconds, until FROM backoff WHERE one = 1");
    if (sqlite3_step(select.handle) != SQLITE_ROW) return {0, 0};
    return {sqlite3_column_int64(select.handle, 0), sqlite3_column_int64(select.handle, 1)};
}

std::map<std::string, RoomState> StateStore::Rooms() {
    std::map<std::string, RoomState> out;
    if (!db_) return out;
    Statement select(db_, "SELECT key, state FROM rooms");
    while (sqlite3_step(select.handle) == SQLITE_ROW) {
        RoomState state;
        if (ReadRoomState(select.Column(1), state)) out[select.Column(0)] = std::move(state);
    }
    return out;
}

void StateStore::KeepRoom(const std::string& key, const RoomState& state) {
    if (!db_) return;
    Statement insert(db_, "INSERT OR REPLACE INTO rooms (key, state) VALUES (?, ?)");
    insert.Text(1, key);
    insert.Text(2, RoomStateText(state));
    sqlite3_step(insert.handle);
}

void StateStore::KeepOnlyRooms(const std::vector<std::string>& keys) {
    if (!db_) return;
    std::set<std::string> watched(keys.begin(), keys.end());
    std::vector<std::string> gone;
    {
        Statement select(db_, "SELECT key FROM rooms");
        while (sqlite3_step(select.handle) == SQLITE_ROW)
            if (!watched.count(select.Column(0))) gone.push_back(select.Column(0));
    }
    for (const std::string& key : gone) {
        Statement remove(db_, "DELETE FROM rooms WHERE key = ?");
        remove.Text(1, key);
        sqlite3_step(remove.handle);
    }
}

std::string StateDirectory() {
    for (const char* name : {"STATE_DIRECTORY", "XDG_STATE_HOME"}) {
        const char* value = std::getenv(name);
        if (value && *value == '/') {
            std::string dir = value;
            // systemd may name several directories, separated by colons: the first is ours.
            dir = dir.substr(0, dir.find(':'));
            return name == std::string("STATE_DIRECTORY") ? dir : dir + "/qirlen";
        }
    }
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/state/qirlen";
}

}  // namespace serve
