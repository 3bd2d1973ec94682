// The figures of a map that tell its size, its terrain and how fair its start is.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <vector>

#include "common/Map.hpp"

struct MapStats {
    unsigned players = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned playable = 0;
    unsigned holes = 0;
    // Counted per kind: choice, inversion, bonus, expansion.
    unsigned choice = 0;
    unsigned inversion = 0;
    unsigned bonus = 0;
    unsigned expansion = 0;
    unsigned transitions = 0;
    // Per player 1 ... n: the stones on the map at the start and the legal moves there.
    std::vector<unsigned> startStones;
    std::vector<unsigned> startMoves;
    // Of those, the moves that need no override stone.
    std::vector<unsigned> startPlainMoves;
    // Filled by self-play only: games played and each seat's share of the wins.
    unsigned games = 0;
    unsigned unfinished = 0;
    std::vector<double> winShare;
};

// The static figures of a valid map.
MapStats mapStats(const Map& map);

// Plays `games` greedy games with the bots' seats rotating from game to game, so that every
// bot sits in every seat equally often, and adds each seat's share of the wins. `progress` is
// called after each game with the number of games done.
template <typename Progress>
void addSelfPlay(const Map& map, unsigned games, std::uint32_t seed, MapStats& stats,
                 Progress progress);

void printStats(std::ostream& os, const MapStats& stats);

// The non-template part of addSelfPlay: one game with the bots rotated by `game` seats.
std::vector<double> rotatedGameShares(const Map& map, unsigned game, std::uint32_t seed,
                                      bool& finished);

template <typename Progress>
void addSelfPlay(const Map& map, unsigned games, std::uint32_t seed, MapStats& stats,
                 Progress progress) {
    stats.winShare.assign(stats.players, 0.0);
    for (unsigned game = 0; game < games; ++game) {
        bool finished = false;
        const auto shares = rotatedGameShares(map, game, seed, finished);
        for (unsigned seat = 0; seat < stats.players; ++seat) {
            stats.winShare[seat] += shares[seat] / games;
        }
        stats.unfinished += finished ? 0 : 1;
        ++stats.games;
        progress(game + 1);
    }
}
