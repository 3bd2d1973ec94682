// Position set-up, make/unmake, the turn engine and the conversions of the search board; the
// legality tests, the move generator and the placement of a stone are in SearchBoardMoves.cpp.
#include "search/SearchBoard.hpp"

#include <cassert>
#include <ostream>
#include <sstream>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"

namespace {

unsigned number(Player p) {
    return static_cast<unsigned>(p);
}

unsigned number(Square s) {
    return static_cast<unsigned>(s);
}

} // namespace

SearchBoard::SearchBoard(std::shared_ptr<const BoardGeometry> geometry)
    : m_geo(std::move(geometry)), m_rays(m_geo->rayData()), m_rayOffsets(m_geo->rayOffsets()),
      m_rayHeads(m_geo->rayHeads()), m_bitboards(m_geo->bitboards()),
      m_squares(m_geo->size() + 2u, Square::NONE), m_adjacent(m_geo->size(), 0),
      m_frontier((m_geo->size() + 63u) / 64u, 0), m_occupiedSet((m_geo->size() + 63u) / 64u, 0),
      m_colourSets(m_bitboards ? 0 : 10 * m_occupiedSet.size(), 0), m_queue(m_geo->size()) {}

// A new game: the map's squares and stocks, every player in, and the first turn handed out as
// the turn engine hands it out.
SearchBoard::SearchBoard(const Map& map) : SearchBoard(std::make_shared<BoardGeometry>(map)) {
    const Square* tiles = map.getTiles();
    std::copy(tiles, tiles + size(), m_squares.begin());
    for (unsigned p = 1; p < 9; ++p) {
        m_s.ptob[p] = static_cast<Square>(p);
        m_s.btop[p] = static_cast<Player>(p);
        m_s.bombs[p] = static_cast<std::uint8_t>(map.getBombs());
        m_s.overrides[p] = static_cast<std::uint8_t>(map.getOverrides());
    }
    m_s.validPlayers = static_cast<std::uint8_t>(players());
    initFromSquares();
    passTurn();
    m_s.hash = computeHash();
}

// The game's position as it stands, whatever led to it (a passive game may be in any state
// its server sent it to).
SearchBoard::SearchBoard(const Game& game)
    : SearchBoard(std::make_shared<BoardGeometry>(game.getMap())) {
    const GameBoard& board = game.getBoard();
    for (unsigned i = 0; i < size(); ++i) {
        m_squares[i] = board.get_square(static_cast<index_t>(i));
    }
    for (unsigned p = 1; p < 9; ++p) {
        const auto player = static_cast<Player>(p);
        m_s.ptob[p] = board.colourOf(player);
        m_s.bombs[p] = board.getBombs(player);
        m_s.overrides[p] = board.getOverrides(player);
        if (p <= players() && game.is_disqualified(player)) {
            m_s.disqualified |= static_cast<std::uint16_t>(1u << p);
        }
    }
    for (unsigned p = 1; p < 9; ++p) {
        m_s.btop[number(m_s.ptob[p])] = static_cast<Player>(p);
    }
    m_s.validPlayers = static_cast<std::uint8_t>(game.get_valid_players());
    m_s.turn = game.getCurrentPlayer();
    m_s.phase = game.is_final()      ? GamePhase::FINAL
                : game.is_terminal() ? GamePhase::TERMINAL
                                     : GamePhase::BUILD;
    m_s.moveNumber = static_cast<std::uint16_t>(game.get_movenumber());
    initFromSquares();
    m_s.hash = computeHash();
}

SearchBoard::SearchBoard(const SearchBoard& other)
    : m_geo(other.m_geo), m_rays(other.m_rays), m_rayOffsets(other.m_rayOffsets),
      m_rayHeads(other.m_rayHeads), m_bitboards(other.m_bitboards), m_maxMoves(other.m_maxMoves),
      m_squares(other.m_squares), m_adjacent(other.m_adjacent), m_frontier(other.m_frontier),
      m_occupiedSet(other.m_occupiedSet), m_colourSets(other.m_colourSets),
      m_stoneNeighbours(other.m_stoneNeighbours), m_freeAround(other.m_freeAround),
      m_near(other.m_near), m_trackNear(other.m_trackNear), m_s(other.m_s),
      m_queue(other.m_queue.size()) {}

SearchBoard& SearchBoard::operator=(const SearchBoard& other) {
    if (this != &other) {
        SearchBoard copy(other);
        *this = std::move(copy);
    }
    return *this;
}

