#include "serve/stream_check.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <optional>

#include "app/output_checks.h"

namespace serve {
namespace {
namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

struct Parts {
    bool tls = false;
    std::string host, port, target;
};

std::optional<Parts> Split(const std::string& address) {
    Parts parts;
    size_t scheme = address.find("://");
    if (scheme == std::string::npos) return std::nullopt;
    std::string name = address.substr(0, scheme);
    if (name != "http" && name != "https") return std::nullopt;
    parts.tls = name == "https";
    size_t path = address.find_first_of("/?#", scheme + 3);
    std::string authority = address.substr(scheme + 3, path - scheme - 3);
    if (authority.find('@') != std::string::npos || authority.empty()) return std::nullopt;
    size_t colon = authority.rfind(':');
    bool bracketed = authority.front() == '[';
    if (colon != std::string::npos && (!bracketed || authority[colon - 1] == ']')) {
        parts.port = authority.substr(colon + 1);
        authority.resize(colon);
    } else {
        parts.port = parts.tls ? "443" : "80";
    }
    if (bracketed) authority = authority.substr(1, authority.size() - 2);
    parts.host = authority;
    parts.target = path == std::string::npos ? "/" : address.substr(path);
    if (parts.target.front() != '/') parts.target = "/" + parts.target;
    parts.target = parts.target.substr(0, parts.target.find('#'));
    return parts;
}

template <class Stream>
void Ask(Stream& stream, const Parts& parts, int& status, beast::flat_buffer& buffer,
         http::response_parser<http::empty_body>& parser) {
    auto request =
        std::make_shared<http::request<http::empty_body>>(http::verb::get, parts.target, 11);
    request->set(http::field::host, parts.host);
    request->set(http::field::user_agent, "qirlen");
    http::async_write(stream, *request, [&, request](beast::error_code error, size_t) {
        if (error) return;
        http::async_read_header(stream, buffer, parser, [&](beast::error_code error, size_t) {
            if (!error) status = parser.get().result_int();
        });
    });
}

}  // namespace

bool StreamAnswers(const std::string& address, std::chrono::milliseconds timeout) {
    std::optional<Parts> parts = Split(address);
    if (!app::IsPlainWebAddress(address) || !parts) return false;
    asio::io_context io;
    tcp::resolver resolver(io);
    beast::flat_buffer buffer;
    http::response_parser<http::empty_body> parser;
    int status = 0;
    asio::ssl::context context(asio::ssl::context::tls_client);
    context.set_default_verify_paths();
    context.set_verify_mode(asio::ssl::verify_peer);
    beast::ssl_stream<beast::tcp_stream> secure(io, context);
    beast::tcp_stream plain(io);
    resolver.async_resolve(
        parts->host, parts->port, [&](beast::error_code error, tcp::resolver::results_type found) {
            if (error) return;
            beast::tcp_stream& socket = parts->tls ? beast::get_lowest_layer(secure) : plain;
            socket.async_connect(found, [&](beast::error_code error, const tcp::endpoint&) {
                if (error) return;
                if (!parts->tls) return Ask(plain, *parts, status, buffer, parser);
                SSL_set_tlsext_host_name(secure.native_handle(), parts->host.c_str());
                secure.set_verify_callback(asio::ssl::host_name_verification(parts->host));
                secure.async_handshake(asio::ssl::stream_base::client,
                                       [&](beast::error_code error) {
                                           if (!error) Ask(secure, *parts, status, buffer, parser);
                                       });
            });
        });
    io.run_for(timeout);
    return status == 200;
}

}  // namespace serve
