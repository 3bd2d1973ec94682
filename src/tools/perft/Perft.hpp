// Counting the leaves of the move tree (perft) with either rules engine: the search board, or
// the referee (Game with its GameBoard) as the reference that the search board must match.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/GameTypes.hpp"
#include "common/Map.hpp"

// The move sequences of exactly `depth` moves from the start of a map. Every choice or bonus
// variant is a move of its own, a player who cannot move is skipped as the turn engine skips
// him, and a game that ends before `depth` moves adds nothing.
class PerftEngine {
public:
    virtual ~PerftEngine() = default;
    // Leaves at `depth` (>= 1) from the start.
    virtual std::uint64_t count(unsigned depth) = 0;
    // The leaves under each first move, in the generator's order.
    virtual std::vector<std::pair<Move, std::uint64_t>> divide(unsigned depth) = 0;
};

// "search" or "reference"; null for any other name. The map must be valid and outlive the
// engine.
std::unique_ptr<PerftEngine> makePerftEngine(const std::string& name, const Map& map);