// Counts, sets and neighbour masks from the squares alone.
void SearchBoard::initFromSquares() {
    m_s.counts.fill(0);
    m_s.nonHoles = 0;
    m_maxMoves = 0;
    for (unsigned i = 0; i < size(); ++i) {
        const Square s = m_squares[i];
        if (occupied(s)) {
            ++m_s.counts[number(s)];
            occupancyChanged(static_cast<index_t>(i), true);
            if (!m_bitboards) {
                updateColourSets(static_cast<index_t>(i), Square::EMPTY, s);
            }
        }
        if (m_bitboards && occupied(s)) {
            m_s.colourBits[number(s)] |= 1ull << i;
        }
        if (m_bitboards && isFree(s)) {
            m_s.freeBits |= 1ull << i;
        }
        m_s.nonHoles += s != Square::NONE ? 1u : 0u;
        m_maxMoves += s == Square::CHOICE ? players() : s == Square::BONUS ? 2u : 1u;
    }
    for (unsigned i = 0; !m_bitboards && i < size(); ++i) {
        updateFrontier(static_cast<index_t>(i));
    }
}

std::uint64_t SearchBoard::computeHash() const {
    std::uint64_t h = 0;
    for (unsigned i = 0; i < size(); ++i) {
        h ^= m_geo->squareKey(static_cast<index_t>(i), m_squares[i]);
    }
    for (unsigned p = 1; p <= players(); ++p) {
        const auto player = static_cast<Player>(p);
        h ^= m_geo->mappingKey(player, m_s.ptob[p]);
        h ^= BoardGeometry::stockKey(player, 0, m_s.bombs[p]);
        h ^= BoardGeometry::stockKey(player, 1, m_s.overrides[p]);
        if (isDisqualified(player)) {
            h ^= m_geo->disqualifiedKey(player);
        }
    }
    return h ^ m_geo->turnKey(m_s.turn) ^ m_geo->phaseKey(m_s.phase);
}

// Square i became occupied or stopped being occupied. On bitboard maps that is one bit; on
// the others the neighbour masks of the squares that step onto i change, and with them
// whether those squares are candidates.
void SearchBoard::occupancyChanged(index_t i, bool nowOccupied) {
    if (m_bitboards) {
        m_s.occupiedBits ^= 1ull << i;
        return;
    }
    const std::uint64_t bit = 1ull << (i & 63u);
    const std::uint32_t* reverse = m_geo->reverseData();
    const std::uint32_t end = m_geo->reverseBegin(i + 1u);
    if (nowOccupied) {
        m_occupiedSet[i >> 6] |= bit;
        for (std::uint32_t r = m_geo->reverseBegin(i); r < end; ++r) {
            const unsigned j = reverse[r] >> 3;
            m_adjacent[j] |= static_cast<std::uint8_t>(1u << (reverse[r] & 7u));
            if (isFree(m_squares[j])) {
                m_frontier[j >> 6] |= 1ull << (j & 63u);
            }
        }
    } else {
        m_occupiedSet[i >> 6] &= ~bit;
        for (std::uint32_t r = m_geo->reverseBegin(i); r < end; ++r) {
            const unsigned j = reverse[r] >> 3;
            m_adjacent[j] &= static_cast<std::uint8_t>(~(1u << (reverse[r] & 7u)));
            if (m_adjacent[j] == 0) {
                m_frontier[j >> 6] &= ~(1ull << (j & 63u));
            }
        }
    }
    updateFrontier(i);
}

// Maps other than bitboard maps: square i leaves the set of its old content and joins the set
// of its new one (occupied contents only).
void SearchBoard::updateColourSets(index_t i, Square old, Square now) {
    const std::size_t words = m_occupiedSet.size();
    const std::uint64_t bit = 1ull << (i & 63u);
    if (occupied(old)) {
        m_colourSets[number(old) * words + (i >> 6)] &= ~bit;
    }
    if (occupied(now)) {
        m_colourSets[number(now) * words + (i >> 6)] |= bit;
    }
}

// A candidate of a plain placement: free (empty or special), not a hole, next to a stone.
void SearchBoard::updateFrontier(index_t i) {
    const std::uint64_t bit = 1ull << (i & 63u);
    if (m_adjacent[i] != 0 && isFree(m_squares[i])) {
        m_frontier[i >> 6] |= bit;
    } else {
        m_frontier[i >> 6] &= ~bit;
    }
}

