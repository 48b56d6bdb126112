#include "engine/transport/websocket_transport.h"

#include <poll.h>
#include <sys/socket.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <type_traits>

#include "engine/page/bounds.h"
#include "platform/ascii_text.h"

namespace engine {
namespace {

using platform::AsciiLower;

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using error_code = boost::system::error_code;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;
using PlainWs = websocket::stream<beast::tcp_stream>;
using TlsWs = websocket::stream<TlsStream>;

// A message that the browser does not take within this long: the network or the browser is
// gone, and waiting longer would only hang the caller.
constexpr auto kSendTimeout = std::chrono::seconds(10);
constexpr auto kGoodbyeTimeout = std::chrono::milliseconds(1000);
constexpr size_t kKeptReadBufferBytes = 1 << 20;
// A browser's /json/version is a few hundred bytes: more than this of an answer, however it
// is framed (a body, chunks, their extensions, headers), is not read.
constexpr size_t kMaxVersionBytes = 1 << 20;

bool IsPort(const std::string& text) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    int port = std::atoi(text.c_str());
    return port > 0 && port < 65536;
}

// /json/version beside the path given (a proxy may serve the browser under a prefix), with
// the query kept (it may carry the service's token).
std::string VersionTarget(const std::string& target) {
    size_t query = target.find('?');
    std::string path = target.substr(0, query);
    while (!path.empty() && path.back() == '/') path.pop_back();
    return path + "/json/version" + (query == std::string::npos ? "" : target.substr(query));
}

std::string Seconds(Clock::duration d) {
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(d).count()) + " s";
}

bool IsIpAddress(const std::string& host) {
    error_code ec;
    asio::ip::make_address(host, ec);
    return !ec;
}

// The peer must prove it is `host`: OpenSSL checks the certificate's names (or addresses)
// while it verifies the chain, so a mismatch is told apart from an unknown authority. A name
// is also sent as the server name; an address never is.
void ExpectPeer(SSL* ssl, const std::string& host) {
    if (IsIpAddress(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str());
        return;
    }
    SSL_set_tlsext_host_name(ssl, host.c_str());
    SSL_set1_host(ssl, host.c_str());
}

// Why the peer's certificate was refused, in one line, with what a user can do about it.
std::string CertificateRefusal(const BrowserAddress& a, long verdict) {
    std::string reason = X509_verify_cert_error_string(verdict);
    if (verdict == X509_V_ERR_HOSTNAME_MISMATCH || verdict == X509_V_ERR_IP_ADDRESS_MISMATCH)
        return "the TLS certificate of " + a.hostAndPort() + " is not for " + a.host + " (" +
               reason + ")";
    return "the TLS certificate of " + a.hostAndPort() + " is not trusted (" + reason +
           "); a private authority is trusted through SSL_CERT_FILE or SSL_CERT_DIR";
}

}  // namespace

std::string BrowserAddress::hostAndPort() const {
    return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + port;
}

std::string BrowserAddress::shown() const {
    return scheme + "://" + hostAndPort() + target.substr(0, target.find('?'));
}

std::optional<BrowserAddress> ParseBrowserAddress(const std::string& url) {
    size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos) return std::nullopt;
    BrowserAddress a;
    a.scheme = AsciiLower(url.substr(0, schemeEnd));
    if (a.scheme != "ws" && a.scheme != "wss" && a.scheme != "http" && a.scheme != "https")
        return std::nullopt;
    std::string rest = url.substr(schemeEnd + 3);
    size_t authorityEnd = rest.find_first_of("/?#");
    std::string authority = rest.substr(0, authorityEnd);
    if (authorityEnd != std::string::npos) a.target = rest.substr(authorityEnd);
    a.target = a.target.substr(0, a.target.find('#'));
    if (a.target.empty() || a.target[0] != '/') a.target = "/" + a.target;
    if (authority.find('@') != std::string::npos) return std::nullopt;  // no credentials here
    std::string port;
    if (!authority.empty() && authority[0] == '[') {
        size_t close = authority.find(']');
        if (close == std::string::npos) return std::nullopt;
        a.host = authority.substr(1, close - 1);
        std::string after = authority.substr(close + 1);
        if (!after.empty() && after[0] != ':') return std::nullopt;
        if (!after.empty()) port = after.substr(1);
    } else {
        size_t colon = authority.rfind(':');
        a.host = authority.substr(0, colon);
        if (colon != std::string::npos) port = authority.substr(colon + 1);
    }
    if (a.host.empty()) return std::nullopt;
    a.port = port.empty() ? (a.tls() ? "443" : "80") : port;
    if (!IsPort(a.port)) return std::nullopt;
    return a;
}

