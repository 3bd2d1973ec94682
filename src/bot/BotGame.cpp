#include "bot/BotGame.hpp"

#include <algorithm>
#include <limits>
#include <vector>

// Both boards come from the same map, so their dimensions and neighbour tables agree and only
// the squares, stocks, counts and ownership need to follow.
void BotBoard::copyStateFrom(const BotBoard& other) {
    std::copy_n(other.squares.get(), boardsize, squares.get());
    reducedboardsize = other.reducedboardsize;
    state = other.state;
    ptob_map = other.ptob_map;
    btop_map = other.btop_map;
    player_disqualified = other.player_disqualified;
}

BotGame::BotGame(const Map& map) : Game(map, new BotBoard(map), true), m_scratch(map) {}

long BotGame::evaluate(const Move& move) {
    m_scratch.copyStateFrom(board());
    const index_t index = m_scratch.coords2index(move.x, move.y);
    if (move.terminal) {
        const unsigned before = opposingStones(m_scratch, move.player);
        m_scratch.throwBomb(move.player, index, true);
        return static_cast<long>(before) - opposingStones(m_scratch, move.player);
    }
    m_scratch.makeMove(move.player, index, move.choice, true);
    return m_scratch.getStoneCount(move.player);
}

// Walks through every legal move of the player on turn and draws one of the best at random.
Move BotGame::chooseGreedy(std::mt19937& random, long& score, std::size_t& ties) {
    std::vector<Move> best;
    score = std::numeric_limits<long>::min();
    Move candidate;
    while (nextMove(candidate, false)) {
        const long value = evaluate(candidate);
        if (value > score) {
            best.clear();
            score = value;
        }
        if (value == score) {
            best.push_back(candidate);
        }
    }
    ties = best.size();
    if (best.empty()) {
        return Move();
    }
    std::uniform_int_distribution<std::size_t> pick(0, best.size() - 1);
    return best[pick(random)];
}

unsigned BotGame::opposingStones(const GameBoard& board, Player mover) const {
    unsigned stones = 0;
    for (Player p : getPlayers()) {
        if (p != mover) {
            stones += board.getStoneCount(p);
        }
    }
    return stones;
}
