#pragma once

#include <string>

namespace wk::engine {

class SqliteDb;

/// A transaction on one SQLite connection, begun when made and rolled back when it goes without
/// a commit (a change that failed half way leaves nothing). The connection must outlive it, and no
/// other transaction may be open on it.
///
/// A rollback that fails is not passed over: `rollback()` raises it, and when the destructor's own
/// rollback fails the connection is marked (SqliteDb::markUndoFailed), so that it refuses every
/// further statement rather than write on top of, or commit, what could not be undone.
class Transaction {
public:
    enum class Kind {
        Deferred, ///< takes locks as the statements need them (a snapshot for reading)
        Immediate ///< takes the write lock at once, so a writer never fails half way for it
    };

    /// Begins the transaction. `context` names what is being done, for the messages of failures
    /// ("Writing table 'Tagalog' in folder '/data'"). Raises EngineError when it cannot begin.
    Transaction(SqliteDb& db, std::string context, Kind kind = Kind::Deferred);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    /// Commits. Raises EngineError when the commit fails; the transaction is then rolled back.
    void commit();
    /// Rolls back now. Raises EngineError when that fails (the connection is marked as above).
    void rollback();

private:
    SqliteDb& db_;
    std::string context_;
    bool open_ = false;
};

/// A savepoint: a part of a change, nested in a transaction or standing alone, that is undone by
/// itself when it goes without `release()`. Savepoints on one connection end in the reverse order
/// of their making. Failures behave as Transaction's.
class Savepoint {
public:
    /// Opens the savepoint `name` (an SQL name of letters, digits and underscores).
    Savepoint(SqliteDb& db, std::string name, std::string context);
    ~Savepoint();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;

    /// Keeps what was done since the savepoint was made (in the enclosing transaction, if any).
    void release();
    /// Undoes what was done since the savepoint was made, and ends it. Raises EngineError when that
    /// fails (the connection is marked as above).
    void rollback();

private:
    SqliteDb& db_;
    std::string name_;
    std::string context_;
    bool open_ = false;
};

} // namespace wk::engine
