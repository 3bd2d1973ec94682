// The maps a tuner plays on: map files, and maps made by the map generator from a description
// and a seed, written into a folder so that every game's server can read them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Logging.hpp"
#include "tools/map/MapGenerator.hpp"
#include "tools/tune/SpsaGames.hpp"

// The logger of the tuner's own messages, "reversi.tune".
LogPtr tuneLogger();

// A description of generated maps: how many, and the generator's options as reversi-map
// generate takes them, e.g. "count=4:players=4:size=12x12:holes=10:bombs=1,2". The keys are
// count, players, size, holes, transitions, specials, overrides and bombs; the seed is not part
// of it.
struct MapBatch {
    unsigned count = 1;
    GeneratorOptions options;
};

// False with the reason in `error` for an unknown key, a malformed value, or options the
// generator refuses.
bool parseMapBatch(const std::string& text, MapBatch& batch, std::string& error);

// The map files, read and checked, then the generated maps written as gen-<n>.map into
// `folder`, map n with the seed seed + n; each with its seat count and the bound on a game at
// `timelimit`. False (logged) when a file is not a valid map or a map cannot be written.
bool prepareMaps(const std::vector<std::string>& files, const std::vector<MapBatch>& batches,
                 const std::string& folder, std::uint32_t seed, std::uint32_t timelimit,
                 std::vector<TuneMap>& maps);
