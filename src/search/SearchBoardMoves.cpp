// Legality, move generation and the placement of a stone. On bitboard maps (at most 64
// squares, no transitions) all placements of a player are found at once with shifted bit
// sets. On other maps only candidate squares are tried: free squares next to an occupied one,
// and occupied squares while the mover has override stones; a line is walked along its
// precomputed ray, and only in the directions whose first square is occupied.
#include <bit>

#include "search/SearchBoard.hpp"

namespace {

unsigned number(Player p) {
    return static_cast<unsigned>(p);
}

// Bitboards of a board eight squares wide (the classic board among them), where every step is
// a shift by a constant and no run of stones is longer than six: the runs are followed in six
// fixed steps, without a branch that depends on the position.
struct Width8 {
    static constexpr std::uint64_t notEast = 0x7F7F7F7F7F7F7F7Full;
    static constexpr std::uint64_t notWest = 0xFEFEFEFEFEFEFEFEull;

    template <unsigned D>
    static std::uint64_t step(std::uint64_t b) {
        switch (D) {
        case 0:
            return b >> 8;
        case 1:
            return (b & notEast) >> 7;
        case 2:
            return (b & notEast) << 1;
        case 3:
            return (b & notEast) << 9;
        case 4:
            return b << 8;
        case 5:
            return (b & notWest) << 7;
        case 6:
            return (b & notWest) >> 1;
        default:
            return (b & notWest) >> 9;
        }
    }

    // The squares of runs of `through` that start next to `from` in direction D.
    template <unsigned D>
    static std::uint64_t run(std::uint64_t from, std::uint64_t through) {
        std::uint64_t x = step<D>(from) & through;
        for (unsigned k = 0; k < 5; ++k) {
            x |= step<D>(x) & through;
        }
        return x;
    }

    template <unsigned D>
    static std::uint64_t placements(std::uint64_t own, std::uint64_t opponents,
                                    std::uint64_t targets) {
        return step<D>(run<D>(own, opponents)) & targets;
    }

    template <unsigned D>
    static std::uint64_t flips(std::uint64_t square, std::uint64_t own, std::uint64_t opponents) {
        const std::uint64_t x = run<D>(square, opponents);
        return (step<D>(x) & own) != 0 ? x : 0;
    }

    static std::uint64_t allPlacements(std::uint64_t own, std::uint64_t opponents,
                                       std::uint64_t targets) {
        return placements<0>(own, opponents, targets) | placements<1>(own, opponents, targets) |
               placements<2>(own, opponents, targets) | placements<3>(own, opponents, targets) |
               placements<4>(own, opponents, targets) | placements<5>(own, opponents, targets) |
               placements<6>(own, opponents, targets) | placements<7>(own, opponents, targets);
    }

    static std::uint64_t allFlips(std::uint64_t square, std::uint64_t own,
                                  std::uint64_t opponents) {
        return flips<0>(square, own, opponents) | flips<1>(square, own, opponents) |
               flips<2>(square, own, opponents) | flips<3>(square, own, opponents) |
               flips<4>(square, own, opponents) | flips<5>(square, own, opponents) |
               flips<6>(square, own, opponents) | flips<7>(square, own, opponents);
    }
};

} // namespace

// Squares the line from `start` in direction d captures for `colour`: the run of occupied
// squares of other colours up to a square of that colour; 0 when the line ends first (at the
// edge, a hole, a free square, or back at its start). The first square must be occupied: the
// callers walk only the directions set in m_adjacent.
unsigned SearchBoard::captureLength(index_t start, unsigned d, Square colour) const {
    const index_t* line = m_rays + m_rayOffsets[start * 8u + d];
    const Square* squares = m_squares.data();
    if (squares[line[0]] == colour) {
        return 0;
    }
    for (unsigned k = 1;; ++k) {
        const Square s = squares[line[k]];
        if (s == colour) {
            return k;
        }
        if (!occupied(s)) {
            return line[k] == m_geo->rayTail() ? tailCaptureLength(start, d, colour) : 0;
        }
    }
}

// The walk beyond the listed part of a long line, through the step table: the first square
// past the run of occupied squares of other colours than `colour`, with its distance from the
// start. A line that ends first, comes back to its start, or goes on longer than there are
// (square, direction) pairs (a loop that misses its start, not possible on a valid map) has no
// such square.
SearchBoard::TailEnd SearchBoard::tailEnd(index_t start, unsigned d, Square colour) const {
    BoardGeometry::Tail at = m_geo->tail(start, d);
    for (unsigned k = BoardGeometry::MAX_RAY; k < 8u * size(); ++k) {
        const Direction next = m_geo->continuation(at.index, at.direction);
        at.index = m_geo->neighbour(at.index, at.direction);
        at.direction = next;
        if (at.index == INVALID_INDEX || at.index == start) {
            return {};
        }
        const Square s = m_squares[at.index];
        if (!occupied(s) || s == colour) {
            return {k, s};
        }
    }
    return {};
}

