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

#include "common/Map.hpp"
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
const char* const EXAMPLE_GRID = "2 1 2 1 3 4\n- 0 0 -\n0 1 2 0\nc 2 1 b\n";

const std::vector<std::string> SAMPLE_MAPS = {"example2p.map", "classic8x8.map",
                                              "transitions4p.map", "eight8p.map", "huge50x50.map"};

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

// Compares everything a map holds, as text, so that a failure shows the difference.
void expectSameMap(const Map& a, const Map& b) {
    EXPECT_EQ(a.getPlayers(), b.getPlayers());
    EXPECT_EQ(a.getOverrides(), b.getOverrides());
    EXPECT_EQ(a.getBombs(), b.getBombs());
    EXPECT_EQ(a.getBombStrength(), b.getBombStrength());
    EXPECT_EQ(a.getHeight(), b.getHeight());
    EXPECT_EQ(a.getWidth(), b.getWidth());
    EXPECT_EQ(a.getPlayableTiles(), b.getPlayableTiles());
    ASSERT_EQ(a.getTotalTiles(), b.getTotalTiles());
    for (std::uint32_t i = 0; i < a.getTotalTiles(); ++i) {
        EXPECT_EQ(a.getTiles()[i], b.getTiles()[i]) << "tile " << i;
    }
    std::ostringstream ta;
    std::ostringstream tb;
    for (const Transition& t : a.getTransitions()) {
        ta << t << '\n';
    }
    for (const Transition& t : b.getTransitions()) {
        tb << t << '\n';
    }
    EXPECT_EQ(ta.str(), tb.str());
}

// One step of a straight line as the board takes it: through a transition end when one starts
// here, otherwise to the ordinary neighbour; false when the line ends.
struct Walker {
    const Map& map;
    std::vector<Transition> transitions = map.getTransitions();

    bool step(map_axis& x, map_axis& y, Direction& d) const {
        for (const Transition& t : transitions) {
            if (t.m_xStart == x && t.m_yStart == y && t.m_dStart == d) {
                x = t.m_xEnd, y = t.m_yEnd, d = getBackDirection(t.m_dEnd);
                return true;
            }
            if (t.m_xEnd == x && t.m_yEnd == y && t.m_dEnd == d) {
                x = t.m_xStart, y = t.m_yStart, d = getBackDirection(t.m_dStart);
                return true;
            }
        }
        static constexpr int DX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
        static constexpr int DY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
        if (map.getDirectNeighbour(x, y, d) == Square::NONE) {
            return false;
        }
        x += DX[static_cast<int>(d)], y += DY[static_cast<int>(d)];
        return true;
    }

    static bool isStoneOrExpansion(Square s) {
        return (s >= Square::PLAYER1 && s <= Square::PLAYER_MAX) || s == Square::EXPANSION;
    }

    // A stone of `player` placed on the free square (x, y) closes a line of other stones.
    bool captures(map_axis x0, map_axis y0, Square player) const {
        for (unsigned dir = 0; dir < 8; ++dir) {
            map_axis x = x0;
            map_axis y = y0;
            auto d = static_cast<Direction>(dir);
            unsigned between = 0;
            while (step(x, y, d) && !(x == x0 && y == y0)) {
                const Square s = map.getTile(x, y);
                if (s == player) {
                    if (between > 0) {
                        return true;
                    }
                    break;
                }
                if (!isStoneOrExpansion(s)) {
                    break;
                }
                ++between;
            }
        }
        return false;
    }

    bool hasOpeningCapture(Square player) const {
        for (map_axis y = 0; y < map.getHeight(); ++y) {
            for (map_axis x = 0; x < map.getWidth(); ++x) {
                const Square s = map.getTile(x, y);
                const bool free = s == Square::EMPTY || s == Square::CHOICE ||
                                  s == Square::INVERSION || s == Square::BONUS;
                if (free && captures(x, y, player)) {
                    return true;
                }
            }
        }
        return false;
    }
};

std::set<Square> squaresOf(const Map& map) {
    return {map.getTiles(), map.getTiles() + map.getTotalTiles()};
}

} // namespace

TEST(MapSamples, EverySampleReadsWritesBackAndGivesEveryPlayerAnOpeningCapture) {
    for (const std::string& name : SAMPLE_MAPS) {
        SCOPED_TRACE(name);
        Map map;
        ASSERT_TRUE(map.loadFromFile(mapPath(name)));
        EXPECT_EQ(map.getName(), mapPath(name));
        Map again;
        ASSERT_TRUE(again.loadFromString(written(map)));
        expectSameMap(map, again);
        EXPECT_EQ(written(again), written(map));
        const Walker walker{map};
        for (unsigned p = 1; p <= map.getPlayers(); ++p) {
            EXPECT_TRUE(walker.hasOpeningCapture(static_cast<Square>(p))) << "player " << p;
        }
    }
}

