// Pattern terms of the evaluation: the map's edge lines and corner blocks, and the index of
// their configuration as each player sees it (own stone, other stone, empty) into the learned
// weights.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "search/PatternWeights.hpp"
#include "search/SearchBoard.hpp"

// The edge lines and corner blocks of one map, found from its geometry through transitions:
// from every corner (a square no line can close over), the line along each of its edges and
// the 3 x 3 block between them.
class PatternSet {
public:
    // The squares of one pattern in two walking orders that mirror each other (the same order
    // for an edge line; for a block its rows and columns swapped), with INVALID_INDEX for a
    // square off the map. Its configuration is the smaller of the two numbers, so that mirror
    // images share a weight.
    struct Instance {
        unsigned offset;
        std::vector<index_t> squares;
        std::vector<std::uint32_t> digitA;
        std::vector<std::uint32_t> digitB;
    };

    explicit PatternSet(const SearchBoard& board);
    const std::vector<Instance>& instances() const { return m_instances; }

    // Calls visit(p, index) for every pattern and every player p still in the game, with the
    // index into PatternWeights::weights of the configuration as p sees it.
    template <typename Visit>
    void forEachIndex(const SearchBoard& board, Visit&& visit) const;

private:
    void addEdge(const SearchBoard& board, index_t corner, unsigned d);
    void addBlock(const SearchBoard& board, index_t corner, unsigned a, unsigned b);

    std::vector<Instance> m_instances;
};

template <typename Visit>
void PatternSet::forEachIndex(const SearchBoard& board, Visit&& visit) const {
    for (const Instance& instance : m_instances) {
        // All stones as "other" (digit 2), and per colour what its own stones take off that.
        std::uint32_t otherA = 0;
        std::uint32_t otherB = 0;
        std::array<std::uint32_t, 10> ownA{};
        std::array<std::uint32_t, 10> ownB{};
        for (std::size_t k = 0; k < instance.squares.size(); ++k) {
            const index_t i = instance.squares[k];
            if (i == INVALID_INDEX || !board.isOccupied(i)) {
                continue;
            }
            otherA += 2 * instance.digitA[k];
            otherB += 2 * instance.digitB[k];
            const auto colour = static_cast<unsigned>(board.square(i));
            ownA[colour] += instance.digitA[k];
            ownB[colour] += instance.digitB[k];
        }
        for (unsigned p = 1; p <= board.players(); ++p) {
            const auto player = static_cast<Player>(p);
            if (board.isDisqualified(player)) {
                continue;
            }
            const auto c = static_cast<unsigned>(board.colourOf(player)) % 10;
            visit(player, instance.offset + std::min(otherA - ownA[c], otherB - ownB[c]));
        }
    }
}
