// reversi-map on maps: check's verdicts and messages for every kind of error the map reader
// reports, format's layout read back, the start figures of stats against the move generator,
// and the SVG picture of a map and of a recorded position.
#include <chrono>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "common/GameRecord.hpp"
#include "tests/support/GameSupport.hpp"
#include "tests/support/ScriptedProcess.hpp"
#include "tests/support/TempFolder.hpp"
#include "tests/support/TestPaths.hpp"
#include "tools/map/MapCheck.hpp"
#include "tools/map/MapStats.hpp"
#include "tools/map/SelfPlay.hpp"

using namespace std::chrono_literals;
using namespace testing_support;

namespace {

ProcessResult mapTool(const std::vector<std::string>& args) {
    return runProcess(programPath("reversi-map"), args, 60s);
}

// The lines of check's report that belong to one file: its verdict and its messages.
std::string section(const std::string& out, const std::string& file) {
    const auto start = out.find(file + ": ");
    if (start == std::string::npos) {
        return "";
    }
    const auto end = out.find("\n/", start);
    return out.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
}

const std::string Grid = "3 4\n- 0 0 -\n0 1 2 0\nc 2 1 b\n";

// One broken map per kind of message of the reader, with the message expected.
const std::map<std::string, std::pair<std::string, std::string>> BrokenMaps = {
    {"players", {"9\n1\n2 1\n" + Grid, "Invalid number of players: 9"}},
    {"overrides", {"2\n256\n2 1\n" + Grid, "Invalid number of overrides: 256"}},
    {"bombs", {"2\n1\n256 1\n" + Grid, "Invalid number of bombs: 256"}},
    {"strength", {"2\n1\n2 256\n" + Grid, "Invalid bomb strength: 256"}},
    {"dimensions", {"2\n1\n2 1\n0 5\n", "Invalid map dimensions: (0 x 5)"}},
    {"header", {"2\n1\n2\n", "Error in stream after parsing map header"}},
    {"tile", {"2\n1\n2 1\n3 4\n- 0 0 -\n0 1 2 0\nc 2 X b\n", "Invalid tile at (2, 2)"}},
    {"bonusbombs", {"2\n1\n255 1\n" + Grid, "Sum of bonus-fields and bombs too large: 256"}},
    {"bonusoverrides",
     {"2\n255\n2 1\n" + Grid, "Sum of bonus-fields and overrides too large: 256"}},
    {"connection",
     {"2\n1\n2 1\n" + Grid + "1 1 6 <-> 3 1 2\n", "  Transition not connected via empty location"}},
    {"coordinates", {"2\n1\n2 1\n" + Grid + "4 1 2 <-> 0 1 6\n", "  Coordinates are invalid"}},
    {"separator", {"2\n1\n2 1\n" + Grid + "0 1 6 <->3 1 2\n", "Transition separator invalid"}},
    {"trailing",
     {"2\n1\n2 1\n" + Grid + "0 1 6 <-> 3 1 2\nx\n", "Transition x coordinate 1 invalid"}},
    {"direction", {"2\n1\n2 1\n" + Grid + "0 1 9 <-> 3 1 2\n", "Transition direction 1 invalid"}},
    {"duplicate",
     {"2\n1\n2 1\n" + Grid + "0 1 6 <-> 3 1 2\n0 1 6 <-> 3 1 2\n",
      "Duplicate transition endpoints: 0 1 6 <-> 3 1 2 vs 0 1 6 <-> 3 1 2"}},
};

TEST(MapToolCheck, ReportsEveryReaderMessageAndTheVerdicts) {
    TempFolder folder;
    std::vector<std::string> args{"check"};
    for (const auto& [name, broken] : BrokenMaps) {
        writeFile(folder.file(name + ".map"), broken.first);
        args.push_back(folder.file(name + ".map"));
    }
    args.push_back(folder.file("missing.map"));
    const auto result = mapTool(args);
    EXPECT_EQ(result.exitStatus, 1);
    for (const auto& [name, broken] : BrokenMaps) {
        const std::string report = section(result.out, folder.file(name + ".map"));
        EXPECT_NE(report.find(": invalid\n"), std::string::npos) << report;
        EXPECT_NE(report.find("  error: " + broken.second + "\n"), std::string::npos) << report;
    }
    EXPECT_NE(section(result.out, folder.file("missing.map"))
                  .find("  error: Cannot open map " + folder.file("missing.map") +
                        ": No such file or directory\n"),
              std::string::npos)
        << result.out;

    // A stone of a player the map lacks and a player without stones are warnings only.
    writeFile(folder.file("stray.map"), "2\n0\n0 0\n2 3\n1 0 5\n0 1 0\n");
    std::vector<std::string> valid{"check", folder.file("stray.map")};
    for (const auto& name : sampleMapNames()) {
        valid.push_back(mapPath(name));
    }
    const auto ok = mapTool(valid);
    EXPECT_EQ(ok.exitStatus, 0) << ok.out << ok.err;
    EXPECT_NE(ok.out.find("stray.map: valid (2 players, 3 x 2, 0 transitions, 2 warnings)\n"
                          "  warning: stone of player 5 at (2, 0) on a map for 2 players\n"
                          "  warning: player 2 has no stones at the start\n"),
              std::string::npos)
        << ok.out;
    EXPECT_NE(ok.out.find("example2p.map: valid (2 players, 4 x 3, 1 transition, 1 warnings)\n"),
              std::string::npos);
}

// The largest blast found by the map tool is the largest a real bomb takes on the start map,
// on every sample map (transitions carry blasts on huge50x50); example2p's bombs can clear its
// board and are warned of by check and stats, classic8x8 and transitions4p get no warning.
TEST(MapToolCheck, WarnsWhenTheBombsCanClearTheBoard) {
    for (const auto& name : sampleMapNames()) {
        SCOPED_TRACE(name);
        const auto map = mapFromFile(name);
        std::size_t largest = 0;
        for (unsigned i = 0; map->getBombStrength() > 0 && i < map->getTotalTiles(); ++i) {
            GameBoard board(*map);
            const auto index = static_cast<index_t>(i);
            if (board.get_square(index) == Square::NONE ||
                !board.throwBomb(Player::P1, index, true)) {
                continue;
            }
            std::size_t holes = 0;
            for (unsigned k = 0; k < map->getTotalTiles(); ++k) {
                holes += board.get_square(static_cast<index_t>(k)) == Square::NONE;
            }
            largest = std::max<std::size_t>(
                largest, holes - (map->getTotalTiles() - map->getPlayableTiles()));
        }
        if (map->getBombStrength() > 0) {
            EXPECT_EQ(largestBlast(*map), largest);
        }
    }
    const std::string warning =
        "warning: the 4 bombs in stock (strength 1) can clear all 10 playable squares";
    const auto check = mapTool({"check", mapPath("example2p.map"), mapPath("classic8x8.map"),
                                mapPath("transitions4p.map")});
    EXPECT_EQ(countOf(check.out, "warning:"), 1u) << check.out;
    EXPECT_NE(
        check.out.find("example2p.map: valid (2 players, 4 x 3, 1 transition, 1 warnings)\n  " +
                       warning),
        std::string::npos)
        << check.out;
    EXPECT_NE(mapTool({"stats", mapPath("example2p.map")}).out.find(warning), std::string::npos);
    EXPECT_EQ(mapTool({"stats", mapPath("transitions4p.map")}).out.find("warning"),
              std::string::npos);
}

// One mistake each in copies of real maps: the first line for the file names the line and column
// of the mistake, or the line where the text ends early, and what should stand there.
TEST(MapToolCheck, PointsAtTheFirstProblemInTheText) {
    TempFolder folder;
    const std::string classic = readFile(mapPath("classic8x8.map"));
    const std::string example = readFile(mapPath("example2p.map"));
    // The text with line `number` (from 1) changed by replacing `from` by `to` in it.
    const auto edited = [](const std::string& text, unsigned number, const std::string& from,
                           const std::string& to) {
        std::size_t start = 0;
        for (unsigned line = 1; line < number; ++line) {
            start = text.find('\n', start) + 1;
        }
        std::string result = text;
        return result.replace(text.find(from, start), from.size(), to);
    };
    const std::pair<std::string, std::string> cases[] = {
        {edited(classic, 7, "0 0 0", "0 0 O"),
         ":7:5: found \"O\", expected a square: 0-8, -, c, i, b or x"},
        {edited(classic, 8, "0 0 0\n", "0 0 0 0\n"),
         ":8:17: row 4 has 9 squares, the map is 8 wide"},
        {edited(classic, 9, " 0 0\n", " 0\n"), ":9:14: row 5 has 7 squares, the map is 8 wide"},
        {classic.substr(0, 12), ":4: the file ends early: 8 rows of squares expected, 0 found"},
        {classic + "0 0 0 0 0 0 0 0\n", ":13:1: found 9 rows of squares, the map is 8 high"},
        {edited(example, 4, "3 4", "3 51"), ":4:3: found \"51\", expected the width: 1-50"},
        {edited(example, 8, "6 <->", "9 <->"), ":8:5: found \"9\", expected a direction: 0-7"},
        {edited(example, 8, "<-> ", "<->"), ":8:7: found \"<->3\", expected \"<->\""},
        {example + "1 1 x\n", ":9:5: found \"x\", expected a direction: 0-7"},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(expected);
        writeFile(folder.file("x.map"), text);
        const auto result = mapTool({"check", folder.file("x.map")});
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.out.substr(0, result.out.find("\n  error: ")),
                  folder.file("x.map") + expected + "\n" + folder.file("x.map") + ": invalid");
    }
}

