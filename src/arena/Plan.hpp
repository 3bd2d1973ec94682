// The games of a tournament: which map, which player in which seat, and which seed. The plan
// is a pure function of the options, so that every process that runs a single game of it
// (another machine, a job array) computes the same game under the same number.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A contestant: a name for the table and the shell command that starts it. A name may be
// entered several times (with the same command) to field several copies of one program.
struct PlayerEntry {
    std::string name;
    std::string command;
};

struct PlannedGame {
    // From 1, in the order maps and games were given.
    unsigned index = 0;
    std::string map;
    // Per seat, from seat 1: an index into the player entries.
    std::vector<std::size_t> seats;
    std::uint32_t seed = 0;
};

// Reads "NAME=COMMAND"; false for a missing "=", an invalid name or an empty command.
bool parsePlayerOption(const std::string& text, PlayerEntry& entry);

// The games of all maps in order: `games` per map, where map m has seatCounts[m] seats. In
// game g of a map, seat s holds entry (g + s) mod P of the P entries: over any P consecutive
// games every entry sits in every seat exactly once, also when the map has more or fewer
// seats than there are entries.
std::vector<PlannedGame> planGames(const std::vector<std::string>& maps,
                                   const std::vector<std::size_t>& seatCounts, unsigned games,
                                   std::size_t entries, std::uint32_t seed);

// The seed a seat's player gets through {seed}: different for every game and seat.
std::uint32_t seatSeed(const PlannedGame& game, std::size_t seat);

// The command with {host}, {port}, {seed} and {seat} replaced; other braces stay as they are.
std::string expandCommand(const std::string& command,
                          const std::map<std::string, std::string>& values);

// The text quoted for /bin/sh so that it stays one word, whatever it contains.
std::string shellQuote(const std::string& text);
