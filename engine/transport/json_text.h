#pragma once
// Parsing protocol text that may carry JavaScript strings with lone surrogates: Chromium
// and JSON.stringify write them as \ud800-style escapes, which a strict parser rejects.
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace engine {

// Parses `text`; a text that fails only because of lone surrogate escapes is parsed with
// each of them replaced by \ufffd. Discarded when it is not JSON.
nlohmann::json ParseLenient(std::string_view text);

// The method a message names at its head ({"method":"X",... as Chromium writes events), or "".
std::string_view MethodAtHead(std::string_view text);

// Cuts the long strings of a JSON text as it arrives, piece by piece, so that the whole text is
// never held: each string to its first `maxBytes` (as written, escapes and all, ending on a whole
// escape and UTF-8 character), and all of them together to about 4 * `maxBytes`, past which each
// keeps only a name's length (the names of members are never longer). JSON stays JSON; what is
// not JSON stays not JSON.
class StringCutter {
  public:
    explicit StringCutter(size_t maxBytes) : maxBytes_(maxBytes), budget_(4 * maxBytes) {}
    // Appends what is kept of `piece`, the next part of the text, to `out`.
    void Add(std::string_view piece, std::string& out);

  private:
    static constexpr size_t kNameBytes = 256;
    size_t maxBytes_, budget_;
    size_t kept_ = 0, limit_ = 0;  // of the string under way
    bool inString_ = false, dropping_ = false, afterBackslash_ = false;
    int hexLeft_ = 0;  // of a \uXXXX escape under way
};

// `text` cut as above, in one piece.
std::string CutLongStrings(std::string_view text, size_t maxBytes);

}  // namespace engine
