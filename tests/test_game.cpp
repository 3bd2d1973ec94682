// The turn engine's flows: who starts, phase changes, disqualifications, moves out of turn and
// rejected moves in active and passive games, move tests, scores and status.
#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "common/Logging.hpp"
#include "tests/support/GameSupport.hpp"

using testing_support::LogCollector;
using testing_support::mapFromFile;
using testing_support::mapFromText;

namespace {

// Three players, no override stones, one bomb each; every player can capture a line.
const char* const threePlayers = R"(3
0
1 1
5 5
0 0 0 0 0
0 1 2 3 0
0 2 3 1 0
0 3 1 2 0
0 0 0 0 0
)";

// Nobody can capture anything; three players with one bomb each.
const char* const bombsOnly = R"(3
0
1 0
1 5
1 0 2 0 3
)";

std::vector<Player> players(std::initializer_list<unsigned> numbers) {
    std::vector<Player> result;
    for (unsigned n : numbers) {
        result.push_back(static_cast<Player>(n));
    }
    return result;
}

Move stone(std::uint16_t x, std::uint16_t y, unsigned player,
           MoveChoice choice = MoveChoice::NONE) {
    return Move(x, y, choice, static_cast<Player>(player), false);
}

Move bomb(std::uint16_t x, std::uint16_t y, unsigned player, MoveChoice choice = MoveChoice::NONE) {
    return Move(x, y, choice, static_cast<Player>(player), true);
}

} // namespace

