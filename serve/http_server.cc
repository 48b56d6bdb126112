#include "serve/http_server.h"

#include <atomic>
#include <boost/asio/dispatch.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <deque>
#include <mutex>
#include <optional>

namespace serve {
namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

std::string HttpRequest::header(const std::string& name) const {
    for (const auto& [key, value] : headers)
        if (beast::iequals(key, name)) return value;
    return {};
}

struct HttpServer::State : std::enable_shared_from_this<HttpServer::State> {
    State(asio::io_context& io, HttpHandler handler, HttpLimits limits)
        : io(io), acceptor(io), handler(std::move(handler)), limits(limits) {}

    void Accept();
    void Ended();
    void Track(const std::shared_ptr<void>& session);
    void CloseIdle();

    asio::io_context& io;
    tcp::acceptor acceptor;
    HttpHandler handler;
    HttpLimits limits;
    std::atomic<size_t> open{0};
    std::atomic<bool> draining{false};
    std::mutex drainedLock;
    std::function<void()> drained;
    // Every session, so that a drain can end the idle ones at once.
    std::mutex sessionsLock;
    std::vector<std::weak_ptr<void>> sessions;
};

namespace {

class Session;

// A stream over one connection: chunks queued and written in turn on the session's strand.
class SessionStream : public HttpStream {
  public:
    explicit SessionStream(std::shared_ptr<Session> session) : session_(std::move(session)) {}
    void Send(std::string chunk) override;
    bool open() const override;

  private:
    std::weak_ptr<Session> session_;
};

class Session : public std::enable_shared_from_this<Session> {
  public:
    Session(tcp::socket socket, std::shared_ptr<HttpServer::State> server)
        : stream_(std::move(socket)), server_(std::move(server)) {}
    ~Session() { server_->Ended(); }

    // Waiting for a request, not answering one, or streaming (which never ends by itself): a
    // drain ends the connection now.
    void CloseIfIdle() {
        asio::post(stream_.get_executor(), [self = shared_from_this()] {
            if (!self->busy_ || self->streaming_) self->Close();
        });
    }

    void Start() {
        asio::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->Read(); });
    }

    void SendChunk(std::string chunk) {
        asio::post(stream_.get_executor(), [self = shared_from_this(), chunk = std::move(chunk)] {
            if (!self->streaming_) return;
            self->chunks_.push_back(std::move(chunk));
            if (self->chunks_.size() == 1) self->WriteChunk();
        });
    }
    bool streaming() const { return streaming_; }

  private:
    void Read() {
        if (server_->draining) return Close();
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(server_->limits.headerBytes));
        parser_->body_limit(server_->limits.bodyBytes);
        stream_.expires_after(server_->limits.requestTime);
        http::async_read(
            stream_, buffer_, *parser_,
            [self = shared_from_this()](beast::error_code error, size_t) { self->OnRead(error); });
    }

    void OnRead(beast::error_code error) {
        if (error == http::error::header_limit || error == http::error::body_limit ||
            error == http::error::bad_target || error == http::error::bad_method ||
            error == http::error::bad_field || error == http::error::bad_value ||
            error == http::error::bad_version || error == http::error::bad_line_ending)
            return Refuse(error == http::error::header_limit ? 431
                          : error == http::error::body_limit ? 413
                                                             : 400);
        if (error) return Close();
        busy_ = true;
        // The answer may come from another thread later: until it does, the server's loop
        // has work, even with nothing else to wait for.
        awaited_.emplace(server_->io.get_executor());
        const auto& message = parser_->get();
        keepAlive_ = message.keep_alive();
        head_ = message.method() == http::verb::head;
        HttpExchange exchange;
        std::string target(message.target());
        size_t question = target.find('?');
        exchange.request.method = std::string(message.method_string());
        exchange.request.path = target.substr(0, question);
        if (question != std::string::npos) exchange.request.query = target.substr(question + 1);
        for (const auto& field : message)
            exchange.request.headers.emplace_back(std::string(field.name_string()),
                                                  std::string(field.value()));
        auto self = shared_from_this();
        auto once = std::make_shared<std::atomic<bool>>(false);
        exchange.reply = [self, once](HttpResponse response) {
            if (once->exchange(true)) return;
            asio::post(self->stream_.get_executor(),
                       [self, response = std::move(response)]() mutable {
                           self->Write(std::move(response));
                       });
        };
        exchange.stream = [self, once](HttpResponse head) -> std::shared_ptr<HttpStream> {
            if (once->exchange(true)) return nullptr;
            self->streaming_ = true;  // open from now on, not only once the head is sent
            asio::post(self->stream_.get_executor(), [self, head = std::move(head)]() mutable {
                self->StartStream(std::move(head));
            });
            return std::make_shared<SessionStream>(self);
        };
        // No time limit while the answer is being worked out: the service bounds that.
        stream_.expires_never();
        server_->handler(std::move(exchange));
    }

    http::response<http::string_body> Build(HttpResponse& response) {
        http::response<http::string_body> out{static_cast<http::status>(response.status), 11};
        out.set(http::field::server, "qirlen");
        out.set(http::field::content_type, response.contentType);
        for (const auto& [name, value] : response.headers) out.set(name, value);
        out.keep_alive(keepAlive_ && !server_->draining);
        out.content_length(response.body.size());
        if (!head_) out.body() = std::move(response.body);
        return out;
    }

    void Write(HttpResponse response) {
        awaited_.reset();
        auto out = std::make_shared<http::response<http::string_body>>(Build(response));
        stream_.expires_after(server_->limits.requestTime);
        http::async_write(stream_, *out,
                          [self = shared_from_this(), out](beast::error_code error, size_t) {
                              self->busy_ = false;
                              if (error || !out->keep_alive()) return self->Close();
                              self->Read();
                          });
    }

    // A request that broke a bound: one short answer, then the connection ends.
    void Refuse(int status) {
        keepAlive_ = false;
        head_ = false;
        HttpResponse response;
        response.status = status;
        response.body = status == 431   ? "request line or headers too large\n"
                        : status == 413 ? "request body too large\n"
                                        : "malformed request\n";
        Write(std::move(response));
    }

    void StartStream(HttpResponse head) {
        awaited_.reset();
        streaming_ = true;
        std::string text = "HTTP/1.1 " + std::to_string(head.status) + " OK\r\nServer: qirlen\r\n";
        text += "Content-Type: " + head.contentType + "\r\n";
        for (const auto& [name, value] : head.headers) text += name + ": " + value + "\r\n";
        text += "Connection: close\r\n\r\n";
        chunks_.push_back(std::move(text));
        WriteChunk();
        // The client only listens: anything it sends, or its leaving, ends the stream.
        stream_.socket().async_wait(tcp::socket::wait_read,
                                    [self = shared_from_this()](beast::error_code) {
                                        self->streaming_ = false;
                                        self->Close();
                                    });
    }

    void WriteChunk() {
        stream_.expires_after(server_->limits.requestTime);
        asio::async_write(stream_, asio::buffer(chunks_.front()),
                          [self = shared_from_this()](beast::error_code error, size_t) {
                              if (error) {
                                  self->streaming_ = false;
                                  return self->Close();
                              }
                              self->chunks_.pop_front();
                              if (!self->chunks_.empty()) self->WriteChunk();
                          });
    }

    void Close() {
        streaming_ = false;
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.socket().close(ignored);
    }

    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    std::shared_ptr<HttpServer::State> server_;
    bool keepAlive_ = false, head_ = false, busy_ = false;
    std::atomic<bool> streaming_{false};
    std::deque<std::string> chunks_;
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> awaited_;
};

