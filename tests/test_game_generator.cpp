// The move generator: its order on small boards, and cross-checks against checkMove and
// against a replay of what it played.
#include <random>

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "tests/support/GameSupport.hpp"

using testing_support::generatedMoves;
using testing_support::mapFromFile;
using testing_support::mapFromText;
using Lines = std::vector<std::string>;

namespace {

// The moves as text, bomb throws marked.
Lines texts(const std::vector<Move>& moves) {
    Lines result;
    for (const Move& m : moves) {
        std::ostringstream os;
        os << m << (m.terminal ? " bomb" : "");
        result.push_back(os.str());
    }
    return result;
}

// Every move that checkMove with choice checking accepts, square by square in index order
// and, on each square, every choice number in ascending order, which is the generator's order.
std::vector<Move> acceptedMoves(const Game& game) {
    std::vector<Move> accepted;
    for (std::uint16_t y = 0; y < game.getMap().getHeight(); ++y) {
        for (std::uint16_t x = 0; x < game.getMap().getWidth(); ++x) {
            for (unsigned c = 0; c <= static_cast<unsigned>(MoveChoice::OVERRIDE) + 1; ++c) {
                const Move move(x, y, MoveChoice(c), game.getCurrentPlayer(), game.is_terminal());
                if (game.checkMove(move, true)) {
                    accepted.push_back(move);
                }
            }
        }
    }
    return accepted;
}

} // namespace

// Plain squares, then choice squares with every player, bonus squares with bomb then override;
// in the bomb phase every square but holes. Looking changes nothing.
TEST(MoveGenerator, Order) {
    auto map = mapFromText("3\n0\n0 0\n3 5\n0 2 1 0 0\nc 2 1 3 0\nb 2 1 0 0\n");
    Game game(*map, true);
    EXPECT_EQ(
        texts(generatedMoves(game)),
        (Lines{"Player 1 (x,y)=(0,0)", "Player 1 (x,y)=(4,0)", "Player 1 (x,y)=(0,1) choice: 1",
               "Player 1 (x,y)=(0,1) choice: 2", "Player 1 (x,y)=(0,1) choice: 3",
               "Player 1 (x,y)=(4,1)", "Player 1 (x,y)=(0,2) choice: 20",
               "Player 1 (x,y)=(0,2) choice: 21", "Player 1 (x,y)=(4,2)"}));
    Move move;
    while (game.nextMove(move, false)) {
    }
    EXPECT_FALSE(move.isValid()) << "off the board the move is invalid again";
    EXPECT_EQ(game.getCurrentPlayer(), Player(1));
    EXPECT_EQ(game.get_movenumber(), 0u);
    game.force_terminal();
    EXPECT_EQ(generatedMoves(game).size(), 0u) << "the map gives no bombs";

    auto bombMap = mapFromText("2\n0\n1 0\n2 2\n1 -\n0 2\n");
    Game bombs(*bombMap, false);
    ASSERT_TRUE(bombs.is_terminal());
    EXPECT_EQ(texts(generatedMoves(bombs)),
              (Lines{"Player 1 (x,y)=(0,0) bomb", "Player 1 (x,y)=(0,1) bomb",
                     "Player 1 (x,y)=(1,1) bomb"}));
}

// A passive game hands the turn on after a move played by the generator without asking the
// board: a player without bombs gets the turn, and the phase stays, where an active game ends.
// Neither counts the generator's moves.
TEST(MoveGenerator, ApplyInAPassiveGameOnlySkipsDisqualifiedPlayers) {
    auto map = mapFromText("3\n0\n1 0\n1 5\n1 0 2 0 3\n");
    Game passive(*map, true);
    Game active(*map, false);
    for (Game* game : {&passive, &active}) {
        game->disqualify(Player(2));
        Move first;
        Move second;
        EXPECT_TRUE(game->nextMove(first, true));
        EXPECT_EQ(game->getCurrentPlayer(), Player(3)) << "player 2 is skipped";
        EXPECT_TRUE(game->nextMove(second, true));
        EXPECT_EQ(texts({first, second}),
                  (Lines{"Player 1 (x,y)=(0,0) bomb", "Player 3 (x,y)=(1,0) bomb"}));
        EXPECT_EQ(game->get_movenumber(), 0u);
        EXPECT_EQ(game->getBoard().asSimpleString(), "--203\n");
    }
    EXPECT_EQ(passive.getCurrentPlayer(), Player(1)) << "without a bomb, but on turn";
    EXPECT_TRUE(passive.is_terminal());
    EXPECT_TRUE(active.is_final());
}

