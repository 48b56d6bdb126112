#pragma once
// The web of the hostile-pages binaries: two loopback servers whose pages the tests set per
// path. The local one is reached under the platform's share host (v.douyin.com) and other
// names ending in .test; the public one is the same loopback made public by Chromium's own
// address-space override, so that it stands for a site on the internet.
#include <string>
#include <vector>

#include "tests/support/http_server.h"

namespace hostile {

class Site {
  public:
    // Serves `response` at `path` (the path includes the query) until replaced.
    void Serve(const std::string& path, testsupport::HttpResponse response);
    void Serve(const std::string& path, const std::string& html);
    // Answers `path` with the Cookie header its request carried ("(none)" without one), to
    // any origin that asks, as a careless service of a site would.
    void EchoCookies(const std::string& path);
    // How many requests reached `path` so far.
    int Hits(const std::string& path) const;
    // A header (name in lower case) of the last request for `path`; "(none)" when it had
    // none, "(no request)" before the first.
    std::string LastHeader(const std::string& path, const std::string& name) const;
    // http://<host>:<port><path> (Chromium upgrades the share host to https, which the
    // servers answer on the same port)
    std::string Url(const std::string& host, const std::string& path) const;
    int port() const;

  private:
    friend void StartSites();
    testsupport::HttpServer* server_ = nullptr;
};

Site& Local();   // loopback, private as Chromium sees it
Site& Public();  // loopback, public as Chromium sees it

constexpr const char* kShareHost = "v.douyin.com";

// Starts both servers and names them in QIRLEN_CHROMIUM_ARGS; before the engine starts.
void StartSites();

// One run of the program's command line (qirlen beside the test binary) as a script runs it:
// its exit status and what it wrote, each stream whole. The child inherits the sites'
// QIRLEN_CHROMIUM_ARGS and has no display. Exit -1: it could not be run (or did not end
// within `timeoutSeconds`, and was killed).
struct CliRun {
    int exit = -1;
    std::string out, err;
};
CliRun RunCli(const std::vector<std::string>& args, int timeoutSeconds = 60);

// A room with the stream address, the way the platform's room pages stream it: in a pushed
// chunk row.
std::string RoomChunks(const std::string& streamAddress);

}  // namespace hostile
