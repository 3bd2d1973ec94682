// Generated maps over many seeds, player counts and sizes: each reads as valid without
// warnings, is fair (same start stones, everybody can move, holes in point-symmetric pairs,
// the board in one piece), comes out the same for the same seed and plays to the end: in
// process (greedy on every third seed, random legal moves on the others) and, for a few, with
// the real server and bots.
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/GameBoard.hpp"
#include "tests/support/GameSupport.hpp"
#include "tests/support/ServerHarness.hpp"
#include "tests/support/TempFolder.hpp"
#include "tools/map/MapCheck.hpp"
#include "tools/map/MapGenerator.hpp"
#include "tools/map/SelfPlay.hpp"

using namespace std::chrono_literals;
using namespace testing_support;

namespace {

// Mostly small boards so that the games stay quick; every thirtieth seed may reach 50 x 50,
// and seed 0 does.
GeneratorOptions randomOptions(unsigned seed) {
    std::mt19937 random(seed);
    GeneratorOptions o;
    o.players = 2 + seed % 7;
    const unsigned least = o.players + 2;
    const unsigned spread = seed % 30 == 0 ? 51 - least : 10;
    o.width = seed == 0 ? 50 : least + random() % spread;
    o.height = seed == 0 ? 50 : least + random() % spread;
    o.holes = random() % 25;
    o.transitions = random() % 9;
    o.choice = random() % 3;
    o.inversion = random() % 3;
    o.bonus = random() % 3;
    o.expansion = random() % 3;
    o.overrides = random() % 3;
    o.bombs = random() % 3;
    o.bombStrength = random() % 3;
    o.seed = seed;
    return o;
}

// Every square that is not a hole reaches every other in king steps.
bool onePiece(const Map& map) {
    const auto width = static_cast<int>(map.getWidth());
    const auto height = static_cast<int>(map.getHeight());
    std::vector<bool> seen(map.getTotalTiles(), false);
    std::vector<int> stack;
    for (int i = 0; i < width * height && stack.empty(); ++i) {
        if (map.getTile(i % width, i / width) != Square::NONE) {
            stack.push_back(i);
            seen[i] = true;
        }
    }
    std::size_t reached = stack.size();
    while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int x = i % width + dx;
                const int y = i / width + dy;
                if (x >= 0 && y >= 0 && x < width && y < height && !seen[y * width + x] &&
                    map.getTile(x, y) != Square::NONE) {
                    seen[y * width + x] = true;
                    ++reached;
                    stack.push_back(y * width + x);
                }
            }
        }
    }
    return reached == map.getPlayableTiles();
}

testing::AssertionResult fair(const Map& map) {
    std::vector<unsigned> stones(map.getPlayers() + 1, 0);
    for (map_axis y = 0; y < map.getHeight(); ++y) {
        for (map_axis x = 0; x < map.getWidth(); ++x) {
            const auto s = static_cast<unsigned>(map.getTile(x, y));
            stones[s >= 1 && s <= map.getPlayers() ? s : 0] += 1;
            const bool hole = map.getTile(x, y) == Square::NONE;
            const bool mirrorHole =
                map.getTile(map.getWidth() - 1 - x, map.getHeight() - 1 - y) == Square::NONE;
            if (hole != mirrorHole) {
                return testing::AssertionFailure() << "hole at " << x << "," << y << " unpaired";
            }
        }
    }
    if (!onePiece(map)) {
        return testing::AssertionFailure() << "the board falls apart";
    }
    const GameBoard board(map);
    for (unsigned p = 1; p <= map.getPlayers(); ++p) {
        if (stones[p] == 0 || stones[p] != stones[1] ||
            !board.move_possible(static_cast<Player>(p))) {
            return testing::AssertionFailure() << "player " << p << " starts unfairly";
        }
    }
    return testing::AssertionSuccess();
}

// Greedy games take long in a sanitizer build, so every third seed (boards up to 400 squares)
// plays greedy and the others play random legal moves, which reach the end as surely.
bool playsToTheEnd(const Map& map, unsigned seed) {
    Game game(map, false);
    std::mt19937 random(seed);
    for (std::size_t n = 0; !game.is_final() && n < 8 * map.getTotalTiles(); ++n) {
        const Move move = randomMove(game, random);
        if (!move.isValid() || !game.makeMove(move)) {
            return false;
        }
    }
    return game.is_final();
}

TEST(MapGenerator, ManySeedsGiveFairValidMapsThatPlayToTheEnd) {
    unsigned generated = 0;
    for (unsigned seed = 0; seed < 240; ++seed) {
        const GeneratorOptions options = randomOptions(seed);
        std::string error;
        if (!checkGeneratorOptions(options, error)) {
            continue;
        }
        ++generated;
        SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(options.players) +
                     " players, " + std::to_string(options.width) + "x" +
                     std::to_string(options.height));
        std::string text;
        std::string again;
        ASSERT_TRUE(generateMap(options, text, error)) << error;
        ASSERT_TRUE(generateMap(options, again, error));
        EXPECT_EQ(text, again);
        Map map;
        std::vector<std::string> messages;
        ASSERT_TRUE(readMapText(text, map, messages)) << text;
        // Bombs asked for may well be able to clear the board: that warning is the
        // caller's to heed, every other one would be a fault of the generator.
        const std::vector<std::string> warnings = mapWarnings(map);
        EXPECT_EQ(warnings.size(), bombWarning(map) ? 1u : 0u) << text;
        EXPECT_EQ(map.getTransitions().size(), options.transitions);
        EXPECT_TRUE(fair(map)) << text;
        if (seed % 3 == 0 && map.getTotalTiles() <= 400) {
            EXPECT_TRUE(playGreedyGame(map, {seed, seed + 1}).finished) << text;
        } else {
            EXPECT_TRUE(playsToTheEnd(map, seed)) << text;
        }
    }
    EXPECT_GT(generated, 200u);
}