TEST(MapSamples, SamplesHaveTheShapesTheirNamesPromise) {
    Map example;
    ASSERT_TRUE(example.loadFromFile(mapPath("example2p.map")));
    EXPECT_EQ(readFile(mapPath("example2p.map")), EXAMPLE);
    EXPECT_EQ(written(example), EXAMPLE);
    EXPECT_EQ(example.getTotalTiles(), 12u);
    EXPECT_EQ(example.getPlayableTiles(), 10u);

    Map classic;
    ASSERT_TRUE(classic.loadFromFile(mapPath("classic8x8.map")));
    EXPECT_EQ(written(classic), R"(2
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

    Map specials;
    ASSERT_TRUE(specials.loadFromFile(mapPath("transitions4p.map")));
    EXPECT_GE(specials.getPlayers(), 3u);
    EXPECT_GE(specials.getTransitions().size(), 3u);
    for (Square s :
         {Square::CHOICE, Square::INVERSION, Square::BONUS, Square::EXPANSION, Square::NONE}) {
        EXPECT_TRUE(squaresOf(specials).count(s)) << s;
    }

    Map eight;
    ASSERT_TRUE(eight.loadFromFile(mapPath("eight8p.map")));
    EXPECT_EQ(eight.getPlayers(), 8u);

    Map huge;
    ASSERT_TRUE(huge.loadFromFile(mapPath("huge50x50.map")));
    EXPECT_EQ(huge.getHeight(), Map::MAX_HEIGHT);
    EXPECT_EQ(huge.getWidth(), Map::MAX_WIDTH);
    EXPECT_FALSE(huge.getTransitions().empty());
}

TEST(MapReader, DefaultMapAndTheExampleReadFromTextFileAndStandardInput) {
    const Map empty;
    EXPECT_FALSE(empty.isValid());
    EXPECT_EQ(empty.getName(), "default");
    EXPECT_EQ(empty.getTotalTiles(), 0u);
    EXPECT_EQ(empty.getTiles(), nullptr);
    EXPECT_EQ(empty.getTile(0, 0), Square::NONE);
    EXPECT_EQ(written(empty), "0\n0\n0 0\n0 0\n");

    Map map;
    ASSERT_TRUE(map.loadFromString(EXAMPLE));
    EXPECT_EQ(map.getName(), "default");
    EXPECT_EQ(map.getTile(0, 2), Square::CHOICE);
    EXPECT_EQ(map.getTile(3, 2), Square::BONUS);
    EXPECT_EQ(map.getTile(0, 0), Square::NONE);
    EXPECT_EQ(map.getTile(4, 0), Square::NONE);
    EXPECT_EQ(map.getTile(0, 3), Square::NONE);

    std::istringstream input(EXAMPLE);
    auto* const old = std::cin.rdbuf(input.rdbuf());
    Map fromStdin;
    const bool read = fromStdin.loadFromFile("-");
    std::cin.rdbuf(old);
    EXPECT_TRUE(read);
    EXPECT_EQ(fromStdin.getName(), "-");
    expectSameMap(map, fromStdin);
}

TEST(MapReader, TheGridMayEndWithOrWithoutALineEndAndSquaresNeedNoBlanks) {
    Map map;
    EXPECT_TRUE(map.loadFromString("2 0 0 0 2 3\n0 1 2\n2 1 0"));
    EXPECT_TRUE(map.loadFromString("2 0 0 0 2 3\n0 1 2\n2 1 0\n\n  \t"));
    EXPECT_TRUE(map.loadFromString("2 0 0 0 3 3 01x2c-i-b"));
    EXPECT_EQ(written(map), "2\n0\n0 0\n3 3\n0 1 x\n2 c -\ni - b\n");
    EXPECT_EQ(map.getPlayableTiles(), 7u);
}

TEST(MapReader, StreamsThatCannotBeReadLeaveTheMapAsItWas) {
    MapLogCapture log;
    Map map;
    ASSERT_TRUE(map.loadFromString(EXAMPLE));
    EXPECT_FALSE(map.loadFromFile(mapPath("no-such-file.map")));
    EXPECT_EQ(map.getName(), mapPath("no-such-file.map"));
    EXPECT_EQ(log.messages(), Messages{"Error in stream"});
    EXPECT_TRUE(map.isValid());
    EXPECT_EQ(written(map), EXAMPLE);
}

TEST(MapReader, AllHeaderErrorsAreReportedAndTheSquaresStillRead) {
    MapLogCapture log;
    Map map;
    EXPECT_FALSE(map.loadFromString("9 256 300 1000 1 2\n0 X"));
    EXPECT_EQ(log.messages(),
              (Messages{"Invalid number of players: 9", "Invalid number of overrides: 256",
                        "Invalid number of bombs: 300", "Invalid bomb strength: 1000",
                        "Invalid tile at (1, 0)", "Sum of bonus-fields and bombs too large: 300",
                        "Sum of bonus-fields and overrides too large: 256"}));
    log.clear();
    EXPECT_FALSE(map.loadFromString("1 0 0 0 1 2 1 2"));
    EXPECT_EQ(log.messages(), Messages{"Invalid number of players: 1"});
    EXPECT_EQ(map.getTile(1, 0), static_cast<Square>(2));
    EXPECT_TRUE(map.loadFromString("8 255 255 255 1 2 1 2"));
}

TEST(MapReader, DimensionsOutOfRangeStopTheReadBeforeAnythingIsAllocated) {
    MapLogCapture log;
    Map map;
    EXPECT_FALSE(map.loadFromString("2 0 0 0 0 5\n0 0 0 0 0\n"));
    EXPECT_EQ(log.messages(), Messages{"Invalid map dimensions: (0 x 5)"});
    log.clear();
    EXPECT_FALSE(map.loadFromString("2 0 0 0 51 50\n0\n"));
    EXPECT_EQ(log.messages(), Messages{"Invalid map dimensions: (51 x 50)"});
    log.clear();
    EXPECT_FALSE(map.loadFromString("2 0 0 0 4294967295 4294967295\n0 0 0 0 0\n"));
    EXPECT_EQ(log.messages(), Messages{"Invalid map dimensions: (4294967295 x 4294967295)"});
    EXPECT_EQ(map.getTiles(), nullptr);
    EXPECT_EQ(map.getTotalTiles(), 0u);
    EXPECT_EQ(map.getTile(3, 3), Square::NONE);
    EXPECT_EQ(map.getDirectNeighbour(3, 3, Direction::E), Square::NONE);
    EXPECT_FALSE(map.affectedByTransition(0, 0));
}

TEST(MapReader, UnreadableHeaderNumbersFailTheHeader) {
    MapLogCapture log;
    Map map;
    for (const char* text : {"2 0 0 0 -1 4\n0 0 0 0\n", "+2 0 0 0 1 1 0\n",
                             "2 0 0 0 1 4294967296\n0\n", "2 0 0 0 1\n", "", "2 0 0 0 1 1"}) {
        log.clear();
        EXPECT_FALSE(map.loadFromString(text)) << text;
        EXPECT_EQ(log.messages(), Messages{"Error in stream after parsing map header"}) << text;
    }
}

TEST(MapReader, EveryTileAfterABadOneIsReportedAndNoneIsLeftUndefined) {
    MapLogCapture log;
    Map map;
    EXPECT_FALSE(map.loadFromString("2 0 0 0 4 4\n0 0 0 0\n0 1 2 0\n0 2 1 X\n0 0 0 0\n"));
    EXPECT_EQ(log.messages(), (Messages{"Invalid tile at (3, 2)", "Invalid tile at (0, 3)",
                                        "Invalid tile at (1, 3)", "Invalid tile at (2, 3)",
                                        "Invalid tile at (3, 3)"}));
    EXPECT_EQ(map.getTile(2, 2), static_cast<Square>(1));
    EXPECT_EQ(map.getTile(0, 3), Square::NONE);
    log.clear();
    EXPECT_FALSE(map.loadFromString("2 0 0 0 1 3\n0 12 0\n"));
    EXPECT_EQ(log.messages(), (Messages{"Invalid tile at (1, 0)", "Invalid tile at (2, 0)"}));
    log.clear();
    EXPECT_FALSE(map.loadFromString("2 0 0 0 2 2\n0 9\n"));
    EXPECT_EQ(log.messages(), (Messages{"Invalid tile at (1, 0)", "Invalid tile at (0, 1)",
                                        "Invalid tile at (1, 1)"}));
    EXPECT_EQ(map.getTile(1, 1), Square::NONE);
    EXPECT_EQ(written(map), "2\n0\n0 0\n2 2\n0 -\n- -\n");
}

// 200 squares, the given number of them bonus squares.
std::string bonusMap(unsigned bonus, unsigned overrides, unsigned bombs) {
    std::string text =
        "2 " + std::to_string(overrides) + " " + std::to_string(bombs) + " 1 10 20\n";
    for (unsigned i = 0; i < 200; ++i) {
        text += i < bonus ? "b " : "0 ";
    }
    return text;
}

TEST(MapReader, BonusSquaresPlusStocksMayReachButNotPass255) {
    MapLogCapture log;
    Map map;
    EXPECT_TRUE(map.loadFromString(bonusMap(199, 56, 56)));
    EXPECT_FALSE(map.loadFromString(bonusMap(200, 0, 56)));
    EXPECT_EQ(log.messages(), Messages{"Sum of bonus-fields and bombs too large: 256"});
    log.clear();
    EXPECT_FALSE(map.loadFromString(bonusMap(200, 56, 55)));
    EXPECT_EQ(log.messages(), Messages{"Sum of bonus-fields and overrides too large: 256"});
}

TEST(MapReader, CleanEndsOfTheTransitionListAndTextAfterIt) {
    MapLogCapture log;
    Map map;
    EXPECT_TRUE(map.loadFromString(std::string(EXAMPLE_GRID) + "0 1 6 <-> 3 1 2 \n\n\t "));
    EXPECT_TRUE(map.loadFromString(std::string(EXAMPLE_GRID) + "0\n1\n6\n<->\n3\n1\n2"));
    EXPECT_EQ(map.getTransitions().size(), 1u);
    EXPECT_TRUE(map.loadFromString(std::string(EXAMPLE_GRID) + "0 1 6 <-> 3 1 2\n\x1a junk"));
    EXPECT_TRUE(map.loadFromString(std::string(EXAMPLE_GRID) + "\x1a"));
    EXPECT_TRUE(map.getTransitions().empty());
    EXPECT_TRUE(log.messages().empty());

    EXPECT_FALSE(map.loadFromString(std::string(EXAMPLE_GRID) + "0 1 6 <-> 3 1 2\nx"));
    EXPECT_EQ(log.messages(), Messages{"Transition x coordinate 1 invalid"});
    log.clear();
    EXPECT_FALSE(map.loadFromString(std::string(EXAMPLE_GRID) + "0 0 0 0"));
    EXPECT_EQ(log.messages(), Messages{"Transition separator invalid"});
}

// Each malformed transition makes the map invalid with its own message, also at the very end
// of the text where the stream has already run out.
TEST(MapReader, MalformedTransitionsAreReportedAndInvalidateTheMap) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"-1 1 6 <-> 3 1 2\n", "Transition x coordinate 1 invalid"},
        {"0 +1 6 <-> 3 1 2\n", "Transition y coordinate 1 invalid"},
        {"0 1 9 <-> 3 1 2\n", "Transition direction 1 invalid"},
        {"0 1 6 <->3 1 2\n", "Transition separator invalid"},
        {"0 1 6 <=> 3 1 2\n", "Transition separator invalid"},
        {"0 1 6 <->> 3 1 2\n", "Transition separator invalid"},
        {"0 1 6 <-> x 1 2\n", "Transition x coordinate 2 invalid"},
        {"0 1 6 <-> 3 y 2\n", "Transition y coordinate 2 invalid"},
        {"0 1 6 <-> 3 1 8\n", "Transition direction 2 invalid"},
        {"0 1 6 <-> 3 1 8", "Transition direction 2 invalid"},
        {"0 1 6 <-> 3", "Transition y coordinate 2 invalid"},
        {"0 1 6 <->", "Transition x coordinate 2 invalid"},
        {"0 1 6", "Transition separator invalid"},
        {"0 1 6 <-> 3 1 2 99999999999", "Transition x coordinate 1 invalid"},
    };
    for (const auto& [transition, message] : cases) {
        MapLogCapture log;
        Map map;
        EXPECT_FALSE(map.loadFromString(EXAMPLE_GRID + transition)) << transition;
        EXPECT_EQ(log.messages(), Messages{message}) << transition;
    }
}

