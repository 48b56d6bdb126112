#pragma once
// The program's fixed texts, in GBK like every text inside the program.
#include <string>

namespace app::texts {

const std::string& ShareLinkHost();  // the host of the platform's share links
const std::string& LiveRoomHost();   // live.douyin.com/<web id>
const std::string& WebSiteHost();    // www.douyin.com/follow/live/<web id>, .../root/live/...
// The streamer's room on the platform's web site, by the web id the room data names.
std::string StreamerRoomAddress(const std::string& webRid);
const std::string& ExampleShareLink();
const std::string& InputHint();  // grey hint of the link box
const std::string& WrongLinkMessage();
const std::string& WrongLinkTitle();
const std::string& CaptionLoading();
const std::string& CaptionIdle();
const std::string& StreamElementSelector();
const std::string& MissingElementAnswer();
const std::string& LiveEndedMarker();
const std::string& PlayerAddressPrefix();  // uses PlayerPageHost()
const std::string& SuccessSuffix();
const std::string& FailureElementMissing();
const std::string& FailureLiveEnded();
const std::string& FailureVerification();
const std::string& FailurePageNotLoaded();    // the page failed to load, or not in time
const std::string& FailurePageCrashed();      // the page's renderer died
const std::string& FailureBrowserStopped();   // the browser died; the next fetch starts another
const std::string& FailureNoAnswer();         // the page's script kept it from answering
const std::string& FailurePlatformRefused();  // an empty page, HTTP 403/444/5xx: try later
const std::string& FailureAddressExpired();   // every address the room offers has expired
// Tooltip lines: which stream the address is (its keys and names); the player opens another
// codec's stream; the address is of the streamer's current room because the shared broadcast
// has ended.
std::string StreamNote(const std::string& keys, const std::string& names);
std::string PlayerCodecNote(const std::string& shownCodec, const std::string& shownName,
                            const std::string& playerCodec, const std::string& playerName);
const std::string& StreamerLiveAgainNote();
const std::string& ExpiryPrefix();  // before the local time in the result box's tooltip
const std::string& WindowTitle();

// The online player's host: $QIRLEN_PLAYER_HOST, else kDefaultPlayerPageHost.
constexpr const char* kDefaultPlayerPageHost = "m3u8player.net";
std::string PlayerPageHost();

// UTF-8 source text as GBK.
std::string Gbk(const char* utf8);

}  // namespace app::texts
