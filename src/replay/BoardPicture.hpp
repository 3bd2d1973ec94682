// What a picture of the board shows, taken either from a map's start or from a game in
// progress, and the class and label each square gets in the drawing.
#pragma once

#include <array>
#include <string>

#include "common/Game.hpp"
#include "common/Map.hpp"

// One character per square in row order, as the plain board text writes it ('0' empty, '1'
// ... '8' a stone by its present owner, 'x', 'i', 'c', 'b', '-' a hole), the players who are
// disqualified, and the square of the last move (-1 for none).
struct BoardPicture {
    std::string squares;
    std::array<bool, 9> disqualified{};
    int lastMove = -1;
};

BoardPicture pictureOfMap(const Map& map);
// A game's board; the last move is the caller's to set.
BoardPicture pictureOfGame(const Game& game);

// The style class of a square character: "e" empty, "p1" ... "p8" stones, "x", "i", "c", "b"
// special squares, "h" a hole. The replay page's script mirrors this table.
std::string squareClass(char square);
// The text drawn on a square: the owner's number on a stone, the letter on a special square.
std::string squareLabel(char square);
