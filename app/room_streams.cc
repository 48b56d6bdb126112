#include "app/room_streams.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/ascii_text.h"
#include "platform/codepage.h"

namespace app {
namespace {

using platform::AsciiLower;

// The player's key and the maps' key of one tier, best first.
struct KeyPair {
    const char* player;
    const char* map;
};
constexpr KeyPair kKeyPairs[] = {{"origin", "ORIGION"}, {"uhd", "FULL_HD1"}, {"hd", "HD1"},
                                 {"sd", "SD2"},         {"ld", "SD1"},       {"md", ""}};

int KeyRank(const std::string& key) {
    std::string lower = AsciiLower(key);
    if (lower == "ao") return 1000;
    for (size_t rank = 0; rank < std::size(kKeyPairs); ++rank)
        if (lower == kKeyPairs[rank].player || lower == AsciiLower(kKeyPairs[rank].map))
            return static_cast<int>(rank);
    return static_cast<int>(std::size(kKeyPairs));
}

// What names a stream in an address: its path without the host, the query or the
// extension, so that two addresses of one stream signed differently agree.
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

// The platform serves the audio of a stream on the stream's own path, told apart only by
// this query parameter.
bool CarriesOnlyAudio(const std::string& address) {
    size_t query = address.find('?');
    if (query == std::string::npos) return false;
    std::string rest = address.substr(query, address.find('#', query) - query);
    for (size_t at = 0; (at = rest.find("only_audio=1", at)) != std::string::npos; ++at) {
        size_t end = at + std::strlen("only_audio=1");
        if ((rest[at - 1] == '?' || rest[at - 1] == '&') &&
            (end == rest.size() || rest[end] == '&'))
            return true;
    }
    return false;
}

std::vector<std::string> Addresses(const Quality& q) {
    std::vector<std::string> out;
    for (const std::string* a : {&q.hls, &q.flv, &q.backupHls, &q.backupFlv})
        if (!a->empty()) out.push_back(*a);
    return out;
}

// One address given by two sources: one stream, whatever their keys say.
bool ShareAnAddress(const Quality& a, const Quality& b) {
    std::vector<std::string> left = Addresses(a);
    for (const std::string& address : Addresses(b))
        if (std::find(left.begin(), left.end(), address) != left.end()) return true;
    return false;
}

bool AnyOnlyAudio(const Quality& q) {
    std::vector<std::string> all = Addresses(q);
    return std::any_of(all.begin(), all.end(), CarriesOnlyAudio);
}

// Addresses of one kind whose paths differ name different streams, whatever their keys say.
bool AddressesDisagree(const Quality& a, const Quality& b) {
    auto differ = [](const std::string& x, const std::string& y) {
        return !x.empty() && !y.empty() && StreamPath(x) != StreamPath(y);
    };
    return differ(a.hls, b.hls) || differ(a.flv, b.flv);
}

bool ConventionalPair(const std::string& playerKey, const std::string& mapKey) {
    for (const KeyPair& pair : kKeyPairs)
        if (*pair.map && AsciiLower(playerKey) == pair.player &&
            AsciiLower(mapKey) == AsciiLower(pair.map))
            return true;
    return false;
}

// The stream a map entry belongs to: the one that has one of its addresses, else its
// conventional partner when no addresses disagree; null for a stream of its own. Audio is
// never joined with video.
Quality* PartnerOf(std::vector<Quality>& streams, const Quality& entry) {
    auto sameKind = [&](const Quality& s) { return IsAudioOnly(s) == AnyOnlyAudio(entry); };
    for (Quality& s : streams)
        if (sameKind(s) && ShareAnAddress(s, entry)) return &s;
    for (Quality& s : streams)
        if (sameKind(s) && ConventionalPair(s.key, entry.key) && !AddressesDisagree(s, entry))
            return &s;
    return nullptr;
}

void FillEmpty(std::string& into, const std::string& from) {
    if (into.empty()) into = from;
}

void AddOnce(std::vector<std::string>& list, const std::string& item) {
    if (!item.empty() && std::find(list.begin(), list.end(), item) == list.end())
        list.push_back(item);
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : "/") + part;
    return out;
}

// Map keys stay best first, so that the names that follow them do too.
void AddMapKey(Quality& q, const std::string& key) {
    if (std::find(q.mapKeys.begin(), q.mapKeys.end(), key) != q.mapKeys.end()) return;
    auto after = std::find_if(q.mapKeys.begin(), q.mapKeys.end(),
                              [&](const std::string& k) { return KeyRank(k) > KeyRank(key); });
    q.mapKeys.insert(after, key);
}

void TakePlayerQuality(Quality& s, const PlayerQuality& named) {
    AddOnce(s.playerNames, named.name);
    FillEmpty(s.resolution, named.resolution);
    FillEmpty(s.codec, named.codec);
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
    return !Addresses(q).empty();
}

bool IsMapOnly(const Quality& q) {
    return q.mapKeys.size() == 1 && q.key == q.mapKeys[0];
}

// The player's names of streams that only the maps hold: by the same key or its pair.
void NameMapOnlyStreams(std::vector<Quality>& streams, const StreamSources& sources) {
    for (const PlayerQuality& named : sources.playerNames) {
        bool ofATier = std::any_of(streams.begin(), streams.end(), [&](const Quality& s) {
            return !IsMapOnly(s) && s.key == named.key;
        });
        for (Quality& s : streams) {
            if (ofATier || !IsMapOnly(s) || !s.playerNames.empty()) continue;
            if (s.key == named.key || ConventionalPair(named.key, s.key))
                TakePlayerQuality(s, named);
        }
    }
}

// ORIGION/原画 is the platform's key and name for the origin tier on every page, also where
// no source spells them out.
void NameTheOrigin(std::vector<Quality>& streams, std::map<std::string, std::string>& names) {
    const std::string origin = kKeyPairs[0].map;
    names.emplace(origin, platform::Utf8ToGbk("原画"));
    bool keyed = std::any_of(streams.begin(), streams.end(), [&](const Quality& s) {
        return std::find(s.mapKeys.begin(), s.mapKeys.end(), origin) != s.mapKeys.end();
    });
    for (Quality& s : streams)
        if (!keyed && AsciiLower(s.key) == kKeyPairs[0].player) AddMapKey(s, origin);
}

// The room's one default playlist is a stream of its own only where no other has it.
void PlaceTheDefault(std::vector<Quality>& streams, const StreamSources& sources) {
    if (sources.defaultHls.empty()) return;
    Quality entry;
    entry.hls = sources.defaultHls;
    bool known = std::any_of(streams.begin(), streams.end(),
                             [&](const Quality& s) { return ShareAnAddress(s, entry); });
    auto keyed = std::find_if(streams.begin(), streams.end(), [&](const Quality& s) {
        return !sources.defaultKey.empty() && s.hls.empty() && !IsAudioOnly(s) &&
               std::find(s.mapKeys.begin(), s.mapKeys.end(), sources.defaultKey) != s.mapKeys.end();
    });
    if (keyed != streams.end()) {
        keyed->hls = sources.defaultHls;
    } else if (!known) {
        entry.key = sources.defaultKey.empty() ? "default" : sources.defaultKey;
        streams.push_back(entry);
    }
}

// The wished stream by key (any of its keys) or else by name, the maps' names first: where
// the player's name for one stream is the maps' name of another, users mean the maps' one.
const Quality* NamedStream(const RoomData& room, const std::string& wanted) {
    for (const Quality& q : room.qualities)
        for (const std::string& key : KeysOf(q))
            if (AsciiLower(key) == AsciiLower(wanted)) return &q;
    for (auto names : {&Quality::mapNames, &Quality::playerNames})
        for (const Quality& q : room.qualities)
            if (std::find((q.*names).begin(), (q.*names).end(), wanted) != (q.*names).end())
                return &q;
    return nullptr;
}

}  // namespace

