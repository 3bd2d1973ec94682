#include "search/BoardGeometry.hpp"

#include <cassert>

namespace {

// SplitMix64: a well mixed 64-bit value from a counter; the hash keys are drawn from it with a
// fixed seed, so that hashes are the same in every run.
std::uint64_t splitMix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// The plain grid step from square i, or INVALID_INDEX when it leaves the board.
index_t gridStep(unsigned i, unsigned d, unsigned width, unsigned height) {
    static constexpr int dx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    static constexpr int dy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
    const int x = static_cast<int>(i % width) + dx[d];
    const int y = static_cast<int>(i / width) + dy[d];
    if (x < 0 || y < 0 || x >= static_cast<int>(width) || y >= static_cast<int>(height)) {
        return INVALID_INDEX;
    }
    return static_cast<index_t>(static_cast<unsigned>(x) + static_cast<unsigned>(y) * width);
}

} // namespace

BoardGeometry::BoardGeometry(const Map& map)
    : m_width(map.getWidth()), m_height(map.getHeight()), m_size(m_width * m_height),
      m_players(map.getPlayers()), m_bombStrength(map.getBombStrength()) {
    assert(map.isValid());
    buildSteps(map);
    buildRays(map);
    buildReverse(map);
    buildKeys();
    buildShifts(map);
}

// The same tables as the rules engine's: ordinary steps (none into a hole of the map), then the
// map's transitions written over the entries of both of their ends.
void BoardGeometry::buildSteps(const Map& map) {
    const Square* tiles = map.getTiles();
    m_step.assign(m_size * 8u, INVALID_INDEX);
    m_next.assign(m_size * 8u, Direction::N);
    for (unsigned i = 0; i < m_size; ++i) {
        for (unsigned d = 0; d < 8; ++d) {
            const index_t target = gridStep(i, d, m_width, m_height);
            const bool open = target != INVALID_INDEX && tiles[target] != Square::NONE;
            m_step[i * 8u + d] = open ? target : INVALID_INDEX;
            m_next[i * 8u + d] = static_cast<Direction>(d);
        }
    }
    const auto set = [this](index_t from, Direction d, index_t to, Direction arrival) {
        m_step[from * 8u + unsigned(d)] = to;
        m_next[from * 8u + unsigned(d)] = getBackDirection(arrival);
    };
    for (const Transition& t : map.getTransitions()) {
        const index_t s = index(t.m_xStart, t.m_yStart);
        const index_t e = index(t.m_xEnd, t.m_yEnd);
        if (s == INVALID_INDEX || e == INVALID_INDEX) {
            continue;
        }
        set(s, t.m_dStart, e, t.m_dEnd);
        set(e, t.m_dEnd, s, t.m_dStart);
    }
}

// Every straight line from every square that is not a hole of the map, terminated; the holes
// of the map share one empty line.
void BoardGeometry::buildRays(const Map& map) {
    const Square* tiles = map.getTiles();
    m_rayOffset.assign(m_size * 8u, 0);
    m_tails.assign(m_size * 8u, Tail{INVALID_INDEX, Direction::N});
    m_rayData.assign(1, rayEnd());
    for (unsigned i = 0; i < m_size; ++i) {
        if (tiles[i] == Square::NONE) {
            continue;
        }
        for (unsigned d = 0; d < 8; ++d) {
            m_rayOffset[i * 8u + d] = static_cast<std::uint32_t>(m_rayData.size());
            unsigned at = i;
            unsigned dir = d;
            unsigned length = 0;
            while (true) {
                const unsigned entry = at * 8u + dir;
                at = m_step[entry];
                dir = static_cast<unsigned>(m_next[entry]);
                if (at == INVALID_INDEX || at == i || tiles[at] == Square::NONE) {
                    m_rayData.push_back(rayEnd());
                    break;
                }
                m_rayData.push_back(static_cast<index_t>(at));
                if (++length == MAX_RAY) {
                    m_rayData.push_back(rayTail());
                    m_tails[i * 8u + d] =
                        Tail{static_cast<index_t>(at), static_cast<Direction>(dir)};
                    break;
                }
            }
        }
    }
    m_rayHeads.assign(m_size * 8u, RayHead{rayEnd(), rayEnd(), 0});
    for (unsigned e = 0; e < m_size * 8u; ++e) {
        const index_t* line = m_rayData.data() + m_rayOffset[e];
        RayHead& head = m_rayHeads[e];
        head.first = line[0];
        if (line[0] < m_size) {
            head.second = line[1];
            head.rest = line[1] < m_size ? m_rayOffset[e] + 2u : 0u;
        }
    }
}

