// A game record replayed into what the replay page and the position picture show: the board
// and the players' figures after every event, and a line of text per event.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/GameRecord.hpp"
#include "replay/BoardPicture.hpp"

// The position after some number of events.
struct ReplayFrame {
    BoardPicture picture;
    // Per player: the score as the server reports it (-1 when disqualified), the stones of the
    // player's colour on the board, the bombs and override stones left.
    std::vector<int> scores;
    std::vector<unsigned> stones;
    std::vector<unsigned> bombs;
    std::vector<unsigned> overrides;
    unsigned nextPlayer = 0;
    // "build", "bombs" or "over".
    std::string phase;
};

// One event of the record as the move list shows it.
struct ReplayEvent {
    std::string text;
    unsigned player = 0;
    bool bombPhase = false;
    bool disqualification = false;
};

// frames[n] is the position after n events, so there is one frame more than events.
struct ReplayData {
    std::string mapText;
    unsigned players = 0;
    std::vector<ReplayFrame> frames;
    std::vector<ReplayEvent> events;
    // The scores line of the record, empty for a record that ends before the game did.
    std::vector<int> recordedScores;
};

// Builds the replay event by event, for a record that grows while its game is played.
class ReplayBuilder {
public:
    ReplayBuilder() = default;
    ReplayBuilder(const ReplayBuilder&) = delete;
    ReplayBuilder& operator=(const ReplayBuilder&) = delete;

    // Starts at the map's start position; false with a message when it is no valid map.
    bool start(const std::string& mapText, std::string& error);
    // Applies the next event; false with a message when the rules reject it.
    bool add(const RecordEvent& event, std::string& error);
    ReplayData& data() { return m_data; }

private:
    GameRecordData m_record;
    RecordReplay m_replay;
    ReplayData m_data;
    int m_lastMove = -1;
};

// Replays at most `limit` events of the record with the rules engine; false with a message
// naming the first event that the rules reject.
bool replayRecord(const GameRecordData& record, std::size_t limit, ReplayData& data,
                  std::string& error);
