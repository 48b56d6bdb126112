#pragma once
// A small HTTP/1.1 server on loopback for tests and the sample pages: one thread per
// connection, one request per connection, plain or TLS on the same port.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct HttpRequest {
    std::string method, path;                    // path includes the query
    std::map<std::string, std::string> headers;  // names in lower case
    std::string header(const std::string& name) const;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

class HttpServer {
  public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    // Listens on 127.0.0.1 at `port` (0: any free port).
    explicit HttpServer(Handler handler, int port = 0);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    int port() const { return port_; }
    std::string Url(const std::string& path = "/") const;

    struct Connections;  // what the connection threads share; it outlives the server

  private:
    void Serve();

    std::shared_ptr<Connections> connections_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// A port on which nothing listens (for refused connections).
int UnusedPort();

}  // namespace testsupport