void BoardGeometry::buildReverse(const Map& map) {
    const Square* tiles = map.getTiles();
    std::vector<std::uint32_t> counts(m_size + 1u, 0);
    for (unsigned e = 0; e < m_size * 8u; ++e) {
        const index_t to = m_step[e];
        if (to != INVALID_INDEX && to != e / 8u && tiles[e / 8u] != Square::NONE) {
            ++counts[to + 1u];
        }
    }
    for (unsigned i = 0; i < m_size; ++i) {
        counts[i + 1u] += counts[i];
    }
    m_reverseOffset = counts;
    m_reverse.assign(counts[m_size], 0);
    for (unsigned e = 0; e < m_size * 8u; ++e) {
        const index_t to = m_step[e];
        if (to != INVALID_INDEX && to != e / 8u && tiles[e / 8u] != Square::NONE) {
            m_reverse[counts[to]++] = e;
        }
    }
}

void BoardGeometry::buildKeys() {
    std::uint64_t counter = 0x5EA5C4B0A4Dull;
    const auto next = [&counter] { return splitMix(counter++); };
    m_squareKeys.resize(m_size * 16u);
    for (auto& key : m_squareKeys) {
        key = next();
    }
    for (auto& key : m_turnKeys) {
        key = next();
    }
    for (auto& key : m_phaseKeys) {
        key = next();
    }
    for (auto& key : m_mappingKeys) {
        key = next();
    }
    for (auto& key : m_disqualifiedKeys) {
        key = next();
    }
}

// Bit i of a set is square i. A step east is a shift by one towards the higher bits, south by
// a row; the squares of the last column cannot step east (their bit would wrap into the next
// row), those of the first column cannot step west. Steps off the top or bottom shift out of
// the word or onto bits above the board, which the callers mask away.
void BoardGeometry::buildShifts(const Map& map) {
    m_bitboards = m_size <= 64 && map.getTransitions().empty();
    if (!m_bitboards) {
        return;
    }
    std::uint64_t notEast = 0;
    std::uint64_t notWest = 0;
    for (unsigned i = 0; i < m_size; ++i) {
        const Square s = map.getTiles()[i];
        m_choiceOrBonus |= s == Square::CHOICE || s == Square::BONUS ? 1ull << i : 0;
        notEast |= i % m_width != m_width - 1 ? 1ull << i : 0;
        notWest |= i % m_width != 0 ? 1ull << i : 0;
    }
    const std::uint64_t all = ~0ull;
    const unsigned w = m_width;
    // A shift by a whole word or more leaves no square on the board (and is not defined).
    const auto shift = [](std::uint64_t from, unsigned left, unsigned right) {
        return left < 64 && right < 64 ? Shift{from, left, right} : Shift{0, 0, 0};
    };
    m_shifts[0] = shift(all, 0, w);         // N
    m_shifts[1] = shift(notEast, 0, w - 1); // NE
    m_shifts[2] = shift(notEast, 1, 0);     // E
    m_shifts[3] = shift(notEast, w + 1, 0); // SE
    m_shifts[4] = shift(all, w, 0);         // S
    m_shifts[5] = shift(notWest, w - 1, 0); // SW
    m_shifts[6] = shift(notWest, 0, 1);     // W
    m_shifts[7] = shift(notWest, 0, w + 1); // NW
}

std::uint64_t BoardGeometry::stockKey(Player p, unsigned kind, unsigned count) {
    const std::uint64_t slot = (static_cast<std::uint64_t>(p) * 2u + kind) * 256u + count;
    return splitMix(0x570C5ull << 32 ^ slot);
}
