#pragma once

#include "engine/base/EngineError.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace wk::engine {

/// Owns one SQLite connection. Every failure raises EngineError with SQLite's own text after
/// `context`, so that the caller's message names what was being done.
class SqliteDb {
public:
    enum class Mode { ReadWriteCreate, ReadWrite, ReadOnly, Memory };

    SqliteDb(const std::string& path, Mode mode);
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    sqlite3* handle() const { return db_; }

    /// Runs one or more statements that return no rows.
    void exec(const std::string& sql, const std::string& context);

    /// The last SQLite error text of this connection.
    std::string lastError() const;
    int lastErrorCode() const;

    /// Records that a transaction or savepoint could not be rolled back when it was left without
    /// a commit (Transaction.h), so the connection may still hold its half-made change: from now
    /// on every statement on it raises EngineError (General) with `why` instead of running, so
    /// that nothing is written on top of that change or committed with it.
    void markUndoFailed(const std::string& why);
    /// Raises the error recorded by markUndoFailed, if there is one.
    void requireUsable() const;

private:
    sqlite3* db_ = nullptr;
    std::string undoFailure_;
};

/// Owns one prepared statement. Bind parameters are numbered from 1; columns from 0.
class SqliteStatement {
public:
    SqliteStatement(const SqliteDb& db, std::string_view sql, const std::string& context);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    void bind(int index, std::int64_t value);
    /// Binds a text, or NULL when `value` is empty: blank fields are stored as NULL.
    void bindTextOrNull(int index, std::string_view value);
    void bindNull(int index);
    /// Binds bytes as a blob (an empty one too).
    void bindBlob(int index, std::string_view bytes);

    /// Advances to the next row; false at the end.
    bool step();
    /// Runs a statement that returns no rows.
    void run();
    void reset();

    int columnCount() const;
    std::string columnName(int column) const;
    std::int64_t columnInt(int column) const;
    /// The column as text; NULL reads as the empty text.
    std::string columnText(int column) const;
    bool columnIsNull(int column) const;
    /// The column's bytes, valid until the statement steps, resets or is destroyed.
    std::string_view columnBlob(int column) const;
    /// The column as text without a copy, valid as long; NULL reads as the empty text.
    std::string_view columnTextView(int column) const;
    bool readOnly() const;

    sqlite3_stmt* handle() const { return stmt_; }

private:
    [[noreturn]] void fail(int rc) const;

    const SqliteDb& db_;
    sqlite3_stmt* stmt_ = nullptr;
    std::string context_;
};

/// Maps an SQLite result code to the engine's error code.
ErrorCode errorCodeForSqlite(int rc);

/// Quotes a name for use as an SQL identifier.
std::string quoteIdentifier(std::string_view name);

} // namespace wk::engine
