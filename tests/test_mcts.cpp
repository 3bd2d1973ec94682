// The tree search: a legal answer in every kind of position of every sample map, the one
// winning move of a small position found and proven, the depth limit and the node cap kept,
// only the best bomb throws searched, the tree of the last request reused, and the clock
// obeyed on a clock of the test's own.
#include <array>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "search/Evaluation.hpp"
#include "search/Mcts.hpp"
#include "tests/support/GameSupport.hpp"
#include "tests/support/SearchSupport.hpp"

using namespace testing_support;

namespace {

// Limits of a search of `count` iterations (no clock), the tree capped at `depth` moves.
SearchLimits iterations(std::uint64_t count, unsigned depth = 0) {
    SearchLimits limits;
    limits.nodes = count;
    limits.depth = depth;
    return limits;
}

// Every player's max-n value `depth` moves ahead, each player at the evaluation's chance at
// the end of each line (no game ends that early here).
std::array<double, 8> maxN(SearchBoard& board, const Evaluator& eval, unsigned depth) {
    std::array<double, 8> value{};
    if (depth == 0) {
        const SearchParams params;
        for (unsigned p = 1; p <= board.players(); ++p) {
            const double score = eval.evaluate(board, static_cast<Player>(p));
            value[p - 1] = 1.0 / (1.0 + std::exp(-score / params.mctsEvaluationScale));
        }
        return value;
    }
    std::vector<SearchMove> moves;
    board.generateMoves(moves);
    const unsigned mover = static_cast<unsigned>(board.toMove()) - 1;
    value[mover] = -1.0;
    for (const SearchMove move : moves) {
        board.makeMove(move);
        const auto next = maxN(board, eval, depth - 1);
        board.unmakeMove();
        value = next[mover] > value[mover] ? next : value;
    }
    return value;
}

} // namespace

