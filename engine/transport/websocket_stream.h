#pragma once
// The inside of the WebSocket transport, shared by its halves: connecting
// (websocket_connect.cc) and framing messages on the open socket (websocket_transport.cc).
#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/transport/browser_address.h"
#include "engine/transport/websocket_transport.h"

namespace engine {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;
using PlainWs = websocket::stream<beast::tcp_stream>;
using TlsWs = websocket::stream<TlsStream>;

// How long a closing handshake may take, which a peer that broke the protocol may never answer.
constexpr auto kGoodbyeTimeout = std::chrono::milliseconds(1000);

struct WebSocketTransport::Impl {
    using Clock = std::chrono::steady_clock;

    Impl(std::atomic<int>& fd, size_t maxMessageBytes)
        : fd(fd), maxMessageBytes(maxMessageBytes), incoming(maxMessageBytes) {}

    // Made on first use: reading the system's certificates takes some 30 ms, which every
    // start of a local browser would otherwise pay.
    asio::ssl::context& Tls() {
        if (!tlsContext) {
            tlsContext.emplace(asio::ssl::context::tls_client);
            tlsContext->set_default_verify_paths();
            tlsContext->set_verify_mode(asio::ssl::verify_peer);
        }
        return *tlsContext;
    }

    std::atomic<int>& fd;  // the socket the host watches and Terminate may cut
    size_t maxMessageBytes;
    asio::io_context ioc;
    std::optional<asio::ssl::context> tlsContext;
    std::unique_ptr<PlainWs> plain;
    std::unique_ptr<TlsWs> tls;
    // A message is read here, in as many steps as the socket (or TLS, a record at a time)
    // gives it, never beyond the limit: it grows in pieces that are never copied, so that a
    // message refused at the limit has cost the limit and not twice it (a flat buffer copies
    // all it holds into one twice its size).
    beast::multi_buffer incoming;
    std::deque<std::string> arrived;
    bool open = false;
    std::string endReason;
    std::string peer;  // the address shown in messages

    beast::tcp_stream& Lowest() {
        return tls ? beast::get_lowest_layer(*tls) : beast::get_lowest_layer(*plain);
    }
    template <typename F>
    void WithSocket(F&& f) {
        if (tls)
            f(*tls);
        else if (plain)
            f(*plain);
    }

    // Runs the io_context until `done`. At the deadline `cancel` ends what is pending (its
    // handler still runs, with an error), and the answer is false.
    bool RunUntil(const bool& done, Clock::time_point deadline,
                  const std::function<void()>& cancel) {
        if (ioc.stopped()) ioc.restart();
        while (!done && ioc.run_one_until(deadline) > 0) {
        }
        if (done) return true;
        cancel();
        if (ioc.stopped()) ioc.restart();
        while (!done && ioc.run_one_for(std::chrono::seconds(1)) > 0) {
        }
        return false;
    }

    void Poll() {
        if (ioc.stopped()) ioc.restart();
        ioc.poll();
    }

    void CloseSocket() {
        if (!plain && !tls) return;
        error_code ignored;
        Lowest().socket().close(ignored);
        fd = -1;
    }

    void End(const std::string& why) {
        if (!open) return;
        open = false;
        endReason = why;
    }

    bool Resolve(const BrowserAddress& a, Clock::time_point deadline,
                 tcp::resolver::results_type* found, std::string* why);

    bool OpenTcp(beast::tcp_stream& s, const BrowserAddress& a, Clock::time_point deadline,
                 std::string* why);

    bool TlsHandshake(TlsStream& s, const BrowserAddress& a, Clock::time_point deadline,
                      std::string* why);

    template <typename Stream>
    bool OpenStream(Stream& s, const BrowserAddress& a, Clock::time_point deadline,
                    std::string* why);

    // The browser's WebSocket address, from its /json/version.
    template <typename Stream>
    bool AskVersion(Stream& s, const BrowserAddress& a, Clock::time_point deadline,
                    std::string* webSocketUrl, std::string* why);

    template <typename Ws>
    bool Handshake(Ws& ws, const BrowserAddress& a, Clock::time_point deadline, std::string* why);

    // Reads the next message into `incoming` and on, until the socket ends.
    void StartReading();
    void OnRead(error_code ec);
};

}  // namespace engine
