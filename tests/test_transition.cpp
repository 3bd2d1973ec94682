// Transitions: their text form, reading one, the validity rule against a map, shared ends, and
// the neighbourhood queries of the map that the rule rests on.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "common/Map.hpp"
#include "support/MapLogCapture.hpp"
#include "support/TestPaths.hpp"

using testing_support::MapLogCapture;
using Messages = std::vector<std::string>;
using enum Direction;

namespace {

std::string text(const Transition& t) {
    std::ostringstream os;
    os << t;
    return os.str();
}

// Three rows of four columns; the holed one has a hole at (2, 1).
const char* const PLAIN = "2 0 0 0 3 4\n0 0 0 0\n0 1 2 0\n0 2 1 0\n";
const char* const HOLED = "2 0 0 0 3 4\n0 0 0 0\n0 1 - 0\n0 2 1 0\n";

} // namespace

// Two transitions share an end when any of the four pairs of ends is the same square and side;
// an end does not meet its own partner, and another side of the same square is another end.
TEST(Transition, TextFormAndSharedEnds) {
    EXPECT_FALSE(Transition().m_isValid);
    EXPECT_EQ(text(Transition()), "0 0 0 <-> 0 0 0");
    EXPECT_EQ(text(Transition(4294967295u, 49, NW, 7, 0, N)), "4294967295 49 7 <-> 7 0 0");
    const Transition base(2, 0, N, 5, 5, S);
    const std::pair<Transition, bool> cases[] = {
        {{2, 0, N, 9, 9, E}, true},  {{9, 9, E, 2, 0, N}, true},    {{5, 5, S, 9, 9, E}, true},
        {{9, 9, E, 5, 5, S}, true},  {{2, 0, NE, 5, 5, SE}, false}, {{2, 1, N, 5, 4, S}, false},
        {{5, 5, N, 2, 0, S}, false},
    };
    for (const auto& [other, shared] : cases) {
        EXPECT_EQ(base.sharesNeightbour(other), shared) << text(other);
    }
    EXPECT_FALSE(Transition(1, 1, E, 1, 1, E).sharesNeightbour(Transition(1, 1, W, 0, 0, W)));
}

// A read transition is valid; a failed read leaves the target as it was and logs the item that
// failed, except at a clean end (end of input or SUB), which is not an error.
TEST(Transition, ReadingLeavesTheTargetAloneOnFailure) {
    Map map;
    std::istringstream good("0 1 6 <-> 3 1 2");
    Transition read;
    ASSERT_TRUE(map.readTransition(good, read));
    EXPECT_TRUE(read.m_isValid);
    EXPECT_EQ(text(read), "0 1 6 <-> 3 1 2");
    MapLogCapture log;
    const Transition before(1, 2, S, 3, 4, N);
    for (const char* bad : {"0 1 6 <->3 1 2", "0 1 6 <-> 3", "", "\x1a 0 1 6 <-> 3 1 2"}) {
        std::istringstream is(bad);
        Transition t = before;
        EXPECT_FALSE(map.readTransition(is, t)) << bad;
        EXPECT_EQ(text(t), text(before));
    }
    EXPECT_EQ(log.messages(),
              (Messages{"Transition separator invalid", "Transition y coordinate 2 invalid"}));
}

