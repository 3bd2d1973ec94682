// Reading, checking and writing maps: the sample maps, every check of the reader with its log
// text, and hostile texts that must end invalid without touching memory they do not own.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/GameBoard.hpp"
#include "common/Map.hpp"
#include "support/GameSupport.hpp"
#include "support/MapLogCapture.hpp"
#include "support/TestPaths.hpp"

using testing_support::MapLogCapture;
using testing_support::mapPath;
using Messages = std::vector<std::string>;

namespace {

const char* const EXAMPLE = R"(2
1
2 1
3 4
- 0 0 -
0 1 2 0
c 2 1 b
0 1 6 <-> 3 1 2
)";

// The example's header and grid without its transition, for appending transition texts.
const std::string EXAMPLE_GRID = "2 1 2 1 3 4\n- 0 0 -\n0 1 2 0\nc 2 1 b\n";

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string written(const Map& map) {
    std::ostringstream os;
    os << map;
    return os.str();
}

// Everything a map holds, through its getters rather than its writer, as one text so that a
// failure shows the difference.
std::string contents(const Map& m) {
    std::ostringstream os;
    os << m.getPlayers() << ' ' << m.getOverrides() << ' ' << m.getBombs() << ' '
       << m.getBombStrength() << ' ' << m.getHeight() << ' ' << m.getWidth() << ' '
       << m.getPlayableTiles() << '\n';
    std::for_each(m.getTiles(), m.getTiles() + m.getTotalTiles(), [&](Square s) { os << s; });
    for (const Transition& t : m.getTransitions()) {
        os << '\n' << t;
    }
    return os.str();
}