// For random positions on every sample map, the first bomb-phase position among them, the
// generator yields exactly the moves that checkMove with choice checking accepts, in index order.
TEST(MoveGenerator, YieldsExactlyTheMovesCheckMoveAccepts) {
    std::mt19937 rng(20240611);
    for (const std::string& name : testing_support::sampleMapNames()) {
        SCOPED_TRACE(name);
        auto map = mapFromFile(name);
        Game game(*map, false);
        const unsigned stride = map->getPlayableTiles() / 8 + 1;
        unsigned checked = 0;
        bool bombPhaseChecked = false;
        // Every move fills a square or uses up a stock; the bound only stops a broken engine.
        const unsigned limit = 4 * map->getPlayableTiles() + 4096;
        for (unsigned step = 0; !game.is_final() && step < limit; ++step) {
            if (step % stride == 0 || (game.is_terminal() && !bombPhaseChecked)) {
                const Lines generated = texts(generatedMoves(game));
                ASSERT_FALSE(generated.empty());
                ASSERT_EQ(generated, texts(acceptedMoves(game))) << "step " << step;
                bombPhaseChecked = game.is_terminal();
                ++checked;
            }
            const Move move = testing_support::randomMove(game, rng);
            ASSERT_TRUE(move.isValid());
            ASSERT_TRUE(game.makeMove(move));
        }
        EXPECT_TRUE(game.is_final());
        EXPECT_GE(checked, 3u);
        EXPECT_EQ(bombPhaseChecked, map->getBombs() > 0);
    }
}

// With `apply` every move the generator reports has been played exactly once: a passive game
// that replays the reports keeps the same board, turn and phase. Looking ahead without `apply`
// first lets the playing call continue from a choice or bonus square with its next variant.
TEST(MoveGenerator, ApplyPlaysEveryReportedMoveOnce) {
    std::mt19937 rng(7);
    unsigned variants = 0;
    for (const char* name : {"example2p.map", "transitions4p.map", "eight8p.map"}) {
        SCOPED_TRACE(name);
        auto map = mapFromFile(name);
        Game player(*map, false);
        Game replay(*map, true);
        Move move;
        unsigned reports = 0;
        for (unsigned call = 0; !player.is_final() && call < 20000; ++call) {
            if (rng() % 3 == 0) {
                move = Move();
            }
            for (unsigned look = rng() % 4; look > 0 && player.nextMove(move, false); --look) {
            }
            if (!player.nextMove(move, true)) {
                continue;
            }
            ++reports;
            variants += move.choice == MoveChoice::OVERRIDE ||
                        (move.choice >= MoveChoice(2) && move.choice <= MoveChoice::PLAYER_MAX);
            ASSERT_TRUE(replay.makeMove(move)) << move;
            ASSERT_EQ(replay.getBoard().asSimpleString() + replay.getBoard().playerStatus(),
                      player.getBoard().asSimpleString() + player.getBoard().playerStatus());
            ASSERT_EQ(replay.getCurrentPlayer(), player.getCurrentPlayer());
            ASSERT_EQ(replay.is_terminal(), player.is_terminal());
        }
        EXPECT_TRUE(player.is_final() && replay.is_final());
        EXPECT_GT(reports, 5u);
    }
    EXPECT_GT(variants, 0u) << "some variant was played";
}
