#include "app/room_streams.h"

#include <algorithm>
#include <cctype>

namespace app {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The player's key and the maps' key of one tier, best first.
struct KeyPair {
    const char* player;
    const char* map;
};
constexpr KeyPair kKeyPairs[] = {{"origin", "ORIGION"}, {"uhd", "FULL_HD1"}, {"hd", "HD1"},
                                 {"sd", "SD2"},         {"ld", "SD1"},       {"md", ""}};

int KeyRank(const std::string& key) {
    std::string lower = Lower(key);
    if (lower == "ao") return 1000;
    for (size_t rank = 0; rank < std::size(kKeyPairs); ++rank)
        if (lower == kKeyPairs[rank].player || lower == Lower(kKeyPairs[rank].map))
            return static_cast<int>(rank);
    return static_cast<int>(std::size(kKeyPairs));
}

// What names a stream in an address: its path without the host, the query or the
// extension, so that the HLS and FLV addresses of one stream agree.
std::string StreamPath(const std::string& address) {
    if (address.empty()) return {};
    size_t scheme = address.find("://");
    size_t path = address.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    if (path == std::string::npos) return {};
    std::string out = address.substr(path, address.find_first_of("?#", path) - path);
    size_t dot = out.rfind('.');
    if (dot != std::string::npos && out.find('/', dot) == std::string::npos) out.resize(dot);
    return out;
}

std::vector<std::string> Paths(const Quality& q) {
    std::vector<std::string> paths;
    for (const std::string* a : {&q.hls, &q.flv, &q.backupHls, &q.backupFlv})
        if (!a->empty()) paths.push_back(StreamPath(*a));
    return paths;
}

bool ShareAPath(const Quality& a, const Quality& b) {
    std::vector<std::string> left = Paths(a);
    for (const std::string& path : Paths(b))
        if (std::find(left.begin(), left.end(), path) != left.end()) return true;
    return false;
}

// Two entries with addresses of the same kind that name different streams are two streams,
// whatever their keys say.
bool AddressesDisagree(const Quality& a, const Quality& b) {
    return (!a.hls.empty() && !b.hls.empty()) || (!a.flv.empty() && !b.flv.empty());
}

bool ConventionalPair(const std::string& playerKey, const std::string& mapKey) {
    for (const KeyPair& pair : kKeyPairs)
        if (*pair.map && Lower(playerKey) == pair.player && Lower(mapKey) == Lower(pair.map))
            return true;
    return false;
}

// The stream a map key belongs to: the one with the same stream path, else its conventional
// partner when no addresses disagree; null for a stream of its own.
Quality* PartnerOf(std::vector<Quality>& streams, const Quality& entry) {
    for (Quality& s : streams)
        if (s.mapKey.empty() && ShareAPath(s, entry)) return &s;
    for (Quality& s : streams)
        if (s.mapKey.empty() && ConventionalPair(s.key, entry.mapKey) &&
            !AddressesDisagree(s, entry))
            return &s;
    return nullptr;
}

void FillEmpty(std::string& into, const std::string& from) {
    if (into.empty()) into = from;
}

std::vector<std::string> MapKeys(const StreamSources& sources) {
    std::vector<std::string> keys;
    for (const auto* map : {&sources.hlsMap, &sources.flvMap, &sources.mapNames})
        for (const auto& [key, value] : *map)
            if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
    return keys;
}

std::string ValueOf(const std::map<std::string, std::string>& map, const std::string& key) {
    auto it = map.find(key);
    return it == map.end() ? std::string() : it->second;
}

bool HasAddress(const Quality& q) {
    return !q.hls.empty() || !q.flv.empty() || !q.backupHls.empty() || !q.backupFlv.empty();
}

bool IsAudioOnly(const Quality& q) {
    return Lower(q.key) == "ao";
}

// The wished stream by key (either kind) or else by name, the maps' names first: where the
// player's name for one stream is the maps' name of another, users mean the maps' one.
const Quality* NamedStream(const RoomData& room, const std::string& wanted) {
    for (const Quality& q : room.qualities)
        if (Lower(q.key) == Lower(wanted) ||
            (!q.mapKey.empty() && Lower(q.mapKey) == Lower(wanted)))
            return &q;
    for (const Quality& q : room.qualities)
        if (!q.mapName.empty() && q.mapName == wanted) return &q;
    for (const Quality& q : room.qualities)
        if (!q.playerName.empty() && q.playerName == wanted) return &q;
    return nullptr;
}

}  // namespace

std::string CodecName(const std::string& written) {
    std::string lower = Lower(written);
    if (lower == "264" || lower == "h264" || lower == "h.264" || lower == "avc" || lower == "avc1")
        return "h264";
    if (lower == "265" || lower == "h265" || lower == "h.265" || lower == "hevc" ||
        lower == "bytevc1" || lower == "hvc1" || lower == "hev1")
        return "h265";
    return lower;
}

