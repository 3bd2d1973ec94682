// Speed of the board's rules: move_possible, a full scan of legal placements (check mode on
// every square), building a board, and bomb blasts, on the classic 8 x 8 map, the largest map
// and a map full of transitions.
#include <benchmark/benchmark.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "common/GameBoard.hpp"
#include "common/Map.hpp"

namespace {

const char* const kMaps[] = {"classic8x8.map", "huge50x50.map", "eight8p.map"};

// The map text of a sample map, with the bomb strength replaced when `strength` is not -1.
std::string mapText(const std::string& name, int strength) {
    std::ifstream file(std::string(REVERSI_SOURCE_DIR) + "/maps/" + name);
    std::ostringstream text;
    text << file.rdbuf();
    if (strength < 0) {
        return text.str();
    }
    std::istringstream in(text.str());
    unsigned header[4] = {};
    in >> header[0] >> header[1] >> header[2] >> header[3];
    std::ostringstream changed;
    changed << header[0] << ' ' << header[1] << ' ' << header[2] << ' ' << strength << in.rdbuf();
    return changed.str();
}

// The maps are read once and kept for the life of the program, since boards refer to them.
// Null when the map does not read as valid.
const Map* loadMap(const std::string& name, int strength = -1) {
    static std::map<std::string, std::unique_ptr<Map>> maps;
    auto& slot = maps[name + "/" + std::to_string(strength)];
    if (!slot) {
        slot = std::make_unique<Map>();
        slot->loadFromString(mapText(name, strength));
    }
    return slot->isValid() ? slot.get() : nullptr;
}

// Plays `moves` placements, the players in turn, each at the first legal square after a
// point that wanders over the board, to reach a position of the middle game.
void advance(GameBoard& board, unsigned moves) {
    const unsigned players = board.getMap().getPlayers();
    const unsigned size = board.getBoardSize();
    Player player = Player::P_INVALID;
    for (unsigned m = 0; m < moves; ++m) {
        player = incrementPlayer(player, players);
        for (unsigned k = 0; k < size; ++k) {
            const auto index = static_cast<index_t>((m * 7919u + k) % size);
            if (board.makeMove(player, index, board.defaultChoice(index), true)) {
                break;
            }
        }
    }
}

// A board of the sample map named by the benchmark's argument, a quarter of its squares
// played; null (with the benchmark marked as skipped) when the map does not read.
std::unique_ptr<GameBoard> midGameBoard(benchmark::State& state) {
    const Map* map = loadMap(kMaps[state.range(0)]);
    if (map == nullptr) {
        state.SkipWithError("map not readable");
        return nullptr;
    }
    auto board = std::make_unique<GameBoard>(*map);
    advance(*board, static_cast<unsigned>(board->getReducedBoardSize() / 4));
    state.SetLabel(kMaps[state.range(0)]);
    return board;
}

void BM_MovePossible(benchmark::State& state) {
    const auto played = midGameBoard(state);
    if (!played) {
        return;
    }
    const GameBoard& board = *played;
    for (auto _ : state) {
        for (unsigned p = 1; p <= board.getMap().getPlayers(); ++p) {
            benchmark::DoNotOptimize(board.move_possible(static_cast<Player>(p)));
        }
    }
}
BENCHMARK(BM_MovePossible)->DenseRange(0, 2);

void BM_LegalScan(benchmark::State& state) {
    const auto played = midGameBoard(state);
    if (!played) {
        return;
    }
    GameBoard& board = *played;
    for (auto _ : state) {
        unsigned legal = 0;
        for (index_t i = 0; i < board.getBoardSize(); ++i) {
            legal += board.makeMove(Player::P1, i, MoveChoice::NONE, false) ? 1 : 0;
        }
        benchmark::DoNotOptimize(legal);
    }
    state.counters["squares/s"] = benchmark::Counter(static_cast<double>(board.getBoardSize()) *
                                                         static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LegalScan)->DenseRange(0, 2);

void BM_Construct(benchmark::State& state) {
    const Map* map = loadMap(kMaps[state.range(0)]);
    if (map == nullptr) {
        state.SkipWithError("map not readable");
        return;
    }
    state.SetLabel(kMaps[state.range(0)]);
    for (auto _ : state) {
        GameBoard board(*map);
        benchmark::DoNotOptimize(board.getReducedBoardSize());
    }
}
BENCHMARK(BM_Construct)->DenseRange(0, 2);

// One throw in the middle of the 50 x 50 map. The board is rebuilt outside the timing, which
// costs far more than the throw, hence the fixed number of iterations.
void BM_BombBlast(benchmark::State& state) {
    const Map* map = loadMap("huge50x50.map", static_cast<int>(state.range(0)));
    if (map == nullptr) {
        state.SkipWithError("map not readable");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        GameBoard board(*map);
        const index_t target = board.coords2index(24, 24);
        state.ResumeTiming();
        benchmark::DoNotOptimize(board.throwBomb(Player::P1, target, true));
    }
    state.SetLabel("huge50x50.map radius " + std::to_string(state.range(0)));
}
BENCHMARK(BM_BombBlast)->Arg(1)->Arg(4)->Arg(12)->Arg(49)->Iterations(3000);

} // namespace

BENCHMARK_MAIN();
