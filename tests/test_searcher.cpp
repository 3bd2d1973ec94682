// The AI's search: a legal answer in every kind of position of every sample map, a won
// position solved, a win found with three players not taken for a proof, the depth limit
// kept, the time budget kept on a clock of the test's own, an answer at once when time is
// short, and the transposition table changing nothing but the speed.
#include <chrono>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "search/Searcher.hpp"
#include "search/TimeBudget.hpp"
#include "tests/support/GameSupport.hpp"
#include "tests/support/SearchSupport.hpp"

using namespace testing_support;

namespace {

// Player 1 on turn captures every opposing stone with its one move, and the game is over: with
// two players a proven win, with three one only under the model of the opponents. Below, the
// same on a single row, where every line ends within three moves.
constexpr const char* TwoPlayersWinAtOnce = "2\n0\n0 0\n4 6\n"
                                            "1 2 0 0 0 0\n"
                                            "0 0 0 0 0 0\n"
                                            "0 0 0 0 0 0\n"
                                            "0 0 0 0 0 0\n";
constexpr const char* ThreePlayersWinAtOnce = "3\n0\n0 0\n4 6\n"
                                              "1 2 3 0 0 0\n"
                                              "0 0 0 0 0 0\n"
                                              "0 0 0 0 0 0\n"
                                              "0 0 0 0 0 0\n";
constexpr const char* ThreePlayersOnARow = "3\n0\n0 0\n1 6\n"
                                           "1 2 3 0 0 0\n";

// A clock that stands where the test sets it, and moves on to `later` at the
// `readingsToJump`-th reading from when that is set, so that a search stops at a chosen point.
struct TestClock {
    SearchClock::time_point now = SearchClock::time_point{} + std::chrono::hours(1);
    SearchClock::time_point later;
    unsigned readingsToJump = 0;

    SearchNow reader() {
        return [this] {
            if (readingsToJump != 0 && --readingsToJump == 0) {
                now = later;
            }
            return now;
        };
    }
};

// The exact stone margin of player 1 with both sides playing their best, by plain minimax.
int solve(SearchBoard& board) {
    if (board.isFinal()) {
        return static_cast<int>(board.stones(Player::P1)) -
               static_cast<int>(board.stones(static_cast<Player>(2)));
    }
    std::vector<SearchMove> moves;
    board.generateMoves(moves);
    const bool max = board.toMove() == Player::P1;
    int best = max ? -1000 : 1000;
    for (const SearchMove& m : moves) {
        board.makeMove(m);
        const int v = solve(board);
        board.unmakeMove();
        best = max ? std::max(best, v) : std::min(best, v);
    }
    return best;
}

SearchInfo searchTo(SearchBoard& board, unsigned depth, TranspositionTable* table,
                    MultiPlayerSearch strategy) {
    Searcher searcher(board, table);
    searcher.setStrategy(strategy);
    SearchLimits limits;
    limits.depth = depth;
    return searcher.search(board, limits);
}

} // namespace

// Random games to the end on every map, once with a player disqualified on the way; now and
// then both strategies search the position with a small node budget.
TEST(Searcher, AnswersLegallyInRandomGamesOnEveryMap) {
    std::mt19937 rng(13);
    for (const std::string& name : sampleMapNames()) {
        SCOPED_TRACE(name);
        const auto map = mapFromFile(name);
        const bool huge = map->getPlayableTiles() > 1000;
        for (int round = 0; round < (huge ? 1 : 2); ++round) {
            Game game(*map, false);
            TranspositionTable table(1);
            unsigned moves = 0;
            bool bombPhaseSearched = false;
            while (!game.is_final() && moves < (huge ? 300u : 5000u)) {
                if (round == 1 && moves == 12 && game.getNrPlayers() > 2) {
                    game.disqualify(static_cast<Player>(rng() % game.getNrPlayers() + 1));
                    continue;
                }
                if (moves % (huge ? 60 : 11) == 0 || (game.is_terminal() && !bombPhaseSearched)) {
                    bombPhaseSearched = bombPhaseSearched || game.is_terminal();
                    SearchBoard board(game);
                    Searcher searcher(board, &table);
                    searcher.setStrategy(moves % 2 ? MultiPlayerSearch::PARANOID
                                                   : MultiPlayerSearch::BEST_REPLY);
                    SearchLimits limits;
                    limits.depth = 3;
                    limits.nodes = huge ? 100 : 400;
                    expectLegal(game, board, searcher.search(board, limits).best);
                }
                ASSERT_TRUE(game.makeMove(randomMove(game, rng)));
                ++moves;
            }
        }
    }
}

