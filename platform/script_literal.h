#pragma once
// Caller texts that go inside a quoted string literal of a page script. Texts are the
// program's (GBK, or UTF-8 after platform::SetTextEncoding); the
// script reaches the engine through the same decoder as every other text.
#include <string>
#include <string_view>

namespace platform {

// Escapes `text` for a JavaScript string literal in either quote, so that the page
// receives it exactly as the script's conversion decodes it: the text is decoded first,
// and backslash, both quotes, CR, LF, NUL and "</script" are escaped as characters, so a
// byte that starts no character can never take a quote or a backslash with it. Such a
// byte reaches the page as U+FFFD, written as an escape. A text of whole characters
// without those comes back unchanged.
std::string EscapeForScriptLiteral(std::string_view text);

}  // namespace platform
