// A small owning layer over the SQLite C interface: a database handle and prepared statements,
// each closed exactly once, and failures as false results with one log line naming the
// database's own message.
#pragma once

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// One open database connection. Non-copyable; the destructor closes it.
class SqliteDb {
public:
    SqliteDb() = default;
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Opens (and creates) the file; false with a log line when it cannot.
    bool open(const std::string& path);
    // Runs statements without results (several separated by ';').
    bool exec(const std::string& sql);
    std::int64_t lastInsertId() const;
    // Rows changed by the last statement.
    int changes() const;
    sqlite3* handle() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

// One prepared statement on an open database. Parameters are numbered from 1, columns from 0.
class SqliteStatement {
public:
    SqliteStatement(const SqliteDb& db, const std::string& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // False when the statement did not compile (the constructor logged why).
    bool valid() const { return m_stmt != nullptr; }
    SqliteStatement& bind(int index, std::int64_t value);
    SqliteStatement& bind(int index, const std::string& value);
    SqliteStatement& bindNull(int index);
    // Advances to the next row: true while there is one; false at the end or on an error
    // (then `failed()` tells which).
    bool step();
    // Runs a statement without results to its end; true when it succeeded.
    bool run();
    bool failed() const { return m_failed; }
    std::int64_t integer(int column) const;
    std::string text(int column) const;
    bool isNull(int column) const;

private:
    sqlite3_stmt* m_stmt = nullptr;
    sqlite3* m_db = nullptr;
    bool m_failed = false;
};

// A transaction that rolls back unless committed.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDb& db);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    bool began() const { return m_open; }
    bool commit();

private:
    SqliteDb& m_db;
    bool m_open = false;
};
