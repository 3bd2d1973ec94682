// The pieces of the Python module `reversi` shared between its source files: the value type of
// a move, the board wrapper with the map it belongs to, and the functions that register each
// part of the module.
#pragma once

#include <memory>
#include <string>

#include <pybind11/pybind11.h>

#include "common/Map.hpp"
#include "search/SearchBoard.hpp"

namespace reversi_python {

// A move as Python sees it: the square and the choice (0 none, 1 ... 8 the player to swap with
// on a choice square, 20 bomb or 21 override stone on a bonus square). Whether it is a bomb
// throw follows from the phase of the board it is played on.
struct PyMove {
    int x = 0;
    int y = 0;
    int choice = 0;

    bool operator==(const PyMove&) const = default;
};

// A position on a map: the search board, and the map it was made from, kept alive as long as
// any board refers to it.
class PyBoard {
public:
    explicit PyBoard(std::shared_ptr<const Map> map);
    PyBoard(std::shared_ptr<const Map> map, const SearchBoard& board);

    SearchBoard& board() { return m_board; }
    const SearchBoard& board() const { return m_board; }
    const std::shared_ptr<const Map>& map() const { return m_map; }

    // The player number (1 ... players) as a Player; ValueError when it names no player.
    Player checkedPlayer(int player) const;
    // The search move of `move` for the player on turn; ValueError when it is not legal.
    SearchMove legalMove(const PyMove& move) const;
    PyMove toPy(SearchMove move) const;

private:
    std::shared_ptr<const Map> m_map;
    SearchBoard m_board;
};

// The map in map file notation, which reads back into an equal map.
std::string mapText(const Map& map);

void bindMap(pybind11::module_& module);
void bindBoard(pybind11::module_& module);
void bindSearch(pybind11::module_& module);
void bindPlayer(pybind11::module_& module);

} // namespace reversi_python