void SessionStream::Send(std::string chunk) {
    if (auto session = session_.lock()) session->SendChunk(std::move(chunk));
}

bool SessionStream::open() const {
    auto session = session_.lock();
    return session && session->streaming();
}

}  // namespace

void HttpServer::State::Accept() {
    acceptor.async_accept(asio::make_strand(io), [self = shared_from_this()](
                                                     beast::error_code error, tcp::socket socket) {
        if (!self->acceptor.is_open() || self->draining) return;
        if (!error) {
            // Past the cap a connection is closed at once: the others keep their answers.
            if (self->open >= self->limits.connections) {
                beast::error_code ignored;
                socket.close(ignored);
            } else {
                ++self->open;
                auto session = std::make_shared<Session>(std::move(socket), self);
                self->Track(session);
                session->Start();
            }
        }
        self->Accept();
    });
}

void HttpServer::State::Track(const std::shared_ptr<void>& session) {
    std::lock_guard<std::mutex> hold(sessionsLock);
    std::erase_if(sessions, [](const std::weak_ptr<void>& s) { return s.expired(); });
    sessions.push_back(session);
}

void HttpServer::State::CloseIdle() {
    std::vector<std::shared_ptr<void>> live;
    {
        std::lock_guard<std::mutex> hold(sessionsLock);
        for (const auto& s : sessions)
            if (auto session = s.lock()) live.push_back(session);
    }
    for (const auto& session : live) static_cast<Session*>(session.get())->CloseIfIdle();
}

void HttpServer::State::Ended() {
    if (--open != 0 || !draining) return;
    std::function<void()> done;
    {
        std::lock_guard<std::mutex> hold(drainedLock);
        done = std::exchange(drained, nullptr);
    }
    if (done) done();
}

HttpServer::HttpServer(asio::io_context& io, HttpHandler handler, HttpLimits limits)
    : state_(std::make_shared<State>(io, std::move(handler), limits)) {}

HttpServer::~HttpServer() {
    beast::error_code ignored;
    state_->acceptor.close(ignored);
}

bool HttpServer::Listen(const std::string& address, unsigned short port, std::string& error) {
    beast::error_code code;
    auto ip = asio::ip::make_address(address, code);
    if (code) {
        error = "not an IP address: " + address;
        return false;
    }
    tcp::endpoint endpoint(ip, port);
    state_->acceptor.open(endpoint.protocol(), code);
    if (!code) state_->acceptor.set_option(asio::socket_base::reuse_address(true), code);
    if (!code) state_->acceptor.bind(endpoint, code);
    if (!code) state_->acceptor.listen(asio::socket_base::max_listen_connections, code);
    if (code) {
        error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + code.message();
        return false;
    }
    state_->Accept();
    return true;
}

unsigned short HttpServer::port() const {
    beast::error_code ignored;
    return state_->acceptor.local_endpoint(ignored).port();
}

void HttpServer::Drain(std::function<void()> drained) {
    state_->draining = true;
    asio::post(state_->acceptor.get_executor(), [state = state_] {
        beast::error_code ignored;
        state->acceptor.close(ignored);
    });
    {
        std::lock_guard<std::mutex> hold(state_->drainedLock);
        state_->drained = std::move(drained);
    }
    state_->CloseIdle();
    if (state_->open == 0) {
        std::function<void()> done;
        {
            std::lock_guard<std::mutex> hold(state_->drainedLock);
            done = std::exchange(state_->drained, nullptr);
        }
        if (done) done();
    }
}

size_t HttpServer::openConnections() const {
    return state_->open;
}

}  // namespace serve
