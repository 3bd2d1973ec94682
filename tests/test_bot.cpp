// The bot's judgement of a move, cross-checked against playing the same move on a second game
// that is rebuilt from the history, through whole random games on the sample maps.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bot/BotGame.hpp"
#include "common/GameBoard.hpp"
#include "tests/support/TestPaths.hpp"

namespace {

// What the bot's judgement should be, found by playing the move on a fresh game after the
// whole history: the mover's stones after a placement, the opposing stones a bomb removes.
long outcome(const Map& map, const std::vector<Move>& history, const Move& move) {
    Game game(map, true);
    for (const Move& earlier : history) {
        game.makeMove(earlier);
    }
    const auto opposing = [&] {
        long stones = 0;
        for (Player p : game.getPlayers()) {
            stones += p == move.player ? 0 : game.getBoard().getStoneCount(p);
        }
        return stones;
    };
    const long before = opposing();
    game.makeMove(move);
    return move.terminal ? before - opposing() : game.getBoard().getStoneCount(move.player);
}

} // namespace

// Special squares (choice, inversion, bonus), overrides, transitions and the bomb phase all
// occur in these maps; the judgement must match the real outcome of the moves tried, and
// judging must leave the game's own board as it was.
TEST(BotGame, JudgesEveryMoveAsPlayingItWould) {
    for (const char* name : {"example2p.map", "transitions4p.map"}) {
        SCOPED_TRACE(name);
        Map map;
        ASSERT_TRUE(map.loadFromFile(testing_support::mapPath(name)));
        BotGame game(map);
        std::vector<Move> history;
        std::mt19937 random(7);
        bool sawBombPhase = false;
        while (!game.is_final()) {
            std::vector<Move> moves;
            for (Move move; game.nextMove(move, false);) {
                moves.push_back(move);
            }
            ASSERT_FALSE(moves.empty());
            const std::string board = game.getBoard().asSimpleString();
            // Rebuilding the reference game costs the whole history, so a sample will do.
            for (int i = 0; i < 4; ++i) {
                const Move& move = moves[random() % moves.size()];
                ASSERT_EQ(game.evaluate(move), outcome(map, history, move))
                    << move << " after " << history.size() << " moves";
            }
            ASSERT_EQ(game.getBoard().asSimpleString(), board);
            sawBombPhase = sawBombPhase || game.is_terminal();
            const Move chosen = moves[random() % moves.size()];
            ASSERT_TRUE(game.makeMove(chosen));
            history.push_back(chosen);
        }
        EXPECT_TRUE(sawBombPhase);
    }
}
