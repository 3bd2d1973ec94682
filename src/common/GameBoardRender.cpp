// Text forms of the board for people: the decorated grid with axis and move marks, the plain
// grid, and the per-player status lines.
#include "common/GameBoard.hpp"

#include <iomanip>
#include <sstream>

#include "common/colors.hpp"

namespace {

// The foreground colour of each player's stones; 7 and 8 share white.
const char* playerColour(Player p) {
    switch (static_cast<unsigned>(p)) {
    case 1:
        return CFG_RED;
    case 2:
        return CFG_BLUE;
    case 3:
        return CFG_GREEN;
    case 4:
        return CFG_YELLOW;
    case 5:
        return CFG_CYAN;
    case 6:
        return CFG_MAGENTA;
    default:
        return CFG_WHITE;
    }
}

// Bold black for the column and row numbers.
void axisColour(std::ostream& os) {
    os << ansi::color(CT_BOLD, CFG_BLACK);
}

} // namespace

// A stone shows its present owner, so inversions and swaps are visible at once; a disqualified
// owner's stones are drawn in inverse video.
void GameBoard::printSquare(std::ostream& os, Square square, bool reset) const {
    switch (square) {
    case Square::INVERSION:
        os << ansi::color(CBG_BLUE, CFG_MAGENTA) << square;
        break;
    case Square::CHOICE:
        os << ansi::color(CBG_BLUE, CFG_YELLOW) << square;
        break;
    case Square::BONUS:
        os << ansi::color(CBG_BLUE, CFG_GREEN) << square;
        break;
    case Square::EMPTY:
    case Square::EXPANSION:
    case Square::NONE:
        os << square;
        break;
    default: {
        const Player owner = btop(square);
        if (getDisqualified(owner)) {
            os << ansi::color(CT_INVERT, playerColour(owner));
        } else {
            os << ansi::color(playerColour(owner));
        }
        os << static_cast<unsigned>(owner);
    }
    }
    if (reset) {
        os << C_RESET;
    }
}

// Every cell is the square, then a mark (') where currentPlayer may place a stone or a blank.
// With the axis each cell gets one more blank, so it starts under its column number.
std::string GameBoard::asString(Player currentPlayer, bool showValidMoves, bool printAxis) const {
    std::ostringstream os;
    os << std::left;
    if (printAxis) {
        axisColour(os);
        os << "     ";
        for (unsigned x = 0; x < width; ++x) {
            os << std::setw(3) << x;
        }
        os << "\n   /-";
        for (unsigned x = 0; x < width; ++x) {
            os << "---";
        }
        os << C_RESET << '\n';
    }
    for (std::uint16_t y = 0; y < height; ++y) {
        if (printAxis) {
            axisColour(os);
            os << std::setw(3) << y << "| " << C_RESET;
        }
        for (std::uint16_t x = 0; x < width; ++x) {
            const index_t index = coords2index(x, y);
            printSquare(os, squares[index], false);
            // The board's check mode changes nothing, so the const board may ask it.
            auto& board = const_cast<GameBoard&>(*this);
            if (showValidMoves && board.makeMove(currentPlayer, index, MoveChoice::NONE, false)) {
                os << '\'' << C_RESET;
            } else {
                os << C_RESET << ' ';
            }
            if (printAxis) {
                os << ' ';
            }
        }
        os << '\n';
    }
    return os.str();
}

// One character per square, no colours, whatever the colour switch says.
std::string GameBoard::asSimpleString() const {
    const bool colour = ansi::enableColor;
    ansi::enableColor = false;
    std::ostringstream os;
    for (std::uint16_t y = 0; y < height; ++y) {
        for (std::uint16_t x = 0; x < width; ++x) {
            printSquare(os, squares[coords2index(x, y)], false);
        }
        os << '\n';
    }
    ansi::enableColor = colour;
    return os.str();
}

std::string GameBoard::playerStatus() const {
    std::ostringstream os;
    for (Player p = Player::P1; p < lastPlayer; incrementPlayer(p)) {
        os << "Player " << static_cast<unsigned>(p) << ": " << static_cast<unsigned>(getBombs(p))
           << " bombs, " << static_cast<unsigned>(getOverrides(p))
           << " overrides. Score is " << getStoneCount(p) << '\n';
    }
    return os.str();
}
