// The build-phase rules on small hand-made boards: captures, their stop conditions,
// transitions, override stones, expansion, choice, bonus and inversion squares.
#include <gtest/gtest.h>

#include "tests/support/BoardProbe.hpp"

using testing_support::BoardProbe;

namespace {

constexpr Player P1 = Player::P1;
constexpr Player P2 = static_cast<Player>(2);
constexpr Player P3 = static_cast<Player>(3);

// Applies a move and checks that the check mode agreed beforehand.
bool play(BoardProbe& board, Player player, unsigned x, unsigned y,
          MoveChoice choice = MoveChoice::NONE) {
    const bool legal = board.makeMove(player, board.at(x, y), choice, false);
    const bool applied = board.makeMove(player, board.at(x, y), choice, true);
    EXPECT_EQ(legal, applied) << "check and apply mode disagree at " << x << "," << y;
    return applied;
}

} // namespace

TEST(BoardMoves, CapturesFlipTheLineAndCheckModeChangesNothing) {
    auto board = BoardProbe::fromText("2 0 0 0 1 6 0 2 2 1 2 0");
    ASSERT_TRUE(board);
    EXPECT_TRUE(board->makeMove(P1, board->at(0, 0), MoveChoice::NONE, false));
    EXPECT_EQ(board->grid(), "022120\n");
    EXPECT_TRUE(play(*board, P1, 0, 0));
    EXPECT_EQ(board->grid(), "111120\n");
    EXPECT_EQ(board->getStoneCount(P1), 4u);
    EXPECT_EQ(board->getStoneCount(P2), 1u);
    // Next to one's own stone with nothing between captures nothing.
    EXPECT_FALSE(play(*board, P2, 5, 0));
    EXPECT_TRUE(board->invariantsHold());

    // Every direction is walked on the board as it was before the move.
    auto both = BoardProbe::fromText(R"(2 0 0 0 3 5
0 0 1 0 0
1 2 0 2 1
0 0 0 0 0
)");
    ASSERT_TRUE(both);
    EXPECT_TRUE(play(*both, P1, 2, 1));
    EXPECT_EQ(both->grid(), "00100\n11111\n00000\n");
    EXPECT_TRUE(both->invariantsHold());
}

TEST(BoardMoves, WalksStopWithoutCaptureAtEdgesHolesAndFreeSquares) {
    // Rows of holes keep the lines of the test rows apart.
    auto board = BoardProbe::fromText(R"(2 0 0 0 13 4
0 2 2 2
- - - -
0 2 - 1
- - - -
0 2 0 1
- - - -
0 2 i 1
- - - -
0 2 c 1
- - - -
0 2 b 1
- - - -
0 2 x 1
)");
    ASSERT_TRUE(board);
    for (unsigned y = 0; y <= 10; y += 2) {
        EXPECT_FALSE(play(*board, P1, 0, y)) << "row " << y;
    }
    // An expansion square inside a line is captured like a stone.
    EXPECT_TRUE(play(*board, P1, 0, 12));
    EXPECT_EQ(board->grid(), R"(0222
----
02-1
----
0201
----
02i1
----
02c1
----
02b1
----
1111
)");
    EXPECT_TRUE(board->invariantsHold());
}

TEST(BoardMoves, LinesFollowTransitionsAndTurnThere) {
    // Leaving (2, 0) northwards continues eastwards from (0, 2).
    auto board = BoardProbe::fromText(R"(2 0 0 0 3 3
0 0 2
0 0 2
2 1 0
2 0 0 <-> 0 2 6
)");
    ASSERT_TRUE(board);
    EXPECT_TRUE(play(*board, P1, 2, 2));
    EXPECT_EQ(board->grid(), "001\n001\n111\n");
    EXPECT_TRUE(board->invariantsHold());

    // A transition across an interior hole: the east side of (0, 0) is joined to the west side
    // of (2, 0), so the line jumps the hole and goes on eastwards.
    auto jump = BoardProbe::fromText("2 0 0 0 1 4 0 - 2 1 0 0 2 <-> 2 0 6");
    ASSERT_TRUE(jump);
    EXPECT_EQ(jump->get_transition(0, Direction::E), 2u);
    EXPECT_EQ(jump->get_nextdirection(0, Direction::E), Direction::E);
    EXPECT_EQ(jump->get_transition(2, Direction::W), 0u);
    EXPECT_EQ(jump->get_nextdirection(2, Direction::W), Direction::W);
    EXPECT_TRUE(play(*jump, P1, 0, 0));
    EXPECT_EQ(jump->grid(), "1-11\n");
}