// A map in any legal spacing comes out in the writer's layout, reads back to the same map and
// stays as it is under a second format; -i rewrites valid maps only.
TEST(MapToolFormat, WritesTheLayoutThatReadsBackUnchanged) {
    TempFolder folder;
    std::vector<std::string> files{folder.file("spaced.map")};
    writeFile(files[0], "2 1   2\n1 3 4 -00-\n0 1 2 0\tc 2 1 b 0 1\n6 <->\n3 1 2\n\n");
    for (const auto& name : sampleMapNames()) {
        files.push_back(mapPath(name));
    }
    for (const auto& file : files) {
        SCOPED_TRACE(file);
        Map original;
        ASSERT_TRUE(original.loadFromFile(file));
        const auto once = mapTool({"format", file});
        ASSERT_EQ(once.exitStatus, 0) << once.err;
        Map reread;
        ASSERT_TRUE(reread.loadFromString(once.out));
        std::ostringstream expected;
        expected << original;
        EXPECT_EQ(once.out, expected.str());
        writeFile(folder.file("once.map"), once.out);
        EXPECT_EQ(mapTool({"format", folder.file("once.map")}).out, once.out);
    }
    EXPECT_EQ(mapTool({"format", "-i", files[0]}).exitStatus, 0);
    EXPECT_EQ(readFile(files[0]), "2\n1\n2 1\n3 4\n- 0 0 -\n0 1 2 0\nc 2 1 b\n0 1 6 <-> 3 1 2\n");
    const std::string broken = "9\n0\n0 0\n1 1\n0\n";
    writeFile(folder.file("broken.map"), broken);
    const auto refused = mapTool({"format", "-i", folder.file("broken.map")});
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_NE(refused.err.find("Invalid number of players: 9"), std::string::npos);
    EXPECT_EQ(readFile(folder.file("broken.map")), broken);
}

