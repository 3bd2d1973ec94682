// Construction of the board from a map: indexing, the step tables, counters and the
// bookkeeping of set_square.
#include <gtest/gtest.h>

#include "tests/support/BoardProbe.hpp"

using testing_support::BoardProbe;

namespace {

// Two players, one override and two bombs each, strength 1, a transition joining the west
// side of the middle row with its east side.
const char* const kExampleMap = R"(2
1
2 1
3 4
- 0 0 -
0 1 2 0
c 2 1 b
0 1 6 <-> 3 1 2
)";

} // namespace

TEST(BoardConstruction, CountsStocksAndMappingsComeFromTheMap) {
    auto board = BoardProbe::fromText(kExampleMap);
    ASSERT_TRUE(board);
    EXPECT_EQ(board->getBoardSize(), 12u);
    EXPECT_EQ(board->getReducedBoardSize(), 10u);
    EXPECT_EQ(board->getStoneCount(Player::P1), 2u);
    EXPECT_EQ(board->getStoneCount(static_cast<Player>(2)), 2u);
    for (unsigned p = 1; p <= 8; ++p) {
        const auto player = static_cast<Player>(p);
        EXPECT_EQ(board->getBombs(player), 2u) << p;
        EXPECT_EQ(board->getOverrides(player), 1u) << p;
        EXPECT_FALSE(board->getDisqualified(player)) << p;
        EXPECT_EQ(board->ptob(player), static_cast<Square>(p));
        EXPECT_EQ(board->btop(static_cast<Square>(p)), player);
    }
    EXPECT_EQ(board->getBombs(Player::P_INVALID), 0u);
    EXPECT_EQ(board->getOverrides(Player::P_INVALID), 0u);
    EXPECT_EQ(board->state.stoneCount[0], 0u);
    EXPECT_EQ(board->grid(), "-00-\n0120\nc21b\n");
    EXPECT_TRUE(board->invariantsHold());
}

TEST(BoardConstruction, IndexingRejectsPositionsOffTheBoard) {
    auto board = BoardProbe::fromText(kExampleMap);
    ASSERT_TRUE(board);
    EXPECT_EQ(board->coords2index(3, 1), 7u);
    EXPECT_EQ(board->coords2index(4, 0), INVALID_INDEX);
    EXPECT_EQ(board->coords2index(0, 3), INVALID_INDEX);
    std::uint16_t x = 99;
    std::uint16_t y = 99;
    EXPECT_FALSE(board->index2coords(12, x, y));
    EXPECT_FALSE(board->index2coords(INVALID_INDEX, x, y));
    EXPECT_EQ(x, 99u);
    EXPECT_EQ(y, 99u);
    ASSERT_TRUE(board->index2coords(7, x, y));
    EXPECT_EQ(x, 3u);
    EXPECT_EQ(y, 1u);
    EXPECT_TRUE(board->valid_index(0));
    EXPECT_FALSE(board->valid_index(12));
}

TEST(BoardConstruction, StepTablesFollowNeighboursHolesAndTransitions) {
    auto board = BoardProbe::fromText(kExampleMap);
    ASSERT_TRUE(board);
    const index_t west = board->at(0, 1);
    const index_t east = board->at(3, 1);
    // Through the transition a line keeps going the way it left.
    EXPECT_EQ(board->get_transition(west, Direction::W), east);
    EXPECT_EQ(board->get_nextdirection(west, Direction::W), Direction::W);
    EXPECT_EQ(board->get_transition(east, Direction::E), west);
    EXPECT_EQ(board->get_nextdirection(east, Direction::E), Direction::E);
    // No ordinary step leads into a hole or off the board.
    EXPECT_EQ(board->get_transition(west, Direction::N), INVALID_INDEX);
    EXPECT_EQ(board->get_transition(board->at(1, 0), Direction::W), INVALID_INDEX);
    EXPECT_EQ(board->get_transition(board->at(1, 0), Direction::N), INVALID_INDEX);
    EXPECT_EQ(board->get_transition(board->at(0, 2), Direction::SE), INVALID_INDEX);
    EXPECT_EQ(board->get_transition(board->at(1, 1), Direction::NE), board->at(2, 0));
    EXPECT_EQ(board->get_nextdirection(board->at(1, 1), Direction::NE), Direction::NE);
    // Holes have entries of their own.
    EXPECT_EQ(board->get_transition(board->at(0, 0), Direction::E), board->at(1, 0));
}