TEST(MapReader, TransitionsThatFailTheirChecksAreDroppedAndTheReadGoesOn) {
    MapLogCapture log;
    Map map;
    EXPECT_FALSE(map.loadFromString(std::string(EXAMPLE_GRID) +
                                    "1 1 6 <-> 3 1 2\n0 1 6 <-> 3 1 2\n0 0 7 <-> 4 0 2\n"));
    EXPECT_EQ(log.messages(), (Messages{"Transition checks failed for transition 1 1 6 <-> 3 1 2",
                                        "  Transition not connected via empty location",
                                        "Transition checks failed for transition 0 0 7 <-> 4 0 2",
                                        "  Coordinates are invalid"}));
    ASSERT_EQ(map.getTransitions().size(), 1u);
    EXPECT_TRUE(map.affectedByTransition(3, 1));
    EXPECT_FALSE(map.affectedByTransition(1, 1));

    log.clear();
    EXPECT_TRUE(map.loadFromString(std::string(EXAMPLE_GRID) + "0 1 6 <-> 0 1 6\n"));
    EXPECT_TRUE(log.messages().empty());
}

TEST(MapReader, SharedEndsAreReportedOnceAgainstTheEarliestTransition) {
    MapLogCapture log;
    Map map;
    EXPECT_FALSE(map.loadFromString(std::string(EXAMPLE_GRID) + "0 1 6 <-> 3 1 2\n"
                                                                "1 0 0 <-> 3 1 2\n"
                                                                "1 0 0 <-> 0 1 6\n"
                                                                "2 0 0 <-> 2 0 1\n"
                                                                "2 0 1 <-> 2 0 0\n"));
    EXPECT_EQ(log.messages(),
              (Messages{"Duplicate transition endpoints: 0 1 6 <-> 3 1 2 vs 1 0 0 <-> 3 1 2",
                        "Duplicate transition endpoints: 0 1 6 <-> 3 1 2 vs 1 0 0 <-> 0 1 6",
                        "Duplicate transition endpoints: 2 0 0 <-> 2 0 1 vs 2 0 1 <-> 2 0 0"}));
    EXPECT_EQ(map.getTransitions().size(), 5u);
}

