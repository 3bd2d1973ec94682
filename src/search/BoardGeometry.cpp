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

// Every straight line from every square that is not a hole of the map, up to MAX_RAY squares.
// A line ends where every walk of the rules ends, whatever the position: off the board, back on
// its own start, or in a hole of the map (a transition may lead into one), since nothing ever
// fills a hole.
void BoardGeometry::buildRays(const Map& map) {
    const Square* tiles = map.getTiles();
    m_rays.assign(m_size * 8u, Ray{});
    for (unsigned i = 0; i < m_size; ++i) {
        if (tiles[i] == Square::NONE) {
            continue;
        }
        for (unsigned d = 0; d < 8; ++d) {
            Ray& ray = m_rays[i * 8u + d];
            ray.offset = static_cast<std::uint32_t>(m_rayData.size());
            unsigned at = i;
            unsigned dir = d;
            while (true) {
                const unsigned entry = at * 8u + dir;
                at = m_step[entry];
                dir = static_cast<unsigned>(m_next[entry]);
                if (at == INVALID_INDEX || at == i || tiles[at] == Square::NONE) {
                    break;
                }
                m_rayData.push_back(static_cast<index_t>(at));
                if (++ray.length == MAX_RAY) {
                    ray.tailIndex = static_cast<index_t>(at);
                    ray.tailDirection = static_cast<Direction>(dir);
                    break;
                }
            }
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

std::uint64_t BoardGeometry::stockKey(Player p, unsigned kind, unsigned count) {
    const std::uint64_t slot = (static_cast<std::uint64_t>(p) * 2u + kind) * 256u + count;
    return splitMix(0x570C5ull << 32 ^ slot);
}