std::string CodecName(const std::string& written) {
    std::string lower = AsciiLower(written);
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
    int rank = KeyRank(quality.key);
    for (const std::string& key : quality.mapKeys) rank = std::min(rank, KeyRank(key));
    return rank;
}

std::vector<std::string> KeysOf(const Quality& quality) {
    std::vector<std::string> keys{quality.key};
    for (const std::string& key : quality.mapKeys) AddOnce(keys, key);
    return keys;
}

std::vector<std::string> NamesOf(const Quality& quality) {
    std::vector<std::string> names;
    for (const auto* list : {&quality.mapNames, &quality.playerNames})
        for (const std::string& name : *list) AddOnce(names, name);
    return names;
}

std::string KeysText(const Quality& quality) {
    return Joined(KeysOf(quality));
}

std::string NamesText(const Quality& quality) {
    return Joined(NamesOf(quality));
}

bool IsAudioOnly(const Quality& quality) {
    std::vector<std::string> all = Addresses(quality);
    return AsciiLower(quality.key) == "ao" ||
           (!all.empty() && std::all_of(all.begin(), all.end(), CarriesOnlyAudio));
}

std::vector<Quality> MergeStreams(const StreamSources& sources) {
    std::vector<Quality> streams = sources.tiers;
    for (const PlayerQuality& named : sources.playerNames)
        for (Quality& s : streams)
            if (s.key == named.key) TakePlayerQuality(s, named);
    for (const std::string& key : MapKeys(sources)) {
        Quality entry;
        entry.key = key;
        entry.hls = ValueOf(sources.hlsMap, key);
        entry.flv = ValueOf(sources.flvMap, key);
        Quality* partner = PartnerOf(streams, entry);
        if (!partner) partner = &streams.emplace_back(std::move(entry));
        AddMapKey(*partner, key);
        FillEmpty(partner->hls, ValueOf(sources.hlsMap, key));
        FillEmpty(partner->flv, ValueOf(sources.flvMap, key));
    }
    NameMapOnlyStreams(streams, sources);
    std::map<std::string, std::string> names = sources.mapNames;
    NameTheOrigin(streams, names);
    for (Quality& s : streams)
        for (const std::string& key : s.mapKeys) AddOnce(s.mapNames, ValueOf(names, key));
    PlaceTheDefault(streams, sources);
    std::erase_if(streams, [](const Quality& s) { return !HasAddress(s); });
    std::stable_sort(streams.begin(), streams.end(), [](const Quality& a, const Quality& b) {
        return StreamRank(a) < StreamRank(b);
    });
    return streams;
}

}  // namespace app
