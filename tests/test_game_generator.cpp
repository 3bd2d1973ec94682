// The move generator: its order on a small board, and cross-checks against checkMove and
// against a replay of what it played.
#include <random>
#include <tuple>

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "tests/support/GameSupport.hpp"

using testing_support::generatedMoves;
using testing_support::mapFromFile;
using testing_support::mapFromText;

namespace {

auto key(const Move& m) {
    return std::tuple(m.y, m.x, m.choice, m.player, m.terminal);
}

std::vector<std::string> texts(const std::vector<Move>& moves) {
    std::vector<std::string> result;
    for (const Move& m : moves) {
        std::ostringstream os;
        os << m;
        result.push_back(os.str());
    }
    return result;
}

// Every move that checkMove with choice checking accepts, square by square in index order
// and, on each square, choices in the generator's order.
std::vector<Move> acceptedMoves(const Game& game) {
    static const std::vector<MoveChoice> choices = {
        MoveChoice::NONE, MoveChoice(1),    MoveChoice(2),        MoveChoice(3),
        MoveChoice(4),    MoveChoice(5),    MoveChoice(6),        MoveChoice(7),
        MoveChoice(8),    MoveChoice::BOMB, MoveChoice::OVERRIDE, MoveChoice(9)};
    std::vector<Move> accepted;
    const Map& map = game.getMap();
    for (std::uint16_t y = 0; y < map.getHeight(); ++y) {
        for (std::uint16_t x = 0; x < map.getWidth(); ++x) {
            for (MoveChoice c : choices) {
                const Move move(x, y, c, game.getCurrentPlayer(), game.is_terminal());
                if (game.checkMove(move, true)) {
                    accepted.push_back(move);
                }
            }
        }
    }
    return accepted;
}

} // namespace

TEST(MoveGenerator, PlainThenEveryChoiceThenBombBeforeOverride) {
    auto map = mapFromText(R"(3
0
0 0
3 5
0 2 1 0 0
c 2 1 3 0
b 2 1 0 0
)");
    Game game(*map, true);
    EXPECT_EQ(texts(generatedMoves(game)), (std::vector<std::string>{
                                               "Player 1 (x,y)=(0,0)",
                                               "Player 1 (x,y)=(4,0)",
                                               "Player 1 (x,y)=(0,1) choice: 1",
                                               "Player 1 (x,y)=(0,1) choice: 2",
                                               "Player 1 (x,y)=(0,1) choice: 3",
                                               "Player 1 (x,y)=(4,1)",
                                               "Player 1 (x,y)=(0,2) choice: 20",
                                               "Player 1 (x,y)=(0,2) choice: 21",
                                               "Player 1 (x,y)=(4,2)",
                                           }));
    Move move;
    while (game.nextMove(move, false)) {
    }
    EXPECT_FALSE(move.isValid()) << "off the board the move is invalid again";
    EXPECT_EQ(game.getCurrentPlayer(), Player(1)) << "looking changes nothing";
    EXPECT_EQ(game.get_movenumber(), 0u);

    game.force_terminal();
    const std::vector<Move> bombs = generatedMoves(game);
    EXPECT_EQ(bombs.size(), 0u) << "the map gives no bombs";
}

TEST(MoveGenerator, BombPhaseTargetsEverySquareButHoles) {
    auto map = mapFromText("2\n0\n1 0\n2 2\n1 -\n0 2\n");
    Game game(*map, false);
    ASSERT_TRUE(game.is_terminal());
    EXPECT_EQ(texts(generatedMoves(game)), (std::vector<std::string>{
                                               "Player 1 (x,y)=(0,0)",
                                               "Player 1 (x,y)=(0,1)",
                                               "Player 1 (x,y)=(1,1)",
                                           }));
    for (const Move& m : generatedMoves(game)) {
        EXPECT_TRUE(m.terminal);
        EXPECT_EQ(m.choice, MoveChoice::NONE);
    }
}

// A passive game hands the turn on after a move played by the generator without asking the
// board: a player without bombs gets the turn, and the phase stays, where an active game ends.
// Neither counts the generator's moves.
TEST(MoveGenerator, ApplyInAPassiveGameOnlySkipsDisqualifiedPlayers) {
    auto map = mapFromText("3\n0\n1 0\n1 5\n1 0 2 0 3\n");
    Game passive(*map, true);
    Game active(*map, false);
    passive.disqualify(Player(2));
    active.disqualify(Player(2));
    ASSERT_TRUE(passive.is_terminal());
    std::vector<std::string> boards;
    for (Game* game : {&passive, &active}) {
        Move move;
        EXPECT_TRUE(game->nextMove(move, true));
        EXPECT_EQ(texts({move}), std::vector<std::string>{"Player 1 (x,y)=(0,0)"});
        EXPECT_EQ(game->getCurrentPlayer(), Player(3)) << "player 2 is skipped";
        EXPECT_TRUE(game->nextMove(move, true));
        EXPECT_EQ(texts({move}), std::vector<std::string>{"Player 3 (x,y)=(1,0)"});
        EXPECT_EQ(game->get_movenumber(), 0u);
        boards.push_back(game->getBoard().asSimpleString());
    }
    EXPECT_EQ(boards, (std::vector<std::string>{"--203\n", "--203\n"}));
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
                const std::vector<Move> generated = generatedMoves(game);
                const std::vector<Move> accepted = acceptedMoves(game);
                ASSERT_FALSE(generated.empty());
                ASSERT_EQ(texts(generated), texts(accepted)) << "step " << step;
                for (std::size_t i = 0; i < generated.size(); ++i) {
                    EXPECT_EQ(key(generated[i]), key(accepted[i]));
                }
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
            ASSERT_EQ(replay.getBoard().asSimpleString(), player.getBoard().asSimpleString());
            ASSERT_EQ(replay.getBoard().playerStatus(), player.getBoard().playerStatus());
            ASSERT_EQ(replay.getCurrentPlayer(), player.getCurrentPlayer());
            ASSERT_EQ(replay.is_terminal(), player.is_terminal());
        }
        EXPECT_TRUE(player.is_final());
        EXPECT_TRUE(replay.is_final());
        EXPECT_GT(reports, 5u);
    }
    EXPECT_GT(variants, 0u) << "some variant was played";
}
