// Speed of the search board against the referee on the same positions: the legal moves of a
// middle-game position (search board, and the referee's generator), the move counts of every
// player, and make + unmake.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/Game.hpp"
#include "common/Map.hpp"
#include "search/SearchBoard.hpp"

namespace {

const char* const kMaps[] = {"classic8x8.map", "eight8p.map", "huge50x50.map"};

// The maps are read once and kept, since boards refer to them; null when not readable.
const Map* loadMap(const std::string& name) {
    static std::map<std::string, std::unique_ptr<Map>> maps;
    auto& slot = maps[name];
    if (!slot) {
        slot = std::make_unique<Map>();
        slot->loadFromFile(std::string(REVERSI_SOURCE_DIR) + "/maps/" + name);
    }
    return slot->isValid() ? slot.get() : nullptr;
}

// The map of a benchmark (its first argument indexes kMaps); the benchmark is skipped when
// the map is not readable.
const Map* benchmarkMap(benchmark::State& state) {
    const Map* map = loadMap(kMaps[state.range(0)]);
    if (map == nullptr) {
        state.SkipWithError("map not readable");
    }
    return map;
}

// A middle-game position: random legal moves (fixed seed) from the start until a quarter of
// the squares hold stones; with `keepOverrides` no override stone is used on the way, so that
// every occupied square stays a candidate. The same moves are played on a passive referee
// game, and `board` is then built from that game, as a player builds it before a search.
struct MidGame {
    std::unique_ptr<SearchBoard> board;
    std::unique_ptr<Game> game;
};

MidGame midGame(const Map& map, bool keepOverrides = false) {
    MidGame mid{std::make_unique<SearchBoard>(map), std::make_unique<Game>(map, true)};
    SearchBoard& board = *mid.board;
    std::mt19937 rng(12);
    std::vector<SearchMove> moves;
    const auto stones = [&board] {
        unsigned total = 0;
        for (unsigned p = 1; p <= board.players(); ++p) {
            total += board.stones(static_cast<Player>(p));
        }
        return total;
    };
    while (board.phase() == GamePhase::BUILD && stones() * 4 < board.nonHoles()) {
        board.generateMoves(moves);
        if (keepOverrides) {
            std::erase_if(moves, [&board](SearchMove m) { return board.isOccupied(m.index); });
        }
        if (moves.empty()) {
            break;
        }
        const SearchMove move = moves[rng() % moves.size()];
        mid.game->makeMove(board.toMove(move));
        board.makeMove(move);
    }
    mid.board = std::make_unique<SearchBoard>(*mid.game);
    return mid;
}

std::string label(const char* map, const SearchBoard& board, unsigned moves) {
    return std::string(map) + ", " + std::to_string(moves) + " moves, mover has " +
           std::to_string(board.overrides(board.toMove())) + " overrides";
}

void BM_SearchLegalMoves(benchmark::State& state) {
    const Map* map = benchmarkMap(state);
    if (map == nullptr) {
        return;
    }
    const MidGame mid = midGame(*map, state.range(1) != 0);
    std::vector<SearchMove> moves(mid.board->maxMoves());
    unsigned n = 0;
    for (auto _ : state) {
        n = mid.board->generateMoves(moves.data());
        benchmark::DoNotOptimize(moves.data());
    }
    state.SetLabel(label(kMaps[state.range(0)], *mid.board, n));
}
BENCHMARK(BM_SearchLegalMoves)->ArgsProduct({{0, 1, 2}, {0, 1}});

// The referee's generator on the same position: Game::nextMove until it runs out.
void BM_ReferenceLegalMoves(benchmark::State& state) {
    const Map* map = benchmarkMap(state);
    if (map == nullptr) {
        return;
    }
    const MidGame mid = midGame(*map, state.range(1) != 0);
    unsigned n = 0;
    for (auto _ : state) {
        n = 0;
        Move move;
        while (mid.game->nextMove(move, false)) {
            ++n;
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetLabel(label(kMaps[state.range(0)], *mid.board, n));
}
BENCHMARK(BM_ReferenceLegalMoves)->ArgsProduct({{0, 1, 2}, {0, 1}});

// countMoves (what perft counts at its leaves) or mobility (what the two-player evaluation
// reads) of every player of a middle-game position, the one on turn and the others.
void BM_SearchMoveCounts(benchmark::State& state) {
    const Map* map = benchmarkMap(state);
    if (map == nullptr) {
        return;
    }
    const MidGame mid = midGame(*map);
    const SearchBoard& board = *mid.board;
    unsigned (SearchBoard::*count)(Player) const =
        state.range(1) == 0 ? &SearchBoard::countMoves : &SearchBoard::mobility;
    unsigned n = 0;
    for (auto _ : state) {
        n = 0;
        for (unsigned p = 1; p <= board.players(); ++p) {
            n += (board.*count)(static_cast<Player>(p));
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetLabel(label(kMaps[state.range(0)], board, n));
}
BENCHMARK(BM_SearchMoveCounts)->ArgsProduct({{0, 1, 2}, {0, 1}});

// One make and one unmake per iteration, going round the legal moves of the position; arg 1 = 1
// with the stones next to free squares tracked.
void BM_SearchMakeUnmake(benchmark::State& state) {
    const Map* map = benchmarkMap(state);
    if (map == nullptr) {
        return;
    }
    const MidGame mid = midGame(*map);
    SearchBoard& board = *mid.board;
    board.trackNearStones(state.range(1) != 0);
    std::vector<SearchMove> moves;
    board.generateMoves(moves);
    std::size_t k = 0;
    for (auto _ : state) {
        board.makeMove(moves[k]);
        board.unmakeMove();
        k = k + 1 == moves.size() ? 0 : k + 1;
    }
    benchmark::DoNotOptimize(board.hash());
    state.SetLabel(label(kMaps[state.range(0)], board, static_cast<unsigned>(moves.size())));
}
BENCHMARK(BM_SearchMakeUnmake)->ArgsProduct({{0, 1, 2}, {0, 1}});

// The stones next to free squares that the evaluation reads: arg 1 = 0 counted from the squares
// next to stones, 1 as the board keeps them while tracking (bitboard maps always count).
void BM_NearStones(benchmark::State& state) {
    const Map* map = benchmarkMap(state);
    if (map == nullptr) {
        return;
    }
    const MidGame mid = midGame(*map);
    SearchBoard& board = *mid.board;
    board.trackNearStones(state.range(1) != 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(board.nearStones());
    }
    state.SetLabel(label(kMaps[state.range(0)], board, board.countMoves(board.toMove())));
}
BENCHMARK(BM_NearStones)->ArgsProduct({{0, 1, 2}, {0, 1}});

} // namespace

BENCHMARK_MAIN();