// The browser names its socket after the Host it was asked under and knows nothing of a TLS
// proxy in front of it: it says ws:// there too. The socket keeps the TLS that the address
// asked for (its default port included); a connection that may carry a token is never
// downgraded.
std::string SocketUrlFor(const BrowserAddress& asked, const std::string& named) {
    if (asked.tls() && AsciiLower(named.substr(0, 5)) == "ws://") return "wss" + named.substr(2);
    return named;
}

std::optional<BrowserAddress> SocketAddressFor(const BrowserAddress& asked,
                                               const std::string& named) {
    auto socket = ParseBrowserAddress(SocketUrlFor(asked, named));
    if (!socket || socket->http()) return std::nullopt;
    socket->host = asked.host;
    socket->port = asked.port;
    return socket;
}

std::string RemoteBrowserUrl() {
    const char* url = std::getenv("QIRLEN_BROWSER_URL");
    return url ? url : "";
}

struct WebSocketTransport::Impl {
    explicit Impl(std::atomic<int>& fd) : fd(fd), incoming(MaxMessageBytes()) {}

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
                 tcp::resolver::results_type* found, std::string* why) {
        tcp::resolver resolver(ioc);
        bool done = false;
        error_code ec;
        resolver.async_resolve(a.host, a.port,
                               [&](error_code e, tcp::resolver::results_type results) {
                                   ec = e;
                                   *found = std::move(results);
                                   done = true;
                               });
        if (!RunUntil(done, deadline, [&] { resolver.cancel(); })) {
            *why = "cannot find the browser's host " + a.host + " in time";
            return false;
        }
        if (ec) *why = "cannot find the browser's host " + a.host + ": " + ec.message();
        return !ec;
    }

    bool OpenTcp(beast::tcp_stream& s, const BrowserAddress& a, Clock::time_point deadline,
                 std::string* why) {
        tcp::resolver::results_type found;
        if (!Resolve(a, deadline, &found, why)) return false;
        bool done = false;
        error_code ec;
        s.async_connect(found, [&](error_code e, const tcp::endpoint&) {
            ec = e;
            done = true;
        });
        auto cancel = [&] {
            error_code ignored;
            s.socket().close(ignored);
        };
        if (!RunUntil(done, deadline, cancel)) {
            *why = "the browser at " + a.hostAndPort() + " did not answer in time";
            return false;
        }
        if (ec) {
            *why = "cannot reach the browser at " + a.hostAndPort() + ": " + ec.message();
            return false;
        }
        // Commands are small and each waits for its answer: Nagle's delay would be pure loss.
        s.socket().set_option(tcp::no_delay(true), ec);
        fd = s.socket().native_handle();
        return true;
    }

    bool TlsHandshake(TlsStream& s, const BrowserAddress& a, Clock::time_point deadline,
                      std::string* why) {
        ExpectPeer(s.native_handle(), a.host);
        bool done = false;
        error_code ec;
        s.async_handshake(asio::ssl::stream_base::client, [&](error_code e) {
            ec = e;
            done = true;
        });
        auto cancel = [&] {
            error_code ignored;
            beast::get_lowest_layer(s).socket().close(ignored);
        };
        if (!RunUntil(done, deadline, cancel)) {
            *why = "the TLS handshake with " + a.hostAndPort() + " did not finish in time";
            return false;
        }
        if (!ec) return true;
        long verdict = SSL_get_verify_result(s.native_handle());
        *why = verdict == X509_V_OK
                   ? "the TLS handshake with " + a.hostAndPort() + " failed: " + ec.message()
                   : CertificateRefusal(a, verdict);
        return false;
    }

    template <typename Stream>
    bool OpenStream(Stream& s, const BrowserAddress& a, Clock::time_point deadline,
                    std::string* why) {
        if (!OpenTcp(beast::get_lowest_layer(s), a, deadline, why)) return false;
        if constexpr (std::is_same_v<Stream, TlsStream>) return TlsHandshake(s, a, deadline, why);
        return true;
    }

    // The browser's WebSocket address, from its /json/version.
    template <typename Stream>
    bool AskVersion(Stream& s, const BrowserAddress& a, Clock::time_point deadline,
                    std::string* webSocketUrl, std::string* why) {
        if (!OpenStream(s, a, deadline, why)) return false;
        http::request<http::empty_body> request{http::verb::get, VersionTarget(a.target), 11};
        request.set(http::field::host, a.hostAndPort());
        request.set(http::field::user_agent, "qirlen");
        beast::flat_buffer buffer(kMaxVersionBytes);
        http::response_parser<http::string_body> parser;
        parser.body_limit(kMaxVersionBytes);
        bool done = false;
        error_code ec;
        auto finish = [&](error_code e, size_t) {
            ec = e;
            done = true;
        };
        // A body said to be longer than the limit is refused at its header: the parser would
        // take it on, a piece at a time.
        auto body = [&](error_code e, size_t) {
            auto length = parser.content_length();
            if (!e && length && *length > kMaxVersionBytes) e = http::error::body_limit;
            if (e || parser.is_done()) return finish(e, 0);
            http::async_read(s, buffer, parser, finish);
        };
        http::async_write(s, request, [&](error_code e, size_t) {
            if (e) return finish(e, 0);
            http::async_read_header(s, buffer, parser, body);
        });
        auto cancel = [&] {
            error_code ignored;
            beast::get_lowest_layer(s).socket().close(ignored);
        };
        bool inTime = RunUntil(done, deadline, cancel);
        fd = -1;  // this socket ends here; the WebSocket gets its own
        std::string notDevTools = a.shown() + " is not a DevTools endpoint";
        if (!inTime) {
            *why = notDevTools + " (no answer to /json/version in time)";
            return false;
        }
        if (ec == http::error::body_limit || ec == http::error::header_limit ||
            ec == http::error::buffer_overflow) {
            *why = notDevTools + " (its answer to /json/version is too long: more than " +
                   std::to_string(kMaxVersionBytes >> 20) + " MB)";
            return false;
        }
        if (ec) {
            *why = notDevTools + " (its answer to /json/version: " + ec.message() + ")";
            return false;
        }
        const auto& response = parser.get();
        if (response.result() != http::status::ok) {
            *why = notDevTools + " (HTTP " + std::to_string(response.result_int()) +
                   " for /json/version)";
            return false;
        }
        auto version = nlohmann::json::parse(response.body(), nullptr, false);
        auto field = version.is_object() ? version.find("webSocketDebuggerUrl") : version.end();
        if (!version.is_object() || field == version.end() || !field->is_string()) {
            *why = notDevTools + " (its /json/version names no webSocketDebuggerUrl)";
            return false;
        }
        *webSocketUrl = field->get<std::string>();
        return true;
    }

    template <typename Ws>
    bool Handshake(Ws& ws, const BrowserAddress& a, Clock::time_point deadline, std::string* why) {
        if (!OpenStream(ws.next_layer(), a, deadline, why)) return false;
        ws.read_message_max(MaxMessageBytes());
        ws.auto_fragment(false);
        ws.text(true);
        ws.set_option(websocket::stream_base::decorator(
            [](websocket::request_type& r) { r.set(http::field::user_agent, "qirlen"); }));
        websocket::response_type response;
        bool done = false;
        error_code ec;
        ws.async_handshake(response, a.hostAndPort(), a.target, [&](error_code e) {
            ec = e;
            done = true;
        });
        if (!RunUntil(done, deadline, [this] { CloseSocket(); })) {
            *why =
                "the browser at " + a.shown() + " did not complete the WebSocket handshake in time";
            return false;
        }
        if (ec == websocket::error::upgrade_declined) {
            *why = "the browser at " + a.shown() + " refused the WebSocket handshake (HTTP " +
                   std::to_string(response.result_int()) + ")";
            return false;
        }
        if (ec) {
            *why = "the WebSocket handshake with " + a.shown() + " failed: " + ec.message();
            return false;
        }
        // Bounds the closing handshake, which a peer that broke the protocol may never answer.
        ws.set_option(websocket::stream_base::timeout{kGoodbyeTimeout,
                                                      websocket::stream_base::none(), false});
        open = true;
        peer = a.shown();
        return true;
    }

    void StartReading() {
        WithSocket([this](auto& ws) {
            ws.async_read(incoming, [this](error_code ec, size_t) { OnRead(ec); });
        });
    }

    void OnRead(error_code ec) {
        if (ec == websocket::error::message_too_big || ec == websocket::error::buffer_overflow) {
            End("the remote browser at " + peer + " sent a message longer than " +
                std::to_string(MaxMessageBytes()) + " bytes");
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
        if (incoming.capacity() > kKeptReadBufferBytes)
            incoming = beast::multi_buffer(MaxMessageBytes());
        StartReading();
    }
};

