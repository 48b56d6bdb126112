#include "tests/support/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>

#include "platform/ascii_text.h"

namespace testsupport {
namespace {

using platform::AsciiLower;

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        default:
            return "Status";
    }
}

// A TLS context with a throwaway self-signed certificate: browsers that upgrade a host to
// HTTPS (HSTS) reach the server too, when told to accept any certificate.
SSL_CTX* TlsContext() {
    static SSL_CTX* ctx = [] {
        SSL_CTX* c = SSL_CTX_new(TLS_server_method());
        EVP_PKEY* key = EVP_EC_gen("P-256");
        X509* cert = X509_new();
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 3600L * 24 * 365);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        X509_sign(cert, key, EVP_sha256());
        SSL_CTX_use_certificate(c, cert);
        SSL_CTX_use_PrivateKey(c, key);
        return c;
    }();
    return ctx;
}

// One connection, plain or TLS (told apart by the first byte: 0x16 opens a TLS handshake).
class Stream {
  public:
    explicit Stream(int fd) : fd_(fd) {
        unsigned char first = 0;
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, 5000) > 0 && recv(fd, &first, 1, MSG_PEEK) == 1 && first == 0x16) {
            ssl_ = SSL_new(TlsContext());
            SSL_set_fd(ssl_, fd);
            if (SSL_accept(ssl_) <= 0) {
                SSL_free(ssl_);
                ssl_ = nullptr;
                broken_ = true;
            }
        }
    }
    ~Stream() {
        if (ssl_) {
            SSL_shutdown(ssl_);
            SSL_free(ssl_);
        }
    }
    bool broken() const { return broken_; }
    ssize_t Read(char* buf, size_t n) {
        if (ssl_) return SSL_read(ssl_, buf, static_cast<int>(n));
        pollfd pfd{fd_, POLLIN, 0};
        if (poll(&pfd, 1, 5000) <= 0) return -1;
        return read(fd_, buf, n);
    }
    ssize_t Write(const char* buf, size_t n) {
        return ssl_ ? SSL_write(ssl_, buf, static_cast<int>(n)) : write(fd_, buf, n);
    }

  private:
    int fd_;
    SSL* ssl_ = nullptr;
    bool broken_ = false;
};

}  // namespace

// Browsers keep spare connections open past a test's end, so a connection's thread may still
// run when the server is gone: it holds what it needs itself.
struct HttpServer::Connections {
    explicit Connections(Handler h) : handler(std::move(h)) {}
    Handler handler;
    std::mutex mutex;
    std::condition_variable idle;
    std::set<int> open;  // sockets being answered
};

namespace {

void Answer(const std::shared_ptr<HttpServer::Connections>& connections, int client);

}  // namespace

std::string HttpRequest::header(const std::string& name) const {
    auto it = headers.find(AsciiLower(name));
    return it == headers.end() ? "" : it->second;
}

HttpServer::HttpServer(Handler handler, int port)
    : connections_(std::make_shared<Connections>(std::move(handler))) {
    // A browser may drop a connection while the answer is being written.
    signal(SIGPIPE, SIG_IGN);
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener_, 64) != 0) {
        close(listener_);
        listener_ = -1;
        return;
    }
    socklen_t len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

// Connections still open are cut, and their threads given a moment to end, so that a
// handler does not outlive its test by much; one that blocks is left to finish on its own.
HttpServer::~HttpServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) close(listener_);
    std::unique_lock lock(connections_->mutex);
    for (int client : connections_->open) shutdown(client, SHUT_RDWR);
    connections_->idle.wait_for(lock, std::chrono::seconds(2),
                                [&] { return connections_->open.empty(); });
}

std::string HttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void HttpServer::Serve() {
    while (!stopping_) {
        pollfd pfd{listener_, POLLIN, 0};
        if (poll(&pfd, 1, 50) <= 0) continue;
        int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        // Browsers open spare connections they may never use; each gets its own thread.
        {
            std::lock_guard lock(connections_->mutex);
            connections_->open.insert(client);
        }
        std::thread([connections = connections_, client] {
            Answer(connections, client);
            std::lock_guard lock(connections->mutex);
            connections->open.erase(client);
            connections->idle.notify_all();
            close(client);
        }).detach();
    }
}

namespace {

void Answer(const std::shared_ptr<HttpServer::Connections>& connections, int client) {
    auto stream = std::make_unique<Stream>(client);
    std::string data;
    char buf[8192];
    while (!stream->broken() && data.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = stream->Read(buf, sizeof buf);
        if (n <= 0) break;
        data.append(buf, static_cast<size_t>(n));
    }
    if (data.find("\r\n\r\n") == std::string::npos) return;
    HttpRequest request;
    std::istringstream in(data.substr(0, data.find("\r\n\r\n")));
    std::string line;
    std::getline(in, line);
    std::istringstream first(line);
    first >> request.method >> request.path;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        request.headers[AsciiLower(line.substr(0, colon))] = value;
    }
    HttpResponse response = connections->handler(request);
    std::ostringstream out;
    out << "HTTP/1.1 " << response.status << " " << Reason(response.status) << "\r\n"
        << "Content-Type: " << response.contentType << "\r\n"
        << "Content-Length: " << response.body.size() << "\r\n"
        << "Connection: close\r\n";
    for (const auto& [name, value] : response.headers) out << name << ": " << value << "\r\n";
    out << "\r\n" << response.body;
    std::string text = out.str();
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = stream->Write(p, left);
        if (n <= 0) break;
        p += n;
        left -= static_cast<size_t>(n);
    }
    stream.reset();
    shutdown(client, SHUT_WR);
}

}  // namespace

int UnusedPort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    close(s);
    return ntohs(addr.sin_port);
}

}  // namespace testsupport
