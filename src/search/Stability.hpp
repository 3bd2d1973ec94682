// Stable stones: stones that no capture can flip for the rest of the game, found on the search
// board from the map's corners and edges inwards, through transitions.
#pragma once

#include <array>
#include <vector>

#include "search/SearchBoard.hpp"
#include "search/SquareMarks.hpp"

// A stone is stable when on each of its four line axes a capture cannot close over it: a wall
// (rim or hole) on one side, a stable stone of its own colour next to it on one side, or no
// free square anywhere on the line through it. Captures only: an override stone, an inversion
// or a choice square changes stones without closing a line, and bombs end the build phase.
// Stability spreads from the squares with at most one open axis to their neighbours, so a stone
// is found when a chain of stable stones links it to the map's edge; a filled block cut off
// from every edge is not looked for (the count is a lower bound). Keeps scratch marks, so one
// object serves one thread.
class StableStones {
public:
    // Reads the squares with at most one open axis of the board's map.
    explicit StableStones(const SearchBoard& board);

    // Finds the stable stones of the position and counts them by colour (index 1 ... 8).
    void find(const SearchBoard& board, std::array<unsigned, 9>& byColour) const;
    // Whether the stone on square i was stable in the last position given to find.
    bool isStable(index_t i) const { return m_marks.isMarked(i); }

private:
    bool holds(const SearchBoard& board, index_t i) const;
    bool axisClosed(const SearchBoard& board, index_t i, unsigned d) const;
    static bool lineFull(const SearchBoard& board, index_t i, unsigned d);

    std::vector<index_t> m_seeds;
    mutable SquareMarks m_marks;
    mutable std::vector<index_t> m_work;
};
