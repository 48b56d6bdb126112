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
    kNoSuchCodec,    // the room (or the asked quality) has no stream in the asked codec
    kNoSuchFormat,   // the streams asked for have no address of the asked format
    kExpired,        // every address asked for has passed its expiry
    kRefused,        // the platform refused or failed: an empty page, HTTP 403/444/5xx
    kNoAnswer        // the page never let the reads run (busy for good, crashed): unknown
};

// The link to load from a shared text; nothing, after the wrong-link message box, when the
// text holds no link to the share host or to a live room of the platform's web site.
std::optional<std::string> CheckShareLink(const std::string& text);

// A load that failed because the platform answered with a refusal rather than a page (an
// error status without a body, an empty answer), by the browser's network error.
bool IsPlatformRefusal(const std::string& loadFailure);

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

    // A quality, codec or format instead of the best HLS playlist; the room data is then
    // read whatever the stream element holds.
    void SetWish(const StreamWish& wish) { wish_ = wish; }
    void SetWantedQuality(const std::string& quality) { wish_.quality = quality; }
    // Reads the room data also when the stream element answers (for listing qualities).
    void SetAlwaysReadRoom(bool always) { alwaysReadRoom_ = always; }

    // False (after the wrong-link message box) when the text holds no share link;
    // otherwise the load has started.
    bool StartFetch(const std::string& linkBoxText);

    // A loading-finished notification. For result 0 the message for the result box (the
    // clipboard and the player address updated on success); nothing for 1 and 2, and
    // nothing while the streamer's current room is being looked up (another load follows).
    std::optional<std::string> FinishFetch(int result);
    // The lookup of the streamer's current room failed to load: the shared one has ended.
    std::string AbandonStreamerLookup();

    bool lastSucceeded() const { return outcome_ == FetchOutcome::kSuccess; }
    FetchOutcome lastOutcome() const { return outcome_; }
    // Loading the streamer's current room after the shared broadcast turned out ended.
    bool lookingUpStreamer() const { return lookingUpStreamer_; }
    // FinishFetch gave nothing because another load follows: the streamer's current room, or
    // the same page again with its scripts.
    bool anotherLoadFollows() const { return lookingUpStreamer_ || reloading_; }
    // The address is of the streamer's current room, not of the ended shared broadcast.
    bool fromStreamersCurrentRoom() const { return fromStreamersRoom_; }
    const std::string& streamAddress() const { return streamAddress_; }
    std::optional<int64_t> streamExpiry() const { return AddressExpiry(streamAddress_); }
    const RoomData& room() const { return room_; }
    const Quality* chosenQuality() const { return chosen_; }
    // The H.264 stream the player opens in place of a chosen H.265 one; null when none.
    const Quality* playerQuality() const { return playerQuality_; }
    const std::string& playerAddress() const { return playerAddress_; }
    // Why the platform's answer counts as a refusal ("HTTP 444", "an empty page").
    const std::string& refusalCause() const { return refusalCause_; }

  private:
    std::string Read(int64_t now);
    std::string FromRoomData(const std::string& elementFailure, int64_t now);
    std::string Refusal();
    bool LookUpStreamer();
    void ChoosePlayerAddress(int64_t now);
    void Load(const std::string& address, bool withScripts);
    bool ReloadWithScripts();

    Page& page_;
    StreamWish wish_;
    bool alwaysReadRoom_ = false;
    std::string playerAddress_, streamAddress_, refusalCause_;
    FetchOutcome outcome_ = FetchOutcome::kNone;
    RoomData room_;
    const Quality* chosen_ = nullptr;
    const Quality* playerQuality_ = nullptr;
    bool lookingUpStreamer_ = false, fromStreamersRoom_ = false;
    bool loadedShareLink_ = false;  // the link loaded is a share link, not a web site's room
    std::string loaded_;            // the address of the page loaded last
    bool withScripts_ = false;      // whether that page could fetch its scripts
    bool reloading_ = false;        // it is being loaded again, with its scripts
};

}  // namespace app
