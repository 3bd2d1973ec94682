// The build-phase rules on small hand-made boards: captures, their stop conditions,
// transitions, override stones, expansion, choice, bonus and inversion squares.
#include <gtest/gtest.h>

#include <vector>

#include "tests/support/BoardProbe.hpp"

using testing_support::BoardProbe;
using testing_support::invariantsHold;

namespace {

constexpr Player P1 = Player::P1;
constexpr Player P2 = Player(2);

// Applies a move after checking that the check mode agrees and changes nothing.
bool play(BoardProbe& board, Player player, unsigned x, unsigned y,
          MoveChoice choice = MoveChoice::NONE) {
    const std::string before = board.grid() + board.playerStatus();
    const bool legal = board.makeMove(player, board.at(x, y), choice, false);
    EXPECT_EQ(board.grid() + board.playerStatus(), before) << "check mode changed the board";
    const bool applied = board.makeMove(player, board.at(x, y), choice, true);
    EXPECT_EQ(legal, applied) << "check and apply mode disagree at " << x << "," << y;
    return applied;
}

struct Step {
    unsigned player, x, y;
    bool legal = true;
    MoveChoice choice = MoveChoice::NONE;
};

// Moves on a map and the board afterwards: squares by colour, then stocks and scores where
// they tell something.
struct Scenario {
    const char* why;
    const char* map;
    std::vector<Step> steps;
    const char* after;
};

const Scenario kScenarios[] = {
    {"a capture flips the line; next to one's own stone nothing is captured",
     "2 0 0 0 1 6 0 2 2 1 2 0",
     {{1, 0, 0}, {2, 5, 0, false}},
     R"(111120
Player 1: 0 bombs, 0 overrides. Score is 4
Player 2: 0 bombs, 0 overrides. Score is 1
)"},
    {"every direction is walked on the board as it was before the move",
     "2 0 0 0 3 5 0 0 1 0 0 1 2 0 2 1 0 0 0 0 0",
     {{1, 2, 1}},
     "00100\n11111\n00000\n"},
    {"an expansion square inside a line is captured like a stone",
     "2 0 0 0 1 4 0 2 x 1",
     {{1, 0, 0}},
     "1111\n"},
    {"leaving (2, 0) northwards continues eastwards from (0, 2)",
     "2 0 0 0 3 3 0 0 2 0 0 2 2 1 0 2 0 0 <-> 0 2 6",
     {{1, 2, 2}},
     "001\n001\n111\n"},
    {"a transition across an interior hole",
     "2 0 0 0 1 4 0 - 2 1 0 0 2 <-> 2 0 6",
     {{1, 0, 0}},
     "1-11\n"},
    {"a line back to its start captures nothing, even as an override on one's own stone",
     "2 1 0 0 1 3 1 2 2 2 0 2 <-> 0 0 6",
     {{1, 0, 0, false}},
     R"(122
Player 1: 0 bombs, 1 overrides. Score is 1
Player 2: 0 bombs, 1 overrides. Score is 2
)"},
    {"overrides on own and other stones cost one each and are needed",
     "2 1 0 0 1 5 1 2 1 2 2",
     {{1, 2, 0}, {1, 4, 0, false}, {2, 1, 0}},
     R"(12222
Player 1: 0 bombs, 0 overrides. Score is 1
Player 2: 0 bombs, 0 overrides. Score is 4
)"},
    {"an expansion square needs an override but no capture",
     "2 1 0 0 1 3 x 0 2",
     {{1, 0, 0}, {2, 0, 0, false}},
     R"(102
Player 1: 0 bombs, 0 overrides. Score is 1
Player 2: 0 bombs, 1 overrides. Score is 1
)"},
    {"no expansion square without an override", "2 0 0 0 1 3 x 2 1", {{1, 0, 0, false}}, "x21\n"},
    {"bonus squares add to the stocks without costing an override",
     "2 1 1 0 3 4 b 2 1 0 - - - - b 2 1 0",
     {{1, 0, 0, true, MoveChoice::BOMB}, {1, 0, 2, true, MoveChoice::OVERRIDE}},
     R"(1110
----
1110
Player 1: 2 bombs, 2 overrides. Score is 6
Player 2: 1 bombs, 1 overrides. Score is 0
)"},
    {"choosing oneself swaps nothing; choosing another swaps all stones after the captures",
     "2 0 0 0 5 4 c 2 1 0 - - - - 2 2 1 1 - - - - c 2 1 0",
     {{1, 0, 0, true, MoveChoice::PLAYER1}, {1, 0, 4, true, MoveChoice(2)}},
     R"(1110
----
2211
----
1110
Player 1: 0 bombs, 0 overrides. Score is 2
Player 2: 0 bombs, 0 overrides. Score is 8
)"},
    {"inversion passes every colour to the next player; then player 1 plays colour 3",
     "3 0 0 0 3 4 i 2 1 0 - - - - 2 3 3 0",
     {{1, 0, 0}, {1, 3, 2, false}, {3, 3, 2}},
     R"(1110
----
2222
Player 1: 0 bombs, 0 overrides. Score is 0
Player 2: 0 bombs, 0 overrides. Score is 3
Player 3: 0 bombs, 0 overrides. Score is 4
)"},
};

} // namespace

