#include "app/stream_workflow.h"

#include "app/output_checks.h"
#include "app/text_rules.h"
#include "app/texts.h"
#include "hostctl/page_query.h"
#include "platform/sinks.h"

namespace app {

std::optional<std::string> CheckShareLink(const std::string& text) {
    // A shared text carries words around the link; only a link to the share host can load.
    std::optional<std::string> link = LinkToLoad(text);
    if (!link)
        platform::ShowMessageBox(texts::WrongLinkMessage(), texts::WrongLinkTitle(),
                                 platform::kMbOk | platform::kMbTaskModal);
    return link;
}

bool StreamWorkflow::StartFetch(const std::string& linkBoxText) {
    std::optional<std::string> link = CheckShareLink(linkBoxText);
    if (link) page_.Load(*link);
    return link.has_value();
}

std::optional<std::string> StreamWorkflow::FinishFetch(int result) {
    hostctl::PageQuery query;
    if (result != 0) return std::nullopt;
    auto view = reinterpret_cast<wkeWebView>(page_.View());
    std::string html = query.Query(view, 2, texts::StreamElementSelector(), 1);
    Extraction found = ExtractStream(hostctl::ConvertUtf8(html));
    // What the element holds is no address to let out: as if it held none.
    if (found.success && !IsPlainWebAddress(found.streamAddress))
        found = {texts::FailureElementMissing(), {}, false, true};
    room_ = {};
    chosen_ = nullptr;
    streamAddress_.clear();
    // An element failure that the room data cannot answer is the live-ended marker.
    outcome_ = found.success ? FetchOutcome::kSuccess : FetchOutcome::kEnded;
    if (found.streamless || alwaysReadRoom_ || !wantedQuality_.empty())
        room_ = ParseRoomData(query.Evaluate(view, RoomDataScript()));
    // The room data runs to its end on any page that lets it run; where it could not, nothing
    // is known of the room, which is no answer that it has no stream.
    if ((found.streamless || !wantedQuality_.empty()) && query.lastFailed()) {
        room_ = {};
        outcome_ = FetchOutcome::kNoAnswer;
        return texts::FailureNoAnswer();
    }
    std::string message = found.message;
    if (found.streamless || (!wantedQuality_.empty() && room_.found))
        message = FromRoomData(found.message);
    else if (found.success)
        streamAddress_ = found.streamAddress;
    if (outcome_ == FetchOutcome::kSuccess) {
        playerAddress_ = texts::PlayerAddressPrefix() + EncodeQueryValue(streamAddress_);
        platform::CopyToClipboard(message);
    }
    return message;
}

// The page's room data decides: ended, an address of the chosen quality, a verification
// page, or (nothing there) the stream element's own failure.
std::string StreamWorkflow::FromRoomData(const std::string& elementFailure) {
    if (!room_.found) {
        outcome_ = room_.verification ? FetchOutcome::kVerification : FetchOutcome::kMissing;
        return room_.verification ? texts::FailureVerification() : elementFailure;
    }
    if (room_.status == kRoomEnded) {
        outcome_ = FetchOutcome::kEnded;
        return texts::FailureLiveEnded();
    }
    chosen_ = ChooseQuality(room_, wantedQuality_);
    std::string address = chosen_ ? (chosen_->hls.empty() ? chosen_->flv : chosen_->hls) : "";
    if (address.empty()) {
        outcome_ = wantedQuality_.empty() ? FetchOutcome::kMissing : FetchOutcome::kNoSuchQuality;
        return texts::FailureElementMissing();
    }
    outcome_ = FetchOutcome::kSuccess;
    streamAddress_ = address;
    return address + texts::SuccessSuffix();
}

}  // namespace app
