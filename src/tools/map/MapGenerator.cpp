#include "tools/map/MapGenerator.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

#include "common/GameBoard.hpp"
#include "common/Map.hpp"
#include "tools/map/MapCheck.hpp"

namespace {

// For each set of neighbours (bit d: the neighbour in direction d), whether they touch each
// other in king steps in one chain; the empty set does not. Built once.
constexpr std::array<bool, 256> ONE_CHAIN = [] {
    const auto touch = [](int a, int b) {
        const int dx = STEP_X[a] - STEP_X[b];
        const int dy = STEP_Y[a] - STEP_Y[b];
        return dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1;
    };
    std::array<bool, 256> table{};
    for (unsigned set = 1; set < 256; ++set) {
        unsigned reached = set & (~set + 1);
        for (unsigned grown = 0; grown != reached;) {
            grown = reached;
            for (int a = 0; a < 8; ++a) {
                for (int b = 0; b < 8; ++b) {
                    if ((grown >> a & 1) && (set >> b & 1) && touch(a, b)) {
                        reached |= 1u << b;
                    }
                }
            }
        }
        table[set] = reached == set;
    }
    return table;
}();
// Attempts before the generator gives up on options that keep failing the final check.
constexpr int MaxAttempts = 40;

// One end of a transition.
struct End {
    int x;
    int y;
    int d;
    bool operator==(const End&) const = default;
};

// The places 0 ... n-1 of a list that stays as it is, each still free or taken, as a Fenwick
// tree of counts: the k-th free place is found, and a place taken, in logarithmic time, where
// erasing from the list would move everything behind it.
class FreePlaces {
public:
    explicit FreePlaces(std::size_t n) : m_tree(n + 1, 0), m_free(n) {
        for (std::size_t i = 1; i <= n; ++i) {
            ++m_tree[i];
            const std::size_t parent = i + (i & (~i + 1));
            if (parent <= n) {
                m_tree[parent] += m_tree[i];
            }
        }
        while (m_top * 2 <= n) {
            m_top *= 2;
        }
    }

    std::size_t size() const { return m_free; }

    void take(std::size_t place) {
        for (std::size_t i = place + 1; i < m_tree.size(); i += i & (~i + 1)) {
            --m_tree[i];
        }
        --m_free;
    }

    // The place of the k-th free place counted from 0; k < size().
    std::size_t nth(std::size_t k) const {
        std::size_t place = 0;
        for (std::size_t step = m_top; step > 0; step /= 2) {
            if (place + step < m_tree.size() && m_tree[place + step] <= k) {
                place += step;
                k -= m_tree[place];
            }
        }
        return place;
    }

private:
    std::vector<std::uint32_t> m_tree;
    std::size_t m_free;
    std::size_t m_top = 1;
};

// A map under construction: one character per square, and the squares that must stay free
// so that the start blocks keep their moves.
class Draft {
public:
    Draft(const GeneratorOptions& options, std::mt19937& random)
        : m_options(options), m_random(random), m_width(static_cast<int>(options.width)),
          m_height(static_cast<int>(options.height)), m_cells(options.width * options.height, '0'),
          m_reserved(m_cells.size(), false) {}

    bool build(std::string& text);

private:
    int at(int x, int y) const { return y * m_width + x; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }
    // The square point-symmetric to `index` about the centre.
    int mirror(int index) const { return static_cast<int>(m_cells.size()) - 1 - index; }
    int draw(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(m_random); }

    void placeBlock(int x0, int y0);
    void placeStartBlocks();
    void placeHoles();
    bool canBecomeHole(int index) const;
    bool placeSpecials(char square, unsigned count);
    std::vector<int> freeSquares() const;
    std::vector<End> rimEnds(std::size_t& outward) const;
    End mirror(const End& e) const {
        return {m_width - 1 - e.x, m_height - 1 - e.y, (e.d + 4) % 8};
    }
    // Ends numbered in board order: square by square, direction by direction.
    std::size_t key(const End& e) const { return static_cast<std::size_t>(at(e.x, e.y) * 8 + e.d); }
    bool placeTransitions();
    std::string text() const;

