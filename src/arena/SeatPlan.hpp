// The seat plan of a tournament: which map, which player in which seat, and which seed. The plan
// is a pure function of the options, so that every process that runs a single game of it
// (another machine, a job array) computes the same game under the same number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One game of the plan: its number, its map, the entry in each seat and its seed.
struct PlannedGame {
    // From 1: the maps take turns, in the order they were given.
    unsigned index = 0;
    std::string map;
    // Per seat, from seat 1: an index into the player entries.
    std::vector<std::size_t> seats;
    std::uint32_t seed = 0;
};

// The games of a tournament in the order of their numbers.
using SeatPlan = std::vector<PlannedGame>;

// `games` per map, where map m has seatCounts[m] seats, the maps taking turns game by game:
// a tournament stopped early (by a sequential test, or by hand) has played every map about
// equally often. In game g of a map, seat s holds entry (g + s) mod P of the P entries: over
// any P consecutive games of a map every entry sits in every seat exactly once, also when the
// map has more or fewer seats than there are entries.
SeatPlan planGames(const std::vector<std::string>& maps, const std::vector<std::size_t>& seatCounts,
                   unsigned games, std::size_t entries, std::uint32_t seed);

// The seed a seat's player gets through {seed}: different for every game and seat.
std::uint32_t seatSeed(const PlannedGame& game, std::size_t seat);
