// The lobby's database: groups, maps, games with their seats and records, in one SQLite file in
// WAL mode. A game is written twice: as running when it starts and, in one transaction, as
// finished with its scores and record when it ends; games a killed lobby left running are
// marked aborted at the next start. The read side hands out plain values for the standings and
// for any later reader (a web page), never statements.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "lobby/Sqlite.hpp"

// One seat of a stored game. `reason` is the referee's disqualification reason, empty for a
// player who was not disqualified; the score is -1 then, and 0 while the game runs.
struct StoredSeat {
    unsigned group = 0;
    int score = 0;
    std::string reason;
};

// One game as stored: "running", "finished" or "aborted"; times in milliseconds since the
// epoch, the end 0 while it runs.
struct StoredGame {
    std::int64_t id = 0;
    std::string map;
    std::string state;
    std::int64_t startedMs = 0;
    std::int64_t endedMs = 0;
    std::vector<StoredSeat> seats;
};

// When a group was last seen in a finished or started game.
struct StoredGroup {
    unsigned group = 0;
    std::int64_t lastSeenMs = 0;
};

// Thread-safe: every call takes the store's lock, so game threads may finish concurrently.
class LobbyStore {
public:
    // The schema version this program writes and reads.
    static constexpr int SchemaVersion = 1;

    // Opens or creates the database, checks its version and aborts games left running; false
    // (logged) when the file cannot serve as the lobby's database.
    bool open(const std::string& path);
    // Opens a database that a lobby has opened before, for reading beside it (the web side):
    // checks the version, changes nothing.
    bool openForReading(const std::string& path);

    // Stores a game that starts now with its seats' groups in seat order; its id, or 0 when it
    // could not be stored.
    std::int64_t beginGame(const std::string& mapName, const std::string& mapText,
                           const std::vector<unsigned>& groups, std::int64_t nowMs);
    // Stores the end of a running game with its seats and record in one transaction.
    bool finishGame(std::int64_t id, const std::vector<StoredSeat>& seats,
                    const std::string& record, std::int64_t nowMs);
    // Marks a running game aborted; its results never count.
    bool abortGame(std::int64_t id, std::int64_t nowMs);

    // Games in one state ("" for all), in ascending id order; `limit` 0 for all, otherwise the
    // newest `limit` of them.
    std::vector<StoredGame> games(const std::string& state, unsigned limit);
    // One game, none for an unknown id.
    std::optional<StoredGame> game(std::int64_t id);
    // The record text of a finished game.
    std::optional<std::string> record(std::int64_t id);
    std::vector<StoredGroup> groups();

private:
    // The schema version of the open file; none when it cannot be read.
    std::optional<std::int64_t> version();
    bool createSchema();
    bool abortLeftovers();
    std::int64_t mapId(const std::string& name, const std::string& text);
    bool storeSeats(std::int64_t id, const std::vector<StoredSeat>& seats, std::int64_t nowMs);
    void readSeats(StoredGame& game);

    std::mutex m_mutex;
    SqliteDb m_db;
};
