// The turn engine's flows: who starts, phase changes, disqualifications, moves out of turn and
// rejected moves in active and passive games, move tests, scores and status.
#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "common/Logging.hpp"
#include "tests/support/GameSupport.hpp"

using testing_support::LogCapture;
using testing_support::mapFromFile;
using testing_support::mapFromText;
using Lines = std::vector<std::string>;

namespace {

// Three players, no override stones, one bomb each; every player can capture a line.
const char* const threePlayers = "3\n0\n1 1\n5 5\n0 0 0 0 0\n0 1 2 3 0\n0 2 3 1 0\n"
                                 "0 3 1 2 0\n0 0 0 0 0\n";
// Nobody can capture anything; three players with one bomb each.
const char* const bombsOnly = "3\n0\n1 0\n1 5\n1 0 2 0 3\n";

Move stone(std::uint16_t x, std::uint16_t y, unsigned player, MoveChoice choice = MoveChoice()) {
    return Move(x, y, choice, Player(player), false);
}

Move bomb(std::uint16_t x, std::uint16_t y, unsigned player, MoveChoice choice = MoveChoice()) {
    return Move(x, y, choice, Player(player), true);
}

} // namespace

TEST(TurnEngine, FirstPlayerAndStartPhase) {
    auto classic = mapFromFile("classic8x8.map");
    Game game(*classic, false);
    EXPECT_EQ(game.getCurrentPlayer(), Player::P1);
    EXPECT_EQ(game.get_movenumber(), 0u);
    EXPECT_FALSE(game.is_terminal() || game.is_final());
    EXPECT_EQ(game.getValidPlayers(), (std::vector<Player>{Player(1), Player(2)}));

    auto secondStarts = mapFromText("2\n0\n0 0\n1 4\n2 1 0 0\n");
    EXPECT_EQ(Game(*secondStarts, false).getCurrentPlayer(), Player(2));

    auto noStones = mapFromText(bombsOnly);
    Game bombPhase(*noStones, true);
    EXPECT_TRUE(bombPhase.is_terminal());
    EXPECT_EQ(bombPhase.getCurrentPlayer(), Player::P1);

    auto nothing = mapFromText("2\n0\n0 0\n1 4\n1 0 0 2\n");
    Game over(*nothing, false);
    EXPECT_TRUE(over.is_final());
    EXPECT_FALSE(over.is_terminal());
    Move move;
    EXPECT_FALSE(over.nextMove(move, false));
}

// Disqualifying the player on turn passes the turn on, another player keeps it; a second
// disqualification does nothing, and the last but one ends the game without a turn advance.
TEST(TurnEngine, Disqualification) {
    auto map = mapFromText(threePlayers);
    Game game(*map, false);
    LogCapture log(loggerGame);
    game.disqualify(Player(1));
    EXPECT_EQ(log.lines(),
              (Lines{"DEBUG Current player disqualified, increment turn",
                     "TRACE turn_inc: next valid player is 2", "INFO Disqualified player 1"}));
    EXPECT_EQ(game.getCurrentPlayer(), Player(2));
    EXPECT_EQ(game.getValidPlayers(), (std::vector<Player>{Player(2), Player(3)}));
    EXPECT_TRUE(game.getBoard().getDisqualified(Player(1)));
    log.clear();
    game.disqualify(Player(1));
    EXPECT_TRUE(log.lines().empty()) << "a second disqualification does nothing";

    Game other(*map, false);
    other.disqualify(Player(2));
    EXPECT_EQ(other.getCurrentPlayer(), Player(1));
    EXPECT_TRUE(other.makeMove(stone(4, 1, 1)));
    EXPECT_EQ(other.getCurrentPlayer(), Player(3)) << "the disqualified player is skipped";
    EXPECT_EQ(other.getPlayers(), (std::vector<Player>{Player(1), Player(2), Player(3)}));
    other.disqualify(Player(1));
    EXPECT_TRUE(other.is_final());
    EXPECT_FALSE(other.is_terminal());
    EXPECT_EQ(other.getCurrentPlayer(), Player(3));

    Game passive(*map, true);
    passive.disqualify(Player(3));
    EXPECT_FALSE(passive.is_final());
    passive.disqualify(Player(1));
    EXPECT_TRUE(passive.is_final());
    EXPECT_EQ(passive.getCurrentPlayer(), Player(1)) << "the turn is not advanced";
}

