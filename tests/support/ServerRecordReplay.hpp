// Replays a game record of the server (its --record file) on a fresh active game, so that a
// test can compare the outcome with what the server itself reported.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct RecordReplay {
    // Empty when every line of the record replayed as a legal event.
    std::string error;
    // The final board as the server logs it: no move marks, with axes.
    std::string board;
    bool final = false;
    std::vector<int> scores;
    // The scores the record itself states.
    std::vector<int> recordedScores;
    unsigned moves = 0;
    unsigned disqualifications = 0;
};

RecordReplay replayRecord(const std::string& path);

} // namespace testing_support