    const GeneratorOptions& m_options;
    std::mt19937& m_random;
    int m_width;
    int m_height;
    std::string m_cells;
    std::vector<std::uint8_t> m_reserved;
    std::vector<std::pair<End, End>> m_transitions;
};

// A block of n x n stones in which player ((column - row) mod n) + 1 sits: each row and each
// column holds every player once, so at the end of each row some player can capture the row.
// The block and the ring around it are kept free of holes and special squares.
void Draft::placeBlock(int x0, int y0) {
    const int n = static_cast<int>(m_options.players);
    for (int y = y0 - 1; y <= y0 + n; ++y) {
        for (int x = x0 - 1; x <= x0 + n; ++x) {
            if (inside(x, y)) {
                m_reserved[at(x, y)] = true;
            }
        }
    }
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            m_cells[at(x0 + col, y0 + row)] = static_cast<char>('1' + ((col - row + n) % n));
        }
    }
}

// One centred block, or two point-symmetric ones side by side when the board is wide and
// large enough to give each room.
void Draft::placeStartBlocks() {
    const int n = static_cast<int>(m_options.players);
    const int y0 = (m_height - n) / 2;
    if (m_width * m_height >= 400 && m_width >= 2 * n + 8) {
        const int x0 = std::max(1, m_width / 4 - n / 2);
        placeBlock(x0, y0);
        placeBlock(m_width - n - x0, m_height - n - y0);
        return;
    }
    placeBlock((m_width - n) / 2, y0);
}

// Whether `index` can become a hole without cutting the board apart. A path in king steps
// through the square can always go round it when the square's remaining neighbours touch each
// other in one chain, so looking at the eight neighbours is enough; a square whose neighbours
// fall apart into several groups is kept, even where the groups meet further away.
bool Draft::canBecomeHole(int index) const {
    unsigned around = 0;
    for (int d = 0; d < 8; ++d) {
        const int x = index % m_width + STEP_X[d];
        const int y = index / m_width + STEP_Y[d];
        if (inside(x, y) && m_cells[at(x, y)] != '-') {
            around |= 1u << d;
        }
    }
    return ONE_CHAIN[around];
}

void Draft::placeHoles() {
    const auto target = static_cast<std::size_t>(m_cells.size() * m_options.holes / 100);
    std::size_t holes = 0;
    for (std::size_t attempt = 0; holes < target && attempt < 4 * target + 20; ++attempt) {
        const int index = draw(static_cast<int>(m_cells.size()));
        const int other = mirror(index);
        if (m_reserved[index] || m_reserved[other] || m_cells[index] != '0' ||
            m_cells[other] != '0') {
            continue;
        }
        if (!canBecomeHole(index)) {
            continue;
        }
        m_cells[index] = '-';
        if (other != index && !canBecomeHole(other)) {
            m_cells[index] = '0';
            continue;
        }
        m_cells[other] = '-';
        holes += index == other ? 1 : 2;
    }
}

std::vector<int> Draft::freeSquares() const {
    std::vector<int> free;
    free.reserve(m_cells.size());
    for (int index = 0; index < static_cast<int>(m_cells.size()); ++index) {
        if (!m_reserved[index] && m_cells[index] == '0') {
            free.push_back(index);
        }
    }
    return free;
}

// Pairs of point-symmetric squares first; an odd count ends on the centre square when there
// is a free one, and else on any free square. The free squares are listed once, in board
// order, and drawn from those not yet placed.
bool Draft::placeSpecials(char square, unsigned count) {
    if (count == 0) {
        return true;
    }
    const std::vector<int> free = freeSquares();
    FreePlaces left(free.size());
    const auto place = [&](int index) {
        m_cells[index] = square;
        left.take(static_cast<std::size_t>(std::lower_bound(free.begin(), free.end(), index) -
                                           free.begin()));
    };
    while (count > 0) {
        if (left.size() == 0) {
            return false;
        }
        const int index =
            free[left.nth(static_cast<std::size_t>(draw(static_cast<int>(left.size()))))];
        const int other = mirror(index);
        if (count >= 2 && other != index && m_cells[other] == '0' && !m_reserved[other]) {
            place(index);
            place(other);
            count -= 2;
            continue;
        }
        const int centre = static_cast<int>(m_cells.size()) / 2;
        const bool centreFree =
            mirror(centre) == centre && m_cells[centre] == '0' && !m_reserved[centre];
        place(centreFree && count % 2 == 1 ? centre : index);
        --count;
    }
    return true;
}

