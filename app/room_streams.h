#pragma once
// The room's streams as the page writes them, before they are told apart: the player's
// tiers, its names for them, and the address maps with their own names.
#include <map>
#include <string>
#include <vector>

#include "app/room_data.h"

namespace app {

// One entry of the player's list of qualities.
struct PlayerQuality {
    std::string key, name, resolution, codec;  // name GBK
};

struct StreamSources {
    std::vector<Quality> tiers;  // key, resolution, codec and the four addresses
    std::vector<PlayerQuality> playerNames;
    std::map<std::string, std::string> hlsMap, flvMap, mapNames;  // by map key
    std::string defaultHls, defaultKey;  // the room's one default playlist and its map key
};

// One Quality per distinct stream, best first and audio only last; streams without any
// address are left out.
std::vector<Quality> MergeStreams(const StreamSources& sources);

// Best first: 0 for origin, 1 uhd/FULL_HD1, 2 hd/HD1, 3 sd/SD2, 4 ld/SD1, 5 md, 6 a key
// named nowhere here, 1000 audio only.
int StreamRank(const Quality& quality);

}  // namespace app
