#pragma once
// The DevTools protocol over a transport (the pipe to our own Chromium, or a WebSocket to
// a browser elsewhere): numbered commands, their answers, and events. Everything happens on the
// calling thread; while a command waits for its answer, the events that arrive meanwhile go to the
// event handler in order.
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "engine/transport/transport.h"

namespace engine {

struct CallResult {
    bool ok = false;
    nlohmann::json result;  // the command's "result" when ok
    std::string error;      // the protocol's error message, or why no answer came
};

class Connection {
  public:
    using EventHandler = std::function<void(const nlohmann::json& message)>;
    using ReplyHandler = std::function<void(const CallResult& reply)>;
    using StallHandler = std::function<void()>;

    explicit Connection(Transport& transport) : transport_(&transport) {}
    // Talks over `transport` from now on; only between browsers (after Reset, before a start).
    void Use(Transport& transport) { transport_ = &transport; }

    void SetEventHandler(EventHandler handler) { onEvent_ = std::move(handler); }
    // Called once when the pipe closes; the connection is dead afterwards.
    void SetDeathHandler(std::function<void()> handler) { onDeath_ = std::move(handler); }

    // Sends a command without waiting. Its answer goes to `onReply` (or is dropped).
    // Returns the command id, or -1 when the connection is dead.
    int Post(const std::string& method, const nlohmann::json& params, const std::string& session,
             ReplyHandler onReply = nullptr);

    // Sends a command and waits for its answer. `timeoutMs` bounds the wait; `onStall`, if
    // given, is called when the wait reaches `stallMs` and again every 250 ms after that
    // until the answer comes (the time spent in the event handler does not count).
    CallResult Call(const std::string& method, const nlohmann::json& params,
                    const std::string& session, int timeoutMs = 30000, int stallMs = -1,
                    StallHandler onStall = nullptr);

    // Reads and handles whatever has arrived, waiting up to `timeoutMs` for the first
    // message. False when the connection is dead.
    bool Pump(int timeoutMs);
    // Messages read from the pipe but not handled yet: a command's wait stops at its answer,
    // so that what came after it is handled after the caller has used the answer.
    bool HasUnhandled() const { return !inbox_.empty(); }

    bool dead() const { return dead_; }
    // A session whose page is gone (its renderer crashed): the commands waiting on it fail at
    // once with `why`, and later ones fail without being sent, until it is reopened (a new
    // load brings a new renderer to the same session).
    void EndSession(const std::string& session, const std::string& why);
    void ReopenSession(const std::string& session) { endedSessions_.erase(session); }
    // After a command went unanswered, the browser itself is asked at once. When it answers,
    // only the page was busy: that page's commands fail at once until it answers anything
    // again (one probe asks it), and every other page goes on. When the browser does not
    // answer either, every command fails at once until it is heard from again (any message).
    bool unresponsive() const { return unresponsive_; }
    bool pageUnresponsive(const std::string& session) const {
        return busySessions_.count(session) > 0;
    }
    // Forgets everything about the previous browser, for a new one on the same process object.
    void Reset();
    int readFd() const { return transport_->readFd(); }

  private:
    using Clock = std::chrono::steady_clock;

    void Handle(std::string text);
    // The peer broke the protocol: it is given up on, with `what` it did.
    void Breach(const std::string& what);
    // Handles queued messages in order until `done` holds; false when the inbox ran dry.
    bool HandleInbox(const std::function<bool()>& done);
    bool ReadInbox(int timeoutMs);
    void MarkDead();
    bool StillUnresponsive();
    bool PageStillUnresponsive(const std::string& session);
    // A command on `session` went unanswered in time: tells a busy page from a stopped browser.
    void OnUnanswered(const std::string& method, const std::string& session);

    Transport* transport_;
    EventHandler onEvent_;
    std::function<void()> onDeath_;
    int nextId_ = 1;
    bool dead_ = false;
    bool closed_ = false;  // the pipe reached its end; dead once the inbox is handled
    bool unresponsive_ = false, probeSent_ = false, toldUnresponsive_ = false;
    std::map<int, ReplyHandler> replyHandlers_;
    std::map<int, CallResult> arrived_;  // answers for commands someone is waiting on
    std::set<int> awaited_;
    std::set<int> unanswered_;                          // every command sent and not answered yet
    std::map<int, std::string> sessionOf_;              // unanswered commands sent to a session
    std::map<std::string, std::string> endedSessions_;  // session -> why its commands fail
    std::set<std::string> busySessions_;                // pages that let a command go unanswered
    std::deque<std::string> inbox_;
    Clock::duration handlerTime_{};
};

}  // namespace engine