TEST(BoardMoves, ALineBackToItsStartCapturesNothing) {
    // The row is closed into a ring; the opponent's stones lead back to the placed square.
    auto board = BoardProbe::fromText("2 1 0 0 1 3 1 2 2 2 0 2 <-> 0 0 6");
    ASSERT_TRUE(board);
    // Even an override on one's own stone: the walk ends at its own start, not at a stone.
    EXPECT_FALSE(board->makeMove(P1, board->at(0, 0), MoveChoice::NONE, false));
    EXPECT_FALSE(board->makeMove(P1, board->at(0, 0), MoveChoice::NONE, true));
    EXPECT_EQ(board->getOverrides(P1), 1u);
    EXPECT_EQ(board->grid(), "122\n");
}

TEST(BoardMoves, OverrideStonesArePaidForAndNeeded) {
    auto board = BoardProbe::fromText("2 1 0 0 1 5 1 2 1 2 2");
    ASSERT_TRUE(board);
    // An override on one's own stone that captures: legal, costs one, its square stays counted.
    EXPECT_TRUE(play(*board, P1, 2, 0));
    EXPECT_EQ(board->grid(), "11122\n");
    EXPECT_EQ(board->getOverrides(P1), 0u);
    EXPECT_EQ(board->getStoneCount(P1), 3u);
    // Without override stones no placement on a stone, however much it would capture.
    EXPECT_FALSE(play(*board, P1, 4, 0));
    // Player 2 still has one: an override on player 1's stone that captures.
    EXPECT_TRUE(play(*board, P2, 1, 0));
    EXPECT_EQ(board->grid(), "12222\n");
    EXPECT_EQ(board->getOverrides(P2), 0u);
    EXPECT_TRUE(board->invariantsHold());
}

TEST(BoardMoves, ExpansionSquaresNeedAnOverrideButNoCapture) {
    auto withOverride = BoardProbe::fromText("2 1 0 0 1 3 x 0 2");
    ASSERT_TRUE(withOverride);
    EXPECT_TRUE(play(*withOverride, P1, 0, 0));
    EXPECT_EQ(withOverride->grid(), "102\n");
    EXPECT_EQ(withOverride->getOverrides(P1), 0u);
    EXPECT_FALSE(play(*withOverride, P2, 0, 0));

    auto without = BoardProbe::fromText("2 0 0 0 1 3 x 2 1");
    ASSERT_TRUE(without);
    EXPECT_FALSE(play(*without, P1, 0, 0));
    EXPECT_EQ(without->grid(), "x21\n");
}

TEST(BoardMoves, ChoicesAreCheckedOnlyInApplyMode) {
    auto board = BoardProbe::fromText(R"(2 0 0 0 5 4
c 2 1 0
- - - -
b 2 1 0
- - - -
0 2 1 0
)");
    ASSERT_TRUE(board);
    const std::string before = board->grid();
    const struct {
        unsigned y;
        MoveChoice choice;
    } refused[] = {
        {0, MoveChoice::NONE},     {0, static_cast<MoveChoice>(3)}, {0, MoveChoice::BOMB},
        {2, MoveChoice::NONE},     {2, MoveChoice::PLAYER1},        {4, MoveChoice::PLAYER1},
        {4, MoveChoice::OVERRIDE},
    };
    for (const auto& move : refused) {
        const index_t index = board->at(0, move.y);
        EXPECT_TRUE(board->makeMove(P1, index, move.choice, false)) << move.y;
        EXPECT_FALSE(board->makeMove(P1, index, move.choice, true)) << move.y;
        EXPECT_FALSE(board->checkChoice(index, move.choice)) << move.y;
    }
    EXPECT_EQ(board->grid(), before);
    EXPECT_FALSE(board->checkChoice(INVALID_INDEX, MoveChoice::NONE));
    EXPECT_TRUE(board->invariantsHold());
}

