#pragma once
// A stand-in for the platform's live rooms on loopback: share links that redirect to room
// pages, one room live with its stream element (its address signed), one whose live has
// ended, one without the element; and the rooms of today, whose pages have no stream
// element but embed the room as streamed data chunks: live with an H.265 origin over H.264
// tiers (each with a backup line, named differently by the player and by the address maps),
// with its origin's addresses expired, with every address expired, ended, and ended while
// its streamer is live again in the web site's room; the web site's rooms
// (live.douyin.com/<web id>, www.douyin.com/follow/live/<web id> and /root/live/<web id>,
// desktop pages whose stream data is a text row); rooms as the platform served them in
// 2026-09 (the origin under FULL_HD1, audio on FLV only, backup lines signed with k and t);
// a verification page; and the platform's
// refusals (HTTP 444 and 503 without a body, 403, an empty page). Only a browser that passes
// for a phone (a phone's user agent and touch input) gets the share links' room pages; any
// other gets a desktop page.
#include <atomic>
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
    static constexpr const char* kStaleToken = "stale9";  // ended; its streamer is live again
    static constexpr const char* kOriginExpiredToken = "expiry1";
    static constexpr const char* kAllExpiredToken = "expired2";
    // As the platform served rooms in 2026-09: valid; every main line expired (the backup
    // lines not); every line expired. And the web site's page of such a room.
    static constexpr const char* kRecordedToken = "rec2609";
    static constexpr const char* kRecordedMainExpiredToken = "recmain";
    static constexpr const char* kRecordedExpiredToken = "recgone";
    static constexpr const char* kRecordedWebRid = "82600001";
    // A web site's room whose stream this server serves itself on loopback, from the files in
    // $QIRLEN_SAMPLE_HLS_DIR (origin.m3u8 and its segments); with $QIRLEN_SAMPLE_LOG_LOADS
    // set, each room page asked for is a line "load <steady ms> <host><path>" on stdout.
    static constexpr const char* kLoopbackWebRid = "82600077";
    // Web site rooms 82600090 to 82600099, live while the file live-<web id> is in
    // $QIRLEN_SAMPLE_HLS_DIR (its first line the title, its second the room id), their stream
    // the loopback room's, and ended while it is not; their owner has a picture.
    static constexpr const char* kSwitchedWebRidPrefix = "8260009";
    static constexpr const char* kOwnerAvatar =
        "https://p3.sample-cdn.invalid/aweme/100x100/avatar-switch.jpeg?from=4010531038";
    // The recorded phone room's origin (H.265, the maps' FULL_HD1) and hd (H.264) playlists,
    // and the desktop room's origin playlist; all valid until kExpiry.
    static constexpr const char* kRecordedOrigin =
        "https://pull-hls-l26.sample-cdn.invalid/third/stream-7380000000000000021.m3u8?"
        "auth_key=1893456000-0-0-9a8b7c6d5e4f3021";
    static constexpr const char* kRecordedHd =
        "https://pull-hls-l26.sample-cdn.invalid/third/stream-7380000000000000021_hd.m3u8?"
        "auth_key=1893456000-0-0-9a8b7c6d5e4f3021";
    static constexpr const char* kRecordedDesktopOrigin =
        "https://pull-hls-l26.sample-cdn.invalid/third/stream-7380000000000000024.m3u8?"
        "expire=1893456000&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9";
    static constexpr const char* kRefused444Token = "refuse444";
    static constexpr const char* kRefused403Token = "refuse403";
    static constexpr const char* kFailed503Token = "fail503";
    static constexpr const char* kEmptyToken = "empty0";
    // The live room as heavy as the platform's pages (some 3 MB of pictures, media, fonts,
    // style sheets and scripts referenced), and the same room behind an interstitial whose
    // script must run first.
    static constexpr const char* kHeavyToken = "heavy3m";
    static constexpr const char* kInterstitialToken = "acwall1";
    // The web id of the streamer who is live again (the stale share link's owner).
    static constexpr const char* kLiveAgainWebRid = "81234567";
    // The stream address the live room's element holds, decoded: signed, valid until
    // kExpiry (the element writes its "&" as "&amp;").
    static constexpr const char* kStreamAddress =
        "https://pull-hls.sample-cdn.invalid/stage/stream-117780148_or4.m3u8?arch_hrchy=w1&"
        "exp_hrchy=w1&expire=1893456000&major_anchor_level=common&"
        "sign=0f1e2d3c4b5a69788796a5b4c3d2e1f0&t_id=037-20240101";
    static constexpr long long kExpiry = 1893456000;
    // Today's room: the best quality (origin, H.265), the best H.264 one (uhd), hd, the
    // audio-only tier's playlist (on its backup line only), and their hex expiry.
    static constexpr const char* kTodayOrigin =
        "https://pull-hls-l13.sample-cdn.invalid/stage/stream-7380000000000000001_or4.m3u8?"
        "expire=70dbd880&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9";
    static constexpr const char* kTodayUhd =
        "https://pull-hls-l13.sample-cdn.invalid/stage/stream-7380000000000000001_uhd.m3u8?"
        "expire=70dbd880&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9";
    static constexpr const char* kTodayAudio =
        "https://pull-hls-f5.sample-cdn.invalid/stage/stream-7380000000000000001_ao.m3u8?"
        "wsSecret=5e4f30211203f4e5d6c7b8a99a8b7c6d&wsTime=70dbd880";
    static constexpr const char* kTodayHd1 =
        "https://pull-hls-l13.sample-cdn.invalid/stage/stream-7380000000000000001_hd.m3u8?"
        "expire=70dbd880&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9";
    // The streamer's room on the web site: its origin (H.265) and hd (H.264) playlists.
    static constexpr const char* kLiveAgainOrigin =
        "https://pull-hls-l13.sample-cdn.invalid/stage/stream-7380000000000000009_or4.m3u8?"
        "expire=70dbd880&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9";
    static constexpr const char* kLiveAgainHd =
        "https://pull-hls-l13.sample-cdn.invalid/stage/stream-7380000000000000009_hd.m3u8?"
        "expire=70dbd880&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9";
    static constexpr long long kTodayExpiry = 0x70dbd880;

    explicit SampleLiveRoom(int port = 0);

    int port() const { return server_.port(); }
    // The bytes of every answer's body so far (what a client fetched from the platform).
    unsigned long long bytesSent() const;
    // http://v.douyin.com:PORT/<token>/ (the browser maps the host to loopback).
    std::string ShareLink(const std::string& token) const;
    // http://live.douyin.com:PORT/<web id> and the web site's other forms.
    std::string WebSiteLink(const std::string& path) const;
    // Browser switches (for QIRLEN_CHROMIUM_ARGS) that send the platform's hosts to this
    // server; with its port, also the web site's links without one (the streamer's room that
    // a stale share link looks up). The platform's domain is on the browser's HTTPS-only
    // list, so the browser speaks TLS to it and must accept the server's throwaway
    // certificate.
    static std::string ChromiumArgs(int port = 0);

  private:
    std::atomic<unsigned long long> bytesSent_{0};  // before the server, which counts into it
    HttpServer server_;
};

}  // namespace testsupport