TEST(BoardMoves, Scenarios) {
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.why);
        auto board = BoardProbe::fromText(scenario.map);
        ASSERT_TRUE(board);
        for (const Step& s : scenario.steps) {
            EXPECT_EQ(play(*board, Player(s.player), s.x, s.y, s.choice), s.legal) << s.x << s.y;
            EXPECT_TRUE(invariantsHold(*board));
        }
        const bool status = std::string(scenario.after).find("Player") != std::string::npos;
        EXPECT_EQ(board->grid() + (status ? board->playerStatus() : ""), scenario.after);
    }
}

// Walks stop without a capture at edges, holes, free, inversion, choice and bonus squares.
TEST(BoardMoves, WalksStopWithoutCapture) {
    for (const char* row : {"2 2 2", "2 - 1", "2 0 1", "2 i 1", "2 c 1", "2 b 1"}) {
        auto board = BoardProbe::fromText(std::string("2 0 0 0 1 4 0 ") + row);
        ASSERT_TRUE(board);
        const std::string before = board->grid();
        EXPECT_FALSE(play(*board, P1, 0, 0)) << row;
        EXPECT_EQ(board->grid(), before);
    }
}

TEST(BoardMoves, ChoicesAreCheckedOnlyInApplyModeAndFullStocksStayFull) {
    auto board = BoardProbe::fromText("2 0 0 0 5 4 c 2 1 0 - - - - b 2 1 0 - - - - 0 2 1 0");
    ASSERT_TRUE(board);
    const std::string before = board->grid();
    const struct {
        unsigned y;
        MoveChoice choice;
    } refused[] = {
        {0, MoveChoice::NONE},     {0, MoveChoice(3)},       {0, MoveChoice::BOMB},
        {2, MoveChoice::NONE},     {2, MoveChoice::PLAYER1}, {4, MoveChoice::PLAYER1},
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

    // A full stock stays full instead of wrapping round to zero.
    board->state.override_stones[1] = 255;
    EXPECT_TRUE(play(*board, P1, 0, 2, MoveChoice::OVERRIDE));
    EXPECT_EQ(board->getOverrides(P1), 255u);
}

// Only captures and override stones make a placement possible; player numbers that are no
// player, holes and positions off the board are no moves.
TEST(BoardMoves, MovePossibleAndWhatIsNoMove) {
    auto noOverrides = BoardProbe::fromText("2 0 0 0 1 4 1 2 1 2");
    ASSERT_TRUE(noOverrides);
    EXPECT_FALSE(noOverrides->move_possible(P1));
    EXPECT_FALSE(noOverrides->move_possible(P2));
    auto board = BoardProbe::fromText("2 1 0 0 1 5 1 2 1 2 -");
    ASSERT_TRUE(board);
    EXPECT_TRUE(board->move_possible(P1));
    EXPECT_TRUE(board->move_possible(P2));
    EXPECT_FALSE(board->move_possible(Player::P_INVALID));
    EXPECT_FALSE(board->makeMove(Player(9), 0, MoveChoice::NONE, false));
    EXPECT_FALSE(board->makeMove(Player::P_INVALID, 1, MoveChoice::NONE, true));
    EXPECT_FALSE(board->makeMove(P1, 4, MoveChoice::NONE, false));
    EXPECT_FALSE(board->makeMove(P1, 5, MoveChoice::NONE, true));
    EXPECT_FALSE(board->makeMove(P1, INVALID_INDEX, MoveChoice::NONE, false));
    EXPECT_EQ(board->grid() + board->playerStatus(), R"(1212-
Player 1: 0 bombs, 1 overrides. Score is 2
Player 2: 0 bombs, 1 overrides. Score is 2
)");

    // Player 3 has no stones: only the free expansion square is a move for it.
    auto stoneless = BoardProbe::fromText("3 1 0 0 1 4 1 2 x 0");
    ASSERT_TRUE(stoneless);
    EXPECT_TRUE(stoneless->move_possible(Player(3)));
    ASSERT_TRUE(stoneless->makeMove(P1, 2, MoveChoice::NONE, true));
    EXPECT_FALSE(stoneless->move_possible(Player(3)));
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
            for (const Player p : {P1, P2}) {
                if (board->get_square(i) != Square::NONE) {
                    EXPECT_EQ(board->checkCapture(p, i, false),
                              board->testPathBfs(i, board->ptob(p)))
                        << text << " square " << i << " player " << p;
                }
            }
        }
    }
}
