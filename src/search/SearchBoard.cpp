// Position set-up, make/unmake, the turn engine and the conversions of the search board; the
// legality tests and the move generator are in SearchBoardMoves.cpp.
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

bool isStone(Square s) {
    return static_cast<unsigned>(s) - 1u < 8u;
}

} // namespace

SearchBoard::SearchBoard(std::shared_ptr<const BoardGeometry> geometry)
    : m_geo(std::move(geometry)), m_squares(m_geo->size(), Square::NONE),
      m_adjacent(m_geo->size(), 0), m_frontier((m_geo->size() + 63u) / 64u, 0),
      m_occupiedSet((m_geo->size() + 63u) / 64u, 0), m_queue(m_geo->size()) {}

// A new game: the map's squares and stocks, every player in, and the first turn handed out as
// the turn engine hands it out.
SearchBoard::SearchBoard(const Map& map) : SearchBoard(std::make_shared<BoardGeometry>(map)) {
    const Square* tiles = map.getTiles();
    for (unsigned i = 0; i < size(); ++i) {
        m_squares[i] = tiles[i];
    }
    for (unsigned p = 1; p < 9; ++p) {
        m_ptob[p] = static_cast<Square>(p);
        m_btop[p] = static_cast<Player>(p);
        m_bombs[p] = static_cast<std::uint8_t>(map.getBombs());
        m_overrides[p] = static_cast<std::uint8_t>(map.getOverrides());
    }
    m_validPlayers = players();
    initFromSquares();
    passTurn();
    m_hash = computeHash();
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
        m_ptob[p] = board.colourOf(player);
        m_bombs[p] = board.getBombs(player);
        m_overrides[p] = board.getOverrides(player);
        m_disqualified[p] = p <= players() && game.is_disqualified(player);
    }
    for (unsigned p = 1; p < 9; ++p) {
        m_btop[static_cast<unsigned>(m_ptob[p])] = static_cast<Player>(p);
    }
    m_validPlayers = game.get_valid_players();
    m_turn = game.getCurrentPlayer();
    m_phase = game.is_final()      ? GamePhase::FINAL
              : game.is_terminal() ? GamePhase::TERMINAL
                                   : GamePhase::BUILD;
    m_moveNumber = static_cast<std::uint16_t>(game.get_movenumber());
    initFromSquares();
    m_hash = computeHash();
}

SearchBoard::SearchBoard(const SearchBoard& other)
    : m_geo(other.m_geo), m_squares(other.m_squares), m_adjacent(other.m_adjacent),
      m_frontier(other.m_frontier), m_occupiedSet(other.m_occupiedSet), m_counts(other.m_counts),
      m_ptob(other.m_ptob), m_btop(other.m_btop), m_bombs(other.m_bombs),
      m_overrides(other.m_overrides), m_disqualified(other.m_disqualified),
      m_validPlayers(other.m_validPlayers), m_nonHoles(other.m_nonHoles),
      m_maxMoves(other.m_maxMoves), m_turn(other.m_turn), m_phase(other.m_phase),
      m_moveNumber(other.m_moveNumber), m_hash(other.m_hash), m_queue(other.m_queue.size()) {}

SearchBoard& SearchBoard::operator=(const SearchBoard& other) {
    if (this != &other) {
        SearchBoard copy(other);
        *this = std::move(copy);
    }
    return *this;
}

// Counts, occupancy sets and neighbour masks from the squares alone.
void SearchBoard::initFromSquares() {
    m_counts.fill(0);
    m_nonHoles = 0;
    m_maxMoves = 0;
    for (unsigned i = 0; i < size(); ++i) {
        const Square s = m_squares[i];
        if (isStone(s)) {
            ++m_counts[static_cast<unsigned>(s)];
        }
        if (s != Square::NONE) {
            ++m_nonHoles;
        }
        m_maxMoves += s == Square::CHOICE ? players() : s == Square::BONUS ? 2u : 1u;
    }
    for (unsigned i = 0; i < size(); ++i) {
        if (occupied(m_squares[i])) {
            occupancyChanged(static_cast<index_t>(i), true);
        }
    }
}

std::uint64_t SearchBoard::computeHash() const {
    std::uint64_t h = 0;
    for (unsigned i = 0; i < size(); ++i) {
        h ^= m_geo->squareKey(static_cast<index_t>(i), m_squares[i]);
    }
    for (unsigned p = 1; p <= players(); ++p) {
        const auto player = static_cast<Player>(p);
        h ^= m_geo->mappingKey(player, m_ptob[p]);
        h ^= BoardGeometry::stockKey(player, 0, m_bombs[p]);
        h ^= BoardGeometry::stockKey(player, 1, m_overrides[p]);
        if (m_disqualified[p]) {
            h ^= m_geo->disqualifiedKey(player);
        }
    }
    return h ^ m_geo->turnKey(m_turn) ^ m_geo->phaseKey(m_phase);
}

