#pragma once
// What the DevTools connection travels on: the pipe to a Chromium of our own, or a WebSocket
// to a browser that runs elsewhere. Messages are whole JSON texts either way. This room frames
// messages and nothing more: what they mean is the protocol's (engine/protocol).
#include <cstddef>
#include <string>
#include <vector>

namespace engine {

// The longest message taken from a browser, on either transport, unless the engine's options
// say otherwise. No real answer comes near it (a full-page picture is tens of megabytes); a
// peer that sends more is given up on rather than let exhaust memory.
constexpr size_t kDefaultMaxMessageBytes = size_t{512} << 20;

class Transport {
  public:
    virtual ~Transport() = default;

    // Sends one message. False when the transport is gone.
    virtual bool Send(const std::string& message) = 0;
    // Appends the complete messages that have arrived, without blocking. False once the other
    // end has closed; what arrived before that is still appended.
    virtual bool ReadAvailable(std::vector<std::string>& out) = 0;
    // Waits until something may be read or `timeoutMs` passes (-1: forever).
    virtual bool WaitReadable(int timeoutMs) const = 0;
    // The descriptor the host's event loop watches; -1 when there is none.
    virtual int readFd() const = 0;
    // Gives up on a peer that broke the protocol; `why` is then how it ended.
    virtual void Abandon(const std::string& why) = 0;
    // A browser of our own that stops answering may only be busy, and is waited for again
    // once it is heard from; a browser elsewhere that stops answering is given up on, since
    // nothing here can tell a stopped browser from a lost network.
    virtual bool GivenUpWhenSilent() const { return false; }
    // Messages already taken off the descriptor but not yet read: the host's loop, which
    // watches only the descriptor, must be told of them.
    virtual bool HasPending() const { return false; }
    // An answer to a command never asked (or asked and answered) ends a browser elsewhere,
    // which may lie, rather than leave the real answer to be waited for in vain. Our own
    // Chromium's pipe carries nothing else; a stray answer there is dropped.
    virtual bool EndsOnStrayAnswers() const { return false; }
    // Who is at the other end, as messages about what it did name it.
    virtual std::string Peer() const { return "Chromium"; }
};

}  // namespace engine
