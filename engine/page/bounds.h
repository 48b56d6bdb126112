#pragma once
// How much the engine takes of what a page chooses the size of: the host's memory grows
// with what the engine keeps and converts, so texts it hands on are cut and calls that carry
// more than a host could use are refused.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/transport/json_text.h"
#include "engine/capi/wke.h"

namespace engine {

// A page's title, in UTF-16 code units (cut in the page, before it is sent).
constexpr size_t kMaxTitleChars = 2048;
// Texts of a console message handed to the host, in UTF-8 bytes: the message, the source's
// address, and the stack of at most kMaxConsoleFrames frames.
constexpr size_t kMaxConsoleMessageBytes = size_t{64} << 10;
constexpr size_t kMaxConsoleSourceBytes = size_t{4} << 10;
constexpr size_t kMaxConsoleFrames = 32;
// An address under the mouse.
constexpr size_t kMaxHoverUrlBytes = size_t{64} << 10;
// One call into bound functions as the bridge sends it: its JSON text in UTF-16 code units,
// and the same in UTF-8 bytes (at most three for one unit), with room for a batch of calls
// gathered behind it.
constexpr size_t kMaxBoundCallChars = WKE_BOUND_CALL_MAX_CHARS;
constexpr size_t kMaxBridgeMessageBytes = 3 * (kMaxBoundCallChars + (size_t{2} << 20));

// What a console message's texts may take as the protocol writes them, at most six bytes
// (\uXXXX) for one UTF-16 code unit: enough for every text's head above, so that an event
// is cut to this before it is parsed (OnConsole cuts again to the bounds above).
constexpr size_t kMaxConsoleTextWritten = 6 * kMaxConsoleMessageBytes;

// For a message's method, the longest string the engine takes in of it (protocol text, in
// bytes), or npos for all: what the engine never uses of a page's texts is cut as a message is
// read, before it is whole or parsed. Chromium names an event's method first.
size_t LongestStringTaken(std::string_view method);
// A message read whole, as the engine takes it in.
std::string TakeIn(std::string message);

// A message as it arrives in pieces, taken in as TakeIn takes it whole, but cut as it comes:
// a cut message is never held whole.
class MessageIntake {
  public:
    void Add(std::string_view piece);
    size_t size() const { return text_.size(); }  // what is held of it now
    // The message, and a fresh start for the next.
    std::string Take();

  private:
    void ReadHead();

    std::string text_;
    std::optional<StringCutter> cutter_;
    bool headRead_ = false;
};

// The head of `text` of at most `maxBytes` bytes, ending on a whole UTF-8 character.
std::string CutUtf8(std::string_view text, size_t maxBytes);

}  // namespace engine
