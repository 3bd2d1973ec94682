// The plain-text account of one game, written as the game goes on so that a record survives
// a server that is stopped half way.
//
// Layout, one item per line:
//     map <n>                        followed by the n lines of the map text
//     move <player> <x> <y> <choice>  an accepted move (a bomb throw in the bomb phase)
//     disqualify <player> <reason>    the reason runs to the end of the line
//     scores <s1> ... <sn>            the final scores, -1 for a disqualified player
// Replaying the moves and disqualifications in order on the map gives the final board.
#pragma once

#include <fstream>
#include <string>

#include "common/Game.hpp"
#include "common/Map.hpp"

// Writes the record of one game; without an open file every write is skipped, so the referee
// need not know whether a record was asked for.
class GameRecord {
public:
    // Opens the record file for writing; false when it cannot be created.
    bool open(const std::string& path);
    bool isOpen() const { return m_out.is_open(); }

    void writeMap(const Map& map);
    void writeMove(const Move& move);
    void writeDisqualification(Player player, const std::string& reason);
    void writeScores(const Game& game);

private:
    std::ofstream m_out;
};