// Every side of a non-hole square that faces the outside or a hole may carry a transition;
// sides that face the outside of the board come first, as the ones transitions are mostly
// meant for (`outward` of them).
std::vector<End> Draft::rimEnds(std::size_t& outward) const {
    std::vector<End> ends;
    std::vector<End> inner;
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            if (m_cells[at(x, y)] == '-') {
                continue;
            }
            for (int d = 0; d < 8; ++d) {
                const int nx = x + STEP_X[d];
                const int ny = y + STEP_Y[d];
                if (!inside(nx, ny)) {
                    ends.push_back({x, y, d});
                } else if (m_cells[at(nx, ny)] == '-') {
                    inner.push_back({x, y, d});
                }
            }
        }
    }
    outward = ends.size();
    ends.insert(ends.end(), inner.begin(), inner.end());
    return ends;
}

// A transition and its point-symmetric image are added together; a transition that is its
// own image counts once. No end is used twice. Ends facing the outside are drawn first; ends
// facing holes only once those are used up.
bool Draft::placeTransitions() {
    std::size_t outward = 0;
    const std::vector<End> ends = rimEnds(outward);
    const auto inner = ends.begin() + static_cast<std::ptrdiff_t>(outward);
    FreePlaces left(ends.size());
    std::vector<bool> present(m_cells.size() * 8, false);
    for (const End& e : ends) {
        present[key(e)] = true;
    }
    // Both parts of `ends` are in board order, so an end is found by bisection in its part.
    const auto take = [&](const End& e) {
        const bool out = !inside(e.x + STEP_X[e.d], e.y + STEP_Y[e.d]);
        const auto at =
            std::lower_bound(out ? ends.begin() : inner, out ? inner : ends.end(), e,
                             [this](const End& a, const End& b) { return key(a) < key(b); });
        left.take(static_cast<std::size_t>(at - ends.begin()));
        outward -= out ? 1 : 0;
        present[key(e)] = false;
    };
    const auto has = [&](const End& e) { return present[key(e)]; };
    const auto drawEnd = [&](std::size_t pool) {
        return ends[left.nth(static_cast<std::size_t>(draw(static_cast<int>(pool))))];
    };
    unsigned placed = 0;
    for (unsigned attempt = 0; placed < m_options.transitions && left.size() >= 2 &&
                               attempt < 20 * m_options.transitions + 20;
         ++attempt) {
        const std::size_t pool = outward >= 2 ? outward : left.size();
        const End a = drawEnd(pool);
        const End b = drawEnd(pool);
        const End ma = mirror(a);
        const End mb = mirror(b);
        if (a == b) {
            continue;
        }
        const bool selfImage = (ma == a && mb == b) || (ma == b && mb == a);
        const bool pairFits = !selfImage && m_options.transitions - placed >= 2 && has(ma) &&
                              has(mb) && !(ma == a || ma == b || mb == a || mb == b);
        const bool lastSingle =
            m_options.transitions - placed == 1 && attempt > 10 * m_options.transitions;
        if (!selfImage && !pairFits && !lastSingle) {
            continue;
        }
        take(a);
        take(b);
        m_transitions.emplace_back(a, b);
        ++placed;
        if (pairFits) {
            take(ma);
            take(mb);
            m_transitions.emplace_back(ma, mb);
            ++placed;
        }
    }
    return placed == m_options.transitions;
}

std::string Draft::text() const {
    std::ostringstream os;
    os << m_options.players << '\n'
       << m_options.overrides << '\n'
       << m_options.bombs << ' ' << m_options.bombStrength << '\n'
       << m_options.height << ' ' << m_options.width << '\n';
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            os << (x > 0 ? " " : "") << m_cells[at(x, y)];
        }
        os << '\n';
    }
    for (const auto& [a, b] : m_transitions) {
        os << a.x << ' ' << a.y << ' ' << a.d << " <-> " << b.x << ' ' << b.y << ' ' << b.d << '\n';
    }
    return os.str();
}

