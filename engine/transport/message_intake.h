#pragma once
// What is taken in of a message as it arrives: the long texts of messages whose texts the
// engine hands on only in part (console messages) are cut as the message is read, before it
// is whole or parsed, so that a page cannot make the engine hold what it never uses.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/transport/json_text.h"

namespace engine {

// What a console message's texts may take as the protocol writes them: at most six bytes
// (\uXXXX) for one UTF-16 code unit of the 64 KiB of text the page hands the host
// (kMaxConsoleMessageBytes in engine/page/bounds.h), so that an event is cut to this before it
// is parsed and cut again, to the character, when it is handed on.
constexpr size_t kMaxConsoleTextWritten = 6 * (size_t{64} << 10);

// For a message's method, the longest string the engine takes in of it (protocol text, in
// bytes), or npos for all. Chromium names an event's method first.
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

}  // namespace engine
