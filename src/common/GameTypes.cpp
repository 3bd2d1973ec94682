#include "common/GameTypes.hpp"

#include <cassert>

Move::Move(std::uint16_t x, std::uint16_t y, MoveChoice choice, Player player, bool terminal)
    : x(x), y(y), choice(choice), player(player), terminal(terminal) {
    assert(player != Player::P_INVALID);
}

std::ostream& operator<<(std::ostream& os, Player player) {
    return os << static_cast<unsigned>(player);
}

std::ostream& operator<<(std::ostream& os, MoveChoice choice) {
    return os << static_cast<unsigned>(choice);
}

std::ostream& operator<<(std::ostream& os, GamePhase phase) {
    switch (phase) {
    case GamePhase::BUILD:
        return os << "build";
    case GamePhase::TERMINAL:
        return os << "terminal";
    case GamePhase::FINAL:
        return os << "final";
    default:
        return os << "unknown";
    }
}

std::ostream& operator<<(std::ostream& os, const Move& move) {
    os << "Player " << move.player << " (x,y)=(" << move.x << "," << move.y << ")";
    if (move.choice != MoveChoice::NONE) {
        os << " choice: " << move.choice;
    }
    return os;
}