// The engine's own check on the opening board: a stone of the player on some free square
// captures a line, so every player of a sample map can start.
bool hasOpeningCapture(const Map& map, Player player) {
    GameBoard board(map);
    for (index_t i = 0; board.valid_index(i); ++i) {
        if (!board.occupied(i) && board.makeMove(player, i, MoveChoice::NONE, false)) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(MapSamples, EverySampleReadsWritesBackAndGivesEveryPlayerAnOpeningCapture) {
    for (const std::string& name : testing_support::sampleMapNames()) {
        SCOPED_TRACE(name);
        Map map;
        ASSERT_TRUE(map.loadFromFile(mapPath(name)));
        EXPECT_EQ(map.getName(), mapPath(name));
        Map again;
        ASSERT_TRUE(again.loadFromString(written(map)));
        EXPECT_EQ(contents(again), contents(map));
        EXPECT_EQ(written(again), written(map));
        for (unsigned p = 1; p <= map.getPlayers(); ++p) {
            EXPECT_TRUE(hasOpeningCapture(map, static_cast<Player>(p))) << "player " << p;
        }
    }
}

// The example byte for byte, the classic start, and the other maps as their names promise.
TEST(MapSamples, SamplesHaveTheShapesTheirNamesPromise) {
    Map map;
    ASSERT_TRUE(map.loadFromFile(mapPath("example2p.map")));
    EXPECT_EQ(readFile(mapPath("example2p.map")), EXAMPLE);
    EXPECT_EQ(written(map), EXAMPLE);
    ASSERT_TRUE(map.loadFromFile(mapPath("classic8x8.map")));
    EXPECT_EQ(written(map), R"(2
0
0 0
8 8
0 0 0 0 0 0 0 0
0 0 0 0 0 0 0 0
0 0 0 0 0 0 0 0
0 0 0 2 1 0 0 0
0 0 0 1 2 0 0 0
0 0 0 0 0 0 0 0
0 0 0 0 0 0 0 0
0 0 0 0 0 0 0 0
)");
    ASSERT_TRUE(map.loadFromFile(mapPath("eight8p.map")));
    EXPECT_EQ(map.getPlayers(), 8u);
    ASSERT_TRUE(map.loadFromFile(mapPath("huge50x50.map")));
    EXPECT_TRUE(map.getHeight() == Map::MAX_HEIGHT && map.getWidth() == Map::MAX_WIDTH);
    EXPECT_FALSE(map.getTransitions().empty());
    ASSERT_TRUE(map.loadFromFile(mapPath("transitions4p.map")));
    EXPECT_TRUE(map.getPlayers() >= 3 && map.getTransitions().size() >= 3);
    const std::set<Square> squares(map.getTiles(), map.getTiles() + map.getTotalTiles());
    for (Square s :
         {Square::CHOICE, Square::INVERSION, Square::BONUS, Square::EXPANSION, Square::NONE}) {
        EXPECT_TRUE(squares.count(s)) << s;
    }
}

// The default map; squares without blanks; the example from text and from standard input ("-").
// A valid map is logged in full at debug level, and a file that cannot be read leaves the map
// as it was.
TEST(MapReader, DefaultMapTextStandardInputAndMissingFiles) {
    const Map empty;
    EXPECT_FALSE(empty.isValid());
    EXPECT_EQ(empty.getName(), "default");
    EXPECT_EQ(empty.getTiles(), nullptr);
    EXPECT_EQ(empty.getTile(0, 0), Square::NONE);
    EXPECT_EQ(written(empty), "0\n0\n0 0\n0 0\n");

    Map map;
    EXPECT_TRUE(map.loadFromString("2 0 0 0 3 3 01x2c-i-b"));
    EXPECT_EQ(written(map), "2\n0\n0 0\n3 3\n0 1 x\n2 c -\ni - b\n");
    EXPECT_EQ(map.getPlayableTiles(), 7u);
    std::istringstream input(EXAMPLE);
    auto* const old = std::cin.rdbuf(input.rdbuf());
    Map fromStdin;
    const bool read = fromStdin.loadFromFile("-");
    std::cin.rdbuf(old);
    EXPECT_TRUE(read);
    EXPECT_EQ(fromStdin.getName(), "-");

    MapLogCapture log(logcraft::LogLevel::DEBUG);
    ASSERT_TRUE(map.loadFromString(EXAMPLE));
    EXPECT_EQ(contents(fromStdin), contents(map));
    EXPECT_EQ(map.getTile(0, 2), Square::CHOICE);
    EXPECT_EQ(map.getTile(4, 0), Square::NONE);
    EXPECT_FALSE(map.loadFromFile(mapPath("no-such-file.map")));
    EXPECT_TRUE(map.isValid());
    EXPECT_EQ(written(map), EXAMPLE);
    EXPECT_FALSE(map.loadFromString("2 0 0 0 1 1 X"));
    EXPECT_EQ(log.messages(), (Messages{std::string("Done reading map:\n ") + EXAMPLE,
                                        "Cannot open map " + mapPath("no-such-file.map") +
                                            ": No such file or directory",
                                        "Invalid tile at (0, 0)"}));
}

// 200 squares, the given number of them bonus squares.
std::string bonusMap(unsigned bonus, unsigned overrides, unsigned bombs) {
    return "2 " + std::to_string(overrides) + " " + std::to_string(bombs) + " 1 10 20\n" +
           std::string(bonus, 'b') + std::string(200 - bonus, '0');
}

// Each check of the reader with what it logs, in order; a text is valid exactly when nothing
// is logged.
TEST(MapReader, ChecksAndTheirMessages) {
    const std::string square = "2 0 0 0 1 1\n0\n";
    const std::string full = "0 0 0 <-> 0 0 4\n0 0 1 <-> 0 0 5\n0 0 2 <-> 0 0 6\n0 0 3 <-> 0 0 7\n";
    std::string flood = square;
    for (int i = 0; i < 200000; ++i) {
        flood += "0 0 0 <-> 0 0 4\n";
    }
    const std::string floodDuplicate =
        "Duplicate transition endpoints: 0 0 0 <-> 0 0 4 vs 0 0 0 <-> 0 0 4";
    std::vector<std::pair<std::string, Messages>> cases = {
        // All header errors are reported, and the squares are still read.
        {"9 256 300 1000 1 2\n0 X",
         {"Invalid number of players: 9", "Invalid number of overrides: 256",
          "Invalid number of bombs: 300", "Invalid bomb strength: 1000", "Invalid tile at (1, 0)",
          "Sum of bonus-fields and bombs too large: 300",
          "Sum of bonus-fields and overrides too large: 256"}},
        {"1 0 0 0 1 2 1 2", {"Invalid number of players: 1"}},
        {"8 255 255 255 1 2 1 2", {}},
        // The grid may end with or without a line end.
        {"2 0 0 0 2 3\n0 1 2\n2 1 0", {}},
        {"2 0 0 0 2 3\n0 1 2\n2 1 0\n\n  \t", {}},
        // Dimensions out of range stop the read before anything is allocated from them.
        {"2 0 0 0 0 5\n0 0 0 0 0\n", {"Invalid map dimensions: (0 x 5)"}},
        {"2 0 0 0 51 50\n0\n", {"Invalid map dimensions: (51 x 50)"}},
        {"2 0 0 0 4294967295 4294967295\n0 0 0 0 0\n",
         {"Invalid map dimensions: (4294967295 x 4294967295)"}},
        // Every square from a bad one on is reported.
        {"2 0 0 0 4 4\n0 0 0 0\n0 1 2 0\n0 2 1 X\n0 0 0 0\n",
         {"Invalid tile at (3, 2)", "Invalid tile at (0, 3)", "Invalid tile at (1, 3)",
          "Invalid tile at (2, 3)", "Invalid tile at (3, 3)"}},
        {"2 0 0 0 1 3\n0 12 0\n", {"Invalid tile at (1, 0)", "Invalid tile at (2, 0)"}},
        {"2 0 0 0 2 2\n0 9\n",
         {"Invalid tile at (1, 0)", "Invalid tile at (0, 1)", "Invalid tile at (1, 1)"}},
        // Bonus squares plus a stock may reach 255 but not pass it.
        {bonusMap(199, 56, 56), {}},
        {bonusMap(200, 0, 56), {"Sum of bonus-fields and bombs too large: 256"}},
        {bonusMap(200, 56, 55), {"Sum of bonus-fields and overrides too large: 256"}},
        // The list ends cleanly only at the end of the text or at SUB before a transition.
        {EXAMPLE_GRID, {}},
        {EXAMPLE_GRID + "\x1a", {}},
        {EXAMPLE_GRID + "0 1 6 <-> 3 1 2 \n\n\t ", {}},
        {EXAMPLE_GRID + "0\n1\n6\n<->\n3\n1\n2", {}},
        {EXAMPLE_GRID + "\t0 1 6<->  3 1 2 ", {}},
        {EXAMPLE_GRID + "0 1 6 <-> 3 1 2\n\x1a junk", {}},
        {EXAMPLE_GRID + "0 1 6 <-> 0 1 6\n", {}},
        // Transitions that fail their checks are dropped and the read goes on.
        {EXAMPLE_GRID + "1 1 6 <-> 3 1 2\n0 1 6 <-> 3 1 2\n0 0 7 <-> 4 0 2\n",
         {"Transition checks failed for transition 1 1 6 <-> 3 1 2",
          "  Transition not connected via empty location",
          "Transition checks failed for transition 0 0 7 <-> 4 0 2", "  Coordinates are invalid"}},
        // Each transition that shares an end is reported once, against the earliest one.
        {EXAMPLE_GRID + "0 1 6 <-> 3 1 2\n1 0 0 <-> 3 1 2\n1 0 0 <-> 0 1 6\n"
                        "2 0 0 <-> 2 0 1\n2 0 1 <-> 2 0 0\n",
         {"Duplicate transition endpoints: 0 1 6 <-> 3 1 2 vs 1 0 0 <-> 3 1 2",
          "Duplicate transition endpoints: 0 1 6 <-> 3 1 2 vs 1 0 0 <-> 0 1 6",
          "Duplicate transition endpoints: 2 0 0 <-> 2 0 1 vs 2 0 1 <-> 2 0 0"}},
        // Eight sides with two ends each: beyond four transitions per square some end is
        // shared, so the read stops there instead of flooding the log.
        {square + full, {}},
        {square + full + "0 0 0 <-> 0 0 0\n", {"Too many transitions"}},
        {flood, {"Too many transitions", floodDuplicate, floodDuplicate, floodDuplicate}},
    };
    // Header numbers are unsigned decimals of 32 bits: a sign is an error, not a wrapped value.
    for (const char* text : {"2 0 0 0 -1 4\n0 0 0 0\n", "+2 0 0 0 1 1 0\n",
                             "2 0 0 0 1 4294967296\n0\n", "2 0 0 0 1\n", "", "2 0 0 0 1 1"}) {
        cases.push_back({text, {"Error in stream after parsing map header"}});
    }
    // Text after the list, and each malformed transition, also one cut off at the very end.
    const std::pair<std::string, std::vector<std::string>> malformed[] = {
        {"Transition x coordinate 1 invalid",
         {"0 1 6 <-> 3 1 2\nx", "0 1 6 <-> 3 1 2 99999999999", "-1 1 6 <-> 3 1 2\n"}},
        {"Transition y coordinate 1 invalid", {"0 +1 6 <-> 3 1 2\n"}},
        {"Transition direction 1 invalid", {"0 1 9 <-> 3 1 2\n"}},
        {"Transition separator invalid",
         {"0 0 0 0", "0 1 6 <->3 1 2\n", "0 1 6 <=> 3 1 2\n", "0 1 6 <->> 3 1 2\n", "0 1 6"}},
        {"Transition x coordinate 2 invalid", {"0 1 6 <-> x 1 2\n", "0 1 6 <->"}},
        {"Transition y coordinate 2 invalid", {"0 1 6 <-> 3 y 2\n", "0 1 6 <-> 3"}},
        {"Transition direction 2 invalid", {"0 1 6 <-> 3 1 8\n", "0 1 6 <-> 3 1 8"}}};
    for (const auto& [message, texts] : malformed) {
        for (const std::string& text : texts) {
            cases.push_back({EXAMPLE_GRID + text, {message}});
        }
    }
    for (const auto& [text, messages] : cases) {
        MapLogCapture log;
        Map map;
        EXPECT_EQ(map.loadFromString(text), messages.empty()) << text.substr(0, 100);
        EXPECT_EQ(log.messages(), messages) << text.substr(0, 100);
    }
}

// A failed read keeps what could be read: the squares after a header error, the squares up to
// a bad one (the rest become holes), the transitions that passed their checks. Absurd
// dimensions leave no tile array, and every query still answers.
TEST(MapReader, WhatAFailedReadKeeps) {
    MapLogCapture log;
    Map map;
    EXPECT_FALSE(map.loadFromString("1 0 0 0 1 2 1 2"));
    EXPECT_EQ(map.getTile(1, 0), static_cast<Square>(2));
    EXPECT_FALSE(map.loadFromString("2 0 0 0 2 2\n0 9\n"));
    EXPECT_EQ(written(map), "2\n0\n0 0\n2 2\n0 -\n- -\n");
    EXPECT_FALSE(map.loadFromString(EXAMPLE_GRID + "1 1 6 <-> 3 1 2\n0 1 6 <-> 3 1 2\n"));
    ASSERT_EQ(map.getTransitions().size(), 1u);
    EXPECT_TRUE(map.affectedByTransition(3, 1));
    EXPECT_FALSE(map.affectedByTransition(1, 1));
    EXPECT_FALSE(map.loadFromString("2 0 0 0 4294967295 4294967295\n0 0 0 0 0\n"));
    EXPECT_EQ(map.getTiles(), nullptr);
    EXPECT_EQ(map.getTotalTiles(), 0u);
    EXPECT_EQ(map.getTile(3, 3), Square::NONE);
    EXPECT_EQ(map.getDirectNeighbour(3, 3, Direction::E), Square::NONE);
    EXPECT_FALSE(map.affectedByTransition(0, 0));
}

// Damaged copies of real maps (bytes replaced, inserted, cut off) must never crash the reader;
// whatever it accepts must still write back into the same map, with a consistent square count.
TEST(MapReader, DamagedMapTextsEndInvalidOrReadBackTheSame) {
    MapLogCapture log(logcraft::LogLevel::OFF);
    const std::string alphabet = "0123456789-+xicbX<> \n\x1a";
    std::mt19937 random(20240601);
    unsigned accepted = 0;
    for (const char* name : {"example2p.map", "transitions4p.map"}) {
        const std::string original = readFile(mapPath(name));
        for (int round = 0; round < 1500; ++round) {
            std::string text = original;
            const std::size_t where = random() % text.size();
            const char c = alphabet[random() % alphabet.size()];
            const unsigned kind = random() % 3; // replace, insert, cut off
            text = kind == 2 ? text.substr(0, where)
                             : text.substr(0, where) + c + text.substr(where + (kind == 0));
            Map map;
            if (!map.loadFromString(text)) {
                continue;
            }
            ++accepted;
            const auto holes =
                std::count(map.getTiles(), map.getTiles() + map.getTotalTiles(), Square::NONE);
            EXPECT_EQ(map.getPlayableTiles() + holes, map.getTotalTiles()) << text;
            Map again;
            ASSERT_TRUE(again.loadFromString(written(map))) << text;
            EXPECT_EQ(contents(again), contents(map));
        }
    }
    EXPECT_GT(accepted, 0u);
}
