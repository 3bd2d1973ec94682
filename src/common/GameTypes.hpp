// The game vocabulary: players, the extra choice of a move, the game phase and the move record.
// Game.hpp includes this header; the board includes it without pulling in the turn engine.
#pragma once

#include <cassert>
#include <cstdint>
#include <ostream>

// A player number 1 ... n; values 2 ... 7 are used as numbers converted to the enumeration.
enum class Player : std::uint8_t {
    P_INVALID = 0,
    P1 = 1,
    P_MAX = 8,
};

// The extra decision of a move: a player to swap with on a choice square, or the bonus taken.
enum class MoveChoice : std::uint8_t {
    NONE = 0,
    PLAYER1 = 1,
    PLAYER_MAX = 8,
    BOMB = 20,
    OVERRIDE = 21,
};

// BUILD: stones are placed; TERMINAL: the bomb phase; FINAL: the game is over.
enum class GamePhase : std::uint32_t {
    BUILD = 0,
    TERMINAL = 1,
    FINAL = 2,
};

// One move of one player; `terminal` marks a bomb throw.
class Move {
public:
    Move() = default;
    Move(std::uint16_t x, std::uint16_t y, MoveChoice choice, Player player, bool terminal);
    Move(const Move&) = default;
    Move& operator=(const Move&) = default;
    virtual ~Move() = default;

    bool isValid() const { return player != Player::P_INVALID; }

    std::uint16_t x = 65535;
    std::uint16_t y = 65535;
    MoveChoice choice = MoveChoice::NONE;
    Player player = Player::P_INVALID;
    bool terminal = false;
};

// The player after p in the cycle 1, 2, ..., n, 1; P_INVALID is followed by 1. A cycle of no
// players is a programming error.
constexpr Player incrementPlayer(Player p, unsigned int n) {
    assert(n >= 1);
    return static_cast<Player>(static_cast<unsigned>(p) % n + 1);
}

// Steps p to the next number in place, without wrapping; for loops from P1 up to a bound.
inline Player& incrementPlayer(Player& p) {
    p = static_cast<Player>(static_cast<unsigned>(p) + 1);
    return p;
}

std::ostream& operator<<(std::ostream& os, Player player);
std::ostream& operator<<(std::ostream& os, MoveChoice choice);
std::ostream& operator<<(std::ostream& os, GamePhase phase);
// "Player 2 (x,y)=(3,4)", followed by " choice: 20" when the move carries a choice.
std::ostream& operator<<(std::ostream& os, const Move& move);
