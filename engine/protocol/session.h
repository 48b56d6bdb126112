#pragma once
// One target's session on the connection: the commands of one page go to it, and only while it
// is open (the page is attached and its browser alive).
#include <string>

#include "engine/protocol/connection.h"

namespace engine {

class Session {
  public:
    explicit Session(Connection& connection) : connection_(&connection) {}

    void Open(std::string id) { id_ = std::move(id); }
    // The page is gone: commands are no longer sent.
    void Close() { id_.clear(); }
    bool open() const { return !id_.empty(); }
    const std::string& id() const { return id_; }
    Connection& connection() const { return *connection_; }

    // Sends a command and waits for its answer; fails at once while the session is closed.
    CallResult Call(const std::string& method, const nlohmann::json& params = {},
                    int timeoutMs = 30000) const;
    // Sends a command without waiting (nothing while closed). Returns the command id, or -1
    // when nothing was sent.
    int Post(const std::string& method, const nlohmann::json& params = {},
             Connection::ReplyHandler onReply = nullptr) const;

  private:
    Connection* connection_;
    std::string id_;
};

}  // namespace engine
