// A small RAII layer over SQLite for the reference service: one owned
// connection, prepared statements with bound parameters (never text pasted
// into SQL), and a transaction guard that rolls back unless committed.
// Every failure throws StoreError with SQLite's message.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vnservice {

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Statement;

class SqliteDb {
public:
    // Opens or creates the database file (":memory:" for a private in-memory one).
    explicit SqliteDb(const std::string& path);
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Runs one or more statements that take no parameters.
    void Exec(const std::string& sql);
    Statement Prepare(std::string_view sql);
    int64_t LastInsertRowId() const;
    int Changes() const;
    sqlite3* Handle() const { return db_; }

    // Runs `sql` with an authorizer that consults `allow` for each action
    // (SQLite action code and its first two texts, which may be null); every
    // action it refuses fails the statement.
    void ExecRestricted(const std::string& sql,
                        const std::function<bool(int action, const char* a, const char* b)>& allow);

private:
    [[noreturn]] void Fail(const std::string& what) const;
    sqlite3* db_ = nullptr;
};

class Statement {
public:
    Statement(SqliteDb& db, sqlite3_stmt* stmt) : db_(&db), stmt_(stmt) {}
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&&) = delete;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters count from 1, as in SQLite.
    Statement& Bind(int index, std::string_view text);
    Statement& Bind(int index, int64_t value);
    Statement& Bind(int index, int value) { return Bind(index, static_cast<int64_t>(value)); }
    Statement& BindBlob(int index, std::string_view bytes);
    Statement& BindNull(int index);

    // True while a row is available; false when the statement is done.
    bool Step();
    // Runs a statement that returns no rows.
    void Run();
    // Clears the bindings and makes the statement ready to run again.
    void Reset();

    std::string Text(int column) const;  // empty for NULL
    int64_t Int(int column) const;
    bool IsNull(int column) const;

private:
    SqliteDb* db_;
    sqlite3_stmt* stmt_;
};

// BEGIN IMMEDIATE on construction; ROLLBACK on destruction unless Commit ran.
class Transaction {
public:
    explicit Transaction(SqliteDb& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

private:
    SqliteDb& db_;
    bool done_ = false;
};

}  // namespace vnservice
