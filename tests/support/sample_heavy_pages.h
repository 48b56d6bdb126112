#pragma once
// Room pages as heavy as the platform's own: a live room that references some 3 MB of what a
// browser fetches for a page (pictures, a poster, media, a font through its style sheet, a
// script bundle), and an interstitial that a script must pass before the room comes (it sets
// a cookie from a nonce and loads the page again), as the platform puts before crawlers.
#include <optional>
#include <string>

#include "tests/support/http_server.h"

namespace testsupport::sample_room {

// A room page with every reference in its own markup (where a browser fetches them as it
// parses), its stream element with a poster.
std::string WithHeavyReferences(std::string page);

// /static/<name>: the heavy page's files, filler of each one's size and type; none for other
// paths.
std::optional<HttpResponse> StaticFile(const std::string& path);

// The interstitial, unless the request carries the cookie its script sets: then `room`.
HttpResponse InterstitialOr(const HttpRequest& request, const std::string& room);

}  // namespace testsupport::sample_room
