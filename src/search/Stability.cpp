// The search of stable stones: seeds on the map's edges, then a work list that re-examines the
// neighbours of every stone found stable.
#include "search/Stability.hpp"

#include <algorithm>

namespace {

// A neighbour that no line can go through: off the board or a hole.
bool isWall(const SearchBoard& board, index_t n) {
    return n == INVALID_INDEX || board.isHole(n);
}

} // namespace

// The seeds are the squares with at most one open axis: a stone on a corner is stable as it
// stands, one on an edge when its edge line is full or closed by stable stones.
StableStones::StableStones(const SearchBoard& board) : m_marks(board.size()) {
    for (unsigned i = 0; i < board.size(); ++i) {
        const auto index = static_cast<index_t>(i);
        if (board.isHole(index)) {
            continue;
        }
        unsigned open = 0;
        for (unsigned d = 0; d < 4; ++d) {
            open += !isWall(board, board.neighbour(index, Direction(d))) &&
                    !isWall(board, board.neighbour(index, Direction(d + 4)));
        }
        if (open <= 1) {
            m_seeds.push_back(index);
        }
    }
    m_work.reserve(board.size());
}

void StableStones::find(const SearchBoard& board, std::array<unsigned, 9>& byColour) const {
    byColour.fill(0);
    SquareMarks::Pass marks = m_marks.begin(board.size());
    m_work.clear();
    const auto examine = [&](index_t i) {
        if (!marks.isMarked(i) && isStone(board.square(i)) && holds(board, i)) {
            marks.mark(i);
            ++byColour[static_cast<unsigned>(board.square(i))];
            m_work.push_back(i);
        }
    };
    std::for_each(m_seeds.begin(), m_seeds.end(), examine);
    while (!m_work.empty()) {
        const index_t i = m_work.back();
        m_work.pop_back();
        for (unsigned d = 0; d < 8; ++d) {
            const index_t n = board.neighbour(i, Direction(d));
            if (n != INVALID_INDEX) {
                examine(n);
            }
        }
    }
}

bool StableStones::holds(const SearchBoard& board, index_t i) const {
    for (unsigned d = 0; d < 4; ++d) {
        if (!axisClosed(board, i, d)) {
            return false;
        }
    }
    return true;
}

// The axis of directions d and d + 4 through the stone on i cannot be captured along.
bool StableStones::axisClosed(const SearchBoard& board, index_t i, unsigned d) const {
    const Square own = board.square(i);
    for (unsigned side : {d, d + 4}) {
        const index_t n = board.neighbour(i, Direction(side));
        if (isWall(board, n) || (m_marks.isMarked(n) && board.square(n) == own)) {
            return true;
        }
    }
    return lineFull(board, i, d) && lineFull(board, i, d + 4);
}

// No free square on the ray from i in direction d; a ray longer than the listed part counts as
// not full.
bool StableStones::lineFull(const SearchBoard& board, index_t i, unsigned d) {
    const BoardGeometry& geometry = board.geometry();
    for (const index_t* n = geometry.ray(i, d);; ++n) {
        if (*n == geometry.rayEnd()) {
            return true;
        }
        if (*n == geometry.rayTail() || !board.isOccupied(*n)) {
            return false;
        }
    }
}
