// Bomb throws on small hand-made boards: the blast radius, shielding by holes, blasts through
// transitions, stocks and counts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/BoardProbe.hpp"

using testing_support::BoardProbe;

namespace {

constexpr Player P1 = Player::P1;
constexpr Player P2 = static_cast<Player>(2);

// An open board of 5 x 5 free squares with the given bomb strength and one bomb each.
std::string openBoard(unsigned strength) {
    return "2 0 1 " + std::to_string(strength) +
           " 5 5\n0 0 0 0 0\n0 0 0 0 0\n0 0 0 0 0\n0 0 0 0 0\n0 0 0 0 0\n";
}

// The squares destroyed by a throw at (x, y).
unsigned destroyedBy(const std::string& mapText, unsigned x, unsigned y) {
    auto board = BoardProbe::fromText(mapText);
    if (!board) {
        return 0;
    }
    const auto before = board->getReducedBoardSize();
    EXPECT_TRUE(board->throwBomb(P1, board->at(x, y), true));
    EXPECT_TRUE(board->invariantsHold());
    return before - board->getReducedBoardSize();
}

} // namespace

TEST(BoardBomb, RadiusIsCutOffAtTheEdges) {
    EXPECT_EQ(destroyedBy(openBoard(0), 2, 2), 1u);
    EXPECT_EQ(destroyedBy(openBoard(1), 0, 0), 4u);
    EXPECT_EQ(destroyedBy(openBoard(1), 4, 2), 6u);
    EXPECT_EQ(destroyedBy(openBoard(1), 2, 2), 9u);
    EXPECT_EQ(destroyedBy(openBoard(2), 2, 2), 25u);
    EXPECT_EQ(destroyedBy(openBoard(255), 0, 4), 25u);

    auto board = BoardProbe::fromText(openBoard(1));
    ASSERT_TRUE(board);
    ASSERT_TRUE(board->throwBomb(P2, board->at(1, 3), true));
    EXPECT_EQ(board->grid(), "00000\n00000\n---00\n---00\n---00\n");
    EXPECT_EQ(board->getBombs(P2), 0u);
    EXPECT_EQ(board->getBombs(P1), 1u);
}

TEST(BoardBomb, HolesShieldWhatOnlyALongerWayReaches) {
    const char* const shielded = R"(2 0 1 %u 3 5
0 0 0 0 0
- - 0 0 0
0 0 0 0 0
)";
    auto withStrength = [&](unsigned strength) {
        std::string text(shielded);
        text.replace(text.find("%u"), 2, std::to_string(strength));
        return BoardProbe::fromText(text);
    };
    auto two = withStrength(2);
    ASSERT_TRUE(two);
    ASSERT_TRUE(two->throwBomb(P1, two->at(0, 0), true));
    EXPECT_EQ(two->grid(), "---00\n---00\n00000\n");
    // With one step more the blast goes round the holes, but not yet back to (0, 2).
    auto three = withStrength(3);
    ASSERT_TRUE(three);
    ASSERT_TRUE(three->throwBomb(P1, three->at(0, 0), true));
    EXPECT_EQ(three->grid(), "----0\n----0\n0---0\n");
}

TEST(BoardBomb, BlastsCrossTransitions) {
    // The west side of (0, 1) is joined to the east side of (4, 1).
    auto board = BoardProbe::fromText(R"(2 0 1 1 3 5
0 0 0 0 0
0 0 0 0 0
0 0 0 0 0
0 1 6 <-> 4 1 2
)");
    ASSERT_TRUE(board);
    ASSERT_TRUE(board->throwBomb(P1, board->at(0, 1), true));
    EXPECT_EQ(board->grid(), "--000\n--00-\n--000\n");
    EXPECT_TRUE(board->invariantsHold());
}

TEST(BoardBomb, StonesOfAnyOwnerAndSpecialSquaresAreDestroyedAlike) {
    auto board = BoardProbe::fromText(R"(2 0 1 1 3 3
1 2 c
x 1 i
b 2 0
)");
    ASSERT_TRUE(board);
    ASSERT_TRUE(board->throwBomb(P1, board->at(0, 0), true));
    EXPECT_EQ(board->grid(), "--c\n--i\nb20\n");
    EXPECT_EQ(board->getStoneCount(P1), 0u);
    EXPECT_EQ(board->getStoneCount(P2), 1u);
    EXPECT_EQ(board->getReducedBoardSize(), 5u);
    EXPECT_TRUE(board->invariantsHold());
}

TEST(BoardBomb, RefusedThrowsAndCheckModeChangeNothing) {
    auto board = BoardProbe::fromText("2 0 1 1 1 4 - 1 2 0");
    ASSERT_TRUE(board);
    EXPECT_FALSE(board->throwBomb(P1, board->at(0, 0), false));
    EXPECT_FALSE(board->throwBomb(P1, board->at(0, 0), true));
    EXPECT_FALSE(board->throwBomb(P1, INVALID_INDEX, true));
    EXPECT_FALSE(board->throwBomb(P1, 4, true));
    EXPECT_FALSE(board->throwBomb(Player::P_INVALID, 1, true));
    EXPECT_TRUE(board->throwBomb(P1, 1, false));
    EXPECT_EQ(board->getBombs(P1), 1u);
    EXPECT_EQ(board->grid(), "-120\n");
    // The thrower's own stone is a target like any other.
    EXPECT_TRUE(board->throwBomb(P1, 1, true));
    EXPECT_EQ(board->grid(), "---0\n");
    EXPECT_FALSE(board->throwBomb(P1, 3, false));
    EXPECT_FALSE(board->throwBomb(P1, 3, true));
    EXPECT_EQ(board->getBombs(P1), 0u);
    EXPECT_FALSE(board->bomb_possible(P1));
    EXPECT_TRUE(board->bomb_possible(P2));
}

TEST(BoardBomb, NoBombIsPossibleOnABoardOfHoles) {
    auto board = BoardProbe::fromText("2 0 3 1 2 2 0 0 0 0");
    ASSERT_TRUE(board);
    EXPECT_TRUE(board->bomb_possible(P1));
    ASSERT_TRUE(board->throwBomb(P1, 0, true));
    EXPECT_EQ(board->getReducedBoardSize(), 0u);
    EXPECT_FALSE(board->bomb_possible(P1));
    EXPECT_FALSE(board->bomb_possible(P2));
    EXPECT_FALSE(board->bomb_possible(Player::P_INVALID));
}

TEST(BoardBomb, RecursiveBlastWithPowerRadiusPlusOneMatches) {
    auto iterative = BoardProbe::fromText(openBoard(2));
    auto recursive = BoardProbe::fromText(openBoard(2));
    ASSERT_TRUE(iterative && recursive);
    iterative->set_square(iterative->at(1, 1), Square::NONE);
    recursive->set_square(recursive->at(1, 1), Square::NONE);
    ASSERT_TRUE(iterative->throwBomb(P1, iterative->at(0, 0), true));
    std::vector<int> visited(recursive->getBoardSize(), 0);
    recursive->rec_bomb(recursive->at(0, 0), 3, visited.data());
    EXPECT_EQ(recursive->grid(), iterative->grid());
    EXPECT_EQ(iterative->grid(), "---00\n---00\n--000\n00000\n00000\n");
}
