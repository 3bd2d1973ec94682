// Whole games between greedy bots inside one process: the rules engine referees and every
// seat takes the move the bot program would take, so a map can be played to its end without
// a server.
#pragma once

#include <cstdint>
#include <vector>

#include "common/GameRecord.hpp"
#include "common/Map.hpp"

// The outcome of one game: the scores as the server reports them (-1 for a disqualified
// player), the events played, and whether the game reached its end within the event limit.
struct SelfPlayResult {
    std::vector<int> scores;
    unsigned events = 0;
    bool finished = false;
};

// Plays a game on a valid map; seat p breaks its ties with a generator seeded seeds[p - 1]
// (missing seeds count as 0). Each event is written to `record` when it is open.
SelfPlayResult playGreedyGame(const Map& map, const std::vector<std::uint32_t>& seeds,
                              GameRecord* record = nullptr);

// The winners' share of one game per seat: 1 for a sole winner, split evenly on a tie for the
// best score; disqualified players never win.
std::vector<double> winShares(const std::vector<int>& scores);
