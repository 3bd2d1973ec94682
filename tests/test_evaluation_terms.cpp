// Terms of the evaluation: stable stones checked against random continuations, the pattern
// tables' file, the patterns and the whole evaluation on mirror images of classic positions,
// the risk of being taken out handed on by inversions, and override stones weighed by the map.
#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "search/Evaluation.hpp"
#include "search/Stability.hpp"
#include "tests/support/GameSupport.hpp"
#include "tools/map/MapGenerator.hpp"

using namespace testing_support;

namespace {

// A move that may change stones without closing a line over them: an override stone, or a
// stone on an inversion or choice square.
bool rearranges(const SearchBoard& board, const SearchMove& move) {
    const Square target = board.square(move.index);
    return board.isOccupied(move.index) || target == Square::INVERSION || target == Square::CHOICE;
}

// Plays a random game on the map; before every move of the build phase finds the stable
// stones, and after a move that only captures checks that each of them kept its colour and is
// found stable again. Returns the most stable stones seen at once.
unsigned checkStability(const Map& map, std::mt19937& rng) {
    SearchBoard board(map);
    StableStones stable(board);
    std::vector<SearchMove> moves;
    std::array<unsigned, 9> count{};
    unsigned most = 0;
    while (!board.isFinal() && board.phase() == GamePhase::BUILD) {
        board.generateMoves(moves);
        if (moves.empty()) {
            break;
        }
        stable.find(board, count);
        std::vector<std::pair<index_t, Square>> before;
        for (unsigned i = 0; i < board.size(); ++i) {
            if (stable.isStable(static_cast<index_t>(i))) {
                before.emplace_back(static_cast<index_t>(i), board.square(static_cast<index_t>(i)));
            }
        }
        unsigned total = 0;
        for (unsigned c : count) {
            total += c;
        }
        EXPECT_EQ(total, before.size());
        most = std::max(most, total);
        const SearchMove move = moves[rng() % moves.size()];
        const bool onlyCaptures = !rearranges(board, move);
        board.makeMove(move);
        if (!onlyCaptures || board.phase() != GamePhase::BUILD) {
            continue;
        }
        stable.find(board, count);
        for (const auto& [i, colour] : before) {
            if (board.square(i) != colour || !stable.isStable(i)) {
                ADD_FAILURE() << "a stable stone flipped or was lost at " << board.x(i) << ","
                              << board.y(i);
                return most;
            }
        }
    }
    return most;
}

// The position's stones as the start of a map, with square (x, y) taken from `place(x, y)`.
template <typename Place>
std::string classicText(const SearchBoard& board, Place place) {
    std::ostringstream text;
    text << "2\n0\n0 0\n8 8\n";
    for (unsigned y = 0; y < 8; ++y) {
        for (unsigned x = 0; x < 8; ++x) {
            const auto [sx, sy] = place(x, y);
            text << static_cast<unsigned>(board.square(board.index(sx, sy)))
                 << (x < 7 ? " " : "\n");
        }
    }
    return text.str();
}

} // namespace

// On every sample map but the largest and on generated maps with transitions, holes and
// special squares, no stone found stable is ever flipped; on the full classic board every
// stone is stable.
TEST(StableStones, NoStableStoneEverFlips) {
    std::mt19937 rng(11);
    for (const std::string& name : sampleMapNames()) {
        if (name == "huge50x50.map") {
            continue;
        }
        const auto map = mapFromFile(name);
        for (int game = 0; game < 6; ++game) {
            checkStability(*map, rng);
        }
    }
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        GeneratorOptions options;
        options.players = 2 + seed % 3;
        options.width = 10;
        options.height = 9;
        options.holes = 10;
        options.transitions = 4;
        options.choice = 1;
        options.inversion = 1;
        options.overrides = 1;
        options.seed = seed;
        std::string text;
        std::string error;
        ASSERT_TRUE(generateMap(options, text, error)) << error;
        EXPECT_GT(checkStability(*mapFromText(text), rng), 0u);
    }
    const auto classic = mapFromFile("classic8x8.map");
    unsigned fullBoards = 0;
    for (int game = 0; game < 10; ++game) {
        SearchBoard board(*classic);
        std::vector<SearchMove> moves;
        while (board.generateMoves(moves), !moves.empty()) {
            board.makeMove(moves[rng() % moves.size()]);
        }
        if (board.stones(Player(1)) + board.stones(Player(2)) == 64) {
            std::array<unsigned, 9> count{};
            StableStones(board).find(board, count);
            EXPECT_EQ(count[1] + count[2], 64u);
            ++fullBoards;
        }
    }
    EXPECT_GT(fullBoards, 0u);
}

