#pragma once
// A stand-in for the platform's live rooms on loopback: share links that redirect to room
// pages, one room live with its stream element, one whose live has ended, one without the
// element. Only a browser that passes for a phone (a phone's user agent and touch input)
// gets the stream element; any other gets a desktop page without it.
#include <string>

#include "tests/support/http_server.h"

namespace testsupport {

class SampleLiveRoom {
  public:
    static constexpr const char* kLiveToken = "iRNBho6";
    static constexpr const char* kEndedToken = "ended42";
    static constexpr const char* kBrokenToken = "broken7";
    // The stream address the live room's element holds (before its query part).
    static constexpr const char* kStreamAddress =
        "https://pull-hls.sample-cdn.invalid/stage/stream-117780148_or4.m3u8";

    explicit SampleLiveRoom(int port = 0);

    int port() const { return server_.port(); }
    // http://v.douyin.com:PORT/<token>/ (the browser maps the host to loopback).
    std::string ShareLink(const std::string& token) const;
    // Browser switches (for QIRLEN_CHROMIUM_ARGS) that send the share-link host to this
    // server. The platform's domain is on the browser's HTTPS-only list, so the browser
    // speaks TLS to it and must accept the server's throwaway certificate.
    static std::string ChromiumArgs();

  private:
    HttpServer server_;
};

}  // namespace testsupport