unsigned SearchBoard::tailCaptureLength(index_t start, unsigned d, Square colour) const {
    const TailEnd end = tailEnd(start, d, colour);
    return end.square == colour ? end.distance : 0;
}

// Whether a stone of `colour` on square i captures in any direction: in each direction whose
// first square is occupied, the run of other colours must end on `colour`. This is the inner
// loop of move generation on maps that are not bitboard maps, hence the local pointers.
inline bool SearchBoard::capturesFrom(index_t i, Square colour) const {
    const Square* squares = m_squares.data();
    const BoardGeometry::RayHead* heads = m_rayHeads + i * 8u;
    for (unsigned mask = m_adjacent[i]; mask != 0; mask &= mask - 1) {
        const auto d = static_cast<unsigned>(std::countr_zero(mask));
        const BoardGeometry::RayHead& head = heads[d];
        if (squares[head.first] == colour) {
            continue;
        }
        Square s = squares[head.second];
        if (s == colour) {
            return true;
        }
        if (!occupied(s)) {
            continue;
        }
        const index_t* line = m_rays + head.rest;
        unsigned k = 0;
        while (occupied(s = squares[line[k]]) && s != colour) {
            ++k;
        }
        if (s == colour || (line[k] == m_geo->rayTail() && tailCaptureLength(i, d, colour) != 0)) {
            return true;
        }
    }
    return false;
}

