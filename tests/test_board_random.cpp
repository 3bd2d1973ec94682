// Long random sequences of moves and bombs on every sample map, checked against a second way
// of computing the same thing: testPathBfs against the walks of checkCapture, the iterative
// blast against rec_bomb on a twin board, and the counters against a recount.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/BoardProbe.hpp"
#include "tests/support/GameSupport.hpp"
#include "tests/support/TestPaths.hpp"

using testing_support::BoardProbe;
using testing_support::invariantsHold;

namespace {

// The sample map's text with another bomb strength (the fourth header number).
std::string withStrength(const std::string& name, unsigned strength) {
    std::ifstream in(testing_support::mapPath(name));
    unsigned header[4] = {};
    in >> header[0] >> header[1] >> header[2] >> header[3];
    std::ostringstream out;
    out << header[0] << ' ' << header[1] << ' ' << header[2] << ' ' << strength << in.rdbuf();
    return out.str();
}

// Two boards of one map that receive the same moves; bombs are thrown on the first and
// computed by rec_bomb with power radius + 1 on the second.
struct TwinBoards {
    std::unique_ptr<BoardProbe> iterative;
    std::unique_ptr<BoardProbe> recursive;
    std::mt19937 rng;

    std::size_t pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    }
    Player randomPlayer() { return Player(1 + pick(iterative->getMap().getPlayers())); }

    // The squares where `accept` holds, one of them at random or INVALID_INDEX.
    template <typename Accept>
    index_t randomSquare(Accept accept) {
        std::vector<index_t> found;
        for (index_t i = 0; i < iterative->getBoardSize(); ++i) {
            if (accept(i)) {
                found.push_back(i);
            }
        }
        return found.empty() ? INVALID_INDEX : found[pick(found.size())];
    }

    // A random legal placement of the player on both boards; false when it had none.
    bool randomMove(Player player) {
        const index_t index = randomSquare(
            [&](index_t i) { return iterative->makeMove(player, i, MoveChoice::NONE, false); });
        if (index == INVALID_INDEX) {
            return false;
        }
        const Square square = iterative->get_square(index);
        const MoveChoice choice = square == Square::CHOICE  ? MoveChoice(randomPlayer())
                                  : square != Square::BONUS ? MoveChoice::NONE
                                  : pick(2) == 0            ? MoveChoice::BOMB
                                                            : MoveChoice::OVERRIDE;
        EXPECT_TRUE(iterative->makeMove(player, index, choice, true));
        EXPECT_TRUE(recursive->makeMove(player, index, choice, true));
        return true;
    }

    // A throw of a random player at a random non-hole square: the blast on the first board,
    // rec_bomb on the second.
    void randomBomb() {
        const index_t target =
            randomSquare([&](index_t i) { return iterative->get_square(i) != Square::NONE; });
        if (target == INVALID_INDEX) {
            return;
        }
        const Player player = randomPlayer();
        iterative->state.player_bombs[static_cast<unsigned>(player)] = 1;
        EXPECT_TRUE(iterative->throwBomb(player, target, true));
        std::vector<int> visited(recursive->getBoardSize(), 0);
        recursive->rec_bomb(target, recursive->getMap().getBombStrength() + 1, visited.data());
    }

    // testPathBfs agrees with the check mode of checkCapture away from expansion squares.
    void checkWalksAgree(Player player) const {
        for (index_t i = 0; i < iterative->getBoardSize(); ++i) {
            const Square s = iterative->get_square(i);
            if (s != Square::NONE && s != Square::EXPANSION) {
                ASSERT_EQ(iterative->checkCapture(player, i, false),
                          iterative->testPathBfs(i, iterative->ptob(player)))
                    << "square " << i << " player " << player;
            }
        }
    }
};

} // namespace

// Moves of the players in turn with a bomb now and then (or when nobody can move), then bombs
// until the board is all holes; each map with several bomb strengths.
TEST(BoardRandom, LongGamesKeepCountsMappingsAndTwinBoardsInStep) {
    for (const std::string& name : testing_support::sampleMapNames()) {
        unsigned moves = 0;
        for (unsigned strength : {0u, 1u, 3u}) {
            SCOPED_TRACE(name + " strength " + std::to_string(strength));
            const std::string text = withStrength(name, strength);
            TwinBoards twins{BoardProbe::fromText(text), BoardProbe::fromText(text),
                             std::mt19937(strength + 1)};
            ASSERT_TRUE(twins.iterative && twins.recursive);
            const unsigned players = twins.iterative->getMap().getPlayers();
            Player turn = Player::P_INVALID;
            unsigned passes = 0;
            for (unsigned step = 0; step < 400 || twins.iterative->getReducedBoardSize() > 0;
                 ++step) {
                turn = incrementPlayer(turn, players);
                if (step >= 400 || step % 50 == 49 || passes >= players) {
                    twins.randomBomb();
                } else if (twins.randomMove(turn)) {
                    ++moves;
                    passes = 0;
                } else {
                    ++passes;
                }
                ASSERT_TRUE(invariantsHold(*twins.iterative)) << "step " << step;
                ASSERT_TRUE(invariantsHold(*twins.recursive)) << "step " << step;
                ASSERT_EQ(twins.iterative->grid(), twins.recursive->grid()) << "step " << step;
                if (step % 20 == 0 && step < 400) {
                    twins.checkWalksAgree(twins.randomPlayer());
                }
            }
            EXPECT_FALSE(twins.iterative->bomb_possible(Player::P1));
        }
        EXPECT_GE(moves, std::min(40u, testing_support::mapFromFile(name)->getPlayableTiles()));
    }
}