StreamChoice ChooseStream(const RoomData& room, const StreamWish& wish, int64_t now) {
    std::vector<const Quality*> candidates;
    if (!wish.quality.empty()) {
        const Quality* named = NamedStream(room, wish.quality);
        if (!named) return {nullptr, "", ChoiceFailure::kNoSuchQuality};
        candidates.push_back(named);
    } else {
        for (const Quality& q : room.qualities)
            if (!IsAudioOnly(q)) candidates.push_back(&q);
        std::stable_sort(
            candidates.begin(), candidates.end(),
            [](const Quality* a, const Quality* b) { return StreamRank(*a) < StreamRank(*b); });
    }
    if (!wish.codec.empty()) {
        std::erase_if(candidates,
                      [&](const Quality* q) { return q->codec != CodecName(wish.codec); });
        if (candidates.empty()) return {nullptr, "", ChoiceFailure::kNoSuchCodec};
    }
    bool anyAddress = false;
    for (const Quality* q : candidates) {
        for (const std::string* address :
             {wish.flv ? &q->flv : &q->hls, wish.flv ? &q->backupFlv : &q->backupHls}) {
            if (address->empty()) continue;
            anyAddress = true;
            if (!AddressExpired(*address, now)) return {q, *address, ChoiceFailure::kNone};
        }
    }
    return {nullptr, "", anyAddress ? ChoiceFailure::kExpired : ChoiceFailure::kNoSuchFormat};
}

const Quality* ChooseQuality(const RoomData& room, const std::string& wanted, int64_t now) {
    if (!wanted.empty()) return NamedStream(room, wanted);
    return ChooseStream(room, {}, now).quality;
}

int StreamRank(const Quality& quality) {
    return std::min(KeyRank(quality.key), quality.mapKey.empty() ? 1000 : KeyRank(quality.mapKey));
}

std::vector<Quality> MergeStreams(const StreamSources& sources) {
    std::vector<Quality> streams = sources.tiers;
    for (const Quality& named : sources.playerNames) {
        for (Quality& s : streams) {
            if (s.key != named.key) continue;
            s.playerName = named.playerName;
            FillEmpty(s.resolution, named.resolution);
            FillEmpty(s.codec, named.codec);
        }
    }
    for (const std::string& key : MapKeys(sources)) {
        Quality entry;
        entry.mapKey = key;
        entry.mapName = ValueOf(sources.mapNames, key);
        entry.hls = ValueOf(sources.hlsMap, key);
        entry.flv = ValueOf(sources.flvMap, key);
        if (Quality* partner = PartnerOf(streams, entry)) {
            partner->mapKey = key;
            partner->mapName = entry.mapName;
            FillEmpty(partner->hls, entry.hls);
            FillEmpty(partner->flv, entry.flv);
            continue;
        }
        entry.key = key;
        streams.push_back(entry);
    }
    // The player's names of streams that only the maps hold: by the same key or its pair.
    auto mapOnly = [](const Quality& s) { return s.key == s.mapKey; };
    for (const Quality& named : sources.playerNames) {
        bool ofATier = std::any_of(streams.begin(), streams.end(), [&](const Quality& s) {
            return !mapOnly(s) && s.key == named.key;
        });
        for (Quality& s : streams) {
            if (ofATier || !mapOnly(s) || !s.playerName.empty()) continue;
            if (s.key != named.key && !ConventionalPair(named.key, s.mapKey)) continue;
            s.playerName = named.playerName;
            FillEmpty(s.resolution, named.resolution);
            FillEmpty(s.codec, named.codec);
        }
    }
    // The room's one default playlist is a stream of its own only where no other names it.
    if (!sources.defaultHls.empty()) {
        Quality entry;
        entry.hls = sources.defaultHls;
        bool known = std::any_of(streams.begin(), streams.end(),
                                 [&](const Quality& s) { return ShareAPath(s, entry); });
        auto keyed = std::find_if(streams.begin(), streams.end(), [&](const Quality& s) {
            return !sources.defaultKey.empty() && s.mapKey == sources.defaultKey && s.hls.empty();
        });
        if (keyed != streams.end())
            keyed->hls = sources.defaultHls;
        else if (!known)
            streams.push_back({sources.defaultKey.empty() ? "default" : sources.defaultKey, "", "",
                               "", "", "", sources.defaultHls});
    }
    std::erase_if(streams, [](const Quality& s) { return !HasAddress(s); });
    std::stable_sort(streams.begin(), streams.end(), [](const Quality& a, const Quality& b) {
        return StreamRank(a) < StreamRank(b);
    });
    return streams;
}

}  // namespace app