WebSocketTransport::WebSocketTransport() : impl_(std::make_unique<Impl>(fd_)) {}

WebSocketTransport::~WebSocketTransport() {
    Close();
}

bool WebSocketTransport::Connect(const std::string& url, int timeoutMs, std::string* why) {
    Close();
    impl_ = std::make_unique<Impl>(fd_);
    if (terminated_) {
        *why = "the browser was ended by the host";
        return false;
    }
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto address = ParseBrowserAddress(url);
    if (!address) {
        *why = "the browser address '" + url.substr(0, url.find('?')) +
               "' is not a ws://, wss://, http:// or https:// address";
        return false;
    }
    if (address->http()) {
        std::string webSocketUrl;
        bool found = false;
        if (address->tls()) {
            TlsStream s(impl_->ioc, impl_->Tls());
            found = impl_->AskVersion(s, *address, deadline, &webSocketUrl, why);
        } else {
            beast::tcp_stream s(impl_->ioc);
            found = impl_->AskVersion(s, *address, deadline, &webSocketUrl, why);
        }
        if (!found) return false;
        auto named = SocketAddressFor(*address, webSocketUrl);
        if (!named) {
            *why = address->shown() + " is not a DevTools endpoint (its webSocketDebuggerUrl is '" +
                   webSocketUrl.substr(0, webSocketUrl.find('?')) + "')";
            return false;
        }
        address = named;
    }
    bool shaken = false;
    if (address->tls()) {
        impl_->tls = std::make_unique<TlsWs>(impl_->ioc, impl_->Tls());
        shaken = impl_->Handshake(*impl_->tls, *address, deadline, why);
    } else {
        impl_->plain = std::make_unique<PlainWs>(impl_->ioc);
        shaken = impl_->Handshake(*impl_->plain, *address, deadline, why);
    }
    if (!shaken) {
        impl_->CloseSocket();
        return false;
    }
    if (terminated_) {  // cut while connecting: what Terminate did not see goes now
        impl_->CloseSocket();
        *why = "the browser was ended by the host";
        return false;
    }
    impl_->StartReading();
    return true;
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