// The whole log of each step, levels included: a rejected move of the player on turn shows one
// turn advance, a move out of turn (legal for its sender) none, and neither changes the board.
TEST(TurnEngine, ActiveGameDisqualifiesAndAdvancesTheTurnAtMostOnce) {
    auto map = mapFromText(threePlayers);
    Game game(*map, false);
    LogCapture log(loggerGame);
    EXPECT_TRUE(game.makeMove(stone(4, 1, 1)));
    EXPECT_EQ(log.lines(),
              (Lines{"DEBUG Making move, Player 1 (x,y)=(4,1)", "TRACE Current move is 1",
                     "TRACE turn_inc: next valid player is 2"}));
    const std::string board = game.getBoard().asSimpleString();
    log.clear();
    EXPECT_FALSE(game.makeMove(stone(9, 9, 2, MoveChoice(2))));
    EXPECT_EQ(log.lines(),
              (Lines{"DEBUG Making move, Player 2 (x,y)=(9,9) choice: 2", "TRACE Current move is 2",
                     "DEBUG Current player disqualified, increment turn",
                     "TRACE turn_inc: next valid player is 3", "INFO Disqualified player 2"}));
    log.clear();
    EXPECT_FALSE(game.makeMove(stone(4, 3, 1))) << "it would capture westwards";
    EXPECT_EQ(log.lines(),
              (Lines{"DEBUG Making move, Player 1 (x,y)=(4,3)", "TRACE Current move is 3",
                     "INFO Disqualifying player: out of turn", "INFO Disqualified player 1"}));
    EXPECT_TRUE(game.is_final());
    EXPECT_EQ(game.getCurrentPlayer(), Player(3));
    EXPECT_EQ(game.get_movenumber(), 3u);
    EXPECT_EQ(game.getBoard().asSimpleString(), board);

    auto noStones = mapFromText(bombsOnly);
    Game bombs(*noStones, false);
    log.clear();
    EXPECT_FALSE(bombs.makeMove(bomb(1, 0, 1, MoveChoice::PLAYER1)));
    EXPECT_TRUE(log.contains("INFO Disqualifying player: choice not 0 on bomb throw"));
    EXPECT_EQ(bombs.getBoard().asSimpleString(), "10203\n") << "no bomb thrown";
    EXPECT_EQ(bombs.getCurrentPlayer(), Player(2));
    EXPECT_TRUE(bombs.makeMove(bomb(1, 0, 2)));
    EXPECT_EQ(bombs.getBoard().asSimpleString(), "1-203\n");
    EXPECT_EQ(bombs.getCurrentPlayer(), Player(3));
}

TEST(TurnEngine, ActiveGameRefusesMovesAfterTheEndAndUnknownPlayers) {
    auto map = mapFromFile("classic8x8.map");
    Game game(*map, false);
    const Move legal = stone(3, 2, 1);
    ASSERT_TRUE(game.checkMove(legal, true));
    LogCapture log(loggerGame);
    EXPECT_FALSE(game.makeMove(stone(0, 0, 9)));
    EXPECT_TRUE(log.contains("WARN Rejecting move of unknown player 9"));
    Move nobody;
    nobody.x = 3;
    nobody.y = 2;
    EXPECT_FALSE(game.makeMove(nobody));
    game.disqualify(Player(0));
    game.disqualify(Player(3));
    EXPECT_TRUE(log.contains("WARN Cannot disqualify unknown player 3"));
    EXPECT_FALSE(game.is_disqualified(Player(0)) || game.is_disqualified(Player(200)));
    EXPECT_EQ(game.get_valid_players(), 2u);

    game.disqualify(Player(2));
    ASSERT_TRUE(game.is_final());
    const std::string before = game.getBoard().asSimpleString();
    EXPECT_FALSE(game.checkMove(legal, true));
    Move move;
    EXPECT_FALSE(game.nextMove(move, true));
    EXPECT_FALSE(game.makeMove(legal));
    EXPECT_TRUE(log.contains("INFO Game has ended, rejecting move"));
    EXPECT_EQ(game.getBoard().asSimpleString(), before);
    EXPECT_FALSE(game.is_disqualified(Player(1)));
}

// A passive game applies moves out of turn, disqualifies nobody for a rejected move and
// ignores a bad choice on a bomb throw; with nobody valid left it warns.
TEST(TurnEngine, PassiveGameFollowsOutOfTurnAndRejectedMoves) {
    auto map = mapFromText(threePlayers);
    Game game(*map, true);
    LogCapture log(loggerGame);
    EXPECT_TRUE(game.makeMove(stone(4, 3, 3)));
    EXPECT_TRUE(log.contains("WARN Out of turn move detected, but applying anyway (passive)"));
    EXPECT_EQ(game.getBoard().asSimpleString(), "00000\n01230\n02310\n03333\n00000\n");
    EXPECT_EQ(game.getCurrentPlayer(), Player(1)) << "the turn advances from player 3";
    EXPECT_FALSE(game.makeMove(stone(0, 0, 1)));
    EXPECT_EQ(game.get_valid_players(), 3u) << "a passive game disqualifies nobody";
    EXPECT_EQ(game.get_movenumber(), 2u);
    EXPECT_EQ(game.getCurrentPlayer(), Player(2));

    auto noStones = mapFromText(bombsOnly);
    Game bombs(*noStones, true);
    EXPECT_TRUE(bombs.makeMove(bomb(1, 0, 1, MoveChoice::PLAYER1)));
    EXPECT_TRUE(log.contains("INFO Invalid choice detected, but ignoring (passive)"));
    EXPECT_EQ(bombs.getBoard().asSimpleString(), "1-203\n");

    Game empty(*map, true);
    for (unsigned p = 1; p <= 3; ++p) {
        empty.disqualify(Player(p));
    }
    log.clear();
    EXPECT_TRUE(empty.makeMove(stone(4, 1, 1)));
    EXPECT_EQ(log.lines(),
              (Lines{"DEBUG Making move, Player 1 (x,y)=(4,1)", "TRACE Current move is 1",
                     "WARN Out of turn move detected, but applying anyway (passive)",
                     "WARN No more valid players in the game!"}));
    log.clear();
    empty.nextPlayer();
    EXPECT_EQ(log.lines(), Lines{"WARN No more valid players in the game!"});
    EXPECT_EQ(empty.getCurrentPlayer(), Player(1));
}

