// Reading the descriptions of generated maps, and writing and checking the maps of a run.
#include "tools/tune/TuneMaps.hpp"

#include <filesystem>
#include <sstream>

#include "common/FileIO.hpp"
#include "common/Map.hpp"

namespace {

// One number of at most `max` into `slot`.
bool readNumber(const std::string& value, unsigned max, unsigned& slot) {
    return parseNumberList(value, 1, max, &slot);
}

// One "key=value" item of a description.
bool readItem(const std::string& key, const std::string& value, MapBatch& batch) {
    GeneratorOptions& o = batch.options;
    unsigned pair[4] = {};
    if (key == "specials" && parseNumberList(value, 4, 2500, pair)) {
        o.choice = pair[0];
        o.inversion = pair[1];
        o.bonus = pair[2];
        o.expansion = pair[3];
        return true;
    }
    if (key == "bombs" && parseNumberList(value, 2, 255, pair)) {
        o.bombs = pair[0];
        o.bombStrength = pair[1];
        return true;
    }
    return (key == "count" && readNumber(value, 1000, batch.count) && batch.count > 0) ||
           (key == "players" && readNumber(value, 8, o.players)) ||
           (key == "size" && parseSize(value, o.width, o.height)) ||
           (key == "holes" && readNumber(value, 100, o.holes)) ||
           (key == "transitions" && readNumber(value, 2500, o.transitions)) ||
           (key == "overrides" && readNumber(value, 255, o.overrides));
}

// The map at `path` with its seats and bound; false (logged as every program logs a map it
// cannot use) when it cannot be read or is not a valid map.
bool addMap(const std::string& path, std::uint32_t timelimit, std::vector<TuneMap>& maps) {
    Map map;
    if (!readProgramMap(map, path, tuneLogger())) {
        return false;
    }
    maps.push_back({path, map.getPlayers(),
                    gameBound(timelimit, map.getWidth() * map.getHeight(), map.getPlayers(),
                              map.getOverrides(), map.getBombs())});
    return true;
}

} // namespace

LogPtr tuneLogger() {
    static const LogPtr logger = Logging::getLogger("reversi.tune");
    return logger;
}

bool parseMapBatch(const std::string& text, MapBatch& batch, std::string& error) {
    std::istringstream items(text);
    for (std::string item; std::getline(items, item, ':');) {
        const std::size_t equals = item.find('=');
        if (equals == std::string::npos ||
            !readItem(item.substr(0, equals), item.substr(equals + 1), batch)) {
            error = "--generate " + text + ": cannot read '" + item + "'";
            return false;
        }
    }
    std::string reason;
    if (!checkGeneratorOptions(batch.options, reason)) {
        error = "--generate " + text + ": " + reason;
        return false;
    }
    return true;
}

bool prepareMaps(const std::vector<std::string>& files, const std::vector<MapBatch>& batches,
                 const std::string& folder, std::uint32_t seed, std::uint32_t timelimit,
                 std::vector<TuneMap>& maps) {
    for (const std::string& file : files) {
        if (!addMap(std::filesystem::absolute(file).lexically_normal().string(), timelimit, maps)) {
            return false;
        }
    }
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    unsigned number = 0;
    for (const MapBatch& batch : batches) {
        for (unsigned i = 0; i < batch.count; ++i) {
            GeneratorOptions options = batch.options;
            options.seed = seed + ++number;
            const std::string path = folder + "/gen-" + std::to_string(number) + ".map";
            std::string text, reason;
            if (!generateMap(options, text, reason) || !writeFileAtomically(path, text, reason)) {
                LOG(tuneLogger(), FATAL) << "Cannot make the map " << path << ": " << reason;
                return false;
            }
            if (!addMap(path, timelimit, maps)) {
                return false;
            }
        }
    }
    return true;
}