// The writer of squares while a move is made: logs the old content and keeps counts, hash
// and sets in step.
void SearchBoard::setSquare(index_t i, Square value) {
    const Square old = m_squares[i];
    m_changes.push_back({i, old});
    m_s.hash ^= m_geo->squareKey(i, old) ^ m_geo->squareKey(i, value);
    m_squares[i] = value;
    if (occupied(old)) {
        --m_s.counts[number(old)];
    }
    if (occupied(value)) {
        ++m_s.counts[number(value)];
    }
    if (value == Square::NONE && old != Square::NONE) {
        --m_s.nonHoles;
    }
    if (m_bitboards) {
        const std::uint64_t bit = 1ull << i;
        if (occupied(old)) {
            m_s.colourBits[number(old)] &= ~bit;
        }
        if (occupied(value)) {
            m_s.colourBits[number(value)] |= bit;
        }
        m_s.freeBits = isFree(value) ? m_s.freeBits | bit : m_s.freeBits & ~bit;
    } else {
        updateColourSets(i, old, value);
        if (m_trackNear) {
            nearChanged(i, old, value);
        }
    }
    if (occupied(old) != occupied(value)) {
        occupancyChanged(i, occupied(value));
    } else if (!m_bitboards && value == Square::NONE) {
        updateFrontier(i);
    }
}

// The square as it was before the move being taken back; the counts and bit sets come back
// with the saved state, the candidate sets of other maps are mended here.
void SearchBoard::restoreSquare(index_t i, Square value) {
    const Square now = m_squares[i];
    m_squares[i] = value;
    if (m_bitboards) {
        return;
    }
    updateColourSets(i, now, value);
    if (m_trackNear) {
        nearChanged(i, now, value);
    }
    if (occupied(now) != occupied(value)) {
        occupancyChanged(i, occupied(value));
    } else if (now == Square::NONE) {
        updateFrontier(i);
    }
}

// As the turn engine's makeMove of a passive game: the mover takes the turn, the move is
// played, the turn passes on.
void SearchBoard::makeMove(SearchMove move, Player p) {
    pushUndo();
    ++m_s.moveNumber;
    setTurn(p, m_s.phase);
    if (m_s.phase == GamePhase::TERMINAL) {
        throwBomb(move.index, p);
    } else {
        placeStone(move.index, p, move.choice);
    }
    passTurn();
}

void SearchBoard::disqualify(Player p) {
    pushUndo();
    if (number(p) < 1 || number(p) > players() || isDisqualified(p)) {
        return;
    }
    --m_s.validPlayers;
    m_s.disqualified |= static_cast<std::uint16_t>(1u << number(p));
    m_s.hash ^= m_geo->disqualifiedKey(p);
    if (m_s.validPlayers > 1) {
        if (p == m_s.turn) {
            passTurn();
        }
    } else {
        setTurn(m_s.turn, GamePhase::FINAL);
    }
}

void SearchBoard::pushUndo() {
    if (m_undoDepth == m_history.size()) {
        m_history.emplace_back();
    }
    Undo& undo = m_history[m_undoDepth++];
    undo.state = m_s;
    undo.changes = static_cast<std::uint32_t>(m_changes.size());
}

void SearchBoard::unmakeMove() {
    assert(m_undoDepth > 0);
    const Undo& undo = m_history[--m_undoDepth];
    for (std::size_t k = m_changes.size(); k > undo.changes; --k) {
        const Change& change = m_changes[k - 1];
        restoreSquare(change.index, change.old);
    }
    m_changes.resize(undo.changes);
    m_s = undo.state;
}

void SearchBoard::setTurn(Player p, GamePhase phase) {
    m_s.hash ^= m_geo->turnKey(m_s.turn) ^ m_geo->turnKey(p);
    m_s.hash ^= m_geo->phaseKey(m_s.phase) ^ m_geo->phaseKey(phase);
    m_s.turn = p;
    m_s.phase = phase;
}

bool SearchBoard::hasSwapSquares() const {
    for (unsigned i = 0; i < size(); ++i) {
        if (m_squares[i] == Square::CHOICE || m_squares[i] == Square::INVERSION) {
            return true;
        }
    }
    return false;
}

bool SearchBoard::canBomb(Player p) const {
    return !isDisqualified(p) && m_s.nonHoles != 0 && m_s.bombs[number(p)] != 0;
}

// The turn engine's advance: the next player in the cycle who can act in the phase; when a
// whole round finds nobody, the phase moves on (BUILD to TERMINAL, whose search starts at the
// same player, TERMINAL to FINAL).
void SearchBoard::passTurn() {
    m_s.scanStart = 0;
    m_s.turnBitsValid = false;
    if (m_s.validPlayers == 0) {
        return;
    }
    const unsigned n = players();
    Player turn = incrementPlayer(m_s.turn, n);
    GamePhase phase = m_s.phase;
    if (phase == GamePhase::BUILD) {
        const Player start = turn;
        while (isDisqualified(turn) || !findPlacements(turn)) {
            turn = incrementPlayer(turn, n);
            if (turn == start) {
                phase = GamePhase::TERMINAL;
                break;
            }
        }
    }
    if (phase == GamePhase::TERMINAL) {
        const Player start = turn;
        while (!canBomb(turn)) {
            turn = incrementPlayer(turn, n);
            if (turn == start) {
                phase = GamePhase::FINAL;
                break;
            }
        }
    }
    setTurn(turn, phase);
}

