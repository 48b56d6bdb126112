#include "tests/support/tls_proxy.h"

#include <array>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/write.hpp>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace testsupport {
namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;

// How the handshakes ended, counted on the proxy's thread and read on the test's.
struct Tally {
    mutable std::mutex lock;
    mutable std::condition_variable changed;
    int done = 0, failed = 0;

    void Count(bool ok) {
        std::lock_guard hold(lock);
        ++(ok ? done : failed);
        changed.notify_all();
    }
};

// One client: its TLS side, the browser's plain side, and a relay each way. Whichever side
// ends, both go.
class Relay : public std::enable_shared_from_this<Relay> {
  public:
    Relay(tcp::socket client, asio::ssl::context& tls, Tally& tally)
        : tls_(std::move(client), tls), upstream_(tls_.get_executor()), tally_(tally) {}

    void Start(tcp::endpoint browser) {
        // Commands and answers are small and each waits for the other: Nagle's delay would
        // add tens of milliseconds to every round trip the engine makes through here.
        error_code ignored;
        tls_.lowest_layer().set_option(tcp::no_delay(true), ignored);
        auto self = shared_from_this();
        tls_.async_handshake(asio::ssl::stream_base::server, [self, browser](error_code ec) {
            self->tally_.Count(!ec);
            if (ec) return self->End();
            self->upstream_.async_connect(browser, [self](error_code ec2) {
                if (ec2) return self->End();
                error_code ignored;
                self->upstream_.set_option(tcp::no_delay(true), ignored);
                self->FromClient();
                self->FromBrowser();
            });
        });
    }

  private:
    void FromClient() {
        auto self = shared_from_this();
        tls_.async_read_some(asio::buffer(up_), [self](error_code ec, size_t n) {
            if (ec) return self->End();
            asio::async_write(self->upstream_, asio::buffer(self->up_, n),
                              [self](error_code ec2, size_t) {
                                  if (ec2) return self->End();
                                  self->FromClient();
                              });
        });
    }

    void FromBrowser() {
        auto self = shared_from_this();
        upstream_.async_read_some(asio::buffer(down_), [self](error_code ec, size_t n) {
            if (ec) return self->End();
            asio::async_write(self->tls_, asio::buffer(self->down_, n),
                              [self](error_code ec2, size_t) {
                                  if (ec2) return self->End();
                                  self->FromBrowser();
                              });
        });
    }

    void End() {
        error_code ignored;
        tls_.lowest_layer().close(ignored);
        upstream_.close(ignored);
    }

    asio::ssl::stream<tcp::socket> tls_;
    tcp::socket upstream_;
    std::array<char, 65536> up_{}, down_{};
    Tally& tally_;
};

}  // namespace

struct TlsProxy::Impl {
    asio::io_context ioc;
    asio::ssl::context tls{asio::ssl::context::tls_server};
    tcp::acceptor acceptor{ioc};
    tcp::endpoint browser;
    Tally tally;
    std::thread thread;

    void Accept() {
        acceptor.async_accept([this](error_code ec, tcp::socket client) {
            if (ec) return;  // the proxy is closing
            std::make_shared<Relay>(std::move(client), tls, tally)->Start(browser);
            Accept();
        });
    }
};

TlsProxy::TlsProxy(int upstreamPort, const ServerIdentity& identity)
    : impl_(std::make_unique<Impl>()) {
    Impl& i = *impl_;
    error_code ec;
    i.tls.use_certificate_chain(asio::buffer(identity.certificatePem), ec);
    if (!ec) i.tls.use_private_key(asio::buffer(identity.keyPem), asio::ssl::context::pem, ec);
    if (ec) return;
    i.browser =
        tcp::endpoint(asio::ip::address_v4::loopback(), static_cast<uint16_t>(upstreamPort));
    tcp::endpoint here(asio::ip::address_v4::loopback(), 0);
    i.acceptor.open(here.protocol(), ec);
    if (!ec) i.acceptor.bind(here, ec);
    if (!ec) i.acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) return;
    port_ = i.acceptor.local_endpoint().port();
    i.Accept();
    i.thread = std::thread([&i] { i.ioc.run(); });
}

TlsProxy::~TlsProxy() {
    impl_->ioc.stop();
    if (impl_->thread.joinable()) impl_->thread.join();
}

int TlsProxy::handshakes() const {
    std::lock_guard hold(impl_->tally.lock);
    return impl_->tally.done;
}

int TlsProxy::failedHandshakes() const {
    std::lock_guard hold(impl_->tally.lock);
    return impl_->tally.failed;
}

bool TlsProxy::WaitForFailedHandshakes(int seen, int timeoutMs) const {
    Tally& t = impl_->tally;
    std::unique_lock hold(t.lock);
    return t.changed.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                              [&] { return t.failed > seen; });
}

}  // namespace testsupport
