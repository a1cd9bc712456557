#pragma once

#include "engine/server/PgError.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct pg_conn;
struct pg_result;

namespace wk::engine {

/// Parameters of a statement, $1 first, sent as text; an empty optional is SQL NULL.
using PgParams = std::vector<std::optional<std::string>>;

/// Owns one result of a statement. Rows and columns are numbered from 0; the texts it hands out
/// stay valid as long as the result lives.
class PgResult {
public:
    /// Takes ownership of `result`, which may be null (an empty result).
    explicit PgResult(pg_result* result = nullptr) noexcept : result_(result) {}
    ~PgResult();
    PgResult(PgResult&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
    PgResult& operator=(PgResult&& other) noexcept;
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;

    /// Number of rows returned; 0 for a statement that returns none.
    int rows() const;
    /// Number of columns returned; 0 for a statement that returns none.
    int columns() const;
    /// The name of `column`. Raises InvalidArgument for a column that does not exist.
    std::string columnName(int column) const;
    /// Whether the value at (`row`, `column`) is NULL. Raises InvalidArgument outside the result.
    bool isNull(int row, int column) const;
    /// The value at (`row`, `column`) as the server's text; NULL reads as the empty text (use
    /// isNull or value to tell them apart). Raises InvalidArgument outside the result.
    std::string_view text(int row, int column) const;
    /// The value at (`row`, `column`), or nothing for NULL. Raises InvalidArgument outside the
    /// result.
    std::optional<std::string> value(int row, int column) const;
    /// Rows inserted, updated, deleted, selected or copied by the statement; 0 when the
    /// statement does not report a count (as for CREATE TABLE).
    std::int64_t affectedRows() const;
    /// The command tag the server sent, such as "INSERT 0 1" or "COMMIT".
    std::string commandTag() const;

    pg_result* handle() const { return result_; }

private:
    void checkCell(int row, int column) const;

    pg_result* result_ = nullptr;
};

/// Owns one connection to a PostgreSQL server, opened from a libpq URI
/// ("postgresql://user@host:port/database?option=value") or a key=value connection string.
/// Texts travel as UTF-8 whatever the database's encoding. Every failure raises PgError; its
/// message names the server (host or socket folder, port and database) and never a password.
class PgConnection {
public:
    /// Connects. Raises InvalidArgument for a text that is neither a URI nor a connection
    /// string, Password when the server wants a password and none was given, ServerUnavailable
    /// when the server cannot be reached or refuses the connection (with libpq's reason). A
    /// connection string without connect_timeout waits at most 10 seconds for the server.
    explicit PgConnection(const std::string& conninfo);
    ~PgConnection();
    PgConnection(PgConnection&& other) noexcept;
    PgConnection& operator=(PgConnection&& other) noexcept;
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    /// Runs one statement with `params` bound to $1, $2, ... and returns its result. Raises
    /// PgError with the server's message and SQLSTATE when the server refuses it (the code from
    /// errorCodeForSqlState), InvalidSql for an empty statement or a COPY from or to the client
    /// (which the connection leaves behind), InvalidArgument for a parameter holding a NUL byte
    /// (the server's texts cannot), and ServerUnavailable when the connection is lost; then only
    /// reset() makes it usable again.
    PgResult exec(const std::string& sql, const PgParams& params = {});

    /// Runs `copySql`, a `COPY ... FROM STDIN`, sending what `next` gives until it returns false
    /// (it appends to the text it is given, in COPY's text format). Returns the number of rows
    /// copied. Raises as exec; a failure in `next` ends the COPY on the server before it passes.
    std::int64_t copyIn(const std::string& copySql, const std::function<bool(std::string&)>& next);

    /// Connects again with the same connection string, as after the server went away. Any open
    /// transaction is gone. Raises ServerUnavailable (naming the server) when that fails.
    void reset();

    /// Whether the connection was usable when last used. A server that went away since is only
    /// noticed by the next exec.
    bool connected() const;
    /// Whether a transaction is open (or failed and not yet ended) on this connection.
    bool inTransaction() const;

    /// `name` quoted as an SQL identifier (a table or field name), for statements that cannot
    /// take it as a parameter. Raises InvalidArgument for a name with a NUL byte or that is not
    /// valid UTF-8.
    std::string quoteIdentifier(std::string_view name) const;
    /// `text` quoted as an SQL string literal, for statements that take no parameters (such as
    /// CREATE ROLE ... PASSWORD). Raises InvalidArgument as quoteIdentifier.
    std::string quoteLiteral(std::string_view text) const;

    /// Names the server for messages: database, host or socket folder, and port.
    const std::string& serverName() const { return serverName_; }

    pg_conn* handle() const { return conn_; }

private:
    friend class PgTransaction;

    pg_conn* requireHandle() const;
    /// ServerUnavailable: `what` ("Lost the connection to") the server, and the first line of
    /// libpq's `reason`.
    PgError lostConnection(const std::string& what, std::string reason) const;
    [[noreturn]] void failConnection(const std::string& what) const;
    /// The error of a statement the server refused, or ServerUnavailable when the connection is
    /// lost (see connectionLost).
    PgError refusal(const pg_result* result) const;

    pg_conn* conn_ = nullptr;
    std::string serverName_;
    std::uint64_t session_ = 0; ///< counts reset()s: a transaction does not outlive its session
};

/// One transaction on a connection: BEGIN when made, COMMIT by commit(), ROLLBACK when it ends
/// without a commit (including when an exception leaves the scope).
class PgTransaction {
public:
    /// ReadOnlySnapshot: one snapshot for every statement, and the server refuses any change
    /// (even one hidden in a function a SELECT calls).
    enum class Isolation { ReadCommitted, RepeatableRead, Serializable, ReadOnlySnapshot };

    /// Begins a transaction. Raises State when one is already open on `connection` (a nested
    /// BEGIN would commit the outer one early), and the errors of exec.
    explicit PgTransaction(PgConnection& connection,
                           Isolation isolation = Isolation::ReadCommitted);
    /// Rolls back unless committed; never raises (a lost connection has rolled back already).
    ~PgTransaction();
    PgTransaction(const PgTransaction&) = delete;
    PgTransaction& operator=(const PgTransaction&) = delete;

    /// Commits. Raises State when the transaction has ended already or was lost with the
    /// connection before a reset(), State when the server rolled it back instead because a
    /// statement in it had failed, ChangedByAnother (SQLSTATE 40001) when the server could not
    /// serialize it, and the other errors of exec; after ServerUnavailable nobody can tell
    /// whether the commit took effect. The transaction is over afterwards whatever happened.
    void commit();

private:
    bool stillOurs() const;

    PgConnection& connection_;
    std::uint64_t session_ = 0;
    bool open_ = true;
};

} // namespace wk::engine