TEST(TurnEngine, ForceTerminalAndTheFinalPhase) {
    auto map = mapFromFile("classic8x8.map");
    Game active(*map, false);
    active.force_terminal();
    EXPECT_FALSE(active.is_terminal());

    Game passive(*map, true);
    passive.force_terminal();
    EXPECT_TRUE(passive.is_terminal());
    EXPECT_FALSE(passive.checkMove(bomb(0, 0, 1), true)) << "the map gives no bombs";

    Game ended(*map, true);
    ended.disqualify(Player(2));
    ASSERT_TRUE(ended.is_final());
    LogCapture log(loggerGame);
    EXPECT_FALSE(ended.makeMove(stone(0, 0, 1)));
    EXPECT_TRUE(log.contains("TRACE Game has ended, turn_inc no-op"));
    EXPECT_TRUE(log.contains("TRACE turn_inc: next valid player is 2"));
    EXPECT_EQ(ended.getCurrentPlayer(), Player(2)) << "FINAL still moves the turn on";
    ended.force_terminal();
    EXPECT_TRUE(ended.is_terminal());
    EXPECT_FALSE(ended.is_final());
}

TEST(TurnEngine, CheckMoveWithAndWithoutChoices) {
    auto map = mapFromFile("example2p.map");
    Game game(*map, false);
    auto noStones = mapFromText(bombsOnly);
    Game bombs(*noStones, false);
    const struct {
        const Game& game;
        Move move;
        bool plain, withChoice;
    } cases[] = {
        {game, stone(0, 2, 1), true, false}, // a choice square needs a player
        {game, stone(0, 2, 1, MoveChoice(2)), true, true},
        {game, stone(0, 2, 1, MoveChoice(3)), true, false}, // only two players
        {game, stone(3, 1, 1), true, true},                 // captures through the transition
        {game, stone(3, 1, 1, MoveChoice::BOMB), true, false},
        {game, stone(3, 1, 2), false, false}, // not on turn
        {game, bomb(3, 1, 1), false, false},  // not the bomb phase
        {game, stone(4, 1, 1), false, false}, // off the board
        {game, stone(0, 0, 1), false, false}, // a hole
        {bombs, bomb(3, 0, 1), true, true},   // any square, own stones included
        {bombs, bomb(1, 0, 1, MoveChoice::PLAYER1), true, false},
        {bombs, stone(1, 0, 1), false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.game.checkMove(c.move, false), c.plain) << c.move;
        EXPECT_EQ(c.game.checkMove(c.move, true), c.withChoice) << c.move;
    }
}

TEST(Scores, LeaderStatusAndLog) {
    auto map = mapFromText("3\n3\n2 0\n3 10\n1 1 1 1 1 1 1 1 1 1\n2 2 2 2 2 2 2 0 0 0\n"
                           "3 3 3 3 3 3 3 3 3 3\n");
    Game game(*map, false);
    int scores[8] = {};
    EXPECT_EQ(game.get_scores(scores), Player(1)) << "a tie goes to the lower number";
    EXPECT_EQ(std::vector<int>(scores, scores + 3), (std::vector<int>{10, 7, 10}));
    LogCapture log(loggerGame);
    game.print_scores();
    EXPECT_EQ(log.lines(),
              (Lines{"INFO Scores:", "INFO Player 1: 10 points and is currently leading",
                     "INFO Player 2: 7 points", "INFO Player 3: 10 points"}));
    game.disqualify(Player(2));
    EXPECT_EQ(game.getStatus(), "1\n3 2 0\n3 2 1\n3 2 0\n");
    game.disqualify(Player(1));
    EXPECT_EQ(game.get_scores(scores), Player(3));
    game.disqualify(Player(3));
    EXPECT_EQ(game.get_scores(scores), Player::P_INVALID);
    EXPECT_EQ(std::vector<int>(scores, scores + 3), (std::vector<int>{-1, -1, -1}));
    log.clear();
    game.print_scores();
    EXPECT_EQ(log.lines(), (Lines{"INFO Scores:", "INFO Player 1: disqualified",
                                  "INFO Player 2: disqualified", "INFO Player 3: disqualified"}));

    auto lonely = mapFromText("2\n0\n0 0\n1 3\n1 0 1\n");
    Game alone(*lonely, true);
    alone.disqualify(Player(1));
    EXPECT_EQ(alone.get_scores(scores), Player(2)) << "no stones still beats -1";
    EXPECT_EQ(scores[1], 0);
}