// Weights written and read back are the same; a wrong section, count or value is refused with
// its reason.
TEST(PatternWeights, FileRoundTripAndRefusals) {
    std::mt19937 rng(3);
    PatternWeights weights;
    for (int& w : weights.weights) {
        w = static_cast<int>(rng() % 2001) - 1000;
    }
    std::ostringstream text;
    weights.write(text);
    PatternWeights read;
    std::string error;
    std::istringstream in(text.str());
    ASSERT_TRUE(read.read(in, "t", error)) << error;
    EXPECT_EQ(read.weights, weights.weights);

    const std::string good = text.str();
    const auto refused = [&](const std::string& bad, const std::string& reason) {
        PatternWeights target;
        std::istringstream badIn(bad);
        std::string message;
        EXPECT_FALSE(target.read(badIn, "f", message));
        EXPECT_NE(message.find(reason), std::string::npos) << message;
        EXPECT_EQ(target.weights, std::vector<int>(PatternWeights::Size, 0));
    };
    refused("edge 6560\n", "must hold 6561");
    refused("corner 6561\n", "expected the section \"edge\"");
    std::string huge = good;
    huge.replace(huge.find("edge 6561\n") + 10, 1, "9999999 ");
    refused(huge, "weight 0 of edge");
    refused(good.substr(0, good.size() - 10), "of block is missing");
    refused(good + "7\n", "unexpected \"7\"");
    EXPECT_NE(PatternWeights::builtIn(), nullptr);
    EXPECT_EQ(PatternWeights::builtIn()->weights.size(), PatternWeights::Size);
}

// Random classic positions and their mirror images (left-right, top-bottom and the diagonal)
// give every player the same pattern configurations and the same score with random pattern
// weights and stability counted; classic has 4 corners, each with 2 edge lines and a block.
TEST(PatternSet, MirrorImagesScoreAlikeOnClassic) {
    std::mt19937 rng(8);
    auto weights = std::make_shared<PatternWeights>();
    for (int& w : weights->weights) {
        w = static_cast<int>(rng() % 201) - 100;
    }
    SearchParams params;
    params.patterns = weights;
    params.stabilityWeight = 7;
    const auto classic = mapFromFile("classic8x8.map");
    SearchBoard board(*classic);
    EXPECT_EQ(PatternSet(board).instances().size(), 12u);
    const auto configurations = [](const SearchBoard& b, Player p) {
        std::vector<unsigned> found;
        PatternSet(b).forEachIndex(b, [&](Player q, unsigned index) {
            if (q == p) {
                found.push_back(index);
            }
        });
        std::sort(found.begin(), found.end());
        return found;
    };
    std::vector<SearchMove> moves;
    for (int ply = 0; ply < 56; ++ply) {
        board.generateMoves(moves);
        if (moves.empty()) {
            break;
        }
        board.makeMove(moves[rng() % moves.size()]);
        const auto same = mapFromText(classicText(board, [](unsigned x, unsigned y) {
            return std::pair{x, y};
        }));
        const SearchBoard original(*same);
        const Evaluator evaluator(original, params);
        for (const auto& mirror : {+[](unsigned x, unsigned y) {
                                       return std::pair{7 - x, y};
                                   },
                                   +[](unsigned x, unsigned y) {
                                       return std::pair{x, 7 - y};
                                   },
                                   +[](unsigned x, unsigned y) {
                                       return std::pair{y, x};
                                   }}) {
            const auto mirrored = mapFromText(classicText(board, mirror));
            const SearchBoard image(*mirrored);
            for (const Player p : {Player(1), Player(2)}) {
                EXPECT_EQ(configurations(original, p), configurations(image, p));
            }
            EXPECT_EQ(evaluator.playerScores(original),
                      Evaluator(image, params).playerScores(image));
        }
    }
}

// With three players and an inversion square that will be taken, player 1 is about to hold
// what its predecessor, player 3, holds now: 2 stones, so player 1 is at risk of being taken
// out although it has 8. Without inversions to come its own stones keep it safe.
TEST(EvaluationInversions, HandOnTheRiskOfBeingTakenOut) {
    const auto map = mapFromText("3\n0\n0 0\n6 6\n"
                                 "1 1 1 1 0 0\n"
                                 "1 1 1 1 0 0\n"
                                 "2 2 2 0 0 0\n"
                                 "2 2 0 0 0 0\n"
                                 "3 3 0 0 0 0\n"
                                 "0 0 0 0 0 i\n");
    ASSERT_NE(map, nullptr);
    const SearchBoard board(*map);
    const auto score = [&board](int taken, int penalty) {
        SearchParams params;
        params.inversionTakenPercent = taken;
        params.survivalPenalty = penalty;
        return Evaluator(board, params).evaluate(board, Player::P1);
    };
    EXPECT_LT(score(100, 100), score(100, 0));
    EXPECT_GE(score(0, 100), score(0, 0));
}

// With two players an override stone counts overrideValue; with more, overrideManyPercent of
// it where each player's share of the map is small (eight8p: 47 squares), and in proportion to
// overrideShareSquares over the share beyond it (huge50x50: 601 squares per player).
TEST(EvaluationStock, OverrideStonesWeighAgainstEachPlayersShare) {
    const auto two = mapFromFile("classic8x8.map");
    const auto small = mapFromFile("eight8p.map");
    const auto large = mapFromFile("huge50x50.map");
    ASSERT_TRUE(two && small && large);
    SearchParams params;
    const auto value = [&params](const Map& map) {
        const SearchBoard board(map);
        return Evaluator(board, params).overrideValue();
    };
    const int many = params.overrideValue * params.overrideManyPercent / 100;
    EXPECT_EQ(value(*two), params.overrideValue);
    EXPECT_EQ(value(*small), many);
    EXPECT_EQ(value(*large), many * params.overrideShareSquares * 4 / 2404);
    params.overrideShareSquares = 601;
    EXPECT_EQ(value(*large), many);
}
