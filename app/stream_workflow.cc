#include "app/stream_workflow.h"

#include <cctype>
#include <ctime>
#include <utility>

#include "app/output_checks.h"
#include "app/text_rules.h"
#include "app/texts.h"
#include "hostctl/engine_library.h"
#include "hostctl/page_query.h"
#include "platform/sinks.h"

namespace app {
namespace {

// Statuses with which the platform turns a client away or fails, as opposed to a wrong link.
bool IsRefusalStatus(int status) {
    return status == 401 || status == 403 || status == 429 || status == 444 ||
           (status >= 500 && status < 600);
}

// A web id names the streamer's room in a path: digits and letters only.
bool IsWebRid(const std::string& id) {
    if (id.empty() || id.size() > 32) return false;
    for (char c : id)
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

// What a room page may fetch besides itself. The room data is in the page's own text, so its
// pictures, media, fonts and style sheets are never needed, and its scripts only where the
// page must run them first (an interstitial that sets a cookie and loads the room again):
// megabytes per check otherwise, which cost the user and show the platform a crawler.
constexpr const char* kNeverFetched = "Image,Media,Font,Stylesheet,Ping,Manifest,TextTrack";
constexpr const char* kNeverFetchedNorScripts =
    "Image,Media,Font,Stylesheet,Ping,Manifest,TextTrack,Script";

}  // namespace

std::optional<std::string> CheckShareLink(const std::string& text) {
    // A shared text carries words around the link; only a link to a room can load.
    std::optional<std::string> link = LinkToLoad(text);
    if (!link)
        platform::ShowMessageBox(texts::WrongLinkMessage(), texts::WrongLinkTitle(),
                                 platform::kMbOk | platform::kMbTaskModal);
    return link;
}

bool IsPlatformRefusal(const std::string& loadFailure) {
    for (const char* error : {"net::ERR_HTTP_RESPONSE_CODE_FAILURE", "net::ERR_EMPTY_RESPONSE",
                              "net::ERR_INVALID_HTTP_RESPONSE", "net::ERR_INVALID_RESPONSE"})
        if (loadFailure == error) return true;
    return false;
}

bool StreamWorkflow::StartFetch(const std::string& linkBoxText) {
    lookingUpStreamer_ = reloading_ = false;
    std::optional<std::string> link = CheckShareLink(linkBoxText);
    loadedShareLink_ = link && link->find("://" + texts::ShareLinkHost()) != std::string::npos;
    if (link) Load(*link, false);
    return link.has_value();
}

void StreamWorkflow::Load(const std::string& address, bool withScripts) {
    const hostctl::EngineEntries& e = hostctl::Engine();
    auto view = reinterpret_cast<wkeWebView>(page_.View());
    if (view && e.wkeSetDebugConfig)
        e.wkeSetDebugConfig(view, "blockedResourceTypes",
                            withScripts ? kNeverFetched : kNeverFetchedNorScripts);
    loaded_ = address;
    withScripts_ = withScripts;
    page_.Load(address);
}

// A page that holds neither a stream nor room data may be an interstitial whose script must
// run before the room comes: loaded once more, with its scripts.
bool StreamWorkflow::ReloadWithScripts() {
    if (withScripts_ || outcome_ != FetchOutcome::kMissing || loaded_.empty()) return false;
    Load(loaded_, true);
    reloading_ = true;
    return true;
}

std::optional<std::string> StreamWorkflow::FinishFetch(int result) {
    if (result != 0) return std::nullopt;
    int64_t now = std::time(nullptr);
    bool lookup = std::exchange(lookingUpStreamer_, false);
    reloading_ = false;
    std::string message = Read(now);
    if (ReloadWithScripts()) {
        lookingUpStreamer_ = lookup;
        return std::nullopt;
    }
    // A share link names one broadcast; its streamer may be live again in another.
    if (!lookup && outcome_ == FetchOutcome::kEnded && LookUpStreamer()) return std::nullopt;
    if (lookup && outcome_ != FetchOutcome::kSuccess) return AbandonStreamerLookup();
    fromStreamersRoom_ = lookup;
    if (outcome_ == FetchOutcome::kSuccess) {
        ChoosePlayerAddress(now);
        platform::CopyToClipboard(message);
    }
    return message;
}

std::string StreamWorkflow::AbandonStreamerLookup() {
    lookingUpStreamer_ = false;
    outcome_ = FetchOutcome::kEnded;
    streamAddress_.clear();
    chosen_ = playerQuality_ = nullptr;
    return texts::FailureLiveEnded();
}

// Only a share link names one broadcast: a room of the web site is the streamer's current
// room already, and loading it again would only cost the platform another page.
bool StreamWorkflow::LookUpStreamer() {
    if (!loadedShareLink_ || !IsWebRid(room_.webRid)) return false;
    lookingUpStreamer_ = true;
    Load(texts::StreamerRoomAddress(room_.webRid), false);
    return true;
}

// The page's answer: its stream element, else the room data it embeds.
std::string StreamWorkflow::Read(int64_t now) {
    hostctl::PageQuery query;
    auto view = reinterpret_cast<wkeWebView>(page_.View());
    std::string html = query.Query(view, 2, texts::StreamElementSelector(), 1);
    Extraction found = ExtractStream(hostctl::ConvertUtf8(html));
    // What the element holds is no address to let out: as if it held none.
    if (found.success && !IsPlainWebAddress(found.streamAddress))
        found = {texts::FailureElementMissing(), {}, false, true};
    // An expired address in the element is no answer; the room data may hold a live one.
    bool elementExpired = found.success && AddressExpired(found.streamAddress, now);
    bool wished = !wish_.quality.empty() || !wish_.codec.empty() || wish_.flv;
    room_ = {};
    chosen_ = playerQuality_ = nullptr;
    streamAddress_.clear();
    refusalCause_.clear();
    fromStreamersRoom_ = false;
    // An element failure that the room data cannot answer is the live-ended marker.
    outcome_ = found.success ? FetchOutcome::kSuccess : FetchOutcome::kEnded;
    bool needRoom = found.streamless || wished || elementExpired;
    if (needRoom || alwaysReadRoom_) room_ = ParseRoomData(query.Evaluate(view, RoomDataScript()));
    // The room data runs to its end on any page that lets it run; where it could not, nothing
    // is known of the room, which is no answer that it has no stream.
    if (needRoom && query.lastFailed()) {
        room_ = {};
        outcome_ = FetchOutcome::kNoAnswer;
        return texts::FailureNoAnswer();
    }
    if (found.streamless && !room_.found && (IsRefusalStatus(room_.httpStatus) || room_.emptyPage))
        return Refusal();
    if ((found.success && !elementExpired && (!wished || !room_.found))) {
        streamAddress_ = found.streamAddress;
        return found.message;
    }
    if (elementExpired && !room_.found) {
        outcome_ = FetchOutcome::kExpired;
        return texts::FailureAddressExpired();
    }
    if (found.streamless || room_.found) return FromRoomData(found.message, now);
    return found.message;
}

std::string StreamWorkflow::Refusal() {
    outcome_ = FetchOutcome::kRefused;
    refusalCause_ = room_.httpStatus && room_.httpStatus != 200
                        ? "HTTP " + std::to_string(room_.httpStatus)
                        : std::string("an empty page");
    return texts::FailurePlatformRefused();
}

// The page's room data decides: ended, an address of the chosen stream, a verification
// page, or (nothing there) the stream element's own failure.
std::string StreamWorkflow::FromRoomData(const std::string& elementFailure, int64_t now) {
    if (!room_.found) {
        outcome_ = room_.verification ? FetchOutcome::kVerification : FetchOutcome::kMissing;
        return room_.verification ? texts::FailureVerification() : elementFailure;
    }
    if (room_.status == kRoomEnded) {
        outcome_ = FetchOutcome::kEnded;
        return texts::FailureLiveEnded();
    }
    StreamChoice choice = ChooseStream(room_, wish_, now);
    switch (choice.failure) {
        case ChoiceFailure::kNone:
            break;
        case ChoiceFailure::kExpired:
            outcome_ = FetchOutcome::kExpired;
            return texts::FailureAddressExpired();
        case ChoiceFailure::kNoSuchQuality:
            outcome_ = FetchOutcome::kNoSuchQuality;
            return texts::FailureElementMissing();
        case ChoiceFailure::kNoSuchCodec:
            outcome_ = FetchOutcome::kNoSuchCodec;
            return texts::FailureElementMissing();
        case ChoiceFailure::kNoSuchFormat:
            bool wished = !wish_.quality.empty() || !wish_.codec.empty() || wish_.flv;
            outcome_ = wished ? FetchOutcome::kNoSuchFormat : FetchOutcome::kMissing;
            return texts::FailureElementMissing();
    }
    outcome_ = FetchOutcome::kSuccess;
    chosen_ = choice.quality;
    streamAddress_ = choice.address;
    return streamAddress_ + texts::SuccessSuffix();
}

// Most browsers' players cannot decode H.265: the player gets the best H.264 stream of the
// room instead, where there is one.
void StreamWorkflow::ChoosePlayerAddress(int64_t now) {
    std::string address = streamAddress_;
    if (chosen_ && chosen_->codec == "h265") {
        StreamChoice h264 = ChooseStream(room_, {"", "h264", false}, now);
        if (h264.quality) {
            playerQuality_ = h264.quality;
            address = h264.address;
        }
    }
    playerAddress_ = texts::PlayerAddressPrefix() + EncodeQueryValue(address);
}

}  // namespace app
