#include "engine/base/Sqlite.h"

#include <sqlite3.h>

namespace wk::engine {

ErrorCode errorCodeForSqlite(int rc) {
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ErrorCode::Locked;
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return ErrorCode::ReadOnly;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
        return ErrorCode::Corrupt;
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_FULL:
        return ErrorCode::Io;
    case SQLITE_AUTH:
    case SQLITE_ERROR:
        return ErrorCode::InvalidSql;
    default:
        return ErrorCode::General;
    }
}

std::string quoteIdentifier(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

SqliteDb::SqliteDb(const std::string& path, Mode mode) {
    int flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
    switch (mode) {
    case Mode::ReadWriteCreate:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    case Mode::ReadWrite:
        flags |= SQLITE_OPEN_READWRITE;
        break;
    case Mode::ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    case Mode::Memory:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY;
        break;
    }
    const std::string name = mode == Mode::Memory ? std::string(":memory:") : path;
    int rc = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw EngineError(errorCodeForSqlite(rc), "Cannot open '" + path + "': " + msg);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, 250);
}

SqliteDb::~SqliteDb() {
    sqlite3_close_v2(db_);
}

void SqliteDb::markUndoFailed(const std::string& why) {
    if (undoFailure_.empty())
        undoFailure_ = why;
}

void SqliteDb::requireUsable() const {
    if (!undoFailure_.empty())
        throw EngineError(ErrorCode::General, undoFailure_);
}

void SqliteDb::exec(const std::string& sql, const std::string& context) {
    requireUsable();
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        throw EngineError(errorCodeForSqlite(rc), context + ": " + msg);
    }
}

std::string SqliteDb::lastError() const {
    return sqlite3_errmsg(db_);
}

int SqliteDb::lastErrorCode() const {
    return sqlite3_extended_errcode(db_);
}

SqliteStatement::SqliteStatement(const SqliteDb& db, std::string_view sql,
                                 const std::string& context)
    : db_(db), context_(context) {
    db.requireUsable();
    const char* tail = nullptr;
    int rc =
        sqlite3_prepare_v2(db.handle(), sql.data(), static_cast<int>(sql.size()), &stmt_, &tail);
    if (rc != SQLITE_OK)
        fail(rc);
    if (stmt_ == nullptr)
        throw EngineError(ErrorCode::InvalidSql, context_ + ": the statement is empty");
    for (; tail && tail < sql.data() + sql.size(); ++tail) {
        if (*tail != ' ' && *tail != '\n' && *tail != '\r' && *tail != '\t' && *tail != ';') {
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
            throw EngineError(ErrorCode::InvalidSql,
                              context_ + ": only one statement can be run at a time");
        }
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(stmt_);
}

void SqliteStatement::fail(int rc) const {
    throw EngineError(errorCodeForSqlite(rc), context_ + ": " + sqlite3_errmsg(db_.handle()));
}

void SqliteStatement::bind(int index, std::int64_t value) {
    int rc = sqlite3_bind_int64(stmt_, index, value);
    if (rc != SQLITE_OK)
        fail(rc);
}

void SqliteStatement::bindTextOrNull(int index, std::string_view value) {
    if (value.empty()) {
        bindNull(index);
        return;
    }
    int rc = sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()),
                               SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        fail(rc);
}

void SqliteStatement::bindBlob(int index, std::string_view bytes) {
    int rc = sqlite3_bind_blob(stmt_, index, bytes.empty() ? "" : bytes.data(),
                               static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        fail(rc);
}

void SqliteStatement::bindNull(int index) {
    int rc = sqlite3_bind_null(stmt_, index);
    if (rc != SQLITE_OK)
        fail(rc);
}

bool SqliteStatement::step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(stmt_);
    fail(rc);
}

void SqliteStatement::run() {
    db_.requireUsable();
    while (step()) {
    }
}

void SqliteStatement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int SqliteStatement::columnCount() const {
    return sqlite3_column_count(stmt_);
}

std::string SqliteStatement::columnName(int column) const {
    const char* name = sqlite3_column_name(stmt_, column);
    return name ? name : "";
}

std::int64_t SqliteStatement::columnInt(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::string SqliteStatement::columnText(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    if (!text)
        return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

bool SqliteStatement::columnIsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::string_view SqliteStatement::columnBlob(int column) const {
    const void* bytes = sqlite3_column_blob(stmt_, column);
    if (!bytes)
        return {};
    return std::string_view(static_cast<const char*>(bytes),
                            static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::string_view SqliteStatement::columnTextView(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    if (!text)
        return {};
    return std::string_view(reinterpret_cast<const char*>(text),
                            static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

bool SqliteStatement::readOnly() const {
    return sqlite3_stmt_readonly(stmt_) != 0;
}

} // namespace wk::engine
