#include "serve/rooms_file.h"

#include <fstream>
#include <set>
#include <sstream>

#include "app/text_rules.h"
#include "app/texts.h"
#include "platform/codepage.h"
#include "serve/routes.h"

namespace serve {
namespace {

constexpr size_t kMaxFileBytes = 1 << 20;
constexpr size_t kMaxLineBytes = 8 * 1024;

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// The line without its comment: "#" at its start or after a blank (a link may hold one).
std::string WithoutComment(const std::string& line) {
    for (size_t at = 0; (at = line.find('#', at)) != std::string::npos; ++at)
        if (at == 0 || line[at - 1] == ' ' || line[at - 1] == '\t') return line.substr(0, at);
    return line;
}

// "name=value" with a lower-case name: an option, not a part of the link.
bool IsOption(const std::string& word) {
    size_t equals = word.find('=');
    return equals != std::string::npos && equals > 0 &&
           word.find_first_not_of("abcdefghijklmnopqrstuvwxyz") >= equals;
}

// One line's room; why not, when it names none.
std::string ReadLine(const std::string& line, WatchedRoom& room) {
    if (line.size() > kMaxLineBytes) return "longer than 8 KB";
    if (!platform::IsValidUtf8(line)) return "not UTF-8";
    std::vector<std::string> words = Words(WithoutComment(line));
    size_t linkWords = words.size();
    while (linkWords > 0 && IsOption(words[linkWords - 1])) --linkWords;
    for (size_t i = linkWords; i < words.size(); ++i) {
        size_t equals = words[i].find('=');
        if (auto why = WishOption(words[i].substr(0, equals), words[i].substr(equals + 1),
                                  room.request.wish))
            return *why;
    }
    if (linkWords == 0) return "no link before the options";
    for (size_t i = 0; i < linkWords; ++i) room.text += (i ? " " : "") + words[i];
    if (IsWebRid(room.text)) {
        room.request.link = app::texts::StreamerRoomAddress(room.text);
    } else if (auto link = app::LinkToLoad(platform::Utf8ToGbk(room.text))) {
        room.request.link = *link;
    } else {
        return "holds no room link";
    }
    room.webRid = WebRidOfLink(room.request.link);
    return {};
}

}  // namespace

RoomsList ParseRooms(const std::string& text) {
    RoomsList out;
    std::set<std::string> seen;
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (Words(WithoutComment(line)).empty()) continue;
        WatchedRoom room;
        std::string why = ReadLine(line, room);
        if (why.empty() && !seen.insert(CacheKey(room.request)).second)
            why = "the same room and options as a line before";
        if (why.empty())
            out.rooms.push_back(std::move(room));
        else
            out.errors.push_back("line " + std::to_string(number) + ": " + why);
    }
    return out;
}

bool ReadRoomsFile(const std::string& path, RoomsList& out, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::string text(kMaxFileBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.gcount()));
    if (text.size() > kMaxFileBytes) {
        error = path + " is larger than 1 MB";
        return false;
    }
    out = ParseRooms(text);
    return true;
}

std::string WebRidOfLink(const std::string& link) {
    size_t scheme = link.find("://");
    if (scheme == std::string::npos) return {};
    size_t pathAt = link.find('/', scheme + 3);
    if (pathAt == std::string::npos) return {};
    std::string host = link.substr(scheme + 3, pathAt - scheme - 3);
    host = host.substr(0, host.find(':'));
    std::string path = link.substr(pathAt, link.find_first_of("?#", pathAt) - pathAt);
    std::string id;
    if (host == app::texts::LiveRoomHost()) {
        id = path.substr(1);
    } else if (host == app::texts::WebSiteHost()) {
        for (const char* prefix : {"/follow/live/", "/root/live/"})
            if (path.rfind(prefix, 0) == 0) id = path.substr(std::string(prefix).size());
    }
    if (!id.empty() && id.back() == '/') id.pop_back();
    return IsWebRid(id) ? id : std::string();
}

}  // namespace serve
