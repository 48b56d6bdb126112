#include "tests/engine/transport/fake_devtools.h"

#include <sys/socket.h>

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace testsupport {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;

class Peer : public FakePeer {
  public:
    Peer(tcp::socket& socket, std::atomic<long long>& sent) : socket_(socket), sent_(sent) {}
    void Open(const http::request<http::string_body>& request) {
        ws_.emplace(socket_);
        ws_->read_message_max(64 << 20);
        error_code ec;
        ws_->accept(request, ec);
        open_ = !ec;
    }
    bool open() const { return open_; }

    std::string ReadMessage() override {
        beast::flat_buffer buffer;
        error_code ec;
        if (!ws_) return "";
        ws_->read(buffer, ec);
        return ec ? "" : beast::buffers_to_string(buffer.data());
    }
    bool SendText(const std::string& text) override { return SendRaw(ServerFrame(true, 1, text)); }
    bool SendRaw(const std::string& bytes) override {
        error_code ec;
        size_t n = asio::write(socket_, asio::buffer(bytes), ec);
        sent_ += static_cast<long long>(n);
        return !ec;
    }

  private:
    tcp::socket& socket_;
    std::atomic<long long>& sent_;
    std::optional<websocket::stream<tcp::socket&>> ws_;
    bool open_ = false;
};

}  // namespace

struct FakeDevTools::Impl {
    Script session, version;
    asio::io_context ioc;
    tcp::acceptor acceptor{ioc};
    std::atomic<long long> sent{0};
    std::atomic<int> connections{0}, handshakes{0};
    std::mutex lock;
    // Kept open until the endpoint goes, when they are cut, which ends their scripts.
    std::vector<std::shared_ptr<tcp::socket>> sockets;
    std::vector<std::thread> threads;
    std::thread accepting;
    std::atomic<bool> stopping{false};

    void Accept() {
        for (;;) {
            error_code ec;
            auto socket = std::make_shared<tcp::socket>(ioc);
            acceptor.accept(*socket, ec);
            if (ec || stopping) return;
            ++connections;
            std::lock_guard hold(lock);
            sockets.push_back(socket);
            threads.emplace_back([this, socket] { Serve(*socket); });
        }
    }

    void Serve(tcp::socket& socket) {
        // A small send buffer keeps what the kernel takes for a client that stopped reading
        // small, so that sent() tells what the client read.
        error_code ec;
        socket.set_option(asio::socket_base::send_buffer_size(256 << 10), ec);
        beast::flat_buffer buffer;
        http::request<http::string_body> request;
        http::read(socket, buffer, request, ec);
        if (ec) return;
        Peer peer(socket, sent);
        if (websocket::is_upgrade(request)) {
            peer.Open(request);
            if (!peer.open()) return;
            ++handshakes;
            session(peer);
        } else if (request.target().ends_with("/json/version")) {
            if (version)
                version(peer);
            else
                peer.SendRaw(VersionAnswer(WsUrl()));
        } else {
            peer.SendRaw("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        }
        socket.shutdown(tcp::socket::shutdown_both, ec);
    }

    std::string WsUrl() const {
        return "ws://127.0.0.1:" + std::to_string(acceptor.local_endpoint().port()) +
               "/devtools/browser/fake";
    }
};

FakeDevTools::FakeDevTools(Script session, Script version) : impl_(std::make_unique<Impl>()) {
    impl_->session = std::move(session);
    impl_->version = std::move(version);
    tcp::endpoint loopback(asio::ip::make_address("127.0.0.1"), 0);
    impl_->acceptor.open(loopback.protocol());
    impl_->acceptor.bind(loopback);
    impl_->acceptor.listen();
    impl_->accepting = std::thread([this] { impl_->Accept(); });
}

FakeDevTools::~FakeDevTools() {
    impl_->stopping = true;
    ::shutdown(impl_->acceptor.native_handle(), SHUT_RDWR);  // wakes the blocked accept
    impl_->accepting.join();
    std::lock_guard hold(impl_->lock);
    for (auto& s : impl_->sockets) ::shutdown(s->native_handle(), SHUT_RDWR);
    for (auto& t : impl_->threads) t.join();
}

int FakeDevTools::port() const {
    return impl_->acceptor.local_endpoint().port();
}
std::string FakeDevTools::httpUrl() const {
    return "http://127.0.0.1:" + std::to_string(port());
}
std::string FakeDevTools::wsUrl() const {
    return impl_->WsUrl();
}
long long FakeDevTools::sent() const {
    return impl_->sent;
}
int FakeDevTools::connections() const {
    return impl_->connections;
}
int FakeDevTools::handshakes() const {
    return impl_->handshakes;
}

std::string ServerFrame(bool fin, int opcode, const std::string& payload, int reserved) {
    return ServerFrameHead(fin, opcode, payload.size(), reserved) + payload;
}

std::string ServerFrameHead(bool fin, int opcode, size_t n, int reserved) {
    std::string frame;
    frame += static_cast<char>((fin ? 0x80 : 0) | reserved | opcode);
    if (n < 126) {
        frame += static_cast<char>(n);
    } else if (n < 65536) {
        frame += static_cast<char>(126);
        for (int shift = 8; shift >= 0; shift -= 8) frame += static_cast<char>(n >> shift);
    } else {
        frame += static_cast<char>(127);
        for (int shift = 56; shift >= 0; shift -= 8) frame += static_cast<char>(n >> shift);
    }
    return frame;
}

std::string VersionAnswer(const std::string& socketUrl) {
    std::string body = "{\"Browser\":\"Fake/1.0\",\"webSocketDebuggerUrl\":\"" + socketUrl + "\"}";
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

void Flood(FakePeer& peer, const std::string& head, long long capBytes) {
    static const std::string block(1 << 20, 'a');
    if (!peer.SendRaw(head)) return;
    for (long long sent = 0; sent < capBytes && peer.SendRaw(block); sent += block.size()) {
    }
}

}  // namespace testsupport
