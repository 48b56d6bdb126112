// Reaching a browser elsewhere: its host, a TCP connection, TLS when asked, its /json/version
// for an http(s) address, and the WebSocket handshake, all within one deadline.
#include <boost/asio/connect.hpp>
#include <boost/beast/http.hpp>
#include <nlohmann/json.hpp>
#include <type_traits>

#include "engine/transport/tls_peer.h"
#include "engine/transport/websocket_stream.h"

namespace engine {
namespace {

namespace http = beast::http;
using Clock = std::chrono::steady_clock;

// A browser's /json/version is a few hundred bytes: more than this of an answer, however it
// is framed (a body, chunks, their extensions, headers), is not read.
constexpr size_t kMaxVersionBytes = 1 << 20;

}  // namespace

bool WebSocketTransport::Impl::Resolve(const BrowserAddress& a, Clock::time_point deadline,
                                       tcp::resolver::results_type* found, std::string* why) {
    tcp::resolver resolver(ioc);
    bool done = false;
    error_code ec;
    resolver.async_resolve(a.host, a.port, [&](error_code e, tcp::resolver::results_type results) {
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

bool WebSocketTransport::Impl::OpenTcp(beast::tcp_stream& s, const BrowserAddress& a,
                                       Clock::time_point deadline, std::string* why) {
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

bool WebSocketTransport::Impl::TlsHandshake(TlsStream& s, const BrowserAddress& a,
                                            Clock::time_point deadline, std::string* why) {
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
bool WebSocketTransport::Impl::OpenStream(Stream& s, const BrowserAddress& a,
                                          Clock::time_point deadline, std::string* why) {
    if (!OpenTcp(beast::get_lowest_layer(s), a, deadline, why)) return false;
    if constexpr (std::is_same_v<Stream, TlsStream>) return TlsHandshake(s, a, deadline, why);
    return true;
}

// The browser's WebSocket address, from its /json/version.
template <typename Stream>
bool WebSocketTransport::Impl::AskVersion(Stream& s, const BrowserAddress& a,
                                          Clock::time_point deadline, std::string* webSocketUrl,
                                          std::string* why) {
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
        *why =
            notDevTools + " (HTTP " + std::to_string(response.result_int()) + " for /json/version)";
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
bool WebSocketTransport::Impl::Handshake(Ws& ws, const BrowserAddress& a,
                                         Clock::time_point deadline, std::string* why) {
    if (!OpenStream(ws.next_layer(), a, deadline, why)) return false;
    ws.read_message_max(maxMessageBytes);
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
        *why = "the browser at " + a.shown() + " did not complete the WebSocket handshake in time";
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
    ws.set_option(
        websocket::stream_base::timeout{kGoodbyeTimeout, websocket::stream_base::none(), false});
    open = true;
    peer = a.shown();
    return true;
}

bool WebSocketTransport::Connect(const std::string& url, int timeoutMs, std::string* why,
                                 size_t maxMessageBytes) {
    Close();
    impl_ = std::make_unique<Impl>(fd_, maxMessageBytes);
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

}  // namespace engine
