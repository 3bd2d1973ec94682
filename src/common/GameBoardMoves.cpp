// The build-phase rules: placing a stone, capturing lines, override stones and the special
// squares (inversion, choice, bonus, expansion).
#include "common/GameBoard.hpp"

#include <limits>
#include <utility>

// Tests in a fixed order and changes nothing before the last test passed, so that a rejected
// move in apply mode leaves the board as it was. Check mode ignores the choice.
bool GameBoard::makeMove(Player player, index_t index, MoveChoice choice, bool apply) {
    if (!isPlayerSlot(player) || !valid_index(index) || squares[index] == Square::NONE) {
        return false;
    }
    if (apply && !checkChoice(index, choice)) {
        return false;
    }
    const Square currentValue = squares[index];
    const bool isOccupied = occupied(index);
    if (isOccupied && getOverrides(player) == 0) {
        return false;
    }
    if (!checkCapture(player, index, apply)) {
        return false;
    }
    if (!apply) {
        return true;
    }
    if (isOccupied) {
        --overrides(player);
    }
    applySpecialSquare(player, currentValue, choice);
    return true;
}

// What the square the stone was placed on does after the captures have been flipped. Stocks
// stay at 255 instead of wrapping round.
void GameBoard::applySpecialSquare(Player player, Square currentValue, MoveChoice choice) {
    const auto raise = [](std::uint8_t& counter) {
        if (counter < std::numeric_limits<std::uint8_t>::max()) {
            ++counter;
        }
    };
    switch (currentValue) {
    case Square::INVERSION:
        inversion();
        break;
    case Square::CHOICE:
        swap_players(player, static_cast<Player>(choice));
        break;
    case Square::BONUS:
        raise(choice == MoveChoice::OVERRIDE ? overrides(player) : bombs(player));
        break;
    default:
        break;
    }
}

bool GameBoard::checkChoice(index_t index, MoveChoice choice) const {
    if (!valid_index(index)) {
        return false;
    }
    switch (squares[index]) {
    case Square::BONUS:
        return choice == MoveChoice::BOMB || choice == MoveChoice::OVERRIDE;
    case Square::CHOICE:
        return choice >= MoveChoice::PLAYER1 && idx(choice) <= nplayers;
    default:
        return choice == MoveChoice::NONE;
    }
}

// Runs the walk in every direction on the unchanged board and only then flips, so that later
// directions see the position from before the move. Check mode stops at the first capture
// and never allocates: the list stays empty.
bool GameBoard::checkCapture(Player player, index_t index, bool apply) {
    const Square currentValue = squares[index];
    if (currentValue == Square::EXPANSION && !apply) {
        return true;
    }
    const Square boardPlayer = ptob(player);
    if (currentValue != Square::EXPANSION && !nextToOtherStone(index, boardPlayer)) {
        return false;
    }
    bool canCapture = false;
    std::vector<index_t> captured;
    for (const Direction d : AllDirections) {
        const bool captures = capturePath(index, d, boardPlayer, apply, captured);
        canCapture = canCapture || captures;
        if (!apply && canCapture) {
            return true;
        }
    }
    if (!apply || (!canCapture && currentValue != Square::EXPANSION)) {
        return false;
    }
    for (const index_t i : captured) {
        set_square(i, boardPlayer);
    }
    set_square(index, boardPlayer);
    return true;
}

// Every capturing line starts on a neighbour that holds another colour or an expansion
// square; most free squares have none, and the callers that look for any legal move ask every
// square of the board.
bool GameBoard::nextToOtherStone(index_t index, Square boardPlayer) const {
    for (const Direction d : AllDirections) {
        if (passesOver(get_transition(index, d), index, boardPlayer)) {
            return true;
        }
    }
    return false;
}

// One straight line from `index`, following transitions. It captures when a run of occupied
// squares of other colours ends on the mover's colour; it stops without capture at the edge,
// a hole, an unoccupied square, or back at its own start (which ends every walk on a valid map).
bool GameBoard::capturePath(index_t index, Direction direction, Square boardPlayer, bool apply,
                            std::vector<index_t>& captured) const {
    const index_t first_index = index;
    const std::size_t mark = captured.size();
    unsigned count = 0;
    const auto step = [&] {
        const Direction next = get_nextdirection(index, direction);
        index = get_transition(index, direction);
        direction = next;
    };
    step();
    while (passesOver(index, first_index, boardPlayer)) {
        ++count;
        if (apply) {
            captured.push_back(index);
        }
        step();
    }
    if (index != INVALID_INDEX && index != first_index && squares[index] == boardPlayer &&
        count > 0) {
        return true;
    }
    if (apply) {
        captured.resize(mark);
    }
    return false;
}

// Every colour passes to the next player (player n's to player 1); only the two mappings change.
void GameBoard::inversion() {
    if (nplayers < 2) {
        return;
    }
    for (std::size_t c = 1; c <= nplayers; ++c) {
        btop_map[c] = static_cast<Player>(idx(btop_map[c]) % nplayers + 1);
    }
    for (std::size_t c = 1; c <= nplayers; ++c) {
        ptob_map[idx(btop_map[c])] = static_cast<Square>(c);
    }
}

// The two players exchange their colours, and with them all their stones.
void GameBoard::swap_players(Player left, Player right) {
    std::swap(ptob_map[idx(left)], ptob_map[idx(right)]);
    btop_map[idx(ptob_map[idx(left)])] = left;
    btop_map[idx(ptob_map[idx(right)])] = right;
}

// Check mode never writes, so the const board may be asked through the (virtual) makeMove.
// A capture ends on one of the mover's stones, so a player without stones (taken out, but
// still asked every turn) can only place on a free expansion square: the scan skips the walks.
bool GameBoard::move_possible(Player player) const {
    if (!isPlayerSlot(player)) {
        return false;
    }
    const bool stoneless = getStoneCount(player) == 0;
    auto* self = const_cast<GameBoard*>(this);
    for (std::uint32_t index = 0; index < boardsize; ++index) {
        if (stoneless && squares[index] != Square::EXPANSION) {
            continue;
        }
        if (self->makeMove(player, static_cast<index_t>(index), MoveChoice::NONE, false)) {
            return true;
        }
    }
    return false;
}

// The eight walks from first_index advanced together, breadth first; it answers what the check
// mode of checkCapture answers, without the free placement on expansion squares. A first step
// that a transition leads straight back onto first_index ends that walk, as in capturePath:
// the start square is never counted as a square in between.
bool GameBoard::testPathBfs(index_t first_index, Square boardPlayer) const {
    std::vector<CaptureItem> items;
    for (const Direction d : AllDirections) {
        const index_t next = get_transition(first_index, d);
        if (passesOver(next, first_index, boardPlayer)) {
            items.push_back({next, get_nextdirection(first_index, d)});
        }
    }
    for (std::size_t read = 0; read < items.size(); ++read) {
        const CaptureItem item = items[read];
        const index_t next = get_transition(item.index, item.direction);
        if (next == INVALID_INDEX || next == first_index) {
            continue;
        }
        if (squares[next] == boardPlayer) {
            return true;
        }
        if (occupied(next)) {
            items.push_back({next, get_nextdirection(item.index, item.direction)});
        }
    }
    return false;
}
