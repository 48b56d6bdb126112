// The engine attached over TLS: a browser behind a TLS-terminating proxy on loopback, with
// certificates made for the test. An authority the test trusts through SSL_CERT_FILE lets
// real work through, by the browser's socket and by its https address; a certificate that
// no trusted authority signed, or that names another host, ends the start at once and says
// which it was.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <string>

#include "tests/support/engine_copy.h"
#include "tests/support/http_server.h"
#include "tests/support/remote_browser.h"
#include "tests/support/test_pki.h"
#include "tests/support/tls_proxy.h"

using testsupport::EngineCopy;
using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::HttpServer;
using testsupport::RemoteBrowser;
using testsupport::TestAuthority;
using testsupport::TlsProxy;

namespace {

using Clock = std::chrono::steady_clock;

long SecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count();
}

// Answers the page with its argument in capitals: proof that a call went out of the page to
// the host and its answer came back, through the proxy both ways.
jsValue Shout(jsExecState es, void* param) {
    auto* engine = static_cast<EngineCopy*>(param);
    std::string text = engine->jsToString(es, engine->jsArg(es, 0));
    for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return engine->jsString(es, (text + "!").c_str());
}

class OverTls : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        setenv("QIRLEN_ENGINE_QUIET", "1", 1);
        site = new HttpServer([](const HttpRequest& r) {
            return HttpResponse{200, "text/html", "<title>" + r.path + "</title><p>page</p>"};
        });
        browser = new RemoteBrowser();
        trusted = new TestAuthority("qirlen test authority");
        stranger = new TestAuthority("an authority nobody trusts");
        if (!browser->ok() || !trusted->ok() || !stranger->ok()) return;
        const std::string loopback = "IP:127.0.0.1,DNS:localhost";
        proxy = new TlsProxy(browser->port(), trusted->Issue(loopback));
        strangers = new TlsProxy(browser->port(), stranger->Issue(loopback));
        elsewheres = new TlsProxy(browser->port(), trusted->Issue("DNS:elsewhere.example"));
    }
    static void TearDownTestSuite() {
        delete elsewheres;
        delete strangers;
        delete proxy;
        delete stranger;
        delete trusted;
        delete browser;
        delete site;
    }
    void SetUp() override {
        ASSERT_TRUE(browser->ok()) << "the browser did not start";
        ASSERT_TRUE(proxy && proxy->ok() && strangers->ok() && elsewheres->ok())
            << "the certificates or the proxies were not made";
        // The test's authority only; the system's store is not touched.
        setenv("SSL_CERT_FILE", trusted->CertificateFile().c_str(), 1);
        unsetenv("SSL_CERT_DIR");
    }
    void TearDown() override { unsetenv("SSL_CERT_FILE"); }

    static std::string Wss(const TlsProxy& p, const std::string& host = "127.0.0.1") {
        return "wss://" + host + ":" + std::to_string(p.port()) + browser->wsPath();
    }
    static std::string Https(const TlsProxy& p, const std::string& host = "127.0.0.1") {
        return "https://" + host + ":" + std::to_string(p.port());
    }

    // Starts an engine on `url` and expects the start to fail, in one line, at once, saying
    // `says`; the proxy saw the engine give up its handshake.
    static void ExpectRefused(const std::string& url, const TlsProxy& p, const std::string& says) {
        SCOPED_TRACE(url);
        EngineCopy engine(NODE_MODULE);
        ASSERT_TRUE(engine.ok());
        int failedBefore = p.failedHandshakes();
        setenv("QIRLEN_BROWSER_URL", url.c_str(), 1);
        auto start = Clock::now();
        engine.wkeInitializeEx(nullptr);
        EXPECT_EQ(engine.NewView(), nullptr);
        std::string failure = engine.failure();
        EXPECT_NE(failure.find(says), std::string::npos) << failure;
        EXPECT_EQ(failure.find('\n'), std::string::npos);
        EXPECT_LE(SecondsSince(start), 5);
        EXPECT_TRUE(p.WaitForFailedHandshakes(failedBefore)) << "refused in the TLS handshake";
        engine.wkeShutdown();
    }

    static inline HttpServer* site = nullptr;
    static inline RemoteBrowser* browser = nullptr;
    static inline TestAuthority *trusted = nullptr, *stranger = nullptr;
    static inline TlsProxy *proxy = nullptr, *strangers = nullptr, *elsewheres = nullptr;
};

// The https form reads /json/version over TLS; the browser, unaware of the proxy, names a
// ws:// socket there, and the engine keeps TLS for it (the proxy speaks nothing else).
TEST_F(OverTls, BothFormsAndBothNamesRunAPageAndABoundCallThroughTls) {
    for (const std::string& url : {Wss(*proxy), Https(*proxy), Wss(*proxy, "localhost")}) {
        SCOPED_TRACE(url);
        EngineCopy engine(NODE_MODULE);
        ASSERT_TRUE(engine.ok());
        int handshakesBefore = proxy->handshakes();
        // Binding starts the engine: the address is set first.
        setenv("QIRLEN_BROWSER_URL", url.c_str(), 1);
        engine.wkeJsBindFunction("Shout", Shout, &engine, 1);
        engine.wkeInitializeEx(nullptr);
        wkeWebView view = engine.NewView();
        ASSERT_NE(view, nullptr) << engine.failure();
        ASSERT_TRUE(engine.Load(view, site->Url("/tls"))) << engine.failure();
        EXPECT_EQ(engine.Eval(view, "return Shout('hi') + ' ' + document.title;"), "HI! /tls");
        EXPECT_GT(proxy->handshakes(), handshakesBefore);
        engine.wkeShutdown();
        EXPECT_EQ(engine.failure(), "");
        EXPECT_TRUE(browser->Answers());
    }
}

TEST_F(OverTls, ACertificateFromAnUntrustedAuthorityIsRefusedInBothForms) {
    ExpectRefused(Wss(*strangers), *strangers,
                  "the TLS certificate of 127.0.0.1:" + std::to_string(strangers->port()) +
                      " is not trusted (");
    ExpectRefused(Https(*strangers), *strangers, "is not trusted (");
}

// Without the test's authority the very proxy that works above is refused: what lets it in
// is SSL_CERT_FILE, not a check that was skipped.
TEST_F(OverTls, TheTestsOwnAuthorityIsTrustedOnlyThroughSslCertFile) {
    unsetenv("SSL_CERT_FILE");
    ExpectRefused(Wss(*proxy), *proxy, "a private authority is trusted through SSL_CERT_FILE");
}

TEST_F(OverTls, ACertificateForAnotherHostIsRefusedByAddressAndByName) {
    ExpectRefused(Wss(*elsewheres), *elsewheres, "is not for 127.0.0.1 (IP address mismatch)");
    ExpectRefused(Https(*elsewheres, "localhost"), *elsewheres,
                  "is not for localhost (hostname mismatch)");
}

}  // namespace
