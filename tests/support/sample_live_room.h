#pragma once
// A stand-in for the platform's live rooms on loopback: share links that redirect to room
// pages, one room live with its stream element (its address signed), one whose live has
// ended, one without the element; and the rooms of today, whose pages have no stream
// element but embed the room as streamed data chunks (live with several qualities, and
// ended), and a verification page. Only a browser that passes for a phone (a phone's user
// agent and touch input) gets the room pages; any other gets a desktop page.
#include <string>

#include "tests/support/http_server.h"

namespace testsupport {

class SampleLiveRoom {
  public:
    static constexpr const char* kLiveToken = "iRNBho6";
    static constexpr const char* kEndedToken = "ended42";
    static constexpr const char* kBrokenToken = "broken7";
    static constexpr const char* kTodayToken = "today88";
    static constexpr const char* kTodayEndedToken = "todayx4";
    static constexpr const char* kVerifyToken = "verify5";
    // The stream address the live room's element holds, decoded: signed, valid until
    // kExpiry (the element writes its "&" as "&amp;").
    static constexpr const char* kStreamAddress =
        "https://pull-hls.sample-cdn.invalid/stage/stream-117780148_or4.m3u8?arch_hrchy=w1&"
        "exp_hrchy=w1&expire=1893456000&major_anchor_level=common&"
        "sign=0f1e2d3c4b5a69788796a5b4c3d2e1f0&t_id=037-20240101";
    static constexpr long long kExpiry = 1893456000;
    // Today's room: the best quality (origin), its audio-only tier, and its hex expiry.
    static constexpr const char* kTodayOrigin =
        "https://pull-hls-l13.sample-cdn.invalid/stage/stream-7380000000000000001_or4.m3u8?"
        "expire=70dbd880&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9";
    static constexpr const char* kTodayAudio =
        "https://pull-hls-l13.sample-cdn.invalid/stage/stream-7380000000000000001_ao.m3u8?"
        "expire=70dbd880&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9";
    static constexpr const char* kTodayHd1 =
        "https://pull-hls-f5.sample-cdn.invalid/stage/stream-7380000000000000001_hd.m3u8?"
        "wsSecret=5e4f30211203f4e5d6c7b8a99a8b7c6d&wsTime=70dbd880";
    static constexpr long long kTodayExpiry = 0x70dbd880;

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