// The searcher finds the one winning move and proves the win, as plain minimax does.
TEST(Searcher, SolvesAPositionWithOneWinningMove) {
    const auto map = mapFromText(OneWinningMove);
    SearchBoard board(*map);
    std::vector<SearchMove> moves;
    board.generateMoves(moves);
    ASSERT_EQ(moves.size(), 4u);
    unsigned wins = 0;
    for (const SearchMove& m : moves) {
        board.makeMove(m);
        wins += solve(board) > 0;
        board.unmakeMove();
    }
    EXPECT_EQ(wins, 1u);
    TranspositionTable table(1);
    const SearchInfo info = searchTo(board, 0, &table, MultiPlayerSearch::PARANOID);
    const Move best = board.toMove(info.best.move);
    EXPECT_EQ(best.x, 4);
    EXPECT_EQ(best.y, 0);
    EXPECT_TRUE(info.exact);
    EXPECT_GT(info.score, SearchParams::WinScore);
}

// A won game found at depth 1 ends the deepening with two players; with three, under either
// model of the opponents, the deepening goes on to the depth limit, or to the depth where every
// line has ended.
TEST(Searcher, EndsTheDeepeningOnAWinOnlyWithTwoPlayers) {
    const struct {
        const char* map;
        MultiPlayerSearch strategy;
        unsigned limit;
        unsigned depth;
        bool exact;
    } cases[] = {
        {TwoPlayersWinAtOnce, MultiPlayerSearch::PARANOID, 4, 1, true},
        {ThreePlayersWinAtOnce, MultiPlayerSearch::PARANOID, 4, 4, false},
        {ThreePlayersWinAtOnce, MultiPlayerSearch::BEST_REPLY, 4, 4, false},
        {ThreePlayersOnARow, MultiPlayerSearch::BEST_REPLY, 10, 3, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.map);
        const auto map = mapFromText(c.map);
        SearchBoard board(*map);
        Searcher searcher(board, nullptr);
        searcher.setStrategy(c.strategy);
        SearchLimits limits;
        limits.depth = c.limit;
        std::vector<int> scores;
        const SearchInfo info = searcher.search(
            board, limits, [&scores](const SearchInfo& i) { scores.push_back(i.score); });
        EXPECT_EQ(info.depth, c.depth);
        EXPECT_EQ(info.exact, c.exact);
        ASSERT_EQ(scores.size(), c.depth);
        for (const int score : scores) {
            EXPECT_GT(score, SearchParams::WinScore);
        }
    }
}

// Best-reply search with a root width of one looks beyond depth 2 only at the move depth 2
// found best, and so keeps it.
TEST(Searcher, KeepsTheRootWidthOfBestReplySearch) {
    const auto map = mapFromFile("eight8p.map");
    SearchBoard board(*map);
    SearchParams params;
    params.bestReplyRootWidth = 1;
    Searcher searcher(board, nullptr, params);
    SearchLimits limits;
    limits.depth = 4;
    std::vector<SearchMove> best;
    searcher.search(board, limits, [&best](const SearchInfo& i) { best.push_back(i.best.move); });
    ASSERT_EQ(best.size(), 4u);
    EXPECT_EQ(best[2], best[1]);
    EXPECT_EQ(best[3], best[1]);
}

// Iterations stop at the depth limit, the line is no longer than it, and each completed
// iteration is reported once.
TEST(Searcher, KeepsTheDepthLimit) {
    for (const char* name : {"classic8x8.map", "eight8p.map"}) {
        SCOPED_TRACE(name);
        const auto map = mapFromFile(name);
        SearchBoard board(*map);
        for (unsigned depth : {1u, 2u, 4u}) {
            Searcher searcher(board, nullptr);
            SearchLimits limits;
            limits.depth = depth;
            unsigned reported = 0;
            const SearchInfo info =
                searcher.search(board, limits, [&reported](const SearchInfo& i) {
                    EXPECT_EQ(i.depth, ++reported);
                });
            EXPECT_EQ(info.depth, depth);
            EXPECT_EQ(reported, depth);
            EXPECT_LE(info.pv.size(), depth);
            EXPECT_FALSE(info.pv.empty());
            EXPECT_EQ(info.pv.front(), info.best);
        }
    }
}

// With a few milliseconds, or none at all, the search still answers with a legal move.
TEST(Searcher, AnswersWhenTimeIsShort) {
    std::mt19937 rng(5);
    for (const char* name : {"huge50x50.map", "eight8p.map", "classic8x8.map"}) {
        SCOPED_TRACE(name);
        const auto map = mapFromFile(name);
        Game game(*map, false);
        for (int i = 0; i < 40; ++i) {
            ASSERT_TRUE(game.makeMove(randomMove(game, rng)));
        }
        SearchBoard board(game);
        Searcher searcher(board, nullptr);
        for (unsigned limitMs : {0u, 1u, 21u, 30u, 60u}) {
            SCOPED_TRACE(limitMs);
            const SearchInfo info =
                searcher.search(board, moveLimits(SearchClock::now(), limitMs, 0));
            expectLegal(game, board, info.best);
            EXPECT_LT(info.depth, SearchParams::MaxDepth);
        }
    }
}