// Both ends must lie on the map and lead off it or into a hole; an end off the map is not
// looked at further, but the other end still is.
TEST(Transition, ValidityAgainstAMapWithItsMessages) {
    Map plain;
    ASSERT_TRUE(plain.loadFromString(PLAIN));
    Map holed;
    ASSERT_TRUE(holed.loadFromString(HOLED));
    const Map none;
    const std::string failed = "Transition checks failed for transition ";
    const std::string offMap = "  Coordinates are invalid";
    const std::string notEmpty = "  Transition not connected via empty location";
    const struct {
        Transition transition;
        const Map& map;
        Messages messages;
    } cases[] = {
        {{0, 1, W, 3, 1, E}, plain, {}},
        {{0, 0, NW, 3, 2, SE}, plain, {}},
        {{0, 1, W, 0, 1, W}, plain, {}},
        {{1, 1, E, 3, 1, W}, holed, {}},
        {{1, 1, W, 3, 1, E}, plain, {failed + "1 1 6 <-> 3 1 2", notEmpty}},
        {{1, 1, E, 3, 1, W}, plain, {failed + "1 1 2 <-> 3 1 6", notEmpty}},
        {{0, 1, W, 4, 1, E}, plain, {failed + "0 1 6 <-> 4 1 2", offMap}},
        {{1, 1, W, 4, 1, E}, plain, {failed + "1 1 6 <-> 4 1 2", offMap, notEmpty}},
        {{4294967295u, 0, E, 0, 3, S}, plain, {failed + "4294967295 0 2 <-> 0 3 4", offMap}},
        {{0, 0, N, 0, 0, N}, none, {failed + "0 0 0 <-> 0 0 0", offMap}},
    };
    for (const auto& c : cases) {
        MapLogCapture log;
        EXPECT_EQ(c.transition.isValid(c.map), c.messages.empty()) << text(c.transition);
        EXPECT_EQ(log.messages(), c.messages) << text(c.transition);
    }
}

// Cross-check against the tiles: the direct neighbour is the tile one step away, computed here
// in 64 bits so that nothing wraps (4294967295 + 1 is not 0); NONE across the rim and from any
// position off the map.
TEST(MapNeighbourhood, DirectNeighbourIsTheTileOneStepAwayAndNeverWraps) {
    Map map;
    ASSERT_TRUE(map.loadFromString(HOLED));
    static constexpr int DX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    static constexpr int DY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
    for (map_axis x : {0u, 1u, 2u, 3u, 4u, 4294967295u}) {
        for (map_axis y : {0u, 1u, 2u, 3u, 4294967295u}) {
            for (unsigned d = 0; d < 8; ++d) {
                const std::int64_t nx = std::int64_t{x} + DX[d];
                const std::int64_t ny = std::int64_t{y} + DY[d];
                const bool onMap = x < 4 && y < 3 && nx >= 0 && ny >= 0 && nx < 4 && ny < 3;
                EXPECT_EQ(map.getDirectNeighbour(x, y, static_cast<Direction>(d)),
                          onMap ? map.getTile(nx, ny) : Square::NONE)
                    << x << "," << y << " " << d;
            }
        }
    }
    EXPECT_EQ(map.getDirectNeighbour(1, 1, E), Square::NONE) << "into the hole";
    EXPECT_EQ(map.getDirectNeighbour(2, 1, S), Square::PLAYER1) << "out of the hole";
    EXPECT_EQ(map.getDirectNeighbour(1, 1, S), static_cast<Square>(2));
    EXPECT_EQ(map.getDirectNeighbour(2, 0, SW), Square::PLAYER1);
    EXPECT_EQ(map.getDirectNeighbour(1, 1, static_cast<Direction>(8)), Square::NONE);
}

// Cross-check on a map with many transitions: the squares named by the transition list are
// exactly those the map reports as affected.
TEST(MapNeighbourhood, AffectedSquaresAreExactlyTheTransitionEnds) {
    Map map;
    ASSERT_TRUE(map.loadFromFile(testing_support::mapPath("transitions4p.map")));
    std::vector<bool> expected(map.getTotalTiles(), false);
    for (const Transition& t : map.getTransitions()) {
        expected[t.m_yStart * map.getWidth() + t.m_xStart] = true;
        expected[t.m_yEnd * map.getWidth() + t.m_xEnd] = true;
    }
    for (map_axis y = 0; y < map.getHeight(); ++y) {
        for (map_axis x = 0; x < map.getWidth(); ++x) {
            EXPECT_EQ(map.affectedByTransition(x, y), expected[y * map.getWidth() + x])
                << x << "," << y;
        }
    }
    EXPECT_FALSE(map.affectedByTransition(map.getWidth(), 0));
}
