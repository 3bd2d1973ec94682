// The bomb rules: checking and throwing a bomb, and the blast that turns squares into holes.
#include "common/GameBoard.hpp"

#include <algorithm>

// The reasons for refusing, in order: no such player, index off the board, target already a
// hole, no bomb left. Check mode stops before the first change.
bool GameBoard::throwBomb(Player player, index_t index, bool apply) {
    if (!isPlayerSlot(player) || !valid_index(index) || squares[index] == Square::NONE) {
        return false;
    }
    if (getBombs(player) == 0) {
        return false;
    }
    if (!apply) {
        return true;
    }
    --bombs(player);
    blast(index);
    return true;
}

// Breadth first by distance levels, so that a square is destroyed at its shortest distance
// through the steps of the board (transitions included) and holes from before the throw shield
// what lies behind them. A square can be appended once per neighbour before it is read; the
// duplicates are skipped when read, so the reserved size is a hint, not a bound.
void GameBoard::blast(index_t index) {
    const std::size_t side = 2u * bomb_power + 1u;
    std::vector<index_t> toVisit;
    toVisit.reserve(std::min<std::size_t>(boardsize, side * side));
    toVisit.push_back(index);
    std::size_t read = 0;
    std::size_t levelEnd = 1;
    unsigned power = bomb_power;
    while (read < toVisit.size()) {
        const index_t current = toVisit[read++];
        if (squares[current] != Square::NONE) {
            set_square(current, Square::NONE);
            for (const Direction d : AllDirections) {
                const index_t next = get_transition(current, d);
                if (power != 0 && next != INVALID_INDEX && squares[next] != Square::NONE) {
                    toVisit.push_back(next);
                }
            }
        }
        if (read == levelEnd) {
            if (power == 0 || levelEnd == toVisit.size()) {
                return;
            }
            --power;
            levelEnd = toVisit.size();
        }
    }
}

// The same blast depth first; visited keeps the highest power a square was reached with, so
// that a square is explored again only when reached with more power left. A square becomes a
// hole after its neighbours were explored, and a hole with visited 0 stood before the blast.
void GameBoard::rec_bomb(index_t index, int power, int* visited) {
    if (power <= 0 || !valid_index(index)) {
        return;
    }
    if (squares[index] == Square::NONE && visited[index] == 0) {
        return;
    }
    visited[index] = power;
    for (const Direction d : AllDirections) {
        const index_t next = get_transition(index, d);
        if (next != INVALID_INDEX && visited[next] < power - 1) {
            rec_bomb(next, power - 1, visited);
        }
    }
    set_square(index, Square::NONE);
}

bool GameBoard::bomb_possible(Player player) const {
    return isPlayerSlot(player) && reducedboardsize != 0 && getBombs(player) != 0;
}