// Square i became occupied or stopped being occupied: the neighbour masks of the squares that
// step onto it change, and with them whether those squares are candidates.
void SearchBoard::occupancyChanged(index_t i, bool nowOccupied) {
    const std::uint64_t bit = 1ull << (i & 63u);
    if (nowOccupied) {
        m_occupiedSet[i >> 6] |= bit;
    } else {
        m_occupiedSet[i >> 6] &= ~bit;
    }
    const std::uint32_t* reverse = m_geo->reverseData();
    for (std::uint32_t r = m_geo->reverseBegin(i); r < m_geo->reverseBegin(i + 1u); ++r) {
        const unsigned j = reverse[r] >> 3;
        const auto mask = static_cast<std::uint8_t>(1u << (reverse[r] & 7u));
        if (nowOccupied) {
            m_adjacent[j] |= mask;
        } else {
            m_adjacent[j] &= static_cast<std::uint8_t>(~mask);
        }
        updateFrontier(static_cast<index_t>(j));
    }
    updateFrontier(i);
}

// A candidate of a plain placement: free (empty or special), not a hole, next to a stone.
void SearchBoard::updateFrontier(index_t i) {
    const Square s = m_squares[i];
    const bool candidate = m_adjacent[i] != 0 && !occupied(s) && s != Square::NONE;
    const std::uint64_t bit = 1ull << (i & 63u);
    if (candidate) {
        m_frontier[i >> 6] |= bit;
    } else {
        m_frontier[i >> 6] &= ~bit;
    }
}

// The one writer of squares while a move is made: logs the old content and keeps counts,
// hash and candidate sets in step.
void SearchBoard::setSquare(index_t i, Square value) {
    const Square old = m_squares[i];
    m_changes.push_back({i, old});
    m_hash ^= m_geo->squareKey(i, old) ^ m_geo->squareKey(i, value);
    writeSquare(i, value);
}

// Writes a square and keeps counts and candidate sets in step (not the hash, not the log).
void SearchBoard::writeSquare(index_t i, Square value) {
    const Square old = m_squares[i];
    m_squares[i] = value;
    if (isStone(old)) {
        --m_counts[static_cast<unsigned>(old)];
    }
    if (isStone(value)) {
        ++m_counts[static_cast<unsigned>(value)];
    }
    if (value == Square::NONE) {
        m_nonHoles -= old != Square::NONE ? 1u : 0u;
    } else if (old == Square::NONE) {
        ++m_nonHoles;
    }
    if (occupied(old) != occupied(value)) {
        occupancyChanged(i, occupied(value));
    } else if (old == Square::NONE || value == Square::NONE) {
        updateFrontier(i);
    }
}

void SearchBoard::pushUndo(Player mover) {
    Undo undo{};
    undo.hash = m_hash;
    undo.changes = static_cast<std::uint32_t>(m_changes.size());
    undo.moveNumber = m_moveNumber;
    undo.turn = m_turn;
    undo.phase = m_phase;
    undo.mover = mover;
    undo.moverBombs = m_bombs[number(mover)];
    undo.moverOverrides = m_overrides[number(mover)];
    undo.validPlayers = static_cast<std::uint8_t>(m_validPlayers);
    for (unsigned p = 1; p < 9; ++p) {
        undo.disqualifiedMask |= static_cast<std::uint8_t>(m_disqualified[p] ? 1u << (p - 1) : 0u);
    }
    undo.ptob = m_ptob;
    m_history.push_back(undo);
}

// As the turn engine's makeMove of a passive game: the mover takes the turn, the move is
// played, the turn passes on.
void SearchBoard::makeMove(SearchMove move, Player p) {
    pushUndo(p);
    ++m_moveNumber;
    setTurn(p, m_phase);
    if (m_phase == GamePhase::TERMINAL) {
        throwBomb(move.index, p);
    } else {
        placeStone(move.index, p, move.choice);
    }
    passTurn();
}

void SearchBoard::disqualify(Player p) {
    pushUndo(m_turn);
    if (number(p) < 1 || number(p) > players() || m_disqualified[number(p)]) {
        return;
    }
    --m_validPlayers;
    m_disqualified[number(p)] = true;
    m_hash ^= m_geo->disqualifiedKey(p);
    if (m_validPlayers > 1) {
        if (p == m_turn) {
            passTurn();
        }
    } else {
        setTurn(m_turn, GamePhase::FINAL);
    }
}

