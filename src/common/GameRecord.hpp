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

#include <cstddef>
#include <fstream>
#include <istream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/Game.hpp"
#include "common/Map.hpp"

// Writes the record of one game, to a file or into memory; without either every write is
// skipped, so the referee need not know whether a record was asked for.
class GameRecord {
public:
    // Opens the record file for writing; false when it cannot be created.
    bool open(const std::string& path);
    // Keeps the record in memory instead, for a program that stores it elsewhere.
    void openInMemory();
    bool isOpen() const { return m_out != nullptr; }
    // The record written so far when it is kept in memory; empty otherwise.
    std::string text() const { return m_text.str(); }
    // The same without a copy, valid until the next write.
    std::string_view view() const { return m_text.view(); }

    void writeMap(const Map& map);
    void writeMove(const Move& move);
    void writeDisqualification(Player player, const std::string& reason);
    void writeScores(const Game& game);

private:
    std::ofstream m_file;
    std::ostringstream m_text;
    std::ostream* m_out = nullptr;
};

// One line of a record after the map: an accepted move or a disqualification.
struct RecordEvent {
    enum class Kind { MOVE, DISQUALIFY };
    Kind kind = Kind::MOVE;
    Player player = Player::P_INVALID;
    std::uint16_t x = 0;
    std::uint16_t y = 0;
    MoveChoice choice = MoveChoice::NONE;
    std::string reason;
};

// A record read back. The reader checks the form of every line (numbers in range, players
// 1 ... 8, known choices); whether the moves fit the map is for a replay to find out.
struct GameRecordData {
    std::string mapText;
    std::vector<RecordEvent> events;
    std::vector<int> scores;
    bool finished = false;
};

// Reads a record written by GameRecord; a record cut off after any complete line (a server
// stopped half way) reads as unfinished. False with a message naming the first bad line.
bool readGameRecord(std::istream& in, GameRecordData& record, std::string& error);
bool loadGameRecord(const std::string& path, GameRecordData& record, std::string& error);

// Replays a record on its own map with a refereeing game, one event at a time, so that a
// reader can look at the position after any number of events.
class RecordReplay {
public:
    // False with a message when the record's map is not a valid map.
    bool start(const GameRecordData& record, std::string& error);
    // Applies the next event; false with a message when there is none left or the record
    // holds a move the rules reject (then nothing is applied).
    bool step(std::string& error);
    std::size_t position() const { return m_next; }
    bool atEnd() const { return m_record == nullptr || m_next >= m_record->events.size(); }
    const Map& map() const { return *m_map; }
    const Game& game() const { return *m_game; }

private:
    const GameRecordData* m_record = nullptr;
    std::unique_ptr<Map> m_map;
    std::unique_ptr<Game> m_game;
    std::size_t m_next = 0;
};
