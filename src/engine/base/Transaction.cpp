#include "engine/base/Transaction.h"

#include "engine/base/EngineError.h"
#include "engine/base/Sqlite.h"

#include <sqlite3.h>

namespace wk::engine {
namespace {

// Runs `sql` to undo a change. On failure the connection may still hold the change: it is marked,
// and the error names what could not be undone.
void undo(SqliteDb& db, const std::string& sql, const std::string& context) {
    char* err = nullptr;
    const int rc = sqlite3_exec(db.handle(), sql.c_str(), nullptr, nullptr, &err);
    if (rc == SQLITE_OK)
        return;
    const std::string why = context + ": the change could not be undone (" +
                            (err ? std::string(err) : std::string(sqlite3_errstr(rc))) + ")";
    sqlite3_free(err);
    db.markUndoFailed(why);
    throw EngineError(errorCodeForSqlite(rc), why);
}

// Undoes a change that is still open. SQLite ends the transaction itself on some errors (a full
// disk, an interrupt), taking every savepoint with it: then there is nothing left to undo.
void undoIfOpen(SqliteDb& db, bool& open, const std::string& sql, const std::string& context) {
    if (!open)
        return;
    open = false;
    if (!sqlite3_get_autocommit(db.handle()))
        undo(db, sql, context);
}

// As undoIfOpen, for a destructor: a failure is marked on the connection, and the failure that
// left the change unfinished is the one reported.
void undoQuietly(SqliteDb& db, bool& open, const std::string& sql,
                 const std::string& context) noexcept {
    try {
        undoIfOpen(db, open, sql, context);
    } catch (const EngineError&) {
    }
}

} // namespace

Transaction::Transaction(SqliteDb& db, std::string context, Kind kind)
    : db_(db), context_(std::move(context)) {
    db_.exec(kind == Kind::Immediate ? "BEGIN IMMEDIATE" : "BEGIN", context_);
    open_ = true;
}

Transaction::~Transaction() {
    undoQuietly(db_, open_, "ROLLBACK", context_);
}

void Transaction::commit() {
    try {
        db_.exec("COMMIT", context_);
    } catch (const EngineError&) {
        // A commit that failed may leave the transaction open (SQLITE_BUSY): it is undone, so
        // that the connection is never left in the middle of one.
        rollback();
        throw;
    }
    open_ = false;
}

void Transaction::rollback() {
    undoIfOpen(db_, open_, "ROLLBACK", context_);
}

Savepoint::Savepoint(SqliteDb& db, std::string name, std::string context)
    : db_(db), name_(std::move(name)), context_(std::move(context)) {
    db_.exec("SAVEPOINT " + name_, context_);
    open_ = true;
}

Savepoint::~Savepoint() {
    undoQuietly(db_, open_, "ROLLBACK TO " + name_ + "; RELEASE " + name_, context_);
}

void Savepoint::release() {
    db_.exec("RELEASE " + name_, context_);
    open_ = false;
}

void Savepoint::rollback() {
    undoIfOpen(db_, open_, "ROLLBACK TO " + name_ + "; RELEASE " + name_, context_);
}

} // namespace wk::engine
