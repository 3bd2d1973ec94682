// Transitions: their text form, reading one, the validity rule against a map, shared ends, and
// the neighbourhood queries of the map that the rule rests on.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/Map.hpp"
#include "support/MapLogCapture.hpp"
#include "support/TestPaths.hpp"

using testing_support::MapLogCapture;
using Messages = std::vector<std::string>;

namespace {

std::string text(const Transition& t) {
    std::ostringstream os;
    os << t;
    return os.str();
}

// Three rows of four columns; the middle row has a hole at column 2 when `withHole` is set.
const char* const PLAIN = "2 0 0 0 3 4\n0 0 0 0\n0 1 2 0\n0 2 1 0\n";
const char* const HOLED = "2 0 0 0 3 4\n0 0 0 0\n0 1 - 0\n0 2 1 0\n";

void load(Map& map, const std::string& text) {
    ASSERT_TRUE(map.loadFromString(text));
}

} // namespace

TEST(Transition, ConstructionAndTextForm) {
    const Transition none;
    EXPECT_FALSE(none.m_isValid);
    EXPECT_EQ(text(none), "0 0 0 <-> 0 0 0");
    const Transition t(0, 1, Direction::W, 3, 1, Direction::E);
    EXPECT_TRUE(t.m_isValid);
    EXPECT_EQ(text(t), "0 1 6 <-> 3 1 2");
    EXPECT_EQ(text(Transition(4294967295u, 49, Direction::NW, 7, 0, Direction::N)),
              "4294967295 49 7 <-> 7 0 0");
}

TEST(Transition, SharedEndsCompareAllFourPairsButNotAnEndWithItsOwnPartner) {
    const Transition base(2, 0, Direction::N, 5, 5, Direction::S);
    EXPECT_TRUE(base.sharesNeightbour(Transition(2, 0, Direction::N, 9, 9, Direction::E)));
    EXPECT_TRUE(base.sharesNeightbour(Transition(9, 9, Direction::E, 2, 0, Direction::N)));
    EXPECT_TRUE(base.sharesNeightbour(Transition(5, 5, Direction::S, 9, 9, Direction::E)));
    EXPECT_TRUE(base.sharesNeightbour(Transition(9, 9, Direction::E, 5, 5, Direction::S)));
    EXPECT_FALSE(base.sharesNeightbour(Transition(2, 0, Direction::NE, 5, 5, Direction::SE)));
    EXPECT_FALSE(base.sharesNeightbour(Transition(2, 1, Direction::N, 5, 4, Direction::S)));
    EXPECT_FALSE(base.sharesNeightbour(Transition(5, 5, Direction::N, 2, 0, Direction::S)));
    const Transition loop(1, 1, Direction::E, 1, 1, Direction::E);
    EXPECT_FALSE(loop.sharesNeightbour(Transition(1, 1, Direction::W, 0, 0, Direction::W)));
}

TEST(Transition, ReadingAcceptsAnyLayoutAndLeavesTheTargetAloneOnFailure) {
    Map map;
    const std::vector<std::string> forms = {"0 1 6 <-> 3 1 2", "0\n1\n6\n<->\n3\n1\n2\n",
                                            "\t0 1 6<->  3 1 2 "};
    for (const std::string& form : forms) {
        std::istringstream is(form);
        Transition t;
        ASSERT_TRUE(map.readTransition(is, t)) << form;
        EXPECT_EQ(text(t), "0 1 6 <-> 3 1 2");
        EXPECT_TRUE(t.m_isValid);
    }

    MapLogCapture log;
    const Transition before(1, 2, Direction::S, 3, 4, Direction::N);
    for (const char* bad : {"0 1 6 <->3 1 2", "0 1 6 <-> 3", ""}) {
        std::istringstream is(bad);
        Transition t = before;
        EXPECT_FALSE(map.readTransition(is, t)) << bad;
        EXPECT_EQ(text(t), text(before));
    }
    EXPECT_EQ(log.messages(),
              (Messages{"Transition separator invalid", "Transition y coordinate 2 invalid"}));

    std::istringstream sub("\x1a 0 1 6 <-> 3 1 2");
    Transition t;
    EXPECT_FALSE(map.readTransition(sub, t));
    EXPECT_TRUE(sub.eof());
    EXPECT_EQ(log.messages().size(), 2u);
}

