// Legality and move generation of the search board, and the placement of a stone. Only
// candidate squares are tried: free squares next to an occupied one, and occupied squares
// while the mover has override stones. A line is walked along its precomputed ray, and only in
// the directions whose first square is occupied.
#include <bit>

#include "search/SearchBoard.hpp"

namespace {

unsigned number(Player p) {
    return static_cast<unsigned>(p);
}

} // namespace

// Squares the line from `start` in direction d captures for `colour`: the run of occupied
// squares of other colours up to a square of that colour; 0 when the line ends first (at the
// edge, a hole, a free square, or back at its start). The first square is known occupied.
unsigned SearchBoard::captureLength(index_t start, unsigned d, Square colour) const {
    const BoardGeometry::Ray& ray = m_geo->ray(start, d);
    const index_t* line = m_geo->rayData() + ray.offset;
    if (m_squares[line[0]] == colour) {
        return 0;
    }
    for (unsigned k = 1; k < ray.length; ++k) {
        const Square s = m_squares[line[k]];
        if (s == colour) {
            return k;
        }
        if (!occupied(s)) {
            return 0;
        }
    }
    return ray.tailIndex == INVALID_INDEX ? 0 : tailCaptureLength(start, ray, colour);
}

// The walk beyond the stored part of a long line, through the step table. A walk that goes on
// longer than there are (square, direction) pairs is going round a loop that misses its start
// (not possible on a valid map) and captures nothing.
unsigned SearchBoard::tailCaptureLength(index_t start, const BoardGeometry::Ray& ray,
                                        Square colour) const {
    index_t at = ray.tailIndex;
    Direction dir = ray.tailDirection;
    for (unsigned k = ray.length; k < 8u * size(); ++k) {
        const Direction next = m_geo->continuation(at, dir);
        at = m_geo->neighbour(at, dir);
        dir = next;
        if (at == INVALID_INDEX || at == start) {
            return 0;
        }
        const Square s = m_squares[at];
        if (s == colour) {
            return k;
        }
        if (!occupied(s)) {
            return 0;
        }
    }
    return 0;
}

bool SearchBoard::capturesFrom(index_t i, Square colour) const {
    for (unsigned mask = m_adjacent[i]; mask != 0; mask &= mask - 1) {
        if (captureLength(i, static_cast<unsigned>(std::countr_zero(mask)), colour) != 0) {
            return true;
        }
    }
    return false;
}

// The rules' test of a placement on a square that is not a hole: an occupied square (a stone
// of any colour or an expansion square) needs an override stone; an expansion square needs
// nothing more, every other square a capture.
bool SearchBoard::squareLegal(index_t i, Square colour, bool canOverride) const {
    const Square s = m_squares[i];
    if (occupied(s)) {
        if (!canOverride) {
            return false;
        }
        if (s == Square::EXPANSION) {
            return true;
        }
    }
    return capturesFrom(i, colour);
}

// Calls visit(i) for every square where p may place a stone, in index order, until visit
// returns false; returns whether it was stopped.
template <typename Visit>
bool SearchBoard::forEachPlacement(Player p, Visit&& visit) const {
    const Square colour = m_ptob[number(p)];
    const bool canOverride = m_overrides[number(p)] != 0;
    const std::uint64_t withOccupied = canOverride ? ~0ull : 0ull;
    for (std::size_t w = 0; w < m_frontier.size(); ++w) {
        std::uint64_t bits = m_frontier[w] | (m_occupiedSet[w] & withOccupied);
        for (; bits != 0; bits &= bits - 1) {
            const auto i = static_cast<index_t>(w * 64u + std::countr_zero(bits));
            if (squareLegal(i, colour, canOverride) && !visit(i)) {
                return true;
            }
        }
    }
    return false;
}

bool SearchBoard::hasPlacement(Player p) const {
    return forEachPlacement(p, [](index_t) { return false; });
}

bool SearchBoard::mayMove(Player p) const {
    return number(p) >= 1 && number(p) <= players() && !m_disqualified[number(p)] &&
           m_phase != GamePhase::FINAL;
}

bool SearchBoard::hasMove(Player p) const {
    if (!mayMove(p)) {
        return false;
    }
    return m_phase == GamePhase::BUILD ? hasPlacement(p) : canBomb(p);
}

unsigned SearchBoard::variants(index_t i) const {
    const Square s = m_squares[i];
    return s == Square::CHOICE ? players() : s == Square::BONUS ? 2u : 1u;
}

unsigned SearchBoard::countMoves(Player p) const {
    if (!mayMove(p)) {
        return 0;
    }
    if (m_phase == GamePhase::TERMINAL) {
        return canBomb(p) ? m_nonHoles : 0;
    }
    unsigned count = 0;
    forEachPlacement(p, [&](index_t i) {
        count += variants(i);
        return true;
    });
    return count;
}

