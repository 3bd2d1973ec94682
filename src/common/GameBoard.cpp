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
    linkGrid();
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

// The plain grid steps: each entry lands on the neighbour in its direction, or on
// INVALID_INDEX when the step leaves the board or lands in a hole, so that walks need no edge
// tests of their own; a straight line goes on in the same direction. Squares off the rim need
// no edge tests.
void GameBoard::linkGrid() {
    const int w = width;
    const int h = height;
    const int offset[8] = {-w, 1 - w, 1, w + 1, w, w - 1, -1, -w - 1};
    for (int y = 0, i = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x, ++i) {
            const bool inner = x > 0 && y > 0 && x + 1 < w && y + 1 < h;
            index_t* out = &transitions[static_cast<std::size_t>(i) * 8];
            Direction* next = &next_transitions[static_cast<std::size_t>(i) * 8];
            for (unsigned d = 0; d < 8; ++d) {
                const int nx = x + STEP_X[d];
                const int ny = y + STEP_Y[d];
                const bool on = inner || (nx >= 0 && ny >= 0 && nx < w && ny < h);
                const int target = i + offset[d];
                out[d] = on && squares[target] != Square::NONE ? static_cast<index_t>(target)
                                                               : INVALID_INDEX;
                next[d] = static_cast<Direction>(d);
            }
        }
    }
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
