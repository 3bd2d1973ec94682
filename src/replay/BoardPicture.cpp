#include "replay/BoardPicture.hpp"

#include <algorithm>
#include <sstream>

#include "common/GameBoard.hpp"

BoardPicture pictureOfMap(const Map& map) {
    BoardPicture picture;
    std::ostringstream squares;
    for (map_axis y = 0; y < map.getHeight(); ++y) {
        for (map_axis x = 0; x < map.getWidth(); ++x) {
            squares << map.getTile(x, y);
        }
    }
    picture.squares = squares.str();
    return picture;
}

BoardPicture pictureOfGame(const Game& game) {
    BoardPicture picture;
    picture.squares = game.getBoard().asSimpleString();
    picture.squares.erase(std::remove(picture.squares.begin(), picture.squares.end(), '\n'),
                          picture.squares.end());
    for (Player p : game.getPlayers()) {
        picture.disqualified[static_cast<unsigned>(p)] = game.is_disqualified(p);
    }
    return picture;
}

std::string squareClass(char square) {
    if (square >= '1' && square <= '8') {
        return std::string("p") + square;
    }
    switch (square) {
    case 'x':
    case 'i':
    case 'c':
    case 'b':
        return std::string(1, square);
    case '-':
        return "h";
    default:
        return "e";
    }
}

std::string squareLabel(char square) {
    return square == '0' || square == '-' ? std::string() : std::string(1, square);
}