TEST(BoardConstruction, TransitionsChangeTheDirectionOfALine) {
    // The north side of (2, 0) is joined to the west side of (0, 2).
    auto board = BoardProbe::fromText(R"(2 0 0 0 3 3
0 0 0
0 0 0
0 0 0
2 0 0 <-> 0 2 6
)");
    ASSERT_TRUE(board);
    EXPECT_EQ(board->get_transition(board->at(2, 0), Direction::N), board->at(0, 2));
    EXPECT_EQ(board->get_nextdirection(board->at(2, 0), Direction::N), Direction::E);
    EXPECT_EQ(board->get_transition(board->at(0, 2), Direction::W), board->at(2, 0));
    EXPECT_EQ(board->get_nextdirection(board->at(0, 2), Direction::W), Direction::S);
    EXPECT_EQ(board->get_transition(board->at(2, 0), Direction::NE), INVALID_INDEX);
}

TEST(BoardConstruction, NarrowBoardsHaveNoSidewaysSteps) {
    auto single = BoardProbe::fromText("2 0 0 0 1 1 0");
    ASSERT_TRUE(single);
    for (const Direction d : BoardProbe::AllDirections) {
        EXPECT_EQ(single->get_transition(0, d), INVALID_INDEX);
    }
    auto column = BoardProbe::fromText("2 0 0 0 3 1 0 0 0");
    ASSERT_TRUE(column);
    for (index_t i = 0; i < 3; ++i) {
        for (const Direction d : BoardProbe::AllDirections) {
            if (d != Direction::N && d != Direction::S) {
                EXPECT_EQ(column->get_transition(i, d), INVALID_INDEX);
            }
        }
    }
    EXPECT_EQ(column->get_transition(1, Direction::N), 0u);
    EXPECT_EQ(column->get_transition(1, Direction::S), 2u);
    EXPECT_EQ(column->get_transition(0, Direction::N), INVALID_INDEX);
    EXPECT_EQ(column->get_transition(2, Direction::S), INVALID_INDEX);
}

TEST(BoardConstruction, SetSquareKeepsTheCountsInStep) {
    auto board = BoardProbe::fromText(kExampleMap);
    ASSERT_TRUE(board);
    const index_t stone = board->at(1, 1);
    board->set_square(stone, Square::NONE);
    EXPECT_EQ(board->getStoneCount(Player::P1), 1u);
    EXPECT_EQ(board->getReducedBoardSize(), 9u);
    board->set_square(board->at(0, 0), static_cast<Square>(2));
    EXPECT_EQ(board->getStoneCount(static_cast<Player>(2)), 3u);
    EXPECT_EQ(board->getReducedBoardSize(), 10u);
    board->set_square(board->at(2, 1), static_cast<Square>(2));
    EXPECT_EQ(board->getStoneCount(static_cast<Player>(2)), 3u);
    board->set_square(board->at(3, 2), Square::EMPTY);
    EXPECT_EQ(board->getReducedBoardSize(), 10u);
    EXPECT_TRUE(board->invariantsHold());
}

TEST(BoardConstruction, DisqualifyOnlySetsTheFlag) {
    auto board = BoardProbe::fromText(kExampleMap);
    ASSERT_TRUE(board);
    board->disqualify(Player::P1);
    EXPECT_TRUE(board->getDisqualified(Player::P1));
    EXPECT_FALSE(board->getDisqualified(static_cast<Player>(2)));
    EXPECT_EQ(board->getStoneCount(Player::P1), 2u);
    EXPECT_FALSE(board->occupiedByPlayer(board->at(1, 1)));
    EXPECT_TRUE(board->occupiedByPlayer(board->at(2, 1)));
    EXPECT_EQ(board->grid(), "-00-\n0120\nc21b\n");
}
