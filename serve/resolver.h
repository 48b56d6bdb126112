#pragma once
// What the service asks of the browser: one room link resolved with the command line's
// options, answered as the command line answers it.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/room_data.h"

namespace serve {

struct ResolveRequest {
    std::string link;      // a platform link (GBK, as the command line takes it)
    app::StreamWish wish;  // quality (GBK), codec, format
};

struct Resolved {
    int code = 0;                   // the command line's exit status for the link
    bool refused = false;           // the platform refused or asked for a verification
    std::string message;            // the command line's one-line message (UTF-8), "" on success
    std::string address;            // the stream address on success
    std::optional<int64_t> expiry;  // until when it is valid, where it says
    std::string json;               // the command line's --json object (UTF-8) on success
    std::string roomId;             // the room (one broadcast) it came from
    // What the page said of the room, whether or not it gave an address (UTF-8, without
    // control characters; the avatar only as a plain web address).
    std::string title, owner, avatar, webRid;
};

class Resolver {
  public:
    virtual ~Resolver() = default;
    // `done` runs once, on any thread.
    virtual void Resolve(ResolveRequest request, std::function<void(Resolved)> done) = 0;
};

}  // namespace serve
