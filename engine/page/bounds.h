#pragma once
// How much the engine takes of what a page chooses the size of: the host's memory grows
// with what the engine keeps and converts, so texts it hands on are cut and calls that carry
// more than a host could use are refused.
#include <cstddef>
#include <string>
#include <string_view>

#include "engine/capi/wke.h"
#include "engine/transport/message_intake.h"

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

// Console events are cut as they are read (engine/transport/message_intake.h) to enough for
// every text's head above, at most six bytes (\uXXXX) of protocol text for one UTF-16 unit.
static_assert(kMaxConsoleTextWritten >= 6 * kMaxConsoleMessageBytes);

// The head of `text` of at most `maxBytes` bytes, ending on a whole UTF-8 character.
std::string CutUtf8(std::string_view text, size_t maxBytes);

}  // namespace engine
