// The search of a map's edge lines and corner blocks.
#include "search/Patterns.hpp"

// Corners have no axis open on both sides; an orthogonal step that stays on the board runs
// along one of the corner's edges (two such steps are at right angles, or the axis would be
// open).
PatternSet::PatternSet(const SearchBoard& board) {
    for (unsigned i = 0; i < board.size(); ++i) {
        const auto corner = static_cast<index_t>(i);
        if (board.isHole(corner)) {
            continue;
        }
        bool open = false;
        std::vector<unsigned> edges;
        for (unsigned d = 0; d < 8; ++d) {
            const bool step = board.neighbour(corner, Direction(d)) != INVALID_INDEX;
            open = open ||
                   (d < 4 && step && board.neighbour(corner, Direction(d + 4)) != INVALID_INDEX);
            if (step && d % 2 == 0) {
                edges.push_back(d);
            }
        }
        if (open) {
            continue;
        }
        for (unsigned d : edges) {
            addEdge(board, corner, d);
        }
        if (edges.size() == 2) {
            addBlock(board, corner, edges[0], edges[1]);
        }
    }
}

namespace {

// The square `steps` steps from i in direction d through transitions, and the direction the
// line then goes on in; INVALID_INDEX when the line leaves the map.
index_t walk(const SearchBoard& board, index_t i, unsigned& d, unsigned steps) {
    for (unsigned s = 0; s < steps && i != INVALID_INDEX; ++s) {
        const index_t next = board.neighbour(i, Direction(d));
        d = static_cast<unsigned>(board.continuation(i, Direction(d)));
        i = next;
    }
    return i;
}

} // namespace

void PatternSet::addEdge(const SearchBoard& board, index_t corner, unsigned d) {
    Instance edge{PatternWeights::EdgeOffset, {}, {}, {}};
    std::uint32_t digit = 1;
    index_t i = corner;
    for (unsigned k = 0; k < PatternWeights::EdgeLength; ++k, digit *= 3) {
        edge.squares.push_back(i);
        edge.digitA.push_back(digit);
        edge.digitB.push_back(digit);
        i = walk(board, i, d, 1);
    }
    m_instances.push_back(std::move(edge));
}

// The square in row r and column c of the block is r steps along edge a, then c steps along
// edge b turned as the line along a turned on its way.
void PatternSet::addBlock(const SearchBoard& board, index_t corner, unsigned a, unsigned b) {
    Instance block{PatternWeights::BlockOffset, {}, {}, {}};
    const auto power = [](unsigned exponent) {
        std::uint32_t value = 1;
        for (unsigned k = 0; k < exponent; ++k) {
            value *= 3;
        }
        return value;
    };
    for (unsigned r = 0; r < 3; ++r) {
        unsigned along = a;
        const index_t rowStart = walk(board, corner, along, r);
        for (unsigned c = 0; c < 3; ++c) {
            unsigned across = (along + b + 8 - a) % 8;
            block.squares.push_back(walk(board, rowStart, across, c));
            block.digitA.push_back(power(r * 3 + c));
            block.digitB.push_back(power(c * 3 + r));
        }
    }
    m_instances.push_back(std::move(block));
}
