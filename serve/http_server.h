#pragma once
// The service's HTTP/1.1 front: keep-alive, HEAD as GET without a body, and the bounds that
// keep a client from holding the service: the request line and headers, the body, the time
// a request may take to arrive, and the number of connections.
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace serve {

struct HttpLimits {
    size_t headerBytes = 8 * 1024;  // the request line and every header
    size_t bodyBytes = 8 * 1024;    // no route takes a body; a small one is read and ignored
    std::chrono::milliseconds requestTime{
        10000};  // from the first byte (or the last answer) to the end of a request
    size_t connections = 512;
};

struct HttpRequest {
    std::string method;  // "GET", "HEAD", ...
    std::string path;    // as sent, without the query: never decoded here
    std::string query;   // after "?", as sent
    std::string header(const std::string& name) const;
    std::vector<std::pair<std::string, std::string>> headers;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

// Sends the answer to one request; may be called from any thread, once.
using HttpReply = std::function<void(HttpResponse)>;

// A response that stays open and sends as it goes (Server-Sent Events): `send` gives false
// once the client has gone.
class HttpStream {
  public:
    virtual ~HttpStream() = default;
    virtual void Send(std::string chunk) = 0;
    virtual bool open() const = 0;
};

// How one request is answered: a reply now or later, or a stream.
struct HttpExchange {
    HttpRequest request;
    HttpReply reply;
    // Turns the exchange into a stream with these headers; the reply is then never used.
    std::function<std::shared_ptr<HttpStream>(HttpResponse head)> stream;
};
using HttpHandler = std::function<void(HttpExchange)>;

class HttpServer {
  public:
    HttpServer(boost::asio::io_context& io, HttpHandler handler, HttpLimits limits = {});
    ~HttpServer();
    // Listens on `address:port` (port 0: any free one); the reason when it cannot.
    bool Listen(const std::string& address, unsigned short port, std::string& error);
    unsigned short port() const;
    // No new connections; each open one ends after its answer in progress. `drained` runs
    // once none is left.
    void Drain(std::function<void()> drained);
    size_t openConnections() const;

    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace serve