// The legal moves that stats counts at the start are the squares the game's own move generator
// finds for the player on turn; self-play splits the wins among the seats.
TEST(MapToolStats, StartMovesMatchTheGeneratorAndWinsAddUp) {
    for (const auto& name : sampleMapNames()) {
        SCOPED_TRACE(name);
        const auto map = mapFromFile(name);
        const MapStats stats = mapStats(*map);
        Game game(*map, false);
        std::vector<std::pair<int, int>> squares;
        for (const Move& move : generatedMoves(game)) {
            squares.emplace_back(move.x, move.y);
        }
        squares.erase(std::unique(squares.begin(), squares.end()), squares.end());
        EXPECT_EQ(stats.startMoves[0], squares.size());
        EXPECT_EQ(stats.startStones[0], stats.startStones.back());
    }
    const auto map = mapFromFile("transitions4p.map");
    MapStats stats = mapStats(*map);
    addSelfPlay(*map, 4, 1, stats, [](unsigned) {});
    double total = 0;
    for (double share : stats.winShare) {
        total += share;
    }
    EXPECT_EQ(stats.unfinished, 0u);
    EXPECT_NEAR(total, 1.0, 1e-9);
    const auto out = mapTool({"stats", mapPath("example2p.map")}).out;
    EXPECT_NE(out.find("squares: 10 playable, 2 holes\nspecial squares: 1 choice, 0 inversion, "
                       "1 bonus, 0 expansion\ntransitions: 1\nplayer 1: 2 start stones"),
              std::string::npos)
        << out;
}

