// Board rendering compared as text, with colours off and on (escape bytes written as ~ in the
// expected texts), before and after an inversion with a disqualified player.
#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "common/colors.hpp"
#include "tests/support/GameSupport.hpp"

using testing_support::mapFromText;

namespace {

// Player 1's only move takes the inversion square; afterwards player 2 owns the line.
const char* const inversionMap = "3\n0\n1 1\n3 4\ni 2 1 0\n3 0 0 0\n0 0 c b\n";

// The expected text with every ~ turned into the escape byte.
std::string esc(std::string text) {
    for (char& c : text) {
        if (c == '~') {
            c = '\x1b';
        }
    }
    return text;
}

// Switches colour output for one test and restores it afterwards.
class Colours {
public:
    explicit Colours(bool on) : m_saved(ansi::enableColor) { ansi::enableColor = on; }
    Colours(const Colours&) = delete;
    Colours& operator=(const Colours&) = delete;
    ~Colours() { ansi::enableColor = m_saved; }

private:
    bool m_saved;
};

} // namespace

TEST(Render, BeforeTheInversion) {
    auto map = mapFromText(inversionMap);
    Game game(*map, false);
    {
        Colours off(false);
        EXPECT_EQ(game.getBoard().asString(Player::P1, true, true), R"(     0  1  2  3  
   /-------------
0  | i' 2  1  0  
1  | 3  0  0  0  
2  | 0  0  c  b  
)");
    }
    Colours on(true);
    EXPECT_EQ(game.getBoard().asString(Player::P1, true, true), esc(R"(~[;1;30m     0  1  2  3  
   /-------------~[m
~[;1;30m0  | ~[m~[;44;35mi'~[m ~[;34m2~[m  ~[;31m1~[m  0~[m  
~[;1;30m1  | ~[m~[;32m3~[m  0~[m  0~[m  0~[m  
~[;1;30m2  | ~[m0~[m  0~[m  ~[;44;33mc~[m  ~[;44;32mb~[m  
)"));
}

TEST(Render, AfterTheInversionWithADisqualifiedPlayer) {
    auto map = mapFromText(inversionMap);
    Game game(*map, false);
    ASSERT_TRUE(game.makeMove(Move(0, 0, MoveChoice::NONE, Player::P1, false)));
    ASSERT_EQ(game.getCurrentPlayer(), Player(2));
    game.disqualify(Player(1));
    const GameBoard& board = game.getBoard();
    {
        Colours off(false);
        EXPECT_EQ(board.asString(Player(2), true, true), R"(     0  1  2  3  
   /-------------
0  | 2  2  2  0  
1  | 1  0  0  0  
2  | 0' 0  c  b  
)");
        EXPECT_EQ(board.asString(Player(2), true, false), "2 2 2 0 \n"
                                                          "1 0 0 0 \n"
                                                          "0'0 c b \n");
    }
    Colours on(true);
    EXPECT_EQ(board.asString(Player(2), true, true), esc(R"(~[;1;30m     0  1  2  3  
   /-------------~[m
~[;1;30m0  | ~[m~[;34m2~[m  ~[;34m2~[m  ~[;34m2~[m  0~[m  
~[;1;30m1  | ~[m~[;7;31m1~[m  0~[m  0~[m  0~[m  
~[;1;30m2  | ~[m0'~[m 0~[m  ~[;44;33mc~[m  ~[;44;32mb~[m  
)"));
    EXPECT_EQ(board.asSimpleString(), "2220\n1000\n00cb\n");
    EXPECT_TRUE(ansi::enableColor) << "the plain grid restores the colour switch";
    EXPECT_EQ(board.playerStatus(), "Player 1: 1 bombs, 0 overrides. Score is 1\n"
                                    "Player 2: 1 bombs, 0 overrides. Score is 3\n"
                                    "Player 3: 1 bombs, 0 overrides. Score is 0\n");
}

TEST(Render, TwoSquaresWithAxisAndEveryPlayersColour) {
    auto map = mapFromText("2\n0\n0 0\n1 2\n0 1\n");
    Game game(*map, true);
    {
        Colours off(false);
        EXPECT_EQ(game.getBoard().asString(Player::P1, false, true), "     0  1  \n"
                                                                     "   /-------\n"
                                                                     "0  | 0  1  \n");
    }
    EXPECT_EQ(game.getBoard().playerStatus(), "Player 1: 0 bombs, 0 overrides. Score is 1\n"
                                              "Player 2: 0 bombs, 0 overrides. Score is 0\n");
    Colours on(true);
    auto eight = mapFromText("8\n0\n0 0\n1 8\n1 2 3 4 5 6 7 8\n");
    Game all(*eight, true);
    EXPECT_EQ(all.getBoard().asString(Player::P1, false, false),
              esc("~[;31m1~[m ~[;34m2~[m ~[;32m3~[m ~[;33m4~[m "
                  "~[;36m5~[m ~[;35m6~[m ~[;37m7~[m ~[;37m8~[m \n"));
}
