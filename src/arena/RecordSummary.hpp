// What the arena needs from a server's game record: the final scores and who was disqualified
// for what. The record is the server's plain text ("map <n>" and n map lines, then "move",
// "disqualify <player> <reason>" and "scores" lines); it is read as untrusted text.
#pragma once

#include <string>
#include <vector>

struct RecordSummary {
    // Per player, from player 1: the final score, -1 when disqualified.
    std::vector<int> scores;
    // Per player, from player 1: the reason of its disqualification, empty when none.
    std::vector<std::string> reasons;
};

// False when the text is no complete record: no map header, a line it does not know, a player
// number out of range, or no scores line for exactly `players` players at the end.
bool readRecordSummary(const std::string& text, std::size_t players, RecordSummary& summary);
