// A player's own evaluation in the searcher: it scores the leaves in place of the built-in one,
// its scores are kept below the proven results, and an empty one restores the built-in one.
#include <climits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "search/SearchParams.hpp"
#include "search/Searcher.hpp"
#include "tests/support/GameSupport.hpp"

using namespace testing_support;

namespace {

int margin(const SearchBoard& board, Player root) {
    const auto other = static_cast<Player>(3 - static_cast<unsigned>(root));
    return static_cast<int>(board.stones(root)) - static_cast<int>(board.stones(other));
}

SearchInfo searchOnePly(SearchBoard& board, Searcher& searcher) {
    SearchLimits limits;
    limits.depth = 1;
    return searcher.search(board, limits);
}

// The best stone margin after one move of the player on turn, by trying every move; `sign`
// -1 looks for the worst.
int bestMargin(SearchBoard& board, int sign) {
    const Player me = board.toMove();
    std::vector<SearchMove> moves;
    board.generateMoves(moves);
    int best = INT_MIN;
    for (const SearchMove& m : moves) {
        board.makeMove(m);
        best = std::max(best, sign * margin(board, me));
        board.unmakeMove();
    }
    return best;
}

} // namespace

// On positions of random classic games a one-ply search with the stone margin as evaluation
// (and with its negation) picks a move that reaches the best margin that trying every move gives.
TEST(SearcherEvaluation, ScoresTheLeavesInPlaceOfTheBuiltInOne) {
    const auto map = mapFromFile("classic8x8.map");
    std::mt19937 rng(5);
    SearchBoard board(*map);
    for (int ply = 0; ply < 40 && !board.isFinal(); ++ply) {
        for (const int sign : {1, -1}) {
            Searcher searcher(board, nullptr);
            unsigned calls = 0;
            searcher.setEvaluation([&calls, sign](const SearchBoard& b, Player root) {
                ++calls;
                return sign * margin(b, root);
            });
            const SearchInfo info = searchOnePly(board, searcher);
            ASSERT_TRUE(info.best.move.isValid());
            board.makeMove(info.best.move);
            const int reached = sign * margin(board, info.best.player);
            board.unmakeMove();
            if (!info.exact) {
                EXPECT_GT(calls, 0u);
                EXPECT_EQ(reached, bestMargin(board, sign)) << board.asSimpleString();
            }
        }
        std::vector<SearchMove> moves;
        board.generateMoves(moves);
        board.makeMove(moves[rng() % moves.size()]);
    }
}

// An evaluation beyond every bound stays a heuristic score; the empty one gives back the
// built-in evaluation's result.
TEST(SearcherEvaluation, KeepsScoresBelowProvenResultsAndCanBeReset) {
    const auto map = mapFromFile("classic8x8.map");
    SearchBoard board(*map);
    Searcher searcher(board, nullptr);
    searcher.setEvaluation([](const SearchBoard&, Player) { return INT_MAX; });
    const SearchInfo extreme = searchOnePly(board, searcher);
    EXPECT_LT(extreme.score, SearchParams::HeuristicLimit);
    EXPECT_FALSE(extreme.exact);
    searcher.setEvaluation({});
    Searcher builtIn(board, nullptr);
    EXPECT_EQ(searchOnePly(board, searcher).score, searchOnePly(board, builtIn).score);
}
