#include "engine/transport/pipe_transport.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace engine {
namespace {

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// A write to a pipe whose reader is gone raises SIGPIPE. What the host does with that signal
// is its own business, so it is held back around the write and, if the write raised it,
// taken off again; the write's EPIPE says enough.
class QuietPipeWrites {
  public:
    QuietPipeWrites() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        alreadyPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~QuietPipeWrites() {
        sigset_t pending;
        sigpending(&pending);
        if (!alreadyPending_ && sigismember(&pending, SIGPIPE) == 1) {
            timespec now{0, 0};
            sigtimedwait(&pipe_, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }

  private:
    sigset_t pipe_, previous_;
    bool alreadyPending_ = false;
};

}  // namespace

void PipeTransport::OpenPipes(int toPeer, int fromPeer, size_t maxMessageBytes) {
    toPeer_ = toPeer;
    fromPeer_ = fromPeer;
    maxMessageBytes_ = maxMessageBytes;
    incoming_ = MessageIntake();
    fcntl(fromPeer_, F_SETFL, fcntl(fromPeer_, F_GETFL) | O_NONBLOCK);
}

void PipeTransport::ClosePipes() {
    CloseFd(toPeer_);
    CloseFd(fromPeer_);
}

bool PipeTransport::Send(const std::string& message) {
    if (toPeer_ < 0) return false;
    QuietPipeWrites quiet;
    std::string framed = message;
    framed.push_back('\0');
    const char* p = framed.data();
    size_t left = framed.size();
    while (left > 0) {
        ssize_t n = write(toPeer_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd pfd{toPeer_, POLLOUT, 0};
            poll(&pfd, 1, 100);
            continue;
        }
        if (n <= 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

bool PipeTransport::ReadAvailable(std::vector<std::string>& out) {
    if (fromPeer_ < 0) return false;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fromPeer_, buf, sizeof buf);
        if (n > 0) {
            std::string_view bytes(buf, static_cast<size_t>(n));
            for (size_t nul; (nul = bytes.find('\0')) != std::string_view::npos;
                 bytes.remove_prefix(nul + 1)) {
                incoming_.Add(bytes.substr(0, nul));
                out.push_back(incoming_.Take());
            }
            incoming_.Add(bytes);
            if (incoming_.size() > maxMessageBytes_) {
                incoming_ = MessageIntake();
                Abandon(Peer() + " sent a message longer than " + std::to_string(maxMessageBytes_) +
                        " bytes");
                return false;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return true;
        return false;  // EOF or error: the peer is gone
    }
}

bool PipeTransport::WaitReadable(int timeoutMs) const {
    if (fromPeer_ < 0) return false;
    pollfd pfd{fromPeer_, POLLIN, 0};
    int r;
    do r = poll(&pfd, 1, timeoutMs);
    while (r < 0 && errno == EINTR);
    return r > 0;
}

}  // namespace engine
