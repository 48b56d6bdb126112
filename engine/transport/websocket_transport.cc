#include "engine/transport/websocket_transport.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "engine/transport/message_intake.h"
#include "engine/transport/websocket_stream.h"

namespace engine {
namespace {

using Clock = std::chrono::steady_clock;

// A message that the browser does not take within this long: the network or the browser is
// gone, and waiting longer would only hang the caller.
constexpr auto kSendTimeout = std::chrono::seconds(10);
constexpr size_t kKeptReadBufferBytes = 1 << 20;

std::string Seconds(Clock::duration d) {
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(d).count()) + " s";
}

}  // namespace

void WebSocketTransport::Impl::StartReading() {
    WithSocket([this](auto& ws) {
        ws.async_read(incoming, [this](error_code ec, size_t) { OnRead(ec); });
    });
}

void WebSocketTransport::Impl::OnRead(error_code ec) {
    if (ec == websocket::error::message_too_big || ec == websocket::error::buffer_overflow) {
        End("the remote browser at " + peer + " sent a message longer than " +
            std::to_string(maxMessageBytes) + " bytes");
        CloseSocket();
    } else if (ec == websocket::condition::protocol_violation) {
        End("the remote browser at " + peer + " sent a malformed frame (" + ec.message() + ")");
        CloseSocket();
    } else if (ec == websocket::error::closed || ec == asio::error::eof ||
               ec == asio::error::connection_reset) {
        End("the remote browser at " + peer + " closed the connection");
    } else if (ec) {
        End("the connection to the remote browser at " + peer + " was lost: " + ec.message());
    }
    if (ec) return;
    arrived.push_back(TakeIn(beast::buffers_to_string(incoming.data())));
    incoming.consume(incoming.size());
    // What a big message made it grow to goes with it: kept, one picture of a page would
    // hold its size for the rest of the connection.
    if (incoming.capacity() > kKeptReadBufferBytes) incoming = beast::multi_buffer(maxMessageBytes);
    StartReading();
}

WebSocketTransport::WebSocketTransport()
    : impl_(std::make_unique<Impl>(fd_, kDefaultMaxMessageBytes)) {}

WebSocketTransport::~WebSocketTransport() {
    Close();
}

bool WebSocketTransport::Send(const std::string& message) {
    Impl& i = *impl_;
    if (!i.open) return false;
    auto text = std::make_shared<std::string>(message);
    bool done = false;
    error_code ec;
    i.WithSocket([&](auto& ws) {
        ws.async_write(asio::buffer(*text), [&, text](error_code e, size_t) {
            ec = e;
            done = true;
        });
    });
    if (!i.RunUntil(done, Clock::now() + kSendTimeout, [&i] { i.CloseSocket(); })) {
        i.End("the remote browser at " + i.peer + " took no message for " + Seconds(kSendTimeout));
        return false;
    }
    if (ec)
        i.End("the connection to the remote browser at " + i.peer + " was lost: " + ec.message());
    // What the wait for the write took in is finished now, so that the socket alone tells
    // whether more is coming (HasPending covers what came whole).
    i.Poll();
    return !ec;
}

bool WebSocketTransport::HasPending() const {
    return !impl_->arrived.empty();
}

std::string WebSocketTransport::Peer() const {
    return "the remote browser at " + impl_->peer;
}

bool WebSocketTransport::ReadAvailable(std::vector<std::string>& out) {
    Impl& i = *impl_;
    i.Poll();
    for (auto& text : i.arrived) out.push_back(std::move(text));
    i.arrived.clear();
    return i.open;
}

// Everything the socket held was taken in by the last poll; only new bytes on it can bring
// a message now.
bool WebSocketTransport::WaitReadable(int timeoutMs) const {
    Impl& i = *impl_;
    i.Poll();
    if (!i.arrived.empty() || !i.open) return true;
    pollfd p{fd_.load(), POLLIN, 0};
    if (p.fd < 0) return false;
    int r;
    do r = poll(&p, 1, timeoutMs);
    while (r < 0 && errno == EINTR);
    return r > 0;
}

void WebSocketTransport::Abandon(const std::string& why) {
    impl_->End(why);
    impl_->endReason = why;
    impl_->CloseSocket();
}

void WebSocketTransport::Close() {
    if (!impl_) return;
    Impl& i = *impl_;
    if (i.open) {
        i.open = false;
        bool done = false;
        i.WithSocket([&](auto& ws) {
            ws.async_close(websocket::close_code::normal, [&](error_code) { done = true; });
        });
        i.RunUntil(done, Clock::now() + kGoodbyeTimeout, [&i] { i.CloseSocket(); });
    }
    i.CloseSocket();
    // The read still pending ends with the socket; its handler runs before the streams go.
    if (i.ioc.stopped()) i.ioc.restart();
    i.ioc.run_for(kGoodbyeTimeout);
    i.tls.reset();
    i.plain.reset();
    i.arrived.clear();
}

void WebSocketTransport::Terminate() {
    terminated_ = true;
    if (int fd = fd_.load(); fd >= 0) shutdown(fd, SHUT_RDWR);
}

std::string WebSocketTransport::ExitReason() const {
    if (terminated_) return "the browser was ended by the host";
    return impl_->endReason.empty() ? "the remote browser is not connected" : impl_->endReason;
}

}  // namespace engine