// False when the board has no room left for every special square or transition asked for.
bool Draft::build(std::string& mapText) {
    placeStartBlocks();
    placeHoles();
    const bool placed = placeSpecials('c', m_options.choice) &&
                        placeSpecials('i', m_options.inversion) &&
                        placeSpecials('b', m_options.bonus) &&
                        placeSpecials('x', m_options.expansion) && placeTransitions();
    mapText = text();
    return placed;
}

// The map must read as valid, give every player the same number of stones, and let each of
// them move at the start.
bool isFairAndValid(const std::string& text, const GeneratorOptions& options) {
    Map map;
    std::vector<std::string> messages;
    if (!readMapText(text, map, messages)) {
        return false;
    }
    std::vector<unsigned> stones(options.players + 1, 0);
    for (map_axis y = 0; y < map.getHeight(); ++y) {
        for (map_axis x = 0; x < map.getWidth(); ++x) {
            const auto s = static_cast<unsigned>(map.getTile(x, y));
            if (s >= 1 && s <= options.players) {
                ++stones[s];
            }
        }
    }
    const GameBoard board(map);
    for (unsigned p = 1; p <= options.players; ++p) {
        if (stones[p] != stones[1] || !board.move_possible(static_cast<Player>(p))) {
            return false;
        }
    }
    return true;
}

} // namespace

bool parseNumberList(const std::string& text, unsigned count, unsigned max, unsigned* values) {
    std::istringstream in(text);
    for (unsigned i = 0; i < count; ++i) {
        std::uint64_t value = 0;
        if ((i > 0 && in.get() != ',') || !readUnsigned(in >> std::noskipws, value, max)) {
            return false;
        }
        values[i] = static_cast<unsigned>(value);
    }
    return in.peek() == std::char_traits<char>::eof();
}

bool parseSize(const std::string& text, unsigned& width, unsigned& height) {
    const auto cross = text.find_first_of("xX");
    if (cross == std::string::npos) {
        return false;
    }
    unsigned values[2] = {};
    std::string list = text;
    list[cross] = ',';
    if (!parseNumberList(list, 2, Map::MAX_WIDTH, values) || values[0] == 0 || values[1] == 0) {
        return false;
    }
    width = values[0];
    height = values[1];
    return true;
}

bool checkGeneratorOptions(const GeneratorOptions& o, std::string& error) {
    const unsigned side = o.players + 2;
    if (o.players < 2 || o.players > 8) {
        error = "the number of players must be 2 ... 8";
    } else if (o.width > Map::MAX_WIDTH || o.height > Map::MAX_HEIGHT) {
        error = "a map has at most 50 x 50 squares";
    } else if (o.width < side || o.height < side) {
        error = "a map for " + std::to_string(o.players) + " players needs at least " +
                std::to_string(side) + " x " + std::to_string(side) + " squares";
    } else if (o.holes > 60) {
        error = "at most 60 per cent of the squares can be holes";
    } else if (o.overrides > Map::MAX_OVERRIDE || o.bombs > Map::MAX_BOMBS ||
               o.bombStrength > Map::MAX_BOMB_RADIUS) {
        error = "override stones, bombs and bomb strength are at most 255 each";
    } else if (o.bonus + o.bombs > 255 || o.bonus + o.overrides > 255) {
        error = "bonus squares plus bombs, and bonus squares plus override stones, must not "
                "exceed 255";
    } else if (o.choice + o.inversion + o.bonus + o.expansion >
               (o.width * o.height - side * side) * (100 - o.holes) / 200) {
        error = "too many special squares for the free room on the map";
    } else {
        return true;
    }
    return false;
}

bool generateMap(const GeneratorOptions& options, std::string& mapText, std::string& error) {
    if (!checkGeneratorOptions(options, error)) {
        return false;
    }
    std::mt19937 random(options.seed);
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        Draft draft(options, random);
        std::string text;
        if (draft.build(text) && isFairAndValid(text, options)) {
            mapText = text;
            return true;
        }
    }
    error = "no valid fair map with every special square and transition asked for was found; "
            "try fewer holes, special squares or transitions";
    return false;
}
