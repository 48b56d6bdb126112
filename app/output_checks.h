#pragma once
// What the program lets out of a page it does not trust: the addresses it prints, copies
// and hands to a player, and the texts it shows beside them.
#include <string>

namespace app {

// An address that may be printed, copied and opened: an absolute http or https URL with a
// host, of printable ASCII that a URL may hold (no space, no control character, no quote or
// other byte a URL never carries). Anything else a page offers as its stream (an option
// such as "--log-file=...", "javascript:", "file:", a "$1" reference, a line break or a
// terminal escape) is not an address.
bool IsPlainWebAddress(const std::string& address);

// The UTF-8 text without control characters (C0, DEL and C1, U+0080 to U+009F), so that it
// can neither break a line nor steer a terminal. For UTF-8 only: in GBK, C2 80..C2 9F are
// characters.
std::string WithoutControlCharacters(const std::string& utf8);

}  // namespace app