TEST(TurnEngine, FirstPlayerAndStartPhase) {
    auto classic = mapFromFile("classic8x8.map");
    Game game(*classic, false);
    EXPECT_EQ(game.getCurrentPlayer(), Player::P1);
    EXPECT_EQ(game.get_movenumber(), 0u);
    EXPECT_FALSE(game.is_terminal());
    EXPECT_FALSE(game.is_final());
    EXPECT_EQ(game.getPlayers(), players({1, 2}));
    EXPECT_EQ(game.getValidPlayers(), players({1, 2}));

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

TEST(TurnEngine, DisqualifyingThePlayerOnTurnOrAnother) {
    auto map = mapFromText(threePlayers);
    {
        Game game(*map, false);
        LogCollector log(loggerGame);
        game.disqualify(Player(1));
        EXPECT_EQ(game.getCurrentPlayer(), Player(2));
        EXPECT_EQ(game.getValidPlayers(), players({2, 3}));
        EXPECT_EQ(game.get_valid_players(), 2u);
        EXPECT_TRUE(game.getBoard().getDisqualified(Player(1)));
        EXPECT_TRUE(log.contains("DEBUG Current player disqualified, increment turn"));
        EXPECT_TRUE(log.contains("INFO Disqualified player 1"));
        log.clear();
        game.disqualify(Player(1));
        EXPECT_TRUE(log.entries().empty()) << "a second disqualification does nothing";
        EXPECT_EQ(game.getCurrentPlayer(), Player(2));
    }
    Game game(*map, false);
    game.disqualify(Player(2));
    EXPECT_EQ(game.getCurrentPlayer(), Player(1));
    EXPECT_EQ(game.getValidPlayers(), players({1, 3}));
    EXPECT_TRUE(game.makeMove(stone(4, 1, 1)));
    EXPECT_EQ(game.getCurrentPlayer(), Player(3)) << "the disqualified player is skipped";
    EXPECT_EQ(game.getPlayers(), players({1, 2, 3}));
}

TEST(TurnEngine, LastButOneDisqualificationEndsTheGame) {
    auto map = mapFromFile("classic8x8.map");
    Game game(*map, false);
    game.disqualify(Player(2));
    EXPECT_TRUE(game.is_final());
    EXPECT_FALSE(game.is_terminal());
    EXPECT_EQ(game.getCurrentPlayer(), Player(1));

    auto three = mapFromText(threePlayers);
    Game passive(*three, true);
    passive.disqualify(Player(3));
    EXPECT_FALSE(passive.is_final());
    passive.disqualify(Player(1));
    EXPECT_TRUE(passive.is_final());
    EXPECT_EQ(passive.getCurrentPlayer(), Player(1)) << "the turn is not advanced";
}

TEST(TurnEngine, ActiveGameDisqualifiesAndAdvancesTheTurnAtMostOnce) {
    auto map = mapFromText(threePlayers);
    {
        Game game(*map, false);
        const std::string before = game.getBoard().asSimpleString();
        EXPECT_FALSE(game.makeMove(stone(0, 0, 1))) << "captures nothing";
        EXPECT_TRUE(game.is_disqualified(Player(1)));
        EXPECT_EQ(game.getCurrentPlayer(), Player(2));
        EXPECT_EQ(game.get_movenumber(), 1u);
        EXPECT_EQ(game.getBoard().asSimpleString(), before);
    }
    {
        Game game(*map, false);
        LogCollector log(loggerGame);
        EXPECT_FALSE(game.makeMove(stone(4, 3, 3))) << "legal for player 3, but out of turn";
        EXPECT_TRUE(log.contains("INFO Disqualifying player: out of turn"));
        EXPECT_TRUE(game.is_disqualified(Player(3)));
        EXPECT_EQ(game.getCurrentPlayer(), Player(1)) << "the turn stays with its holder";
        EXPECT_TRUE(game.makeMove(stone(4, 1, 1)));
        EXPECT_EQ(game.getCurrentPlayer(), Player(2));
    }
    auto noStones = mapFromText(bombsOnly);
    Game game(*noStones, false);
    LogCollector log(loggerGame);
    EXPECT_FALSE(game.makeMove(bomb(1, 0, 1, MoveChoice::PLAYER1)));
    EXPECT_TRUE(log.contains("INFO Disqualifying player: choice not 0 on bomb throw"));
    EXPECT_EQ(game.getBoard().asSimpleString(), "10203\n") << "no bomb thrown";
    EXPECT_EQ(game.getCurrentPlayer(), Player(2));
    EXPECT_TRUE(game.makeMove(bomb(1, 0, 2)));
    EXPECT_EQ(game.getBoard().asSimpleString(), "1-203\n");
    EXPECT_EQ(game.getCurrentPlayer(), Player(3));
}

// The whole log of each step, levels included: a disqualification of the player on turn shows
// one turn advance, a move out of turn none.
TEST(TurnEngine, LogOfMovesAndDisqualifications) {
    auto map = mapFromText(threePlayers);
    Game game(*map, false);
    LogCollector log(loggerGame);
    EXPECT_TRUE(game.makeMove(stone(4, 1, 1)));
    EXPECT_EQ(log.entries(), (std::vector<std::string>{
                                 "DEBUG Making move, Player 1 (x,y)=(4,1)",
                                 "TRACE Current move is 1",
                                 "TRACE turn_inc: next valid player is 2",
                             }));
    log.clear();
    EXPECT_FALSE(game.makeMove(stone(9, 9, 2, MoveChoice(2))));
    EXPECT_EQ(log.entries(), (std::vector<std::string>{
                                 "DEBUG Making move, Player 2 (x,y)=(9,9) choice: 2",
                                 "TRACE Current move is 2",
                                 "DEBUG Current player disqualified, increment turn",
                                 "TRACE turn_inc: next valid player is 3",
                                 "INFO Disqualified player 2",
                             }));
    log.clear();
    EXPECT_FALSE(game.makeMove(stone(0, 0, 1)));
    EXPECT_EQ(log.entries(), (std::vector<std::string>{
                                 "DEBUG Making move, Player 1 (x,y)=(0,0)",
                                 "TRACE Current move is 3",
                                 "INFO Disqualifying player: out of turn",
                                 "INFO Disqualified player 1",
                             }));
    EXPECT_TRUE(game.is_final());
    EXPECT_EQ(game.getCurrentPlayer(), Player(3));

    Game passive(*map, true);
    for (unsigned p = 1; p <= 3; ++p) {
        passive.disqualify(Player(p));
    }
    ASSERT_EQ(passive.get_valid_players(), 0u);
    log.clear();
    EXPECT_TRUE(passive.makeMove(stone(4, 1, 1)));
    EXPECT_EQ(log.entries(), (std::vector<std::string>{
                                 "DEBUG Making move, Player 1 (x,y)=(4,1)",
                                 "TRACE Current move is 1",
                                 "WARN Out of turn move detected, but applying anyway (passive)",
                                 "WARN No more valid players in the game!",
                             }));
    log.clear();
    passive.nextPlayer();
    EXPECT_EQ(log.entries(), std::vector<std::string>{"WARN No more valid players in the game!"});
    EXPECT_EQ(passive.getCurrentPlayer(), Player(1));
}

TEST(TurnEngine, ActiveGameRefusesMovesAfterTheEndAndUnknownPlayers) {
    auto map = mapFromFile("classic8x8.map");
    Game game(*map, false);
    const Move legal = stone(3, 2, 1);
    ASSERT_TRUE(game.checkMove(legal, true));
    LogCollector log(loggerGame);
    EXPECT_FALSE(game.makeMove(stone(0, 0, 9)));
    EXPECT_TRUE(log.contains("WARN Rejecting move of unknown player 9"));
    Move nobody;
    nobody.x = 3;
    nobody.y = 2;
    EXPECT_FALSE(game.makeMove(nobody));
    game.disqualify(Player(0));
    game.disqualify(Player(3));
    EXPECT_TRUE(log.contains("WARN Cannot disqualify unknown player 3"));
    EXPECT_FALSE(game.is_disqualified(Player(0)));
    EXPECT_FALSE(game.is_disqualified(Player(200)));
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

TEST(TurnEngine, PassiveGameFollowsOutOfTurnAndRejectedMoves) {
    auto map = mapFromText(threePlayers);
    Game game(*map, true);
    LogCollector log(loggerGame);
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
    {
        LogCollector log(loggerGame);
        EXPECT_FALSE(ended.makeMove(stone(0, 0, 1)));
        EXPECT_TRUE(log.contains("TRACE Game has ended, turn_inc no-op"));
        EXPECT_TRUE(log.contains("TRACE turn_inc: next valid player is 2"));
    }
    EXPECT_EQ(ended.getCurrentPlayer(), Player(2)) << "FINAL still moves the turn on";
    ended.force_terminal();
    EXPECT_TRUE(ended.is_terminal());
    EXPECT_FALSE(ended.is_final());
}

TEST(TurnEngine, CheckMoveWithAndWithoutChoices) {
    auto map = mapFromFile("example2p.map");
    Game game(*map, false);
    ASSERT_EQ(game.getCurrentPlayer(), Player(1));
    const MoveChoice second = MoveChoice(2);
    EXPECT_TRUE(game.checkMove(stone(0, 2, 1), false));
    EXPECT_FALSE(game.checkMove(stone(0, 2, 1), true)) << "a choice square needs a player";
    EXPECT_TRUE(game.checkMove(stone(0, 2, 1, second), false));
    EXPECT_TRUE(game.checkMove(stone(0, 2, 1, second), true));
    EXPECT_FALSE(game.checkMove(stone(0, 2, 1, MoveChoice(3)), true)) << "only two players";
    EXPECT_TRUE(game.checkMove(stone(0, 2, 1, MoveChoice(3)), false));
    EXPECT_TRUE(game.checkMove(stone(3, 1, 1), true)) << "captures through the transition";
    EXPECT_FALSE(game.checkMove(stone(3, 1, 1, MoveChoice::BOMB), true));
    EXPECT_FALSE(game.checkMove(stone(3, 1, 2), true)) << "not on turn";
    EXPECT_FALSE(game.checkMove(bomb(3, 1, 1), true)) << "not the bomb phase";
    EXPECT_FALSE(game.checkMove(stone(4, 1, 1), false)) << "off the board";
    EXPECT_FALSE(game.checkMove(stone(0, 0, 1), false)) << "a hole";

    auto noStones = mapFromText(bombsOnly);
    Game bombs(*noStones, false);
    EXPECT_TRUE(bombs.checkMove(bomb(3, 0, 1), true)) << "any square, own stones included";
    EXPECT_TRUE(bombs.checkMove(bomb(1, 0, 1, MoveChoice::PLAYER1), false));
    EXPECT_FALSE(bombs.checkMove(bomb(1, 0, 1, MoveChoice::PLAYER1), true));
    EXPECT_FALSE(bombs.checkMove(stone(1, 0, 1), false));
}

TEST(Scores, LeaderStatusAndLog) {
    auto map = mapFromText(R"(3
3
2 0
3 10
1 1 1 1 1 1 1 1 1 1
2 2 2 2 2 2 2 0 0 0
3 3 3 3 3 3 3 3 3 3
)");
    Game game(*map, false);
    int scores[8] = {};
    EXPECT_EQ(game.get_scores(scores), Player(1)) << "a tie goes to the lower number";
    EXPECT_EQ(std::vector<int>(scores, scores + 3), (std::vector<int>{10, 7, 10}));
    {
        LogCollector log(loggerGame);
        game.print_scores();
        EXPECT_EQ(log.entries(), (std::vector<std::string>{
                                     "INFO Scores:",
                                     "INFO Player 1: 10 points and is currently leading",
                                     "INFO Player 2: 7 points",
                                     "INFO Player 3: 10 points",
                                 }));
    }
    game.disqualify(Player(2));
    EXPECT_EQ(game.getStatus(), "1\n3 2 0\n3 2 1\n3 2 0\n");
    game.disqualify(Player(1));
    EXPECT_EQ(game.get_scores(scores), Player(3));
    game.disqualify(Player(3));
    EXPECT_EQ(game.get_scores(scores), Player::P_INVALID);
    EXPECT_EQ(std::vector<int>(scores, scores + 3), (std::vector<int>{-1, -1, -1}));
    LogCollector log(loggerGame);
    game.print_scores();
    EXPECT_EQ(log.entries(), (std::vector<std::string>{
                                 "INFO Scores:",
                                 "INFO Player 1: disqualified",
                                 "INFO Player 2: disqualified",
                                 "INFO Player 3: disqualified",
                             }));

    auto lonely = mapFromText("2\n0\n0 0\n1 3\n1 0 1\n");
    Game alone(*lonely, true);
    alone.disqualify(Player(1));
    EXPECT_EQ(alone.get_scores(scores), Player(2)) << "no stones still beats -1";
    EXPECT_EQ(scores[1], 0);
}
