#pragma once
// Messages over a pair of pipes, each ended by a NUL: how Chromium speaks the protocol on its
// fds 3 and 4 (--remote-debugging-pipe). Framing only: the process at the other end is
// engine/process's.
#include <string>
#include <vector>

#include "engine/transport/message_intake.h"
#include "engine/transport/transport.h"

namespace engine {

class PipeTransport : public Transport {
  public:
    PipeTransport() = default;
    PipeTransport(const PipeTransport&) = delete;
    PipeTransport& operator=(const PipeTransport&) = delete;
    ~PipeTransport() override { ClosePipes(); }

    // Talks over `toPeer` (written) and `fromPeer` (read, made non-blocking) from now on; a
    // message longer than `maxMessageBytes` ends the peer (Abandon).
    void OpenPipes(int toPeer, int fromPeer, size_t maxMessageBytes);
    void ClosePipes();

    // Writes one message (the NUL is added). False when the pipe is gone.
    bool Send(const std::string& message) override;
    // Reads what is available without blocking and appends complete messages to `out`.
    // False once the peer has closed its end (or died).
    bool ReadAvailable(std::vector<std::string>& out) override;
    // Waits until the pipe is readable or `timeoutMs` passes (-1: forever).
    bool WaitReadable(int timeoutMs) const override;
    int readFd() const override { return fromPeer_; }

  private:
    int toPeer_ = -1;
    int fromPeer_ = -1;
    MessageIntake incoming_;  // the message under way
    size_t maxMessageBytes_ = kDefaultMaxMessageBytes;
};

}  // namespace engine
