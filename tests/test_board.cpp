// Construction of the board from a map: indexing, the step tables, counters and the
// bookkeeping of set_square.
#include <gtest/gtest.h>

#include "tests/support/BoardProbe.hpp"

using testing_support::BoardProbe;
using testing_support::invariantsHold;

namespace {

// Two players, one override and two bombs each, strength 1, a transition joining the west
// side of the middle row with its east side.
const char* const kExampleMap = "2\n1\n2 1\n3 4\n- 0 0 -\n0 1 2 0\nc 2 1 b\n0 1 6 <-> 3 1 2\n";

} // namespace

TEST(BoardConstruction, CountsStocksMappingsAndIndexingComeFromTheMap) {
    auto board = BoardProbe::fromText(kExampleMap);
    ASSERT_TRUE(board);
    EXPECT_EQ(board->getBoardSize(), 12u);
    EXPECT_EQ(board->getReducedBoardSize(), 10u);
    EXPECT_EQ(board->getStoneCount(Player::P1), 2u);
    EXPECT_EQ(board->getStoneCount(Player(2)), 2u);
    for (unsigned p = 1; p <= 8; ++p) {
        EXPECT_EQ(board->getBombs(Player(p)), 2u) << p;
        EXPECT_EQ(board->getOverrides(Player(p)), 1u) << p;
        EXPECT_EQ(board->ptob(Player(p)), Square(p));
        EXPECT_EQ(board->btop(Square(p)), Player(p));
    }
    EXPECT_EQ(board->getBombs(Player::P_INVALID) + board->getOverrides(Player::P_INVALID), 0u);
    EXPECT_EQ(board->grid(), "-00-\n0120\nc21b\n");
    EXPECT_TRUE(invariantsHold(*board));

    EXPECT_EQ(board->coords2index(3, 1), 7u);
    EXPECT_EQ(board->coords2index(4, 0), INVALID_INDEX);
    EXPECT_EQ(board->coords2index(0, 3), INVALID_INDEX);
    std::uint16_t x = 99;
    std::uint16_t y = 99;
    EXPECT_FALSE(board->index2coords(12, x, y));
    EXPECT_FALSE(board->index2coords(INVALID_INDEX, x, y));
    EXPECT_EQ(x + y, 198u) << "a refused index leaves the coordinates alone";
    ASSERT_TRUE(board->index2coords(7, x, y));
    EXPECT_EQ(x * 10 + y, 31u);
}

// One step from a square: where it lands and which way the line goes on. Transitions keep or
// turn the direction and may join two sides of one square; no ordinary step enters a hole or
// leaves the board, narrow boards have no sideways steps, and holes have entries of their own.
TEST(BoardConstruction, StepTablesFollowNeighboursHolesAndTransitions) {
    const char* const turning = "2 0 0 0 3 3 0 0 0 0 0 0 0 0 0 2 0 0 <-> 0 2 6";
    const char* const ring = "2 0 0 0 1 1 0 0 0 6 <-> 0 0 2";
    const char* const column = "2 0 0 0 3 1 0 0 0";
    const struct {
        const char* map;
        unsigned x, y;
        Direction d;
        int toX, toY;
        Direction then;
    } steps[] = {
        {kExampleMap, 0, 1, Direction::W, 3, 1, Direction::W},
        {kExampleMap, 3, 1, Direction::E, 0, 1, Direction::E},
        {kExampleMap, 1, 1, Direction::NE, 2, 0, Direction::NE},
        {kExampleMap, 0, 0, Direction::E, 1, 0, Direction::E},
        {kExampleMap, 0, 1, Direction::N, -1, 0, Direction::N},
        {kExampleMap, 1, 0, Direction::W, -1, 0, Direction::N},
        {kExampleMap, 1, 0, Direction::N, -1, 0, Direction::N},
        {kExampleMap, 0, 2, Direction::SE, -1, 0, Direction::N},
        {turning, 2, 0, Direction::N, 0, 2, Direction::E},
        {turning, 0, 2, Direction::W, 2, 0, Direction::S},
        {turning, 2, 0, Direction::NE, -1, 0, Direction::N},
        {ring, 0, 0, Direction::W, 0, 0, Direction::W},
        {ring, 0, 0, Direction::E, 0, 0, Direction::E},
        {ring, 0, 0, Direction::N, -1, 0, Direction::N},
        {column, 0, 1, Direction::N, 0, 0, Direction::N},
        {column, 0, 1, Direction::S, 0, 2, Direction::S},
        {column, 0, 0, Direction::N, -1, 0, Direction::N},
        {column, 0, 2, Direction::S, -1, 0, Direction::N},
    };
    for (const auto& step : steps) {
        auto board = BoardProbe::fromText(step.map);
        ASSERT_TRUE(board);
        const index_t from = board->at(step.x, step.y);
        const index_t to = step.toX < 0 ? INVALID_INDEX : board->at(step.toX, step.toY);
        EXPECT_EQ(board->get_transition(from, step.d), to) << step.map << " " << step.x << step.y;
        if (to != INVALID_INDEX) {
            EXPECT_EQ(board->get_nextdirection(from, step.d), step.then) << step.map;
        }
    }
    auto narrow = BoardProbe::fromText(column);
    ASSERT_TRUE(narrow);
    for (index_t i = 0; i < 3; ++i) {
        for (const Direction d : BoardProbe::AllDirections) {
            if (d != Direction::N && d != Direction::S) {
                EXPECT_EQ(narrow->get_transition(i, d), INVALID_INDEX);
            }
        }
    }
}

TEST(BoardConstruction, SetSquareKeepsTheCountsInStepAndDisqualifyOnlySetsTheFlag) {
    auto board = BoardProbe::fromText(kExampleMap);
    ASSERT_TRUE(board);
    board->disqualify(Player::P1);
    EXPECT_TRUE(board->getDisqualified(Player::P1));
    EXPECT_FALSE(board->getDisqualified(Player(2)));
    EXPECT_FALSE(board->occupiedByPlayer(board->at(1, 1)));
    EXPECT_TRUE(board->occupiedByPlayer(board->at(2, 1)));
    EXPECT_EQ(board->grid(), "-00-\n0120\nc21b\n");

    board->set_square(board->at(1, 1), Square::NONE);
    EXPECT_EQ(board->getStoneCount(Player::P1), 1u);
    EXPECT_EQ(board->getReducedBoardSize(), 9u);
    board->set_square(board->at(0, 0), Square(2));
    board->set_square(board->at(2, 1), Square(2));
    EXPECT_EQ(board->getStoneCount(Player(2)), 3u);
    EXPECT_EQ(board->getReducedBoardSize(), 10u);
    board->set_square(board->at(3, 2), Square::EMPTY);
    EXPECT_EQ(board->getReducedBoardSize(), 10u);
    EXPECT_TRUE(invariantsHold(*board));
}