// A seed names the same map in every version, so that a map passed on as its options and seed
// comes out again as it was: holes, special squares and transitions all take their draws.
TEST(MapGenerator, ASeedGivesTheSameMapInEveryVersion) {
    GeneratorOptions o;
    o.players = 3;
    o.width = 11;
    o.height = 9;
    o.holes = 20;
    o.transitions = 6;
    o.choice = o.inversion = o.bonus = o.expansion = 1;
    o.seed = 7;
    std::string text;
    std::string error;
    ASSERT_TRUE(generateMap(o, text, error)) << error;
    EXPECT_EQ(text, "3\n"
                    "0\n"
                    "0 0\n"
                    "9 11\n"
                    "i 0 - 0 0 0 0 - - 0 0\n"
                    "0 0 0 0 0 0 c 0 0 0 -\n"
                    "- 0 0 0 0 0 0 0 - - 0\n"
                    "0 0 0 0 1 2 3 0 - 0 -\n"
                    "0 - 0 0 3 1 2 0 b - 0\n"
                    "- x - 0 2 3 1 0 0 0 0\n"
                    "0 - - 0 0 0 0 0 0 0 -\n"
                    "- 0 0 0 0 0 0 0 0 0 0\n"
                    "0 0 - - 0 0 0 0 - 0 0\n"
                    "0 8 5 <-> 7 8 3\n"
                    "10 0 1 <-> 3 0 7\n"
                    "5 8 4 <-> 10 0 7\n"
                    "5 0 0 <-> 0 8 3\n"
                    "10 2 1 <-> 10 2 2\n"
                    "0 6 5 <-> 0 6 6\n");
}

// Options the generator cannot honour are refused with a reason, not turned into a map.
TEST(MapGenerator, RefusesImpossibleOptions) {
    GeneratorOptions o;
    std::string text;
    std::string error;
    o.players = 8;
    EXPECT_FALSE(generateMap(o, text, error));
    EXPECT_EQ(error, "a map for 8 players needs at least 10 x 10 squares");
    o = GeneratorOptions();
    o.bonus = 10;
    o.bombs = 250;
    EXPECT_FALSE(generateMap(o, text, error));
    o = GeneratorOptions();
    o.choice = 40;
    EXPECT_FALSE(generateMap(o, text, error));
    unsigned w = 0;
    unsigned h = 0;
    EXPECT_TRUE(parseSize("20x7", w, h));
    EXPECT_EQ(w * 100 + h, 2007u);
    for (const char* bad : {"20", "0x5", "51x5", "5x", "x5", "5x5x5", "-5x5", "5 x5"}) {
        EXPECT_FALSE(parseSize(bad, w, h)) << bad;
    }
}

// The program's maps, played by the real server with real bots to the end.
TEST(MapGenerator, GeneratedMapsPlayOnTheServer) {
    TempFolder folder;
    const std::vector<std::vector<std::string>> runs = {
        {"--players", "3", "--size", "12x9", "--holes", "10", "--transitions", "4", "--specials",
         "1,1,1,1", "--bombs", "1,1", "--overrides", "1", "--seed", "11"},
        {"--players", "2", "--size", "24x24", "--holes", "15", "--transitions", "8", "--seed",
         "12"},
    };
    for (const auto& run : runs) {
        std::vector<std::string> args{"generate", "-o", folder.file("generated.map")};
        args.insert(args.end(), run.begin(), run.end());
        const auto generated = runProcess(programPath("reversi-map"), args, 30s);
        ASSERT_EQ(generated.exitStatus, 0) << generated.err;
        const auto checked =
            runProcess(programPath("reversi-map"), {"check", folder.file("generated.map")}, 30s);
        EXPECT_EQ(checked.exitStatus, 0) << checked.out;
        GameServer server({"--map", folder.file("generated.map"), "--timelimit", "30000"});
        ASSERT_NE(server.port, 0);
        std::vector<std::unique_ptr<ScriptedProcess>> bots;
        for (const auto& player : {"3", "4", "5"}) {
            if (bots.size() < std::stoul(run[1])) {
                bots.push_back(std::make_unique<ScriptedProcess>(
                    programPath("reversi-bot"),
                    std::vector<std::string>{"--port", std::to_string(server.port), "--seed",
                                             player}));
            }
        }
        for (auto& bot : bots) {
            EXPECT_EQ(bot->wait(300s).exitStatus, 0);
        }
        const auto result = server.wait(300s);
        EXPECT_EQ(result.exitStatus, 0) << result.out;
        EXPECT_FALSE(hasLogLine(result.out, "INFO", "Disqualifying player"));
    }
}

} // namespace
