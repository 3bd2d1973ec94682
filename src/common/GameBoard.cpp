#include "common/GameBoard.hpp"

#include <cassert>

// Sets up the counters and mappings, copies the tiles through set_square so that every count
// starts from zero, and precomputes the step tables: ordinary neighbours first, then the map's
// transitions replacing the entries of both of their ends.
GameBoard::GameBoard(const Map& map)
    : m_map(map), width(static_cast<std::uint16_t>(map.getWidth())),
      height(static_cast<std::uint16_t>(map.getHeight())),
      boardsize(static_cast<std::uint32_t>(width) * height),
      nplayers(static_cast<std::uint8_t>(map.getPlayers())),
      lastPlayer(static_cast<Player>(nplayers + 1)),
      bomb_power(static_cast<std::uint8_t>(map.getBombStrength())),
      transitions(new index_t[boardsize * 8u]), next_transitions(new Direction[boardsize * 8u]),
      squares(new Square[boardsize]) {
    assert(map.isValid());
    for (std::size_t p = 0; p < 9; ++p) {
        ptob_map[p] = static_cast<Square>(p);
        btop_map[p] = static_cast<Player>(p);
        const bool real = p != 0;
        state.player_bombs[p] = real ? static_cast<std::uint8_t>(map.getBombs()) : 0;
        state.override_stones[p] = real ? static_cast<std::uint8_t>(map.getOverrides()) : 0;
    }
    const Square* tiles = map.getTiles();
    for (index_t i = 0; i < boardsize; ++i) {
        squares[i] = Square::NONE;
        set_square(i, tiles[i]);
    }
    for (index_t i = 0; i < boardsize; ++i) {
        for (const Direction d : AllDirections) {
            set_transition(i, d, transition2index(i, d), getBackDirection(d));
        }
    }
    for (const Transition& t : map.getTransitions()) {
        const index_t s = coords2index(static_cast<std::uint16_t>(t.m_xStart),
                                       static_cast<std::uint16_t>(t.m_yStart));
        const index_t e = coords2index(static_cast<std::uint16_t>(t.m_xEnd),
                                       static_cast<std::uint16_t>(t.m_yEnd));
        if (s == INVALID_INDEX || e == INVALID_INDEX) {
            continue;
        }
        set_transition(s, t.m_dStart, e, t.m_dEnd);
        set_transition(e, t.m_dEnd, s, t.m_dStart);
    }
}

GameBoard::~GameBoard() = default;

index_t GameBoard::coords2index(std::uint16_t x, std::uint16_t y) const {
    if (x >= width || y >= height) {
        return INVALID_INDEX;
    }
    return static_cast<index_t>(x + width * y);
}

bool GameBoard::index2coords(index_t index, std::uint16_t& x, std::uint16_t& y) const {
    if (index == INVALID_INDEX || !valid_index(index)) {
        return false;
    }
    x = static_cast<std::uint16_t>(index % width);
    y = static_cast<std::uint16_t>(index / width);
    return true;
}

// The plain grid step from `index` in `dir`: INVALID_INDEX when it leaves the board or lands
// in a hole, so that walks need no edge tests of their own.
index_t GameBoard::transition2index(index_t index, Direction dir) const {
    const unsigned i = index;
    const unsigned w = width;
    const bool north = i < w;
    const bool south = i >= boardsize - w;
    const unsigned column = i % w;
    const bool west = column == 0;
    const bool east = column == w - 1;
    bool leaves = false;
    unsigned target = 0;
    switch (dir) {
    case Direction::N:
        leaves = north;
        target = i - w;
        break;
    case Direction::NE:
        leaves = north || east;
        target = i - w + 1;
        break;
    case Direction::E:
        leaves = east;
        target = i + 1;
        break;
    case Direction::SE:
        leaves = south || east;
        target = i + w + 1;
        break;
    case Direction::S:
        leaves = south;
        target = i + w;
        break;
    case Direction::SW:
        leaves = south || west;
        target = i + w - 1;
        break;
    case Direction::W:
        leaves = west;
        target = i - 1;
        break;
    case Direction::NW:
        leaves = north || west;
        target = i - w - 1;
        break;
    }
    if (leaves || squares[target] == Square::NONE) {
        return INVALID_INDEX;
    }
    return static_cast<index_t>(target);
}

// The entry stores where the step lands and the direction a straight line goes on in there:
// away from the side `back` through which the step arrived.
void GameBoard::set_transition(index_t source, Direction d, index_t target, Direction back) {
    const std::size_t entry = source * 8u + static_cast<unsigned>(d);
    transitions[entry] = target;
    next_transitions[entry] = getBackDirection(back);
}

// The one writer of square contents; it keeps stoneCount and reducedboardsize in step.
void GameBoard::set_square(index_t index, Square value) {
    const Square old = squares[index];
    squares[index] = value;
    if (isStone(old)) {
        --state.stoneCount[idx(old)];
    }
    if (isStone(value)) {
        ++state.stoneCount[idx(value)];
    }
    if (value == Square::NONE && old != Square::NONE) {
        --reducedboardsize;
    } else if (old == Square::NONE && value != Square::NONE) {
        ++reducedboardsize;
    }
}

void GameBoard::disqualify(Player p) {
    if (isPlayerSlot(p)) {
        player_disqualified[idx(p)] = true;
    }
}

bool GameBoard::occupiedByPlayer(index_t index) const {
    const Square s = squares[index];
    return isStone(s) && !player_disqualified[idx(btop(s))];
}

MoveChoice GameBoard::defaultChoice(index_t index) const {
    switch (squares[index]) {
    case Square::CHOICE:
        return MoveChoice::PLAYER1;
    case Square::BONUS:
        return MoveChoice::BOMB;
    default:
        return MoveChoice::NONE;
    }
}
