#pragma once
// The rooms a service watches, from a file of one link per line: "#" starts a comment, and
// quality=, codec= and format= after the link choose the stream as the command line does.
#include <string>
#include <vector>

#include "serve/resolver.h"

namespace serve {

struct WatchedRoom {
    std::string text;        // the link as the file writes it (UTF-8)
    ResolveRequest request;  // the link to load and the stream wished
    std::string webRid;      // the web id where the link names it (live.douyin.com/<id>)
};

struct RoomsList {
    std::vector<WatchedRoom> rooms;   // each room with its options once, in the file's order
    std::vector<std::string> errors;  // "line N: why" for each line left out
};

// A link (a share link, a room of the web site, the shared text, or a room's web id alone)
// with its options, one per line.
RoomsList ParseRooms(const std::string& text);
// The file read and parsed; false, and why, when it cannot be read.
bool ReadRoomsFile(const std::string& path, RoomsList& out, std::string& error);

// The web id a platform link names (live.douyin.com/<id>, www.douyin.com/follow/live/<id>,
// .../root/live/<id>); empty for a share link, which names a broadcast.
std::string WebRidOfLink(const std::string& link);

}  // namespace serve