// The budget of a request as docs/ai.md gives it: the limit (after the client's safety offset,
// so 500 for a server's 1000) less 15 % less 10 ms, no new iteration after 45 % of that, and
// --movetime (1000 by default) for a limit of 0; a limit within the margin leaves nothing.
TEST(TimeBudget, LeavesTheDocumentedMargins) {
    const struct {
        unsigned limitMs;
        unsigned moveTimeMs;
        long long deadlineUs;
        long long softUs;
    } cases[] = {
        {500, 1000, 415'000, 186'750},
        {4500, 1000, 3'815'000, 1'716'750},
        {0, 200, 160'000, 72'000},
        {0, SearchParams::DefaultMoveTimeMs, 840'000, 378'000},
        {12, 1000, 200, 90},
        {11, 1000, 0, 0},
        {1, 1000, 0, 0},
    };
    const SearchClock::time_point start{};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limitMs);
        const SearchLimits limits = moveLimits(start, grantedMs(c.limitMs, c.moveTimeMs), 7);
        const auto us = [start](SearchClock::time_point t) {
            return std::chrono::duration_cast<std::chrono::microseconds>(t - start).count();
        };
        EXPECT_NEAR(us(limits.deadline), c.deadlineUs, 1);
        EXPECT_NEAR(us(limits.softDeadline), c.softUs, 1);
        EXPECT_EQ(limits.depth, 7u);
    }
}

// On the budget of a 500 ms limit (415 ms, no new iteration after 186.75 ms), read from a clock
// of the test's own: (a) when the clock reaches the deadline at its first reading inside
// iteration 4, the answer is the move, score and line of iteration 3, though nodes of
// iteration 4 were searched; a microsecond earlier iteration 4 ends and no fifth starts. (b)
// At 186.75 ms after iteration 2 no third one starts; a microsecond before it the search goes on
// to the depth limit.
TEST(Searcher, KeepsItsTimeBudgetOnItsClock) {
    const auto map = mapFromFile("classic8x8.map");
    SearchBoard board(*map);
    using std::chrono::microseconds;
    const struct {
        unsigned afterDepth;
        long long atUs;
        unsigned readings;
        unsigned depth;
    } cases[] = {
        {3, 415'000, 2, 3},
        {3, 414'999, 2, 4},
        {2, 186'750, 1, 2},
        {2, 186'749, 1, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.atUs);
        TestClock clock;
        Searcher searcher(board, nullptr);
        searcher.setClock(clock.reader());
        const SearchLimits limits = moveLimits(clock.now, 500, 6);
        SearchInfo last;
        const SearchInfo info = searcher.search(board, limits, [&](const SearchInfo& i) {
            if (i.depth == c.afterDepth) {
                last = i;
                clock.later = clock.now + microseconds(c.atUs);
                clock.readingsToJump = c.readings;
            }
        });
        EXPECT_EQ(info.depth, c.depth);
        if (c.depth == c.afterDepth) {
            EXPECT_EQ(info.best, last.best);
            EXPECT_EQ(info.score, last.score);
            EXPECT_EQ(info.pv, last.pv);
            EXPECT_EQ(info.nodes > last.nodes, c.readings > 1);
        }
    }
}

// At a fixed depth every position has exactly one value, whatever the table saved on the way.
TEST(Searcher, TranspositionTableKeepsTheValue) {
    std::mt19937 rng(21);
    const struct {
        const char* map;
        unsigned depth;
        MultiPlayerSearch strategy;
    } cases[] = {
        {"classic8x8.map", 5, MultiPlayerSearch::PARANOID},
        {"example2p.map", 6, MultiPlayerSearch::PARANOID},
        {"transitions4p.map", 4, MultiPlayerSearch::PARANOID},
        {"transitions4p.map", 4, MultiPlayerSearch::BEST_REPLY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.map);
        const auto map = mapFromFile(c.map);
        for (int position = 0; position < 6; ++position) {
            Game game(*map, false);
            const unsigned moves = rng() % 24;
            for (unsigned i = 0; i < moves && !game.is_final(); ++i) {
                ASSERT_TRUE(game.makeMove(randomMove(game, rng)));
            }
            if (game.is_final()) {
                continue;
            }
            SearchBoard board(game);
            TranspositionTable table(1);
            const SearchInfo with = searchTo(board, c.depth, &table, c.strategy);
            const SearchInfo without = searchTo(board, c.depth, nullptr, c.strategy);
            EXPECT_EQ(with.score, without.score) << board.asSimpleString();
            EXPECT_EQ(with.depth, without.depth);
        }
    }
}
