#pragma once
// Searching, cutting and comparing GBK text the way the program's toolkit does.
#include <optional>
#include <string>

namespace app {

// 1-based byte position of the first match of `pattern`, never starting on the second byte
// of a double-byte character; -1 when there is none (or the pattern is empty).
int Find(const std::string& text, const std::string& pattern);

// `length` bytes from 1-based `position`; empty when the position is outside the text or
// the length is not positive; cut at the end of the text.
std::string Part(const std::string& text, int position, int length);

// Byte-wise comparison, as unsigned values, up to the first NUL: 0, negative or positive.
int TextEquals(const std::string& a, const std::string& b);

// The room link inside a shared text: the first http(s) address that is a share link (any
// path on the share host) or a room of the web site (live.douyin.com/<web id>,
// www.douyin.com/follow/live/<web id> or /root/live/<web id>), or the first such address
// written without a scheme (given "https://"); trailing punctuation that ends a sentence is
// not part of it. Nothing when the text holds none.
std::optional<std::string> LinkToLoad(const std::string& text);

// What the stream element's HTML (GBK) gives: the message for the result box, and
// whether it is the success form. The address is the whole attribute value, its character
// references decoded; an element without one (or no element) is a failure that the room
// data the page embeds may still answer (`streamless`).
struct Extraction {
    std::string message;
    std::string streamAddress;
    bool success = false;
    bool streamless = false;
};
Extraction ExtractStream(const std::string& pageText);

// HTML character references (&amp; &lt; &gt; &quot; &#39; &apos; and ASCII numeric ones)
// replaced by their characters; others stay.
std::string DecodeCharacterReferences(const std::string& html);
// The text as one URL query value: every byte but letters, digits and -._~ as %XX.
std::string EncodeQueryValue(const std::string& text);

}  // namespace app