// Whether p can place a stone; if so, what was found is kept for the moves of the player on
// turn: all placements on a bitboard map, the first square otherwise.
bool SearchBoard::findPlacements(Player p) {
    if (m_bitboards) {
        m_s.turnBits = placementBits(p);
        m_s.turnBitsValid = m_s.turnBits != 0;
        return m_s.turnBitsValid;
    }
    if (m_s.overrides[number(p)] == 0 && m_s.counts[number(m_s.ptob[number(p)])] <= FEW_STONES) {
        return placementFromStones(p);
    }
    const index_t first = firstPlacement(p);
    m_s.scanStart = first == INVALID_INDEX ? 0 : first;
    return first != INVALID_INDEX;
}

void SearchBoard::setStock(std::array<std::uint8_t, 9>& stock, unsigned kind, Player p,
                           unsigned value) {
    m_s.hash ^= BoardGeometry::stockKey(p, kind, stock[number(p)]) ^
                BoardGeometry::stockKey(p, kind, value);
    stock[number(p)] = static_cast<std::uint8_t>(value);
}

// A new owner for every colour; both mappings and the hash follow.
void SearchBoard::setMapping(const std::array<Square, 9>& ptob) {
    for (unsigned p = 1; p <= players(); ++p) {
        const auto player = static_cast<Player>(p);
        m_s.hash ^= m_geo->mappingKey(player, m_s.ptob[p]) ^ m_geo->mappingKey(player, ptob[p]);
    }
    m_s.ptob = ptob;
    for (unsigned p = 1; p < 9; ++p) {
        m_s.btop[number(m_s.ptob[p])] = static_cast<Player>(p);
    }
}

// What the square does after the stone is down: inversion hands every colour to the next
// player, choice swaps colours with the chosen player, bonus adds a bomb or an override stone
// (stocks stop at 255).
void SearchBoard::applySpecial(Square before, Player p, MoveChoice choice) {
    const unsigned n = players();
    std::array<Square, 9> ptob = m_s.ptob;
    switch (before) {
    case Square::INVERSION:
        for (unsigned c = 1; c <= n; ++c) {
            ptob[number(m_s.btop[c]) % n + 1u] = static_cast<Square>(c);
        }
        setMapping(ptob);
        break;
    case Square::CHOICE:
        std::swap(ptob[number(p)], ptob[static_cast<unsigned>(choice)]);
        setMapping(ptob);
        break;
    case Square::BONUS: {
        const bool bomb = choice != MoveChoice::OVERRIDE;
        auto& stock = bomb ? m_s.bombs : m_s.overrides;
        if (stock[number(p)] < 255) {
            setStock(stock, bomb ? 0u : 1u, p, stock[number(p)] + 1u);
        }
        break;
    }
    default:
        break;
    }
}

// The bomb takes one from the stock; then everything within the bomb strength of the target,
// counted in single steps through transitions and not through holes, becomes a hole. Breadth
// first, a square destroyed when first reached, so that it is reached at its least distance.
void SearchBoard::throwBomb(index_t target, Player p) {
    setStock(m_s.bombs, 0, p, m_s.bombs[number(p)] - 1u);
    setSquare(target, Square::NONE);
    m_queue[0] = target;
    std::size_t levelBegin = 0;
    std::size_t levelEnd = 1;
    for (unsigned power = m_geo->bombStrength(); power > 0 && levelBegin < levelEnd; --power) {
        std::size_t end = levelEnd;
        for (std::size_t q = levelBegin; q < levelEnd; ++q) {
            for (unsigned d = 0; d < 8; ++d) {
                const index_t next = m_geo->neighbour(m_queue[q], static_cast<Direction>(d));
                if (next != INVALID_INDEX && m_squares[next] != Square::NONE) {
                    setSquare(next, Square::NONE);
                    m_queue[end++] = next;
                }
            }
        }
        levelBegin = levelEnd;
        levelEnd = end;
    }
}

Move SearchBoard::toMove(SearchMove move, Player p) const {
    return Move(static_cast<std::uint16_t>(x(move.index)),
                static_cast<std::uint16_t>(y(move.index)), move.choice, p, move.bomb);
}

SearchMove SearchBoard::fromMove(const Move& move) const {
    return SearchMove{index(move.x, move.y), move.choice, move.terminal};
}

std::string SearchBoard::asSimpleString() const {
    std::ostringstream os;
    for (unsigned y = 0; y < height(); ++y) {
        for (unsigned x = 0; x < width(); ++x) {
            const Square s = m_squares[index(x, y)];
            if (occupied(s) && s != Square::EXPANSION) {
                os << number(ownerOf(s));
            } else {
                os << s;
            }
        }
        os << '\n';
    }
    return os.str();
}
