// Bomb throws on small hand-made boards: the blast radius, shielding by holes, blasts through
// transitions, stocks and counts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/BoardProbe.hpp"

using testing_support::BoardProbe;
using testing_support::invariantsHold;

namespace {

constexpr Player P1 = Player::P1;
constexpr Player P2 = Player(2);

// An open board of 5 x 5 free squares with the given bomb strength and one bomb each.
std::string openBoard(unsigned strength) {
    std::string text = "2 0 1 " + std::to_string(strength) + " 5 5";
    for (int i = 0; i < 25; ++i) {
        text += " 0";
    }
    return text;
}

// The board after a throw of player 1 at (x, y).
std::string afterThrow(const std::string& mapText, unsigned x, unsigned y) {
    auto board = BoardProbe::fromText(mapText);
    if (!board) {
        return "";
    }
    EXPECT_TRUE(board->throwBomb(P1, board->at(x, y), true));
    EXPECT_TRUE(invariantsHold(*board));
    return board->grid();
}

} // namespace

// Corners, edges and the middle cut the square of the radius off; holes shield what only a
// longer way reaches; blasts cross transitions; stones of any owner and special squares go
// alike, the thrower's own included.
TEST(BoardBomb, BlastShapes) {
    const char* const shielded = "2 0 1 %u 3 5 0 0 0 0 0 - - 0 0 0 0 0 0 0 0";
    auto strength = [](std::string text, unsigned s) {
        return text.replace(text.find("%u"), 2, std::to_string(s));
    };
    const struct {
        std::string map;
        unsigned x, y;
        const char* after;
    } throws[] = {
        {openBoard(0), 2, 2, "00000\n00000\n00-00\n00000\n00000\n"},
        {openBoard(1), 0, 0, "--000\n--000\n00000\n00000\n00000\n"},
        {openBoard(1), 4, 2, "00000\n000--\n000--\n000--\n00000\n"},
        {openBoard(1), 1, 3, "00000\n00000\n---00\n---00\n---00\n"},
        {openBoard(2), 2, 2, "-----\n-----\n-----\n-----\n-----\n"},
        {openBoard(255), 0, 4, "-----\n-----\n-----\n-----\n-----\n"},
        {strength(shielded, 2), 0, 0, "---00\n---00\n00000\n"},
        // With one step more the blast goes round the holes, but not yet back to (0, 2).
        {strength(shielded, 3), 0, 0, "----0\n----0\n0---0\n"},
        // The west side of (0, 1) is joined to the east side of (4, 1).
        {"2 0 1 1 3 5 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 6 <-> 4 1 2", 0, 1,
         "--000\n--00-\n--000\n"},
        {"2 0 1 1 3 3 1 2 c x 1 i b 2 0", 0, 0, "--c\n--i\nb20\n"},
    };
    for (const auto& t : throws) {
        EXPECT_EQ(afterThrow(t.map, t.x, t.y), t.after) << t.map;
    }
}

TEST(BoardBomb, StocksCountsAndRefusedThrows) {
    auto board = BoardProbe::fromText("2 0 1 1 1 4 - 1 2 0");
    ASSERT_TRUE(board);
    EXPECT_FALSE(board->throwBomb(P1, board->at(0, 0), false));
    EXPECT_FALSE(board->throwBomb(P1, board->at(0, 0), true));
    EXPECT_FALSE(board->throwBomb(P1, INVALID_INDEX, true));
    EXPECT_FALSE(board->throwBomb(P1, 4, true));
    EXPECT_FALSE(board->throwBomb(Player::P_INVALID, 1, true));
    EXPECT_TRUE(board->throwBomb(P1, 1, false));
    EXPECT_EQ(board->grid() + board->playerStatus(), R"(-120
Player 1: 1 bombs, 0 overrides. Score is 1
Player 2: 1 bombs, 0 overrides. Score is 1
)");
    EXPECT_TRUE(board->throwBomb(P1, 1, true));
    EXPECT_FALSE(board->throwBomb(P1, 3, false));
    EXPECT_FALSE(board->throwBomb(P1, 3, true));
    EXPECT_EQ(board->grid() + board->playerStatus(), R"(---0
Player 1: 0 bombs, 0 overrides. Score is 0
Player 2: 1 bombs, 0 overrides. Score is 0
)");
    EXPECT_FALSE(board->bomb_possible(P1));
    EXPECT_TRUE(board->bomb_possible(P2));
    ASSERT_TRUE(board->throwBomb(P2, 3, true));
    EXPECT_EQ(board->getReducedBoardSize(), 0u);

    // On a board of holes no bomb is possible, whatever the stock.
    auto holes = BoardProbe::fromText("2 0 3 1 2 2 0 0 0 0");
    ASSERT_TRUE(holes);
    EXPECT_TRUE(holes->bomb_possible(P1));
    ASSERT_TRUE(holes->throwBomb(P1, 0, true));
    EXPECT_FALSE(holes->bomb_possible(P1));
    EXPECT_FALSE(holes->bomb_possible(P2));
    EXPECT_FALSE(holes->bomb_possible(Player::P_INVALID));
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