unsigned SearchBoard::mobility(Player p) const {
    if (!mayMove(p)) {
        return 0;
    }
    if (m_phase == GamePhase::TERMINAL) {
        return canBomb(p) ? m_nonHoles : 0;
    }
    unsigned count = 0;
    forEachPlacement(p, [&](index_t) {
        ++count;
        return true;
    });
    return count;
}

unsigned SearchBoard::generateMoves(Player p, SearchMove* out) const {
    if (!mayMove(p)) {
        return 0;
    }
    unsigned n = 0;
    if (m_phase == GamePhase::TERMINAL) {
        if (canBomb(p)) {
            for (unsigned i = 0; i < size(); ++i) {
                if (m_squares[i] != Square::NONE) {
                    out[n++] = SearchMove{static_cast<index_t>(i), MoveChoice::NONE, true};
                }
            }
        }
        return n;
    }
    forEachPlacement(p, [&](index_t i) {
        switch (m_squares[i]) {
        case Square::CHOICE:
            for (unsigned c = 1; c <= players(); ++c) {
                out[n++] = SearchMove{i, static_cast<MoveChoice>(c), false};
            }
            break;
        case Square::BONUS:
            out[n++] = SearchMove{i, MoveChoice::BOMB, false};
            out[n++] = SearchMove{i, MoveChoice::OVERRIDE, false};
            break;
        default:
            out[n++] = SearchMove{i, MoveChoice::NONE, false};
            break;
        }
        return true;
    });
    return n;
}

void SearchBoard::generateMoves(Player p, std::vector<SearchMove>& out) const {
    out.resize(m_maxMoves);
    out.resize(generateMoves(p, out.data()));
}

// The choice must fit the square as the referee demands it of an applied move: a player
// 1 ... n on a choice square, BOMB or OVERRIDE on a bonus square, NONE elsewhere and on bombs.
bool SearchBoard::isLegal(Player p, SearchMove move) const {
    if (!mayMove(p) || move.index >= size() || m_squares[move.index] == Square::NONE ||
        move.bomb != (m_phase == GamePhase::TERMINAL)) {
        return false;
    }
    if (move.bomb) {
        return move.choice == MoveChoice::NONE && canBomb(p);
    }
    const unsigned choice = static_cast<unsigned>(move.choice);
    switch (m_squares[move.index]) {
    case Square::CHOICE:
        if (choice < 1 || choice > players()) {
            return false;
        }
        break;
    case Square::BONUS:
        if (move.choice != MoveChoice::BOMB && move.choice != MoveChoice::OVERRIDE) {
            return false;
        }
        break;
    default:
        if (move.choice != MoveChoice::NONE) {
            return false;
        }
        break;
    }
    return squareLegal(move.index, m_ptob[number(p)], m_overrides[number(p)] != 0);
}

// Every capture is measured on the board as it stands before anything flips, as the rules
// demand; then the lines flip (a square met twice flips once) and the stone is placed. An
// override stone is used on an occupied square; the special square acts last.
void SearchBoard::placeStone(index_t i, Player p, MoveChoice choice) {
    const Square colour = m_ptob[number(p)];
    const Square before = m_squares[i];
    unsigned lengths[8] = {};
    for (unsigned mask = m_adjacent[i]; mask != 0; mask &= mask - 1) {
        const auto d = static_cast<unsigned>(std::countr_zero(mask));
        lengths[d] = captureLength(i, d, colour);
    }
    for (unsigned d = 0; d < 8; ++d) {
        if (lengths[d] != 0) {
            flipLine(i, d, lengths[d], colour);
        }
    }
    setSquare(i, colour);
    if (occupied(before)) {
        setStock(m_overrides, 1, p, m_overrides[number(p)] - 1u);
    }
    applySpecial(before, p, choice);
}

// Gives the first `count` squares of the line from `start` in direction d to `colour`.
void SearchBoard::flipLine(index_t start, unsigned d, unsigned count, Square colour) {
    const BoardGeometry::Ray& ray = m_geo->ray(start, d);
    const index_t* line = m_geo->rayData() + ray.offset;
    const unsigned stored = count < ray.length ? count : ray.length;
    for (unsigned k = 0; k < stored; ++k) {
        if (m_squares[line[k]] != colour) {
            setSquare(line[k], colour);
        }
    }
    index_t at = ray.tailIndex;
    Direction dir = ray.tailDirection;
    for (unsigned k = stored; k < count; ++k) {
        const Direction next = m_geo->continuation(at, dir);
        at = m_geo->neighbour(at, dir);
        dir = next;
        if (m_squares[at] != colour) {
            setSquare(at, colour);
        }
    }
}
