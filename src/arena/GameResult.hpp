// The outcome of one tournament game as the arena keeps it in a small text file next to the
// game's record, so that games played anywhere (another process, another machine) can be
// collected into one table later.
//
// Layout, one item per line:
//     reversi-arena-result 1
//     game <index>                    the game's number in the tournament, from 1
//     map <path>                      the rest of the line
//     status <finished|stopped|failed>
//     duration_ms <n>                 wall time from the server's start to the last exit
//     seat <s> <player> <score> <cause>   one per seat in seat order; score -1 and a cause
//                                     (time, illegal, disconnect, other) when disqualified,
//                                     "-" otherwise
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Why a player was disqualified, from the reason the server gives.
enum class DisqualifyCause : std::uint8_t { None, Time, Illegal, Disconnect, Other };

// "-", "time", "illegal", "disconnect", "other".
const char* causeName(DisqualifyCause cause);

// The cause behind a server's disqualification reason.
DisqualifyCause causeFromReason(const std::string& reason);

// finished: played to the end; stopped: hung and stopped by the arena; failed: the server
// could not run the game.
enum class GameStatus : std::uint8_t { Finished, Stopped, Failed };

struct SeatResult {
    std::string player;
    int score = 0;
    DisqualifyCause cause = DisqualifyCause::None;
};

struct GameResult {
    unsigned game = 0;
    std::string map;
    GameStatus status = GameStatus::Failed;
    std::uint64_t durationMs = 0;
    std::vector<SeatResult> seats;
};

// The most seats a map can have, and the largest score a stone count can reach.
constexpr std::size_t MaxSeats = 8;
constexpr int MaxScore = 2500;

std::string formatGameResult(const GameResult& result);

// Reads a result file's text. The text is untrusted: anything that does not follow the layout
// exactly (unknown or missing lines, numbers out of range, seats out of order, a score that
// does not fit its cause) gives false and leaves `result` unchanged.
bool parseGameResult(const std::string& text, GameResult& result);
