#pragma once
// The program's main job, without widgets: check the share link, load it, and when the page
// has loaded, take the stream address from its stream element or, where the page has none,
// from the room data it embeds.
#include <cstdint>
#include <optional>
#include <string>

#include "app/room_data.h"

namespace app {

enum class FetchOutcome {
    kNone,           // nothing finished yet
    kSuccess,        // an address
    kMissing,        // no stream element and no room data with an address
    kEnded,          // the live has ended
    kVerification,   // the platform asks to prove a person is there
    kNoSuchQuality,  // the room has no quality of the asked name
    kNoAnswer        // the page never let the reads run (busy for good, crashed): unknown
};

// The link to load from a shared text; nothing, after the wrong-link message box, when the
// text holds no link to the share host.
std::optional<std::string> CheckShareLink(const std::string& text);

class StreamWorkflow {
  public:
    // Where the workflow loads pages: the window's browser control, or the command line's view.
    class Page {
      public:
        virtual ~Page() = default;
        virtual void Load(const std::string& address) = 0;  // GBK
        virtual intptr_t View() = 0;                        // 0: no web view
    };

    explicit StreamWorkflow(Page& page) : page_(page) {}

    // A quality by key or player name instead of the best one; the room data is then read
    // whatever the stream element holds. Empty: the best.
    void SetWantedQuality(const std::string& quality) { wantedQuality_ = quality; }
    // Reads the room data also when the stream element answers (for listing qualities).
    void SetAlwaysReadRoom(bool always) { alwaysReadRoom_ = always; }

    // False (after the wrong-link message box) when the text holds no share link;
    // otherwise the load has started.
    bool StartFetch(const std::string& linkBoxText);

    // A loading-finished notification. For result 0 the message for the result box (the
    // clipboard and the player address updated on success); nothing for 1 and 2.
    std::optional<std::string> FinishFetch(int result);

    bool lastSucceeded() const { return outcome_ == FetchOutcome::kSuccess; }
    FetchOutcome lastOutcome() const { return outcome_; }
    const std::string& streamAddress() const { return streamAddress_; }
    std::optional<int64_t> streamExpiry() const { return AddressExpiry(streamAddress_); }
    const RoomData& room() const { return room_; }
    const Quality* chosenQuality() const { return chosen_; }
    const std::string& playerAddress() const { return playerAddress_; }

  private:
    std::string FromRoomData(const std::string& elementFailure);

    Page& page_;
    std::string wantedQuality_;
    bool alwaysReadRoom_ = false;
    std::string playerAddress_, streamAddress_;
    FetchOutcome outcome_ = FetchOutcome::kNone;
    RoomData room_;
    const Quality* chosen_ = nullptr;
};

}  // namespace app
