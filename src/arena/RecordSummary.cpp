#include "arena/RecordSummary.hpp"

#include <sstream>

#include "arena/GameResult.hpp"
#include "common/GameRecord.hpp"

bool readRecordSummary(const std::string& text, std::size_t players, RecordSummary& summary) {
    std::istringstream in(text);
    GameRecordData record;
    std::string error;
    if (players < 1 || players > MaxSeats || !readGameRecord(in, record, error) ||
        !record.finished || record.scores.size() != players) {
        return false;
    }
    RecordSummary read;
    read.scores = record.scores;
    read.reasons.assign(players, "");
    for (const RecordEvent& event : record.events) {
        const auto player = static_cast<std::size_t>(event.player);
        if (event.kind == RecordEvent::Kind::DISQUALIFY) {
            if (player > players) {
                return false;
            }
            read.reasons[player - 1] = event.reason;
        }
    }
    summary = std::move(read);
    return true;
}