void SearchBoard::unmakeMove() {
    assert(!m_history.empty());
    const Undo undo = m_history.back();
    m_history.pop_back();
    for (std::size_t k = m_changes.size(); k > undo.changes; --k) {
        const Change& change = m_changes[k - 1];
        writeSquare(change.index, change.old);
    }
    m_changes.resize(undo.changes);
    m_hash = undo.hash;
    m_moveNumber = undo.moveNumber;
    m_turn = undo.turn;
    m_phase = undo.phase;
    m_bombs[number(undo.mover)] = undo.moverBombs;
    m_overrides[number(undo.mover)] = undo.moverOverrides;
    m_validPlayers = undo.validPlayers;
    for (unsigned p = 1; p < 9; ++p) {
        m_disqualified[p] = (undo.disqualifiedMask >> (p - 1) & 1u) != 0;
    }
    if (undo.ptob != m_ptob) {
        m_ptob = undo.ptob;
        for (unsigned p = 1; p < 9; ++p) {
            m_btop[static_cast<unsigned>(m_ptob[p])] = static_cast<Player>(p);
        }
    }
}

void SearchBoard::setTurn(Player p, GamePhase phase) {
    m_hash ^= m_geo->turnKey(m_turn) ^ m_geo->turnKey(p);
    m_hash ^= m_geo->phaseKey(m_phase) ^ m_geo->phaseKey(phase);
    m_turn = p;
    m_phase = phase;
}

bool SearchBoard::canPlace(Player p) const {
    return !m_disqualified[number(p)] && hasPlacement(p);
}

bool SearchBoard::canBomb(Player p) const {
    return !m_disqualified[number(p)] && m_nonHoles != 0 && m_bombs[number(p)] != 0;
}

// The turn engine's advance: the next player in the cycle who can act in the phase; when a
// whole round finds nobody, the phase moves on (BUILD to TERMINAL, whose search starts at the
// same player, TERMINAL to FINAL).
void SearchBoard::passTurn() {
    if (m_validPlayers == 0) {
        return;
    }
    const unsigned n = players();
    Player turn = incrementPlayer(m_turn, n);
    GamePhase phase = m_phase;
    if (phase == GamePhase::BUILD) {
        const Player start = turn;
        while (!canPlace(turn)) {
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

void SearchBoard::setStock(std::array<std::uint8_t, 9>& stock, unsigned kind, Player p,
                           unsigned value) {
    m_hash ^= BoardGeometry::stockKey(p, kind, stock[number(p)]) ^
              BoardGeometry::stockKey(p, kind, value);
    stock[number(p)] = static_cast<std::uint8_t>(value);
}

// A new owner for every colour; both mappings and the hash follow.
void SearchBoard::setMapping(const std::array<Square, 9>& ptob) {
    for (unsigned p = 1; p <= players(); ++p) {
        const auto player = static_cast<Player>(p);
        m_hash ^= m_geo->mappingKey(player, m_ptob[p]) ^ m_geo->mappingKey(player, ptob[p]);
    }
    m_ptob = ptob;
    for (unsigned p = 1; p < 9; ++p) {
        m_btop[static_cast<unsigned>(m_ptob[p])] = static_cast<Player>(p);
    }
}

// What the square does after the stone is down: inversion hands every colour to the next
// player, choice swaps colours with the chosen player, bonus adds a bomb or an override stone
// (stocks stop at 255).
void SearchBoard::applySpecial(Square before, Player p, MoveChoice choice) {
    const unsigned n = players();
    std::array<Square, 9> ptob = m_ptob;
    switch (before) {
    case Square::INVERSION:
        for (unsigned c = 1; c <= n; ++c) {
            ptob[number(m_btop[c]) % n + 1u] = static_cast<Square>(c);
        }
        setMapping(ptob);
        break;
    case Square::CHOICE:
        std::swap(ptob[number(p)], ptob[static_cast<unsigned>(choice)]);
        setMapping(ptob);
        break;
    case Square::BONUS: {
        const bool bomb = choice != MoveChoice::OVERRIDE;
        auto& stock = bomb ? m_bombs : m_overrides;
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
    setStock(m_bombs, 0, p, m_bombs[number(p)] - 1u);
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
            if (isStone(s)) {
                os << number(ownerOf(s));
            } else {
                os << s;
            }
        }
        os << '\n';
    }
    return os.str();
}
