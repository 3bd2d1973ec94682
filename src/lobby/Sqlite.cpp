// The owning SQLite layer: every call's failure becomes a false result and one log line.
#include "lobby/Sqlite.hpp"

#include <sqlite3.h>

#include "common/Logging.hpp"

namespace {

LogPtr loggerStore = Logging::getLogger("reversi.lobby.db");

constexpr int BusyTimeoutMs = 5000;

} // namespace

SqliteDb::~SqliteDb() {
    sqlite3_close(m_db);
}

bool SqliteDb::open(const std::string& path) {
    if (sqlite3_open(path.c_str(), &m_db) != SQLITE_OK) {
        LOG(loggerStore, ERR) << "Cannot open database " << path << ": " << sqlite3_errmsg(m_db);
        return false;
    }
    sqlite3_busy_timeout(m_db, BusyTimeoutMs);
    return true;
}

bool SqliteDb::exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        LOG(loggerStore, ERR) << "Database error: " << (message != nullptr ? message : "unknown");
        sqlite3_free(message);
        return false;
    }
    return true;
}

std::int64_t SqliteDb::lastInsertId() const {
    return sqlite3_last_insert_rowid(m_db);
}

int SqliteDb::changes() const {
    return sqlite3_changes(m_db);
}

SqliteStatement::SqliteStatement(const SqliteDb& db, const std::string& sql) : m_db(db.handle()) {
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK) {
        LOG(loggerStore, ERR) << "Database error: " << sqlite3_errmsg(m_db);
        m_failed = true;
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_stmt);
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value) {
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, const std::string& value) {
    sqlite3_bind_text(m_stmt, index, value.data(), static_cast<int>(value.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

SqliteStatement& SqliteStatement::bindNull(int index) {
    sqlite3_bind_null(m_stmt, index);
    return *this;
}

bool SqliteStatement::step() {
    if (m_stmt == nullptr) {
        return false;
    }
    const int result = sqlite3_step(m_stmt);
    if (result == SQLITE_ROW) {
        return true;
    }
    if (result != SQLITE_DONE) {
        LOG(loggerStore, ERR) << "Database error: " << sqlite3_errmsg(m_db);
        m_failed = true;
    }
    return false;
}

bool SqliteStatement::run() {
    while (step()) {
    }
    return !m_failed;
}

std::int64_t SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

std::string SqliteStatement::text(int column) const {
    const auto* bytes = sqlite3_column_text(m_stmt, column);
    const int size = sqlite3_column_bytes(m_stmt, column);
    return bytes != nullptr
               ? std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size))
               : std::string();
}

bool SqliteStatement::isNull(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

SqliteTransaction::SqliteTransaction(SqliteDb& db) : m_db(db), m_open(db.exec("BEGIN IMMEDIATE")) {}

SqliteTransaction::~SqliteTransaction() {
    if (m_open) {
        m_db.exec("ROLLBACK");
    }
}

bool SqliteTransaction::commit() {
    if (!m_open) {
        return false;
    }
    const bool committed = m_db.exec("COMMIT");
    m_open = !committed;
    return committed;
}