TEST(BoardMoves, BonusSquaresAddToTheStocksWithoutCostingAnOverride) {
    auto board = BoardProbe::fromText(R"(2 1 1 0 3 4
b 2 1 0
- - - -
b 2 1 0
)");
    ASSERT_TRUE(board);
    EXPECT_TRUE(play(*board, P1, 0, 0, MoveChoice::BOMB));
    EXPECT_EQ(board->getBombs(P1), 2u);
    EXPECT_EQ(board->getOverrides(P1), 1u);
    EXPECT_TRUE(play(*board, P1, 0, 2, MoveChoice::OVERRIDE));
    EXPECT_EQ(board->getBombs(P1), 2u);
    EXPECT_EQ(board->getOverrides(P1), 2u);
    EXPECT_EQ(board->getBombs(P2), 1u);
    EXPECT_EQ(board->grid(), "1110\n----\n1110\n");

    // A full stock stays full instead of wrapping round to zero.
    auto full = BoardProbe::fromText("2 0 0 0 1 4 b 2 1 0");
    ASSERT_TRUE(full);
    full->state.override_stones[1] = 255;
    EXPECT_TRUE(play(*full, P1, 0, 0, MoveChoice::OVERRIDE));
    EXPECT_EQ(full->getOverrides(P1), 255u);
}

TEST(BoardMoves, AChoiceSwapsAllStonesAfterTheCaptures) {
    auto board = BoardProbe::fromText(R"(2 0 0 0 5 4
c 2 1 0
- - - -
2 2 1 1
- - - -
c 2 1 0
)");
    ASSERT_TRUE(board);
    // Choosing oneself swaps nothing: player 1 has 3 + 2 + 1 stones, player 2 has 2 + 1.
    EXPECT_TRUE(play(*board, P1, 0, 0, MoveChoice::PLAYER1));
    EXPECT_EQ(board->getStoneCount(P1), 6u);
    EXPECT_EQ(board->getStoneCount(P2), 3u);
    EXPECT_TRUE(play(*board, P1, 0, 4, static_cast<MoveChoice>(2)));
    // 3 + 2 + 3 = 8 stones of colour 1 now belong to player 2; colour 2 to player 1.
    EXPECT_EQ(board->getStoneCount(P1), 2u);
    EXPECT_EQ(board->getStoneCount(P2), 8u);
    EXPECT_EQ(board->ptob(P1), static_cast<Square>(2));
    EXPECT_EQ(board->btop(Square::PLAYER1), P2);
    // The stones themselves are not repainted.
    EXPECT_EQ(board->grid(), "1110\n----\n2211\n----\n1110\n");
    EXPECT_TRUE(board->invariantsHold());
}

TEST(BoardMoves, InversionPassesEveryColourToTheNextPlayer) {
    auto board = BoardProbe::fromText(R"(3 0 0 0 3 4
i 2 1 0
- - - -
2 3 3 0
)");
    ASSERT_TRUE(board);
    EXPECT_TRUE(play(*board, P1, 0, 0));
    // Before the inversion: colour 1 has 3 stones, colour 2 one, colour 3 two.
    EXPECT_EQ(board->getStoneCount(P2), 3u);
    EXPECT_EQ(board->getStoneCount(P3), 1u);
    EXPECT_EQ(board->getStoneCount(P1), 2u);
    EXPECT_EQ(board->btop(Square::PLAYER1), P2);
    EXPECT_EQ(board->ptob(P1), static_cast<Square>(3));
    EXPECT_TRUE(board->invariantsHold());
    // At (3, 2) player 1, now of colour 3, captures nothing; player 3, of colour 2, captures
    // the line of colour 3.
    EXPECT_FALSE(play(*board, P1, 3, 2));
    EXPECT_TRUE(play(*board, P3, 3, 2));
    EXPECT_EQ(board->grid(), "1110\n----\n2222\n");
    EXPECT_TRUE(board->invariantsHold());
}