TEST(MapReader, TheTransitionListEndsAtFourPerSquare) {
    const std::string square = "2 0 0 0 1 1\n0\n";
    const std::string full = "0 0 0 <-> 0 0 4\n0 0 1 <-> 0 0 5\n0 0 2 <-> 0 0 6\n0 0 3 <-> 0 0 7\n";
    MapLogCapture log;
    Map map;
    EXPECT_TRUE(map.loadFromString(square + full));
    EXPECT_EQ(map.getTransitions().size(), 4u);
    EXPECT_TRUE(log.messages().empty());

    EXPECT_FALSE(map.loadFromString(square + full + "0 0 0 <-> 0 0 0\n"));
    EXPECT_EQ(log.messages(), Messages{"Too many transitions"});
    EXPECT_EQ(map.getTransitions().size(), 4u);

    std::string flood = square;
    for (int i = 0; i < 200000; ++i) {
        flood += "0 0 0 <-> 0 0 4\n";
    }
    log.clear();
    EXPECT_FALSE(map.loadFromString(flood));
    EXPECT_EQ(log.messages().size(), 4u);
    EXPECT_EQ(log.messages().front(), "Too many transitions");
}

TEST(MapReader, AValidMapIsLoggedInFullAtDebugLevelOnly) {
    Map map;
    {
        MapLogCapture log(logcraft::LogLevel::INFO);
        ASSERT_TRUE(map.loadFromString(EXAMPLE));
        EXPECT_TRUE(log.messages().empty());
    }
    MapLogCapture log(logcraft::LogLevel::DEBUG);
    ASSERT_TRUE(map.loadFromString(EXAMPLE));
    EXPECT_EQ(log.messages(), Messages{std::string("Done reading map:\n ") + EXAMPLE});
    log.clear();
    EXPECT_FALSE(map.loadFromString("2 0 0 0 1 1 X"));
    EXPECT_EQ(log.messages(), Messages{"Invalid tile at (0, 0)"});
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
            auto where = std::uniform_int_distribution<std::size_t>(0, text.size() - 1);
            const char c = alphabet[random() % alphabet.size()];
            switch (random() % 3) {
            case 0:
                text[where(random)] = c;
                break;
            case 1:
                text.insert(where(random), 1, c);
                break;
            default:
                text.resize(where(random));
            }
            Map map;
            if (!map.loadFromString(text)) {
                continue;
            }
            ++accepted;
            const auto tiles = map.getTiles();
            const auto holes = std::count(tiles, tiles + map.getTotalTiles(), Square::NONE);
            EXPECT_EQ(map.getPlayableTiles() + holes, map.getTotalTiles()) << text;
            Map again;
            ASSERT_TRUE(again.loadFromString(written(map))) << text;
            expectSameMap(map, again);
        }
    }
    EXPECT_GT(accepted, 0u);
}
