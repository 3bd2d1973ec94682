// Long random sequences of moves and bombs on every sample map, checked against a second way
// of computing the same thing: testPathBfs against the walks of checkCapture, the iterative
// blast against rec_bomb on a twin board, and the counters against a recount.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/BoardProbe.hpp"
#include "tests/support/TestPaths.hpp"

using testing_support::BoardProbe;

namespace {

std::vector<std::string> sampleMaps() {
    std::vector<std::string> paths;
    for (const auto& entry :
         std::filesystem::directory_iterator(testing_support::sourceDir() + "/maps")) {
        if (entry.path().extension() == ".map") {
            paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The same map text with another bomb strength (the fourth header number).
std::string withStrength(const std::string& text, unsigned strength) {
    std::istringstream in(text);
    unsigned players = 0;
    unsigned overrides = 0;
    unsigned bombs = 0;
    unsigned ignored = 0;
    in >> players >> overrides >> bombs >> ignored;
    std::ostringstream out;
    out << players << ' ' << overrides << ' ' << bombs << ' ' << strength << in.rdbuf();
    return out.str();
}

// Two boards of one map that receive the same moves; bombs are thrown on the first and
// computed by rec_bomb on the second.
class TwinGame {
public:
    TwinGame(const std::string& text, unsigned seed)
        : iterative(BoardProbe::fromText(text)), recursive(BoardProbe::fromText(text)), rng(seed) {}

    bool valid() const { return iterative && recursive; }

    void checkWalksAgree(Player player) const {
        const Square colour = iterative->ptob(player);
        for (index_t i = 0; i < iterative->getBoardSize(); ++i) {
            const Square s = iterative->get_square(i);
            if (s == Square::NONE || s == Square::EXPANSION) {
                continue;
            }
            ASSERT_EQ(iterative->checkCapture(player, i, false), iterative->testPathBfs(i, colour))
                << "square " << i << " player " << static_cast<unsigned>(player);
        }
    }

    // Plays a random legal placement of the next player in turn on both boards; false when
    // that player had none.
    bool randomMove() {
        turn = incrementPlayer(turn, iterative->getMap().getPlayers());
        const Player player = turn;
        std::vector<index_t> legal;
        for (index_t i = 0; i < iterative->getBoardSize(); ++i) {
            if (iterative->makeMove(player, i, MoveChoice::NONE, false)) {
                legal.push_back(i);
            }
        }
        if (legal.empty()) {
            return false;
        }
        const index_t index = legal[pick(legal.size())];
        const MoveChoice choice = randomChoice(index);
        EXPECT_TRUE(iterative->makeMove(player, index, choice, true));
        EXPECT_TRUE(recursive->makeMove(player, index, choice, true));
        return true;
    }

    // Throws at a random non-hole square: the blast on the first board, rec_bomb with power
    // radius + 1 on the second.
    void randomBomb() {
        std::vector<index_t> targets;
        for (index_t i = 0; i < iterative->getBoardSize(); ++i) {
            if (iterative->get_square(i) != Square::NONE) {
                targets.push_back(i);
            }
        }
        if (targets.empty()) {
            return;
        }
        const index_t target = targets[pick(targets.size())];
        const Player player = randomPlayer();
        iterative->state.player_bombs[static_cast<unsigned>(player)] = 1;
        EXPECT_TRUE(iterative->throwBomb(player, target, true));
        std::vector<int> visited(recursive->getBoardSize(), 0);
        const int power = recursive->getMap().getBombStrength() + 1;
        recursive->rec_bomb(target, power, visited.data());
        EXPECT_EQ(iterative->grid(), recursive->grid()) << "target " << target;
    }

    Player randomPlayer() {
        return static_cast<Player>(1 + pick(iterative->getMap().getPlayers()));
    }

    std::unique_ptr<BoardProbe> iterative;
    std::unique_ptr<BoardProbe> recursive;

private:
    std::size_t pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    }

    MoveChoice randomChoice(index_t index) {
        switch (iterative->get_square(index)) {
        case Square::CHOICE:
            return static_cast<MoveChoice>(randomPlayer());
        case Square::BONUS:
            return pick(2) == 0 ? MoveChoice::BOMB : MoveChoice::OVERRIDE;
        default:
            return MoveChoice::NONE;
        }
    }

    std::mt19937 rng;
    Player turn = Player::P_INVALID;
};

} // namespace

TEST(BoardRandom, LongGamesKeepCountsMappingsAndTwinBoardsInStep) {
    const auto maps = sampleMaps();
    ASSERT_FALSE(maps.empty());
    for (const std::string& path : maps) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE(path + " seed " + std::to_string(seed));
            TwinGame game(readFile(path), seed);
            ASSERT_TRUE(game.valid());
            unsigned moves = 0;
            unsigned passes = 0;
            for (unsigned step = 0; step < 400; ++step) {
                if (step % 50 == 49 || passes >= game.iterative->getMap().getPlayers()) {
                    game.randomBomb();
                } else if (game.randomMove()) {
                    ++moves;
                    passes = 0;
                } else {
                    ++passes;
                }
                ASSERT_TRUE(game.iterative->invariantsHold()) << "step " << step;
                ASSERT_TRUE(game.recursive->invariantsHold()) << "step " << step;
                ASSERT_EQ(game.iterative->grid(), game.recursive->grid()) << "step " << step;
                if (step % 20 == 0) {
                    game.checkWalksAgree(game.randomPlayer());
                }
            }
            EXPECT_GE(moves, std::min(40u, game.iterative->getMap().getPlayableTiles() / 2));
        }
    }
}

TEST(BoardRandom, BlastMatchesRecursiveBlastForSeveralStrengths) {
    for (const std::string& path : sampleMaps()) {
        for (unsigned strength = 0; strength <= 4; ++strength) {
            SCOPED_TRACE(path + " strength " + std::to_string(strength));
            TwinGame game(withStrength(readFile(path), strength), strength + 10);
            ASSERT_TRUE(game.valid());
            while (game.iterative->getReducedBoardSize() > 0) {
                game.randomBomb();
                ASSERT_TRUE(game.iterative->invariantsHold());
                ASSERT_TRUE(game.recursive->invariantsHold());
            }
            EXPECT_FALSE(game.iterative->bomb_possible(Player::P1));
        }
    }
}