// Random games to the end on every map, once with a player disqualified on the way; now and
// then one tree search, kept through the game, answers the position.
TEST(Mcts, AnswersLegallyInRandomGamesOnEveryMap) {
    std::mt19937 rng(17);
    for (const std::string& name : sampleMapNames()) {
        SCOPED_TRACE(name);
        const auto map = mapFromFile(name);
        const bool huge = map->getPlayableTiles() > 1000;
        for (int round = 0; round < 2; ++round) {
            Game game(*map, false);
            Mcts mcts(SearchBoard(game), 20'000);
            mcts.setSeed(round);
            unsigned moves = 0;
            bool bombPhaseSearched = false;
            while (!game.is_final() && moves < (huge ? 200u : 5000u)) {
                if (round == 1 && moves == 12 && game.getNrPlayers() > 2) {
                    game.disqualify(static_cast<Player>(rng() % game.getNrPlayers() + 1));
                    continue;
                }
                if (moves % (huge ? 50 : 7) == 0 || (game.is_terminal() && !bombPhaseSearched)) {
                    bombPhaseSearched = bombPhaseSearched || game.is_terminal();
                    SearchBoard board(game);
                    expectLegal(game, board, mcts.search(board, iterations(huge ? 20 : 200)).best);
                }
                ASSERT_TRUE(game.makeMove(randomMove(game, rng)));
                ++moves;
            }
        }
    }
}

// The solver proves the only winning move, and the search stops once it has.
TEST(Mcts, ProvesTheOneWinningMove) {
    const auto map = mapFromText(OneWinningMove);
    SearchBoard board(*map);
    Mcts mcts(board, 100'000);
    const MctsInfo info = mcts.search(board, iterations(50'000));
    const Move best = board.toMove(info.best.move);
    EXPECT_EQ(best.x, 4);
    EXPECT_EQ(best.y, 0);
    EXPECT_TRUE(info.exact);
    EXPECT_LT(info.iterations, 50'000u);
    EXPECT_GT(info.value, 0.9);
}

// No node of the tree lies deeper than the depth limit, and a full tree reaches it; the line
// reported is no longer than it either.
TEST(Mcts, KeepsTheDepthLimit) {
    for (const char* name : {"classic8x8.map", "eight8p.map"}) {
        SCOPED_TRACE(name);
        const auto map = mapFromFile(name);
        SearchBoard board(*map);
        for (unsigned depth : {1u, 2u, 3u}) {
            Mcts mcts(board, 100'000);
            const MctsInfo info = mcts.search(board, iterations(3000, depth));
            EXPECT_EQ(info.depth, depth);
            EXPECT_LE(info.pv.size(), depth);
            EXPECT_EQ(board.undoDepth(), 0u);
        }
    }
}

// Without a clock the search stops once every line to the depth limit is evaluated, with the
// max-n value of those lines; a search of a later position (the tree kept) does so again,
// from its own depth.
TEST(Mcts, EvaluatesEveryLineToTheDepthLimitAndStops) {
    for (const auto& [name, depth] : {std::pair{"classic8x8.map", 2u}, {"eight8p.map", 1u}}) {
        SCOPED_TRACE(name);
        const auto map = mapFromFile(name);
        SearchBoard board(*map);
        const Evaluator eval(board);
        Mcts mcts(board, 200'000);
        for (int search = 0; search < 2; ++search) {
            SearchLimits limits;
            limits.depth = depth;
            const MctsInfo info = mcts.search(board, limits);
            EXPECT_TRUE(info.complete);
            EXPECT_FALSE(info.exact);
            const unsigned root = static_cast<unsigned>(board.toMove()) - 1;
            EXPECT_NEAR(info.value, maxN(board, eval, depth)[root], 1e-4) << search;
            board.makeMove(info.best.move);
        }
    }
}

// In the bomb phase a node holds only the best throws by the evaluation, so one move deep
// the search is complete after as many iterations, with the best value of every throw.
TEST(Mcts, KeepsTheBestThrowsInTheBombPhase) {
    const auto map = mapFromFile("holes8p.map");
    Game game(*map, false);
    std::mt19937 rng(5);
    while (!game.is_terminal() && !game.is_final()) {
        ASSERT_TRUE(game.makeMove(randomMove(game, rng)));
    }
    ASSERT_TRUE(game.is_terminal());
    SearchBoard board(game);
    const Evaluator eval(board);
    Mcts mcts(board, 100'000);
    SearchLimits limits;
    limits.depth = 1;
    const MctsInfo info = mcts.search(board, limits);
    EXPECT_TRUE(info.complete);
    EXPECT_LE(info.iterations, static_cast<std::uint64_t>(SearchParams{}.mctsBombWidth) + 1);
    const unsigned root = static_cast<unsigned>(board.toMove()) - 1;
    EXPECT_NEAR(info.value, maxN(board, eval, 1)[root], 1e-4);
}

// After the move played and the reply, the next search starts from the subtree of that
// position with its visits, unless mctsReuseDepth looks only one move deep; a position the
// tree does not hold starts a new tree. A full
// pool stops the tree from growing but not the search.
TEST(Mcts, ReusesTheSubtreeAndKeepsTheNodeCap) {
    const auto map = mapFromFile("holes4p.map");
    SearchBoard board(*map);
    Mcts mcts(board, 200'000);
    const MctsInfo first = mcts.search(board, iterations(4000));
    ASSERT_GE(first.pv.size(), 2u);
    EXPECT_EQ(first.reusedVisits, 0u);
    board.makeMove(first.pv[0].move);
    board.makeMove(first.pv[1].move);
    const MctsInfo next = mcts.search(board, iterations(1));
    EXPECT_GT(next.reusedVisits, 0u);
    EXPECT_LT(next.nodes, first.nodes);

    SearchParams shallow;
    shallow.mctsReuseDepth = 1;
    SearchBoard again(*map);
    Mcts once(again, 200'000, shallow);
    once.search(again, iterations(4000));
    again.makeMove(first.pv[0].move);
    again.makeMove(first.pv[1].move);
    EXPECT_EQ(once.search(again, iterations(1)).reusedVisits, 0u);

    SearchBoard other(*map);
    std::vector<SearchMove> moves;
    other.generateMoves(moves);
    other.makeMove(moves.back());
    EXPECT_EQ(mcts.search(other, iterations(1)).reusedVisits, 0u);

    Mcts small(board, 300);
    const MctsInfo capped = small.search(board, iterations(2000));
    EXPECT_LE(capped.nodes, 300u);
    EXPECT_EQ(capped.iterations, 2000u);
}

// The search reads the clock once per iteration and stops at the deadline; with the deadline
// passed before it starts, it still answers with a legal move.
TEST(Mcts, StopsAtTheDeadline) {
    const auto map = mapFromFile("eight8p.map");
    Game game(*map, false);
    SearchBoard board(game);
    const SearchClock::time_point start{std::chrono::hours(1)};
    unsigned readings = 0;
    const auto clock = [&readings, start] {
        return start + std::chrono::milliseconds(++readings > 40 ? 100 : 0);
    };
    Mcts mcts(board, 100'000);
    mcts.setClock(clock);
    SearchLimits limits;
    limits.deadline = start + std::chrono::milliseconds(50);
    const MctsInfo info = mcts.search(board, limits);
    EXPECT_EQ(info.iterations, 39u);
    expectLegal(game, board, info.best);

    readings = 100;
    Mcts late(board, 100'000);
    late.setClock(clock);
    const MctsInfo none = late.search(board, limits);
    EXPECT_EQ(none.iterations, 0u);
    expectLegal(game, board, none.best);
}
