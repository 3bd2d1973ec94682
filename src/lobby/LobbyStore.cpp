// The lobby's SQLite schema and the statements that write and read it.
#include "lobby/LobbyStore.hpp"

#include "common/Logging.hpp"

namespace {

LogPtr loggerStore = Logging::getLogger("reversi.lobby.db");

constexpr const char* Schema = R"(
CREATE TABLE groups(id INTEGER PRIMARY KEY, first_seen INTEGER NOT NULL,
                    last_seen INTEGER NOT NULL);
CREATE TABLE maps(id INTEGER PRIMARY KEY, name TEXT NOT NULL, text TEXT NOT NULL UNIQUE);
CREATE TABLE games(id INTEGER PRIMARY KEY AUTOINCREMENT, map_id INTEGER NOT NULL REFERENCES maps,
                   state TEXT NOT NULL CHECK(state IN ('running', 'finished', 'aborted')),
                   started INTEGER NOT NULL, ended INTEGER);
CREATE TABLE seats(game_id INTEGER NOT NULL REFERENCES games, seat INTEGER NOT NULL,
                   group_id INTEGER NOT NULL REFERENCES groups, score INTEGER,
                   reason TEXT, PRIMARY KEY(game_id, seat));
CREATE TABLE records(game_id INTEGER PRIMARY KEY REFERENCES games, text TEXT NOT NULL);
CREATE INDEX games_state ON games(state, id);
)";

} // namespace

bool LobbyStore::open(const std::string& path) {
    std::lock_guard lock(m_mutex);
    if (!m_db.open(path) || !m_db.exec("PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON")) {
        return false;
    }
    const auto found = version();
    if (found == 0) {
        return createSchema() && abortLeftovers();
    }
    if (found != SchemaVersion) {
        LOG(loggerStore, ERR) << "Database " << path << " has schema version " << found.value_or(-1)
                              << ", this lobby reads version " << SchemaVersion;
        return false;
    }
    return abortLeftovers();
}

bool LobbyStore::openForReading(const std::string& path) {
    std::lock_guard lock(m_mutex);
    if (!m_db.open(path)) {
        return false;
    }
    if (version() != SchemaVersion) {
        LOG(loggerStore, ERR) << "Database " << path << " is not a lobby's database of version "
                              << SchemaVersion;
        return false;
    }
    return true;
}

std::optional<std::int64_t> LobbyStore::version() {
    SqliteStatement version(m_db, "PRAGMA user_version");
    return version.step() ? std::optional(version.integer(0)) : std::nullopt;
}

bool LobbyStore::createSchema() {
    SqliteTransaction transaction(m_db);
    return transaction.began() && m_db.exec(Schema) &&
           m_db.exec("PRAGMA user_version = " + std::to_string(SchemaVersion)) &&
           transaction.commit();
}

// A game that was running when the previous lobby died has no end and never counts.
bool LobbyStore::abortLeftovers() {
    SqliteStatement abort(m_db, "UPDATE games SET state = 'aborted' WHERE state = 'running'");
    if (!abort.run()) {
        return false;
    }
    const int aborted = m_db.changes();
    if (aborted > 0) {
        LOG(loggerStore, WARN) << "Marked " << aborted << " game(s) left running as aborted";
    }
    return true;
}

// Maps are stored once per distinct text; the name is that of the first file that had it.
std::int64_t LobbyStore::mapId(const std::string& name, const std::string& text) {
    SqliteStatement find(m_db, "SELECT id FROM maps WHERE text = ?");
    if (find.bind(1, text).step()) {
        return find.integer(0);
    }
    SqliteStatement insert(m_db, "INSERT INTO maps(name, text) VALUES(?, ?)");
    return insert.bind(1, name).bind(2, text).run() ? m_db.lastInsertId() : 0;
}

std::int64_t LobbyStore::beginGame(const std::string& mapName, const std::string& mapText,
                                   const std::vector<unsigned>& groups, std::int64_t nowMs) {
    std::lock_guard lock(m_mutex);
    SqliteTransaction transaction(m_db);
    const std::int64_t map = transaction.began() ? mapId(mapName, mapText) : 0;
    SqliteStatement game(m_db, "INSERT INTO games(map_id, state, started) VALUES(?, 'running', ?)");
    if (map == 0 || !game.bind(1, map).bind(2, nowMs).run()) {
        return 0;
    }
    const std::int64_t id = m_db.lastInsertId();
    for (std::size_t s = 0; s < groups.size(); ++s) {
        SqliteStatement group(m_db, "INSERT INTO groups(id, first_seen, last_seen) VALUES(?, ?, ?) "
                                    "ON CONFLICT(id) DO UPDATE SET last_seen = excluded.last_seen");
        SqliteStatement seat(m_db, "INSERT INTO seats(game_id, seat, group_id) VALUES(?, ?, ?)");
        if (!group.bind(1, groups[s]).bind(2, nowMs).bind(3, nowMs).run() ||
            !seat.bind(1, id).bind(2, static_cast<std::int64_t>(s + 1)).bind(3, groups[s]).run()) {
            return 0;
        }
    }
    return transaction.commit() ? id : 0;
}