TEST(Transition, ValidityAgainstAMapWithItsMessages) {
    Map plain;
    load(plain, PLAIN);
    Map holed;
    load(holed, HOLED);
    MapLogCapture log;
    EXPECT_TRUE(Transition(0, 1, Direction::W, 3, 1, Direction::E).isValid(plain));
    EXPECT_TRUE(Transition(0, 0, Direction::NW, 3, 2, Direction::SE).isValid(plain));
    EXPECT_TRUE(Transition(0, 1, Direction::W, 0, 1, Direction::W).isValid(plain));
    EXPECT_TRUE(Transition(1, 1, Direction::E, 3, 1, Direction::W).isValid(holed));
    EXPECT_TRUE(log.messages().empty());

    EXPECT_FALSE(Transition(1, 1, Direction::W, 3, 1, Direction::E).isValid(plain));
    EXPECT_EQ(log.messages(), (Messages{"Transition checks failed for transition 1 1 6 <-> 3 1 2",
                                        "  Transition not connected via empty location"}));
    log.clear();
    EXPECT_FALSE(Transition(1, 1, Direction::E, 3, 1, Direction::W).isValid(plain));
    EXPECT_EQ(log.messages().size(), 2u);
    log.clear();
    EXPECT_FALSE(Transition(0, 1, Direction::W, 4, 1, Direction::E).isValid(plain));
    EXPECT_EQ(log.messages(), (Messages{"Transition checks failed for transition 0 1 6 <-> 4 1 2",
                                        "  Coordinates are invalid"}));
    log.clear();
    EXPECT_FALSE(Transition(1, 1, Direction::W, 4, 1, Direction::E).isValid(plain));
    EXPECT_EQ(log.messages(), (Messages{"Transition checks failed for transition 1 1 6 <-> 4 1 2",
                                        "  Coordinates are invalid",
                                        "  Transition not connected via empty location"}))
        << "the end on the map is still checked";
    log.clear();
    EXPECT_FALSE(Transition(4294967295u, 0, Direction::E, 0, 3, Direction::S).isValid(plain));
    EXPECT_EQ(log.messages().back(), "  Coordinates are invalid");
    log.clear();
    EXPECT_FALSE(Transition(0, 0, Direction::N, 0, 0, Direction::N).isValid(Map()));
    EXPECT_EQ(log.messages().back(), "  Coordinates are invalid");
}

TEST(MapNeighbourhood, DirectNeighboursStopAtTheRimAndAtHoles) {
    Map map;
    load(map, HOLED);
    EXPECT_EQ(map.getDirectNeighbour(0, 1, Direction::SW), Square::NONE);
    EXPECT_EQ(map.getDirectNeighbour(1, 2, Direction::SW), Square::NONE);
    EXPECT_EQ(map.getDirectNeighbour(2, 0, Direction::SW), static_cast<Square>(1));
    EXPECT_EQ(map.getDirectNeighbour(1, 1, Direction::E), Square::NONE);
    EXPECT_EQ(map.getDirectNeighbour(1, 1, Direction::SE), Square::PLAYER1);
    EXPECT_EQ(map.getDirectNeighbour(2, 1, Direction::S), Square::PLAYER1);

    // The eight neighbours of the centre square (1, 1) clockwise from north.
    const std::vector<Square> around = {Square::EMPTY,   Square::EMPTY,          Square::NONE,
                                        Square::PLAYER1, static_cast<Square>(2), Square::EMPTY,
                                        Square::EMPTY,   Square::EMPTY};
    for (unsigned d = 0; d < 8; ++d) {
        EXPECT_EQ(map.getDirectNeighbour(1, 1, static_cast<Direction>(d)), around[d]) << d;
    }
    // Every direction that leaves a corner leaves the map.
    for (Direction d : {Direction::N, Direction::NE, Direction::NW, Direction::W, Direction::SW}) {
        EXPECT_EQ(map.getDirectNeighbour(0, 0, d), Square::NONE);
    }
    for (Direction d : {Direction::S, Direction::SE, Direction::SW, Direction::E, Direction::NE}) {
        EXPECT_EQ(map.getDirectNeighbour(3, 2, d), Square::NONE);
    }
}

TEST(MapNeighbourhood, PositionsOffTheMapNeverWrapOntoIt) {
    Map map;
    load(map, PLAIN);
    const map_axis far = 4294967295u;
    for (unsigned d = 0; d < 8; ++d) {
        const auto dir = static_cast<Direction>(d);
        EXPECT_EQ(map.getDirectNeighbour(far, 0, dir), Square::NONE);
        EXPECT_EQ(map.getDirectNeighbour(0, far, dir), Square::NONE);
        EXPECT_EQ(map.getDirectNeighbour(far, far, dir), Square::NONE);
        EXPECT_EQ(map.getDirectNeighbour(4, 1, dir), Square::NONE);
        EXPECT_EQ(map.getDirectNeighbour(1, 3, dir), Square::NONE);
    }
    EXPECT_EQ(map.getTile(4, 0), Square::NONE);
    EXPECT_EQ(map.getTile(0, 3), Square::NONE);
    EXPECT_EQ(map.getTile(far, far), Square::NONE);
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
