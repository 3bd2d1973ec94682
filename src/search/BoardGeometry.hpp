// The fixed shape of a map as the search reads it: squares, the step table through
// transitions, the straight lines (rays) from every square in every direction, the reverse
// steps, and the random keys of the position hash. Built once per map and shared, read-only,
// by every SearchBoard of that map. The step table is built here from the map, not taken from
// the referee's neighbourhood code, so that a fault in either shows against the other.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/GameTypes.hpp"
#include "common/Map.hpp"

// Everything about a map that no move changes. A step from square i in direction d lands on
// neighbour(i, d) (INVALID_INDEX off the board or into a hole of the map) and a straight line
// goes on there in continuation(i, d); transitions are part of both tables, as in the rules
// engine. Rays are those lines written out as flat index lists, so that a capture walk reads
// consecutive entries instead of chasing two tables per step.
class BoardGeometry {
public:
    // Longest ray kept in the flat list; a longer line (possible only through transitions that
    // send it round the board) is walked on through the step table from its last entry.
    static constexpr unsigned MAX_RAY = 64;

    // One step of a whole set of squares in one direction on a board of at most 64 squares
    // without transitions: the squares that stay on the board move by a shift of their bits.
    struct Shift {
        std::uint64_t from; // squares whose step in this direction stays on the board
        unsigned left;
        unsigned right;
        std::uint64_t operator()(std::uint64_t bits) const {
            return ((bits & from) << left) >> right;
        }
    };

    // Precondition: map.isValid().
    explicit BoardGeometry(const Map& map);

    unsigned width() const { return m_width; }
    unsigned height() const { return m_height; }
    // width * height, holes included; board indices are 0 ... size() - 1.
    unsigned size() const { return m_size; }
    unsigned players() const { return m_players; }
    unsigned bombStrength() const { return m_bombStrength; }

    // x + y * width; INVALID_INDEX off the board.
    index_t index(unsigned x, unsigned y) const {
        return x < m_width && y < m_height ? static_cast<index_t>(x + y * m_width) : INVALID_INDEX;
    }
    unsigned x(index_t i) const { return i % m_width; }
    unsigned y(index_t i) const { return i / m_width; }

    // The square one step from i in direction d, through transitions; INVALID_INDEX when the
    // step leaves the board or leads into a hole of the map. Squares bombed later are still
    // listed: callers look at the square's content.
    index_t neighbour(index_t i, Direction d) const { return m_step[i * 8u + unsigned(d)]; }
    // The direction a straight line goes on in after that step.
    Direction continuation(index_t i, Direction d) const { return m_next[i * 8u + unsigned(d)]; }

    // The straight line from square i in direction d, through transitions: the squares in
    // walking order, then a terminator. The line ends where every capture walk ends, whatever
    // the position: off the board, back on its start, or in a hole of the map (nothing ever
    // fills a hole). The terminator is rayEnd(), a square index whose content is always a
    // hole, or rayTail() when the line goes on beyond MAX_RAY squares; then tail(i, d) tells
    // where the last listed square was reached and in which direction the line goes on.
    const index_t* ray(index_t i, unsigned d) const {
        return m_rayData.data() + m_rayOffset[i * 8u + d];
    }
    // The lines of all squares: ray(i, d) is rayData() + rayOffsets()[i * 8 + d].
    const index_t* rayData() const { return m_rayData.data(); }
    const std::uint32_t* rayOffsets() const { return m_rayOffset.data(); }
    // The start of the eight lines of a square, one cache line per square: the first two
    // squares of each line (rayEnd() where it is shorter) and the offset of its third entry in
    // rayData(). Most walks are decided within two squares, so the candidates of a move
    // search read their own line of this table and the squares, little else.
    struct alignas(8) RayHead {
        index_t first;
        index_t second;
        std::uint32_t rest;
    };
    const RayHead* rayHeads() const { return m_rayHeads.data(); }
    index_t rayEnd() const { return static_cast<index_t>(m_size); }
    index_t rayTail() const { return static_cast<index_t>(m_size + 1u); }
    struct Tail {
        index_t index;
        Direction direction;
    };
    Tail tail(index_t i, unsigned d) const { return m_tails[i * 8u + d]; }

    // True on boards of at most 64 squares without transitions, where sets of squares are
    // single words and a step is a shift (see shift()).
    bool bitboards() const { return m_bitboards; }
    const Shift& shift(unsigned d) const { return m_shifts[d]; }
    // Bitboard maps: the choice and bonus squares of the map.
    std::uint64_t choiceOrBonus() const { return m_choiceOrBonus; }

    // The squares j with neighbour(j, d) == i for some d, j != i, with multiplicity: whose
    // neighbour counts change when i becomes occupied or free. `reverseBegin(i)` to
    // `reverseBegin(i + 1)` in reverseData(); each entry is j * 8 + d.
    std::uint32_t reverseBegin(index_t i) const { return m_reverseOffset[i]; }
    const std::uint32_t* reverseData() const { return m_reverse.data(); }

    // Hash keys: one per (square, content) with content folded to 0 ... 15 (a hole is 15).
    std::uint64_t squareKey(index_t i, Square s) const {
        return m_squareKeys[i * 16u + (static_cast<unsigned>(s) & 15u)];
    }
    std::uint64_t turnKey(Player p) const { return m_turnKeys[static_cast<unsigned>(p) & 15u]; }
    std::uint64_t phaseKey(GamePhase phase) const {
        return m_phaseKeys[static_cast<unsigned>(phase) & 3u];
    }
    // Player p owning colour c (1 ... 8 each).
    std::uint64_t mappingKey(Player p, Square c) const {
        return m_mappingKeys[(static_cast<unsigned>(p) & 15u) * 16u +
                             (static_cast<unsigned>(c) & 15u)];
    }
    std::uint64_t disqualifiedKey(Player p) const {
        return m_disqualifiedKeys[static_cast<unsigned>(p) & 15u];
    }
    // A stock count of player p: kind 0 = bombs, 1 = override stones.
    static std::uint64_t stockKey(Player p, unsigned kind, unsigned count);

private:
    void buildSteps(const Map& map);
    void buildRays(const Map& map);
    void buildReverse(const Map& map);
    void buildKeys();
    void buildShifts(const Map& map);

    unsigned m_width;
    unsigned m_height;
    unsigned m_size;
    unsigned m_players;
    unsigned m_bombStrength;
    bool m_bitboards = false;
    Shift m_shifts[8] = {};
    std::uint64_t m_choiceOrBonus = 0;
    std::vector<index_t> m_step;
    std::vector<Direction> m_next;
    std::vector<std::uint32_t> m_rayOffset;
    std::vector<index_t> m_rayData;
    std::vector<Tail> m_tails;
    std::vector<RayHead> m_rayHeads;
    std::vector<std::uint32_t> m_reverseOffset;
    std::vector<std::uint32_t> m_reverse;
    std::vector<std::uint64_t> m_squareKeys;
    std::uint64_t m_turnKeys[16];
    std::uint64_t m_phaseKeys[4];
    std::uint64_t m_mappingKeys[256];
    std::uint64_t m_disqualifiedKeys[16];
};