bool LobbyStore::storeSeats(std::int64_t id, const std::vector<StoredSeat>& seats,
                            std::int64_t nowMs) {
    for (std::size_t s = 0; s < seats.size(); ++s) {
        SqliteStatement seat(
            m_db, "UPDATE seats SET score = ?, reason = ? WHERE game_id = ? AND seat = ?");
        seat.bind(1, seats[s].score);
        if (seats[s].reason.empty()) {
            seat.bindNull(2);
        } else {
            seat.bind(2, seats[s].reason);
        }
        SqliteStatement group(m_db, "UPDATE groups SET last_seen = ? WHERE id = ?");
        if (!seat.bind(3, id).bind(4, static_cast<std::int64_t>(s + 1)).run() ||
            !group.bind(1, nowMs).bind(2, seats[s].group).run()) {
            return false;
        }
    }
    return true;
}

// Only a game still running can finish: one aborted at shutdown stays aborted.
bool LobbyStore::finishGame(std::int64_t id, const std::vector<StoredSeat>& seats,
                            const std::string& record, std::int64_t nowMs) {
    std::lock_guard lock(m_mutex);
    SqliteTransaction transaction(m_db);
    SqliteStatement game(m_db, "UPDATE games SET state = 'finished', ended = ? "
                               "WHERE id = ? AND state = 'running'");
    if (!transaction.began() || !game.bind(1, nowMs).bind(2, id).run() || m_db.changes() != 1) {
        return false;
    }
    SqliteStatement text(m_db, "INSERT INTO records(game_id, text) VALUES(?, ?)");
    return storeSeats(id, seats, nowMs) && text.bind(1, id).bind(2, record).run() &&
           transaction.commit();
}

bool LobbyStore::abortGame(std::int64_t id, std::int64_t nowMs) {
    std::lock_guard lock(m_mutex);
    SqliteStatement game(m_db, "UPDATE games SET state = 'aborted', ended = ? "
                               "WHERE id = ? AND state = 'running'");
    return game.bind(1, nowMs).bind(2, id).run();
}

void LobbyStore::readSeats(StoredGame& game) {
    SqliteStatement seats(m_db, "SELECT group_id, score, reason FROM seats WHERE game_id = ? "
                                "ORDER BY seat");
    seats.bind(1, game.id);
    while (seats.step()) {
        game.seats.push_back(StoredSeat{static_cast<unsigned>(seats.integer(0)),
                                        static_cast<int>(seats.integer(1)), seats.text(2)});
    }
}

std::vector<StoredGame> LobbyStore::games(const std::string& state, unsigned limit) {
    std::lock_guard lock(m_mutex);
    SqliteStatement select(m_db, "SELECT * FROM (SELECT games.id, maps.name, state, started, "
                                 "ended FROM games JOIN maps ON maps.id = games.map_id "
                                 "WHERE ?1 = '' OR state = ?1 ORDER BY games.id DESC LIMIT ?2) "
                                 "ORDER BY id");
    select.bind(1, state).bind(2, limit == 0 ? std::int64_t{-1} : std::int64_t{limit});
    std::vector<StoredGame> found;
    while (select.step()) {
        found.push_back(StoredGame{select.integer(0),
                                   select.text(1),
                                   select.text(2),
                                   select.integer(3),
                                   select.integer(4),
                                   {}});
    }
    for (StoredGame& game : found) {
        readSeats(game);
    }
    return found;
}

std::optional<StoredGame> LobbyStore::game(std::int64_t id) {
    std::lock_guard lock(m_mutex);
    SqliteStatement select(m_db, "SELECT maps.name, state, started, ended FROM games "
                                 "JOIN maps ON maps.id = games.map_id WHERE games.id = ?");
    if (!select.bind(1, id).step()) {
        return std::nullopt;
    }
    StoredGame game{id, select.text(0), select.text(1), select.integer(2), select.integer(3), {}};
    readSeats(game);
    return game;
}

std::optional<std::string> LobbyStore::record(std::int64_t id) {
    std::lock_guard lock(m_mutex);
    SqliteStatement select(m_db, "SELECT text FROM records WHERE game_id = ?");
    if (!select.bind(1, id).step()) {
        return std::nullopt;
    }
    return select.text(0);
}

std::vector<StoredGroup> LobbyStore::groups() {
    std::lock_guard lock(m_mutex);
    SqliteStatement select(m_db, "SELECT id, last_seen FROM groups ORDER BY id");
    std::vector<StoredGroup> found;
    while (select.step()) {
        found.push_back(StoredGroup{static_cast<unsigned>(select.integer(0)), select.integer(1)});
    }
    return found;
}