// The rules' test of a placement on a square that is not a hole: an occupied square (a stone
// of any colour or an expansion square) needs an override stone; an expansion square needs
// nothing more, every other square a capture.
inline bool SearchBoard::squareLegal(index_t i, Square colour, bool canOverride) const {
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

// Bitboard maps: the squares where p may place a stone, for all squares at once. From p's
// stones a run of other occupied squares is followed in each direction; the free square after
// it (with override stones also an occupied one) is a move. Expansion squares are moves
// whenever p has an override stone.
std::uint64_t SearchBoard::placementBits(Player p) const {
    const std::uint64_t own = m_s.colourBits[static_cast<unsigned>(m_s.ptob[number(p)])];
    const std::uint64_t opponents = m_s.occupiedBits & ~own;
    const bool canOverride = m_s.overrides[number(p)] != 0;
    const std::uint64_t targets = m_s.freeBits | (canOverride ? m_s.occupiedBits : 0);
    std::uint64_t moves = canOverride ? m_s.colourBits[9] : 0;
    if (m_geo->width() == 8) {
        return moves | Width8::allPlacements(own, opponents, targets);
    }
    for (unsigned d = 0; d < 8; ++d) {
        const BoardGeometry::Shift& step = m_geo->shift(d);
        for (std::uint64_t run = step(own) & opponents; run != 0; run &= opponents) {
            run = step(run);
            moves |= run & targets;
        }
    }
    return moves;
}

// The placements of p, taken from what the last turn change found when p is on turn.
std::uint64_t SearchBoard::turnPlacementBits(Player p) const {
    return p == m_s.turn && m_s.turnBitsValid ? m_s.turnBits : placementBits(p);
}

// Calls visit(i) for every square from `from` on where p may place a stone, in index order,
// until visit returns false; returns the square where it was stopped, or INVALID_INDEX.
template <typename Visit>
index_t SearchBoard::forEachPlacement(Player p, index_t from, Visit&& visit) const {
    if (m_bitboards) {
        std::uint64_t bits = turnPlacementBits(p) & (~0ull << (from & 63u));
        for (; bits != 0; bits &= bits - 1) {
            const auto i = static_cast<index_t>(std::countr_zero(bits));
            if (!visit(i)) {
                return i;
            }
        }
        return INVALID_INDEX;
    }
    const Square colour = m_s.ptob[number(p)];
    const bool canOverride = m_s.overrides[number(p)] != 0;
    if (m_s.counts[static_cast<unsigned>(colour)] == 0 && (!canOverride || m_s.counts[9] == 0)) {
        return INVALID_INDEX; // nothing to capture towards, and no expansion square to take
    }
    const std::uint64_t withOccupied = canOverride ? ~0ull : 0ull;
    std::uint64_t first = ~0ull << (from & 63u);
    for (std::size_t w = from >> 6; w < m_frontier.size(); ++w) {
        std::uint64_t bits = (m_frontier[w] | (m_occupiedSet[w] & withOccupied)) & first;
        first = ~0ull;
        for (; bits != 0; bits &= bits - 1) {
            const auto i = static_cast<index_t>(w * 64u + std::countr_zero(bits));
            if (squareLegal(i, colour, canOverride) && !visit(i)) {
                return i;
            }
        }
    }
    return INVALID_INDEX;
}

index_t SearchBoard::firstPlacement(Player p) const {
    return forEachPlacement(p, 0, [](index_t) { return false; });
}

// Squares below the kept start hold no placement of the player on turn.
index_t SearchBoard::scanStart(Player p) const {
    return p == m_s.turn ? m_s.scanStart : 0;
}

bool SearchBoard::mayMove(Player p) const {
    return number(p) >= 1 && number(p) <= players() && !isDisqualified(p) &&
           m_s.phase != GamePhase::FINAL;
}

bool SearchBoard::hasMove(Player p) const {
    if (!mayMove(p)) {
        return false;
    }
    if (m_s.phase == GamePhase::TERMINAL) {
        return canBomb(p);
    }
    if (m_bitboards) {
        return turnPlacementBits(p) != 0;
    }
    if (m_s.overrides[number(p)] == 0 &&
        m_s.counts[static_cast<unsigned>(m_s.ptob[number(p)])] <= FEW_STONES) {
        return placementFromStones(p);
    }
    return firstPlacement(p) != INVALID_INDEX;
}

// Whether p (without override stones) can place a stone, looked for from p's stones, which is
// cheaper than trying the candidate squares when p has few. Every step of the board has a
// step back (a transition joins its two ends both ways), so the line from a stone through a
// run of other occupied squares to a free square is the line from that square back to the
// stone: that square captures.
bool SearchBoard::placementFromStones(Player p) const {
    const Square colour = m_s.ptob[number(p)];
    const std::size_t words = m_occupiedSet.size();
    const std::uint64_t* own = m_colourSets.data() + static_cast<unsigned>(colour) * words;
    const Square* squares = m_squares.data();
    for (std::size_t w = 0; w < words; ++w) {
        for (std::uint64_t bits = own[w]; bits != 0; bits &= bits - 1) {
            const auto stone = static_cast<index_t>(w * 64u + std::countr_zero(bits));
            for (unsigned d = 0; d < 8; ++d) {
                const index_t* line = m_rays + m_rayOffsets[stone * 8u + d];
                Square s = squares[line[0]];
                if (!occupied(s) || s == colour) {
                    continue;
                }
                unsigned k = 1;
                while (occupied(s = squares[line[k]]) && s != colour) {
                    ++k;
                }
                if (isFree(s) ||
                    (line[k] == m_geo->rayTail() && tailReachesFree(stone, d, colour))) {
                    return true;
                }
            }
        }
    }
    return false;
}

// The line from a stone beyond its listed part: whether the run of other occupied squares
// goes on to a free square.
bool SearchBoard::tailReachesFree(index_t start, unsigned d, Square colour) const {
    const TailEnd end = tailEnd(start, d, colour);
    return end.distance != 0 && isFree(end.square);
}

// The moves of p counted with `weight(square)` for each placement: a throw on every square that
// is not a hole in the bomb phase, none for a player who may not move. On bitboard maps all
// placements count one at once, and only those on the free choice and bonus squares of the map
// (the squares that `weighted` selects; weight 1 elsewhere) are looked at one by one.
template <typename Weight>
unsigned SearchBoard::weightedMoves(Player p, std::uint64_t weighted, Weight weight) const {
    if (!mayMove(p)) {
        return 0;
    }
    if (m_s.phase == GamePhase::TERMINAL) {
        return canBomb(p) ? m_s.nonHoles : 0;
    }
    if (m_bitboards) {
        const std::uint64_t bits = turnPlacementBits(p);
        unsigned count = static_cast<unsigned>(std::popcount(bits));
        for (std::uint64_t s = bits & m_s.freeBits & weighted; s != 0; s &= s - 1) {
            count += weight(m_squares[std::countr_zero(s)]) - 1u;
        }
        return count;
    }
    unsigned count = 0;
    forEachPlacement(p, scanStart(p), [&](index_t i) {
        count += weight(m_squares[i]);
        return true;
    });
    return count;
}

unsigned SearchBoard::countMoves(Player p) const {
    return weightedMoves(p, m_geo->choiceOrBonus(), [this](Square s) {
        return s == Square::CHOICE ? players() : s == Square::BONUS ? 2u : 1u;
    });
}

unsigned SearchBoard::mobility(Player p) const {
    return weightedMoves(p, 0, [](Square) { return 1u; });
}

unsigned SearchBoard::generateMoves(Player p, SearchMove* out) const {
    if (!mayMove(p)) {
        return 0;
    }
    unsigned n = 0;
    if (m_s.phase == GamePhase::TERMINAL) {
        if (canBomb(p)) {
            for (unsigned i = 0; i < size(); ++i) {
                if (m_squares[i] != Square::NONE) {
                    out[n++] = SearchMove{static_cast<index_t>(i), MoveChoice::NONE, true};
                }
            }
        }
        return n;
    }
    forEachPlacement(p, scanStart(p), [&](index_t i) {
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
        move.bomb != (m_s.phase == GamePhase::TERMINAL)) {
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
    if (m_bitboards) {
        return (turnPlacementBits(p) >> move.index & 1u) != 0;
    }
    return squareLegal(move.index, m_s.ptob[number(p)], m_s.overrides[number(p)] != 0);
}

// The lines flip, the stone is placed, an override stone is used on an occupied square, and
// the special square acts last.
void SearchBoard::placeStone(index_t i, Player p, MoveChoice choice) {
    const Square colour = m_s.ptob[number(p)];
    const Square before = m_squares[i];
    if (m_bitboards) {
        flipBits(i, colour);
    } else {
        flipLines(i, colour);
    }
    setSquare(i, colour);
    if (occupied(before)) {
        setStock(m_s.overrides, 1, p, m_s.overrides[number(p)] - 1u);
    }
    applySpecial(before, p, choice);
}

// Every capture is measured on the board as it stands before anything flips, as the rules
// demand: later lines must not see the flips of earlier ones.
void SearchBoard::flipLines(index_t i, Square colour) {
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
}

// Bitboard maps: in each direction the run of other occupied squares from i is captured when
// a square of `colour` ends it; the runs are collected first, then flipped.
void SearchBoard::flipBits(index_t i, Square colour) {
    const std::uint64_t own = m_s.colourBits[static_cast<unsigned>(colour)];
    const std::uint64_t opponents = m_s.occupiedBits & ~own;
    std::uint64_t flips = 0;
    for (unsigned d = 0; d < 8 && m_geo->width() != 8; ++d) {
        const BoardGeometry::Shift& step = m_geo->shift(d);
        std::uint64_t run = 0;
        std::uint64_t at = step(1ull << i);
        for (; (at & opponents) != 0; at = step(at)) {
            run |= at;
        }
        flips |= (at & own) != 0 ? run : 0;
    }
    if (m_geo->width() == 8) {
        flips = Width8::allFlips(1ull << i, own, opponents);
    }
    for (; flips != 0; flips &= flips - 1) {
        flipSquare(static_cast<index_t>(std::countr_zero(flips)), colour);
    }
}

// Gives the first `count` squares of the line from `start` in direction d to `colour`.
void SearchBoard::flipLine(index_t start, unsigned d, unsigned count, Square colour) {
    const index_t* line = m_rays + m_rayOffsets[start * 8u + d];
    const unsigned listed = count < BoardGeometry::MAX_RAY ? count : BoardGeometry::MAX_RAY;
    for (unsigned k = 0; k < listed; ++k) {
        flipSquare(line[k], colour);
    }
    BoardGeometry::Tail at = m_geo->tail(start, d);
    for (unsigned k = listed; k < count; ++k) {
        const Direction next = m_geo->continuation(at.index, at.direction);
        at.index = m_geo->neighbour(at.index, at.direction);
        at.direction = next;
        flipSquare(at.index, colour);
    }
}

// A captured square (a stone or an expansion square) takes the mover's colour; a square met
// twice by the walks of one move flips once.
void SearchBoard::flipSquare(index_t i, Square colour) {
    const Square old = m_squares[i];
    if (old == colour) {
        return;
    }
    m_changes.push_back({i, old});
    m_s.hash ^= m_geo->squareKey(i, old) ^ m_geo->squareKey(i, colour);
    --m_s.counts[static_cast<unsigned>(old)];
    ++m_s.counts[static_cast<unsigned>(colour)];
    m_squares[i] = colour;
    if (m_bitboards) {
        m_s.colourBits[static_cast<unsigned>(old)] &= ~(1ull << i);
        m_s.colourBits[static_cast<unsigned>(colour)] |= 1ull << i;
    } else {
        updateColourSets(i, old, colour);
        if (m_trackNear) {
            nearChanged(i, old, colour);
        }
    }
}
