#include "engine/protocol/connection.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "engine/protocol/protocol_log.h"
#include "engine/transport/json_text.h"

namespace engine {

using json = nlohmann::json;

namespace {

// A message of an unexpected shape must not take the program down: whatever it was,
// it is dropped.
template <typename F>
void Guarded(F&& f) {
    try {
        f();
    } catch (const std::exception&) {
        TraceCaught("handling a message");
    }
}

}  // namespace

int Connection::Post(const std::string& method, const json& params, const std::string& session,
                     ReplyHandler onReply) {
    if (dead_ || endedSessions_.count(session)) return -1;
    int id = nextId_++;
    json message = {
        {"id", id}, {"method", method}, {"params", params.is_null() ? json::object() : params}};
    if (!session.empty()) message["sessionId"] = session;
    std::string text = message.dump(-1, ' ', false, json::error_handler_t::replace);
    LogProtocol(">>", text);
    unanswered_.insert(id);
    if (!transport_->Send(text)) {
        MarkDead();
        return -1;
    }
    if (onReply) replyHandlers_[id] = std::move(onReply);
    if (!session.empty()) sessionOf_[id] = session;
    return id;
}

// A browser that let a command go unanswered (stopped, say) is not waited for again until it
// has been heard from: a look at the pipe is enough to tell, and one probe asks it.
bool Connection::StillUnresponsive() {
    if (!unresponsive_) return false;
    bool alive = ReadInbox(0);
    if (!inbox_.empty() || !alive) {  // heard from, or gone: either way no more waiting here
        unresponsive_ = false;
        return false;
    }
    if (!probeSent_) {
        probeSent_ = true;
        Post("Browser.getVersion", json::object(), "",
             [this](const CallResult&) { unresponsive_ = false; });
    }
    return true;
}

// A page that let a command go unanswered is not waited for again until it has answered
// something (the command it owed, or the probe sent to it); what has arrived is handled in
// order to tell.
bool Connection::PageStillUnresponsive(const std::string& session) {
    if (!busySessions_.count(session)) return false;
    ReadInbox(0);
    HandleInbox([&] { return !busySessions_.count(session); });
    return busySessions_.count(session) > 0;
}

// The browser process goes on while one of its renderers is busy (a script that will not
// end, a huge layout): when it answers a question of its own at once, only the page is
// given up on. When it does not, it is stopped as a whole.
void Connection::OnUnanswered(const std::string& method, const std::string& session) {
    // A browser elsewhere is given up on when it stays silent, so it gets longer: a network
    // and a loaded machine may hold its answer back for a while.
    const bool remote = transport_->GivenUpWhenSilent();
    const auto kBrowserAnswersWithin = std::chrono::milliseconds(remote ? 5000 : 1000);
    auto browserAnswered = std::make_shared<bool>(false);
    int probe = Post("Browser.getVersion", json::object(), "", [this, browserAnswered](auto&) {
        *browserAnswered = true;
        unresponsive_ = false;
    });
    if (probe < 0) return;  // the browser is gone
    auto deadline = Clock::now() + kBrowserAnswersWithin;
    while ((remote || !session.empty()) && !*browserAnswered && !dead_) {
        if (HandleInbox([&] { return *browserAnswered; })) break;
        if (closed_) {
            MarkDead();
            break;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;
        ReadInbox(static_cast<int>(left.count()));
    }
    if (dead_) return;
    if (*browserAnswered) {
        if (session.empty()) return;  // the browser itself was only slow
        busySessions_.insert(session);
        // Answered by the page's renderer itself, once it is free again.
        Post("Runtime.getIsolateId", json::object(), session);
        return;
    }
    if (transport_->GivenUpWhenSilent()) {
        transport_->Abandon("the remote browser did not answer " + method + " in time");
        inbox_.clear();
        closed_ = true;
        MarkDead();
        return;
    }
    unresponsive_ = true;
    probeSent_ = true;  // the probe above asks it
    if (!toldUnresponsive_) {
        toldUnresponsive_ = true;
        std::fprintf(stderr,
                     "qirlen engine: Chromium did not answer %s in time; calls return at once "
                     "until it answers again\n",
                     method.c_str());
    }
}

CallResult Connection::Call(const std::string& method, const json& params,
                            const std::string& session, int timeoutMs, int stallMs,
                            StallHandler onStall) {
    if (auto ended = endedSessions_.find(session); ended != endedSessions_.end())
        return {false, {}, ended->second};
    if (StillUnresponsive()) return {false, {}, "the browser does not answer"};
    if (PageStillUnresponsive(session)) return {false, {}, "the page does not answer"};
    int id = Post(method, params, session);
    if (id < 0) return {false, {}, "the browser is not running"};
    awaited_.insert(id);
    auto start = Clock::now();
    auto handlerAtStart = handlerTime_;
    // A stall is reported again every kRestallMs: a stop request may end some other task
    // of the page (one that was busy when the command came) instead of the command's own.
    constexpr long kRestallMs = 250;
    long nextStallMs = stallMs;
    for (;;) {
        if (auto it = arrived_.find(id); it != arrived_.end()) {
            CallResult r = std::move(it->second);
            arrived_.erase(it);
            awaited_.erase(id);
            return r;
        }
        if (dead_) break;
        auto waited = Clock::now() - start - (handlerTime_ - handlerAtStart);
        auto waitedMs = std::chrono::duration_cast<std::chrono::milliseconds>(waited).count();
        if (onStall && stallMs >= 0 && waitedMs >= nextStallMs) {
            nextStallMs = waitedMs + kRestallMs;
            onStall();
            continue;
        }
        if (waitedMs >= timeoutMs) {
            // Its session stays noted: the late answer tells that the page is back.
            awaited_.erase(id);
            OnUnanswered(method, session);
            return {false, {}, method + " got no answer in time"};
        }
        long next = timeoutMs - waitedMs;
        if (onStall && stallMs >= 0) next = std::min<long>(next, nextStallMs - waitedMs);
        if (HandleInbox([&] { return arrived_.count(id) > 0; })) continue;
        if (closed_) {
            MarkDead();
            continue;
        }
        ReadInbox(static_cast<int>(std::max<long>(next, 1)));
    }
    awaited_.erase(id);
    return {false, {}, "the browser is not running"};
}

bool Connection::Pump(int timeoutMs) {
    if (dead_) return false;
    bool alive = !inbox_.empty() || ReadInbox(timeoutMs);
    alive = ReadInbox(0) && alive;
    HandleInbox([] { return false; });
    if (!alive) MarkDead();
    return !dead_;
}

bool Connection::HandleInbox(const std::function<bool()>& done) {
    while (!inbox_.empty()) {
        std::string text = std::move(inbox_.front());
        inbox_.pop_front();
        Handle(std::move(text));
        if (done()) return true;
    }
    return false;
}

// Appends what the pipe holds to the inbox, waiting up to `timeoutMs` when it holds
// nothing yet. False when the pipe has closed; what arrived before that is still handled
// by the caller's next HandleInbox, since MarkDead only happens once the inbox is empty.
bool Connection::ReadInbox(int timeoutMs) {
    if (closed_) return false;
    std::vector<std::string> messages;
    bool alive = transport_->ReadAvailable(messages);
    if (alive && messages.empty() && timeoutMs != 0) {
        transport_->WaitReadable(timeoutMs);
        alive = transport_->ReadAvailable(messages);
    }
    for (auto& text : messages) inbox_.push_back(std::move(text));
    if (!alive) closed_ = true;
    return alive;
}

void Connection::Breach(const std::string& what) {
    transport_->Abandon(transport_->Peer() + " " + what);
    inbox_.clear();
    closed_ = true;
    MarkDead();
}

void Connection::Handle(std::string text) {
    LogProtocol("<<", text);
    json message = ParseLenient(text);
    std::string().swap(text);  // the tree holds it all now; a long text goes before it is used
    if (message.is_discarded()) {
        // Not JSON at all: whatever talks there is not a browser we can trust.
        Breach("sent something that is not the protocol");
        return;
    }
    if (!message.is_object()) return;  // JSON of another shape: dropped
    auto idField = message.find("id");
    if (idField != message.end() && idField->is_number_integer()) {
        int64_t given = idField->get<int64_t>();
        int id = given > 0 && given < nextId_ ? static_cast<int>(given) : 0;
        // An answer nothing was asked for: the wait for the real one would be in vain.
        if (!unanswered_.erase(id)) {
            if (!transport_->EndsOnStrayAnswers()) return;
            Breach(id ? "answered command " + std::to_string(id) + " a second time"
                      : "answered with an id never asked (" + std::to_string(given) + ")");
            return;
        }
        if (auto sent = sessionOf_.find(id); sent != sessionOf_.end()) {
            busySessions_.erase(sent->second);  // its page answers again
            sessionOf_.erase(sent);
        }
        CallResult r;
        if (auto res = message.find("result"); res != message.end()) {
            r.ok = true;
            r.result = *res;
        } else if (auto err = message.find("error"); err != message.end() && err->is_object()) {
            auto msg = err->find("message");
            r.error = msg != err->end() && msg->is_string() ? msg->get<std::string>() : "error";
        } else {
            r.error = "malformed answer";
        }
        if (auto h = replyHandlers_.find(id); h != replyHandlers_.end()) {
            ReplyHandler handler = std::move(h->second);
            replyHandlers_.erase(h);
            auto t0 = Clock::now();
            Guarded([&] { handler(r); });
            handlerTime_ += Clock::now() - t0;
        } else if (awaited_.count(id)) {
            arrived_[id] = std::move(r);
        }
        return;
    }
    // The script engine's events come from the page's renderer: a page that sends one (its
    // new document in a new renderer, say) is there again.
    auto session = message.find("sessionId"), method = message.find("method");
    if (session != message.end() && session->is_string() && method != message.end() &&
        method->is_string() && method->get_ref<const std::string&>().rfind("Runtime.", 0) == 0)
        busySessions_.erase(session->get<std::string>());
    if (!onEvent_ || !message.contains("method")) return;
    auto t0 = Clock::now();
    Guarded([&] { onEvent_(message); });
    handlerTime_ += Clock::now() - t0;
}

void Connection::EndSession(const std::string& session, const std::string& why) {
    if (session.empty()) return;
    endedSessions_[session] = why;
    busySessions_.erase(session);
    std::vector<std::pair<int, ReplyHandler>> orphans;
    for (auto it = sessionOf_.begin(); it != sessionOf_.end();) {
        if (it->second != session) {
            ++it;
            continue;
        }
        int id = it->first;
        it = sessionOf_.erase(it);
        if (auto h = replyHandlers_.find(id); h != replyHandlers_.end()) {
            orphans.emplace_back(id, std::move(h->second));
            replyHandlers_.erase(h);
        } else if (awaited_.count(id)) {
            arrived_[id] = {false, {}, why};
        }
    }
    // Their answers will never come: they learn it now, in the order they were sent.
    for (auto& [id, handler] : orphans) Guarded([&] { handler({false, {}, why}); });
}

void Connection::Reset() {
    dead_ = closed_ = unresponsive_ = probeSent_ = false;
    sessionOf_.clear();
    endedSessions_.clear();
    busySessions_.clear();
    unanswered_.clear();
    inbox_.clear();
    replyHandlers_.clear();
    arrived_.clear();
    awaited_.clear();
}

void Connection::MarkDead() {
    if (dead_) return;
    dead_ = true;
    replyHandlers_.clear();
    if (onDeath_) onDeath_();
}

}  // namespace engine
