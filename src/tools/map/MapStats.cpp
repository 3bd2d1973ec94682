#include "tools/map/MapStats.hpp"

#include <iomanip>

#include "common/GameBoard.hpp"
#include "tools/map/SelfPlay.hpp"

namespace {

// Legal placements of the player on an untouched board: all of them, and those on a free
// square, which need no override stone. The board's check mode changes nothing.
void countStartMoves(const Map& map, const GameBoard& start, Player player, unsigned& all,
                     unsigned& plain) {
    auto& board = const_cast<GameBoard&>(start);
    all = plain = 0;
    const auto size = static_cast<index_t>(map.getTotalTiles());
    for (index_t index = 0; index < size; ++index) {
        if (board.makeMove(player, index, MoveChoice::NONE, false)) {
            ++all;
            plain += board.occupied(index) ? 0 : 1;
        }
    }
}

void countSquare(MapStats& stats, Square s) {
    switch (s) {
    case Square::NONE:
        ++stats.holes;
        break;
    case Square::CHOICE:
        ++stats.choice;
        break;
    case Square::INVERSION:
        ++stats.inversion;
        break;
    case Square::BONUS:
        ++stats.bonus;
        break;
    case Square::EXPANSION:
        ++stats.expansion;
        break;
    default:
        if (s >= Square::PLAYER1 && static_cast<unsigned>(s) <= stats.players) {
            ++stats.startStones[static_cast<unsigned>(s) - 1];
        }
    }
}

} // namespace

MapStats mapStats(const Map& map) {
    MapStats stats;
    stats.players = map.getPlayers();
    stats.width = map.getWidth();
    stats.height = map.getHeight();
    stats.playable = map.getPlayableTiles();
    stats.transitions = static_cast<unsigned>(map.getTransitions().size());
    stats.startStones.assign(stats.players, 0);
    for (map_axis y = 0; y < map.getHeight(); ++y) {
        for (map_axis x = 0; x < map.getWidth(); ++x) {
            countSquare(stats, map.getTile(x, y));
        }
    }
    const GameBoard board(map);
    for (unsigned p = 1; p <= stats.players; ++p) {
        unsigned all = 0;
        unsigned plain = 0;
        countStartMoves(map, board, static_cast<Player>(p), all, plain);
        stats.startMoves.push_back(all);
        stats.startPlainMoves.push_back(plain);
    }
    return stats;
}

// Bot b sits in seat (b + game) mod n and keeps its own tie-break seed, so over n games each
// bot has played each seat once.
std::vector<double> rotatedGameShares(const Map& map, unsigned game, std::uint32_t seed,
                                      bool& finished) {
    const unsigned n = map.getPlayers();
    std::vector<std::uint32_t> seeds(n);
    for (unsigned bot = 0; bot < n; ++bot) {
        seeds[(bot + game) % n] = seed + bot * 7919u + (game / n) * 104729u;
    }
    const SelfPlayResult result = playGreedyGame(map, seeds);
    finished = result.finished;
    return winShares(result.scores);
}

void printStats(std::ostream& os, const MapStats& stats) {
    os << "size: " << stats.width << " x " << stats.height << " (" << stats.width << " columns, "
       << stats.height << " rows), " << stats.players << " players\n"
       << "squares: " << stats.playable << " playable, " << stats.holes << " holes\n"
       << "special squares: " << stats.choice << " choice, " << stats.inversion << " inversion, "
       << stats.bonus << " bonus, " << stats.expansion << " expansion\n"
       << "transitions: " << stats.transitions << '\n';
    for (unsigned seat = 0; seat < stats.players; ++seat) {
        os << "player " << seat + 1 << ": " << stats.startStones[seat] << " start stones, "
           << stats.startMoves[seat] << " legal moves at the start (" << stats.startPlainMoves[seat]
           << " without override stones)";
        if (stats.games > 0) {
            os << ", wins " << std::fixed << std::setprecision(1) << 100.0 * stats.winShare[seat]
               << " %";
        }
        os << '\n';
    }
    if (stats.games > 0) {
        os << "self-play: " << stats.games << " greedy games, seats rotated";
        if (stats.unfinished > 0) {
            os << ", " << stats.unfinished << " did not finish";
        }
        os << '\n';
    }
}
