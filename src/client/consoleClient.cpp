#include "client/consoleClient.hpp"

#include <iostream>
#include <limits>

#include "common/GameBoard.hpp"
#include "common/colors.hpp"

namespace {

// Reads one console number made of digits only; a sign or a value above `max` is a failed
// read, never a wrapped value.
bool readNumber(std::uint64_t max, std::uint64_t& value) {
    return static_cast<bool>(readUnsigned(std::cin, value, max));
}

// Asks for X and Y; true when both were read as coordinates.
bool readCoordinates(Move& move, bool endLine) {
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::cout << "Please input the X coordinate of the move you would like to make: ";
    const bool xOk = readNumber(std::numeric_limits<std::uint16_t>::max(), x);
    std::cout << "\nPlease input the Y coordinate of the move you would like to make: ";
    const bool yOk = readNumber(std::numeric_limits<std::uint16_t>::max(), y);
    if (endLine) {
        std::cout << "\n";
    }
    if (!xOk || !yOk) {
        return false;
    }
    move.x = static_cast<std::uint16_t>(x);
    move.y = static_cast<std::uint16_t>(y);
    return true;
}

// Drops what is left of a failed or rejected answer before the question comes again.
void discardLine() {
    std::cin.clear();
    std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
}

// Asks for coordinates until the game accepts them; false when the input ends first.
bool askCoordinates(Game& game, Move& move) {
    bool readOk = readCoordinates(move, true);
    while (!readOk || !game.checkMove(move, false)) {
        if (std::cin.eof()) {
            return false;
        }
        discardLine();
        std::cout << ansi::color(CFG_RED) << "Invalid move coordinates!" << C_RESET << "\n";
        readOk = readCoordinates(move, false);
    }
    return true;
}

// Asks for the choice until it fits the square; without a question when NONE fits already.
bool askChoice(Game& game, Move& move) {
    bool readOk = true;
    while (!readOk || !game.checkMove(move, true)) {
        if (std::cin.eof()) {
            return false;
        }
        discardLine();
        std::cout << "Please enter valid choice (1-"
                  << static_cast<unsigned>(MoveChoice::PLAYER_MAX) << " for player swap, "
                  << static_cast<unsigned>(MoveChoice::BOMB) << " for bomb, "
                  << static_cast<unsigned>(MoveChoice::OVERRIDE) << " for override): ";
        std::uint64_t choice = 0;
        readOk = readNumber(std::numeric_limits<std::uint8_t>::max(), choice);
        if (readOk) {
            move.choice = static_cast<MoveChoice>(choice);
        }
    }
    return true;
}

} // namespace

// An answer read completely at the end of the input still counts; only a failed read or a
// rejected move with nothing left to read gives the invalid move.
Move ConsoleClient::getMove(Game* game, unsigned int, unsigned int) {
    std::cout << "Current gameboard:\n"
              << game->getBoard().asString(getPlayer(), true, true) << "\n";
    Move move(0, 0, MoveChoice::NONE, getPlayer(), game->is_terminal());
    if (!askCoordinates(*game, move) || !askChoice(*game, move)) {
        return Move();
    }
    return move;
}
