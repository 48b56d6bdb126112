#pragma once
// A DevTools endpoint on loopback that lies as a test tells it to: it answers /json/version
// and takes the WebSocket handshake as a browser does, and from then on does what the test's
// script says (answers with ids never asked, sends a malformed frame or an endless message,
// closes). One thread per connection; every loop of a script is bounded by the test.
#include <functional>
#include <memory>
#include <string>

namespace testsupport {

// One client as a script sees it.
class FakePeer {
  public:
    virtual ~FakePeer() = default;
    // The next message the engine sent over the WebSocket; "" once it has gone.
    virtual std::string ReadMessage() = 0;
    virtual bool SendText(const std::string& text) = 0;
    // Bytes exactly as given: a frame of the script's making, or an HTTP answer.
    virtual bool SendRaw(const std::string& bytes) = 0;
};

class FakeDevTools {
  public:
    using Script = std::function<void(FakePeer&)>;
    // `session` runs once a WebSocket is open; `version` answers GET /json/version (none: a
    // browser's answer, naming this endpoint's socket). The connection closes when it returns.
    explicit FakeDevTools(Script session, Script version = nullptr);
    ~FakeDevTools();
    FakeDevTools(const FakeDevTools&) = delete;
    FakeDevTools& operator=(const FakeDevTools&) = delete;

    int port() const;
    std::string httpUrl() const;  // http://127.0.0.1:PORT
    std::string wsUrl() const;    // ws://127.0.0.1:PORT/devtools/browser/fake
    long long sent() const;       // bytes the kernel took from the scripts so far
    int connections() const;      // accepted, whatever came on them
    int handshakes() const;       // WebSocket handshakes completed

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

// A frame as a server sends it (unmasked): its FIN bit, opcode, payload and reserved bits
// (0x70 holds all three).
std::string ServerFrame(bool fin, int opcode, const std::string& payload, int reserved = 0);
// The head of such a frame whose payload of `length` bytes the script sends after it.
std::string ServerFrameHead(bool fin, int opcode, size_t length, int reserved = 0);
// A browser's answer to /json/version that names `socketUrl`.
std::string VersionAnswer(const std::string& socketUrl);
// Sends `head`, then megabyte blocks until `capBytes` have gone or the engine stopped reading
// and closed.
void Flood(FakePeer& peer, const std::string& head, long long capBytes);

}  // namespace testsupport
