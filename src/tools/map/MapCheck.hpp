// Reading a map file the way the game does, with the reader's messages kept per file instead of
// going to the log, plus the warnings about maps that read as valid but are likely mistakes.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/Map.hpp"

// What reading one map file found. The map is kept for further work on a valid file; an
// invalid one may come with a diagnosis, "FILE:LINE:COLUMN: what is wrong", that points at
// the place in the text to change.
struct MapReport {
    std::string name;
    bool opened = false;
    std::unique_ptr<Map> map;
    std::optional<std::string> diagnosis;
    std::vector<std::string> errors;
    std::vector<std::string> warnings;

    bool valid() const { return opened && map && map->isValid(); }
};

// Reads map text with the map reader; the reader's messages land in `messages` instead of the
// log. True when the map is valid.
bool readMapText(const std::string& text, Map& map, std::vector<std::string>& messages);

// Reads and checks one map file ("-" is standard input); the file is read as a stream, so
// that a file of any size costs no more memory than the map it holds.
MapReport checkMapFile(const std::string& path);

// Things a valid map allows that a map author rarely means: stones of players the map does
// not have, players without start stones, transitions whose two ends are the same end, bombs
// that can clear the board.
std::vector<std::string> mapWarnings(const Map& map);

// The most squares one bomb can destroy on the map: the largest area within the bomb strength
// of a square, in steps of the board with transitions, on the start map.
std::size_t largestBlast(const Map& map);

// The warning when all the players' bombs together may clear every playable square, so that
// games can end with no stones and no winner.
std::optional<std::string> bombWarning(const Map& map);

// The diagnosis when there is one, then "NAME: valid (...)" or "NAME: invalid", then one
// indented line per message.
void printReport(std::ostream& os, const MapReport& report);
