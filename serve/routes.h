#pragma once
// What a request asks for: the stable link of a room (by its web id or by a link the
// platform gave), its JSON, or the service's own state. Only the platform's own link forms
// are ever loaded: a client never names another address for the service to fetch.
#include <optional>
#include <string>

#include "serve/http_server.h"
#include "serve/resolver.h"

namespace serve {

struct Route {
    enum class Kind {
        kStream,
        kJson,
        kHealth,
        kMetrics,
        kRooms,     // the watched rooms' state (JSON)
        kPlaylist,  // the watched rooms as an M3U playlist
        kEvents,    // the watched rooms' changes as Server-Sent Events
        kNotFound,
        kBadRequest,
        kBadMethod
    };
    Kind kind = Kind::kNotFound;
    ResolveRequest request;  // kStream, kJson
    std::string error;       // kBadRequest: why (UTF-8, one line)
};

Route RouteOf(const HttpRequest& request);

// The query value of `name`, percent-decoded ("+" is a space); nothing when absent or when
// its encoding is broken.
std::optional<std::string> QueryParameter(const std::string& query, const std::string& name);

// A room's web id as the service takes it: its digits.
bool IsWebRid(const std::string& text);

// One of quality, codec or format (UTF-8, as a query or a rooms file writes it) into the
// wish; why not, when the value is not one the command line takes.
std::optional<std::string> WishOption(const std::string& name, const std::string& value,
                                      app::StreamWish& wish);

// The key under which one answer is kept: the link and every option.
std::string CacheKey(const ResolveRequest& request);
// The link a key was made from.
std::string LinkOfKey(const std::string& key);

}  // namespace serve