// What the picture shows per square: its group's class ("sq p2", "sq c", ...), by index.
std::map<int, std::string> squareClasses(const std::string& svg) {
    std::map<int, std::string> classes;
    const std::regex group("<g id=\"q([0-9]+)\" class=\"sq ([a-z0-9]+)( dq)?\">");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), group);
         it != std::sregex_iterator(); ++it) {
        classes[std::stoi((*it)[1])] = (*it)[2];
    }
    return classes;
}

std::size_t transitionPaths(const std::string& svg) {
    return countOf(svg, "<path class=\"tr\" ");
}

// The SVG must be well-formed XML (xmllint says so) with a group per playable square and a
// path per transition; a recorded position shows what replaying the record gives.
TEST(MapToolRender, PicturesHoldEverySquareAndTransition) {
    const std::string xmllint = findOnPath("xmllint");
    TempFolder folder;
    for (const auto& name : sampleMapNames()) {
        SCOPED_TRACE(name);
        const auto map = mapFromFile(name);
        const std::string svg = folder.file(name + ".svg");
        ASSERT_EQ(mapTool({"render", mapPath(name), "-o", svg}).exitStatus, 0);
        const std::string text = readFile(svg);
        EXPECT_EQ(squareClasses(text).size(), map->getPlayableTiles());
        EXPECT_EQ(transitionPaths(text), map->getTransitions().size());
        if (!xmllint.empty()) {
            EXPECT_EQ(runProcess(xmllint, {"--noout", svg}, 30s).exitStatus, 0);
        }
    }

    const auto map = mapFromFile("transitions4p.map");
    GameRecord record;
    ASSERT_TRUE(record.open(folder.file("game.rec")));
    ASSERT_TRUE(playGreedyGame(*map, {1, 2, 3, 4}, &record).finished);
    GameRecordData data;
    std::string error;
    ASSERT_TRUE(loadGameRecord(folder.file("game.rec"), data, error));
    RecordReplay replay;
    ASSERT_TRUE(replay.start(data, error));
    for (std::size_t i = 0; i < 30; ++i) {
        ASSERT_TRUE(replay.step(error));
    }
    const auto result = mapTool({"render", "--record", folder.file("game.rec"), "--move", "30",
                                 "-o", folder.file("30.svg")});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const auto classes = squareClasses(readFile(folder.file("30.svg")));
    const std::string board = replay.game().getBoard().asSimpleString();
    std::size_t index = 0;
    for (char square : board) {
        if (square == '\n') {
            continue;
        }
        const auto shown = classes.find(static_cast<int>(index++));
        if (square != '-') {
            ASSERT_NE(shown, classes.end()) << index - 1;
            EXPECT_EQ(shown->second, square >= '1' && square <= '8' ? std::string("p") + square
                                     : square == '0'                ? std::string("e")
                                                                    : std::string(1, square))
                << "square " << index - 1;
        }
    }
    if (xmllint.empty()) {
        GTEST_SKIP() << "xmllint not found (Debian package libxml2-utils): SVG not parsed";
    }
}

} // namespace
