// reversi-tune texel: the fit recovers the weights of a known linear model, the rank score of
// a result, and the features of recorded positions against the evaluation itself.
#include <cmath>
#include <random>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "common/GameRecord.hpp"
#include "search/Evaluation.hpp"
#include "tests/support/GameSupport.hpp"
#include "tools/tune/Texel.hpp"

using namespace testing_support;

namespace {

// A record of a random game on the map; with `disqualify`, player 2 is disqualified after ten
// moves.
GameRecordData randomRecord(const Map& map, std::mt19937& rng, bool disqualify) {
    Game game(map, false);
    GameRecord record;
    record.openInMemory();
    record.writeMap(map);
    for (unsigned n = 0; !game.is_final(); ++n) {
        if (disqualify && n == 10) {
            game.disqualify(Player(2));
            record.writeDisqualification(Player(2), "illegal move");
            continue;
        }
        const Move move = randomMove(game, rng);
        if (!move.isValid()) {
            break;
        }
        game.makeMove(move);
        record.writeMove(move);
    }
    record.writeScores(game);
    GameRecordData data;
    std::istringstream in(record.text());
    std::string error;
    EXPECT_TRUE(readGameRecord(in, data, error)) << error;
    return data;
}

} // namespace

// Positions labelled with the probabilities of a known model: K is found again with the true
// weights, and from zero the fit comes back to the true weights; a weight not fitted stays.
TEST(TexelFit, RecoversTheWeightsOfAKnownLinearModel) {
    std::mt19937 rng(4);
    const std::vector<double> truth = {30, -12, 5, 48, -25, 0, 9, 17};
    constexpr double K = 0.02;
    std::vector<TexelPosition> positions(3000);
    for (TexelPosition& position : positions) {
        for (std::uint32_t i = 0; i < truth.size(); ++i) {
            if (rng() % 3 != 0) {
                position.features.emplace_back(i, static_cast<float>(rng() % 7) - 3.0f);
            }
        }
        position.offset = static_cast<float>(rng() % 21) - 10.0f;
        position.label =
            static_cast<float>(1.0 / (1.0 + std::exp(-K * texelScore(position, truth))));
    }
    EXPECT_NEAR(fitTexelScale(positions, truth), K, K * 0.02);

    std::vector<double> weights(truth.size(), 0.0);
    weights[7] = 17;
    TexelOptions options;
    options.iterations = 1500;
    options.rate = 0.5;
    options.fitted.assign(truth.size(), true);
    options.fitted[7] = false;
    const double before = texelLoss(positions, weights, K);
    fitTexelWeights(positions, weights, K, options, nullptr);
    EXPECT_LT(texelLoss(positions, weights, K), before);
    for (std::size_t i = 0; i < truth.size(); ++i) {
        EXPECT_NEAR(weights[i], truth[i], 1.0) << "weight " << i;
    }
}

// First 1, last 0, linear between, shared ranks averaged, a disqualified player (-1) last.
TEST(TexelData, RankScore) {
    const std::vector<int> scores = {10, 5, 5, -1};
    EXPECT_DOUBLE_EQ(rankScore(scores, 1), 1.0);
    EXPECT_DOUBLE_EQ(rankScore(scores, 2), 0.5);
    EXPECT_DOUBLE_EQ(rankScore(scores, 3), 0.5);
    EXPECT_DOUBLE_EQ(rankScore(scores, 4), 0.0);
    EXPECT_DOUBLE_EQ(rankScore({7, 7}, 2), 0.5);
    EXPECT_DOUBLE_EQ(rankScore({3, 9}, 1), 0.0);
}

// With weights of every kind set (patterns and stability included), the linear model of each
// recorded position gives what the evaluation itself gives the player to move, within the
// rounding of its integer arithmetic: on the classic map and on four-player maps with holes,
// transitions, special squares and a disqualification.
TEST(TexelData, FeaturesReproduceTheEvaluation) {
    std::mt19937 rng(9);
    SearchParams params;
    params.stabilityWeight = 13;
    params.patternMaxPlayers = 8;
    // One stone weight for every stage, so that the stage's integer interpolation is exact.
    params.stoneWeightEarly = 6;
    params.stoneWeightLate = 6;
    auto patterns = std::make_shared<PatternWeights>();
    for (int& w : patterns->weights) {
        w = static_cast<int>(rng() % 61) - 30;
    }
    params.patterns = patterns;
    const std::vector<double> weights = texelWeights(params);
    for (const char* name : {"classic8x8.map", "holes4p.map", "transitions4p.map"}) {
        const auto map = mapFromFile(name);
        const GameRecordData record = randomRecord(*map, rng, name[0] != 'c');
        std::vector<TexelPosition> positions;
        std::string error;
        ASSERT_TRUE(texelPositions(record, params, {1, 0}, positions, error)) << error;
        RecordReplay replay;
        ASSERT_TRUE(replay.start(record, error));
        const Evaluator evaluator(SearchBoard(replay.map()), params);
        std::size_t next = 0;
        while (!replay.atEnd()) {
            ASSERT_TRUE(replay.step(error)) << error;
            const SearchBoard board(replay.game());
            if (board.phase() != GamePhase::BUILD || board.isDisqualified(board.toMove()) ||
                board.validPlayers() < 2) {
                continue;
            }
            ASSERT_LT(next, positions.size());
            const double linear = texelScore(positions[next++], weights);
            const int stones = static_cast<int>(board.nonHoles());
            EXPECT_NEAR(linear, evaluator.evaluate(board, board.toMove()), 4 + stones / 4)
                << name << " event " << replay.position();
        }
        EXPECT_EQ(next, positions.size());
        EXPECT_GT(next, 10u);
    }
}