TEST(BoardMoves, MovePossibleCountsCapturesAndOverridesOnly) {
    auto noOverrides = BoardProbe::fromText("2 0 0 0 1 4 1 2 1 2");
    ASSERT_TRUE(noOverrides);
    EXPECT_FALSE(noOverrides->move_possible(P1));
    EXPECT_FALSE(noOverrides->move_possible(P2));
    auto withOverrides = BoardProbe::fromText("2 1 0 0 1 4 1 2 1 2");
    ASSERT_TRUE(withOverrides);
    EXPECT_TRUE(withOverrides->move_possible(P1));
    EXPECT_TRUE(withOverrides->move_possible(P2));
    EXPECT_EQ(withOverrides->grid(), "1212\n");
    EXPECT_EQ(withOverrides->getOverrides(P1), 1u);
    // A player number that is no player places nothing.
    EXPECT_FALSE(withOverrides->move_possible(Player::P_INVALID));
    EXPECT_FALSE(withOverrides->makeMove(static_cast<Player>(9), 0, MoveChoice::NONE, false));
    auto empty = BoardProbe::fromText("2 0 0 0 1 3 0 1 2");
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->makeMove(Player::P_INVALID, 0, MoveChoice::NONE, true));
    EXPECT_EQ(empty->grid(), "012\n");
}

TEST(BoardMoves, HolesAndPositionsOffTheBoardAreNoMoves) {
    auto board = BoardProbe::fromText("2 1 0 0 1 4 - 2 1 0");
    ASSERT_TRUE(board);
    EXPECT_FALSE(board->makeMove(P1, board->at(0, 0), MoveChoice::NONE, false));
    EXPECT_FALSE(board->makeMove(P1, INVALID_INDEX, MoveChoice::NONE, false));
    EXPECT_FALSE(board->makeMove(P1, 4, MoveChoice::NONE, true));
    EXPECT_TRUE(board->makeMove(P2, 3, MoveChoice::NONE, false));
}

TEST(BoardMoves, BreadthFirstWalksAgreeWithCaptureWalksWhereTransitionsLeadBack) {
    // The west and north sides of (0, 0) are joined to each other: both first steps from
    // (0, 0) come straight back to it. Player 1 at (0, 0), an override on player 2's stone,
    // has only its own stone right next to it.
    auto back = BoardProbe::fromText("2 1 0 0 2 1 2 1 0 0 6 <-> 0 0 0");
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->checkCapture(P1, 0, false));
    EXPECT_FALSE(back->testPathBfs(0, Square::PLAYER1));
    EXPECT_FALSE(back->makeMove(P1, 0, MoveChoice::NONE, false));

    // Rings, turns and holes crossed by transitions: both ways agree on every square.
    const char* const maps[] = {
        "2 1 0 0 1 3 1 2 2 2 0 2 <-> 0 0 6",
        "2 1 0 0 3 3 0 0 2 0 0 2 2 1 0 2 0 0 <-> 0 2 6",
        "2 1 0 0 2 2 2 1 1 2 0 0 6 <-> 0 0 0 1 1 2 <-> 1 1 4",
        "2 1 0 0 1 4 1 - 2 1 0 0 2 <-> 2 0 6",
    };
    for (const char* text : maps) {
        auto board = BoardProbe::fromText(text);
        ASSERT_TRUE(board) << text;
        for (index_t i = 0; i < board->getBoardSize(); ++i) {
            if (board->get_square(i) == Square::NONE) {
                continue;
            }
            for (const Player p : {P1, P2}) {
                EXPECT_EQ(board->checkCapture(p, i, false), board->testPathBfs(i, board->ptob(p)))
                    << text << " square " << i << " player " << static_cast<unsigned>(p);
            }
        }
    }
}
