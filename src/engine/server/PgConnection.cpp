#include "engine/server/PgConnection.h"

#include "engine/server/PgConnInfo.h"

#include <libpq-fe.h>

#include <charconv>
#include <optional>
#include <utility>

namespace wk::engine {

namespace {

void ignoreNotice(void*, const char*) {
}

std::string orEmpty(const char* s) {
    return s ? s : "";
}

// "database "d" on server /run/sockets (port 5432)" from what libpq tried, which includes the
// defaults it filled in.
std::string describeServer(const PGconn* conn) {
    std::string host = orEmpty(PQhost(conn));
    std::string name = "database \"" + orEmpty(PQdb(conn)) + "\" on server ";
    name += host.empty() ? std::string("(the default local socket)") : host;
    if (std::string port = orEmpty(PQport(conn)); !port.empty())
        name += " (port " + port + ")";
    return name;
}

// COPY from or to the client would leave the connection waiting for data; end it.
void leaveCopy(PGconn* conn, ExecStatusType status) {
    if (status == PGRES_COPY_IN) {
        PQputCopyEnd(conn, "COPY from the client is not supported");
    } else if (status == PGRES_COPY_OUT) {
        char* row = nullptr;
        while (PQgetCopyData(conn, &row, 0) > 0)
            PQfreemem(row);
    }
    while (PGresult* r = PQgetResult(conn)) {
        const ExecStatusType s = PQresultStatus(r);
        PQclear(r);
        if (s == PGRES_COPY_IN || s == PGRES_COPY_OUT || s == PGRES_COPY_BOTH)
            break;
    }
}

} // namespace

PgResult::~PgResult() {
    PQclear(result_);
}

PgResult& PgResult::operator=(PgResult&& other) noexcept {
    if (this != &other) {
        PQclear(result_);
        result_ = std::exchange(other.result_, nullptr);
    }
    return *this;
}

int PgResult::rows() const {
    return result_ ? PQntuples(result_) : 0;
}

int PgResult::columns() const {
    return result_ ? PQnfields(result_) : 0;
}

void PgResult::checkCell(int row, int column) const {
    if (row < 0 || row >= rows() || column < 0 || column >= columns())
        throw EngineError(ErrorCode::InvalidArgument,
                          "No value at row " + std::to_string(row) + ", column " +
                              std::to_string(column) + " of a result of " + std::to_string(rows()) +
                              " rows and " + std::to_string(columns()) + " columns");
}

std::string PgResult::columnName(int column) const {
    if (column < 0 || column >= columns())
        throw EngineError(ErrorCode::InvalidArgument, "No column " + std::to_string(column) +
                                                          " in a result of " +
                                                          std::to_string(columns()) + " columns");
    return orEmpty(PQfname(result_, column));
}

bool PgResult::isNull(int row, int column) const {
    checkCell(row, column);
    return PQgetisnull(result_, row, column) != 0;
}

std::string_view PgResult::text(int row, int column) const {
    checkCell(row, column);
    return std::string_view(PQgetvalue(result_, row, column),
                            static_cast<size_t>(PQgetlength(result_, row, column)));
}

std::optional<std::string> PgResult::value(int row, int column) const {
    if (isNull(row, column))
        return std::nullopt;
    return std::string(text(row, column));
}

std::int64_t PgResult::affectedRows() const {
    const std::string count = result_ ? orEmpty(PQcmdTuples(result_)) : "";
    std::int64_t n = 0;
    std::from_chars(count.data(), count.data() + count.size(), n);
    return n;
}

std::string PgResult::commandTag() const {
    return result_ ? orEmpty(PQcmdStatus(result_)) : "";
}

PgConnection::PgConnection(const std::string& conninfo) {
    pgconninfo::check(conninfo);
    // Values after dbname override those of the connection string it expands to; the timeout
    // before it is only a default.
    const char* const keywords[] = {"connect_timeout", "dbname", "client_encoding",
                                    "fallback_application_name", nullptr};
    const char* const values[] = {"10", conninfo.c_str(), "UTF8", "wikabay", nullptr};
    conn_ = PQconnectdbParams(keywords, values, 1);
    if (!conn_)
        throw PgError(ErrorCode::ServerUnavailable, "Cannot connect to a server: out of memory",
                      "");
    serverName_ = describeServer(conn_);
    if (PQstatus(conn_) != CONNECTION_OK) {
        const ErrorCode code =
            PQconnectionNeedsPassword(conn_) ? ErrorCode::Password : ErrorCode::ServerUnavailable;
        const std::string message =
            "Cannot connect to " + serverName_ + ": " +
            pgconninfo::maskPasswords(pgconninfo::oneLine(PQerrorMessage(conn_)), conninfo);
        PQfinish(conn_);
        conn_ = nullptr;
        throw PgError(code, message, "");
    }
    PQsetNoticeProcessor(conn_, ignoreNotice, nullptr);
}

PgConnection::~PgConnection() {
    PQfinish(conn_);
}

PgConnection::PgConnection(PgConnection&& other) noexcept
    : conn_(std::exchange(other.conn_, nullptr)), serverName_(std::move(other.serverName_)),
      session_(other.session_) {
}

PgConnection& PgConnection::operator=(PgConnection&& other) noexcept {
    if (this != &other) {
        PQfinish(conn_);
        conn_ = std::exchange(other.conn_, nullptr);
        serverName_ = std::move(other.serverName_);
        session_ = other.session_;
    }
    return *this;
}

PGconn* PgConnection::requireHandle() const {
    if (!conn_)
        throw PgError(ErrorCode::State, "The connection to the server has been handed on", "");
    return conn_;
}

PgError PgConnection::lostConnection(const std::string& what, std::string reason) const {
    // libpq's first line says what happened; the lines after it guess at why.
    reason = reason.substr(0, reason.find('\n'));
    for (const char* prefix : {"FATAL:", "ERROR:"})
        if (reason.starts_with(prefix))
            reason = reason.substr(std::string_view(prefix).size());
    reason.erase(0, reason.find_first_not_of(' '));
    return PgError(ErrorCode::ServerUnavailable,
                   what + " " + serverName_ + ": " + pgconninfo::oneLine(reason), "");
}

void PgConnection::failConnection(const std::string& what) const {
    throw lostConnection(what, orEmpty(PQerrorMessage(conn_)));
}

PgResult PgConnection::exec(const std::string& sql, const PgParams& params) {
    PGconn* conn = requireHandle();
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const auto& p : params) {
        if (p && p->find('\0') != std::string::npos)
            throw PgError(ErrorCode::InvalidArgument,
                          "Parameter $" + std::to_string(values.size() + 1) +
                              " holds a NUL character, which the server cannot store",
                          "");
        values.push_back(p ? p->c_str() : nullptr);
    }
    PgResult result(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                 values.data(), nullptr, nullptr, 0));
    const ExecStatusType status =
        result.handle() ? PQresultStatus(result.handle()) : PGRES_FATAL_ERROR;
    switch (status) {
    case PGRES_COMMAND_OK:
    case PGRES_TUPLES_OK:
        return result;
    case PGRES_EMPTY_QUERY:
        throw PgError(ErrorCode::InvalidSql, "The statement is empty", "");
    case PGRES_COPY_IN:
    case PGRES_COPY_OUT:
    case PGRES_COPY_BOTH:
        leaveCopy(conn, status);
        throw PgError(ErrorCode::InvalidSql,
                      "A COPY from or to the client cannot be run as a statement", "");
    default:
        break;
    }
    throw refusal(result.handle());
}

PgError PgConnection::refusal(const pg_result* r) const {
    if (PQstatus(conn_) != CONNECTION_OK)
        failConnection("Lost the connection to");
    const std::string state = orEmpty(PQresultErrorField(r, PG_DIAG_SQLSTATE));
    std::string message = orEmpty(PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY));
    if (message.empty())
        message = r ? orEmpty(PQresultErrorMessage(r)) : orEmpty(PQerrorMessage(conn_));
    // The connection may be gone although libpq has not noticed yet: the server said it ends
    // the session, or libpq said the connection was lost.
    if (connectionLost(state, orEmpty(PQresultErrorField(r, PG_DIAG_SEVERITY_NONLOCALIZED)),
                       message))
        return lostConnection("Lost the connection to", message);
    message = pgconninfo::oneLine(message);
    if (const char* detail = PQresultErrorField(r, PG_DIAG_MESSAGE_DETAIL))
        message += " (" + pgconninfo::oneLine(detail) + ")";
    if (!state.empty())
        message += " (SQLSTATE " + state + ")";
    return PgError(errorCodeForSqlState(state),
                   "The server refused a statement on " + serverName_ + ": " + message, state);
}

std::int64_t PgConnection::copyIn(const std::string& copySql,
                                  const std::function<bool(std::string&)>& next) {
    PGconn* conn = requireHandle();
    PgResult start(PQexec(conn, copySql.c_str()));
    const ExecStatusType status =
        start.handle() ? PQresultStatus(start.handle()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COPY_IN) {
        if (status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH)
            leaveCopy(conn, status);
        if (status == PGRES_FATAL_ERROR || status == PGRES_NONFATAL_ERROR)
            throw refusal(start.handle());
        throw PgError(ErrorCode::InvalidSql, "Not a COPY from the client: " + copySql, "");
    }
    auto send = [&](const std::string& data) {
        if (!data.empty() && PQputCopyData(conn, data.data(), static_cast<int>(data.size())) != 1)
            failConnection("Lost the connection to");
    };
    std::string chunk;
    try {
        for (bool more = true; more;) {
            chunk.clear();
            more = next(chunk);
            send(chunk);
        }
    } catch (...) {
        PQputCopyEnd(conn, "the rows could not be read");
        while (PGresult* r = PQgetResult(conn))
            PQclear(r);
        throw;
    }
    if (PQputCopyEnd(conn, nullptr) != 1)
        failConnection("Lost the connection to");
    std::int64_t copied = 0;
    // The first failure is told once every result is read: a server that ended the session
    // after it has closed the connection by then.
    std::optional<PgResult> failed;
    while (PGresult* r = PQgetResult(conn)) {
        PgResult result(r);
        if (PQresultStatus(r) == PGRES_COMMAND_OK) {
            copied = result.affectedRows();
        } else if (!failed) {
            failed.emplace(std::move(result));
        }
    }
    if (failed)
        throw refusal(failed->handle());
    return copied;
}

void PgConnection::reset() {
    PGconn* conn = requireHandle();
    PQreset(conn);
    ++session_;
    if (PQstatus(conn) != CONNECTION_OK)
        failConnection("Cannot connect again to");
}

bool PgConnection::connected() const {
    return conn_ && PQstatus(conn_) == CONNECTION_OK;
}

bool PgConnection::inTransaction() const {
    if (!conn_)
        return false;
    const PGTransactionStatusType s = PQtransactionStatus(conn_);
    return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
}

namespace {

template <typename Escape>
std::string quoted(PGconn* conn, std::string_view text, const char* what, Escape escape) {
    if (text.find('\0') != std::string_view::npos)
        throw EngineError(ErrorCode::InvalidArgument,
                          std::string("Cannot quote ") + what + ": it holds a NUL character");
    char* escaped = escape(conn, text.data(), text.size());
    if (!escaped)
        throw EngineError(ErrorCode::InvalidArgument,
                          std::string("Cannot quote ") + what + ": " +
                              pgconninfo::oneLine(PQerrorMessage(conn)));
    std::string out = escaped;
    PQfreemem(escaped);
    return out;
}

} // namespace

std::string PgConnection::quoteIdentifier(std::string_view name) const {
    return quoted(requireHandle(), name, "a name", PQescapeIdentifier);
}

std::string PgConnection::quoteLiteral(std::string_view text) const {
    return quoted(requireHandle(), text, "a text", PQescapeLiteral);
}

PgTransaction::PgTransaction(PgConnection& connection, Isolation isolation)
    : connection_(connection) {
    if (connection.inTransaction())
        throw PgError(ErrorCode::State,
                      "A transaction is open already on " + connection.serverName(), "");
    switch (isolation) {
    case Isolation::ReadCommitted:
        connection.exec("BEGIN ISOLATION LEVEL READ COMMITTED");
        break;
    case Isolation::RepeatableRead:
        connection.exec("BEGIN ISOLATION LEVEL REPEATABLE READ");
        break;
    case Isolation::Serializable:
        connection.exec("BEGIN ISOLATION LEVEL SERIALIZABLE");
        break;
    case Isolation::ReadOnlySnapshot:
        connection.exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
        break;
    }
    session_ = connection.session_;
}

bool PgTransaction::stillOurs() const {
    return open_ && session_ == connection_.session_;
}

PgTransaction::~PgTransaction() {
    if (!stillOurs() || !connection_.connected())
        return;
    try {
        connection_.exec("ROLLBACK");
    } catch (const EngineError&) {
        // The server ends the transaction when the connection ends.
    }
}

void PgTransaction::commit() {
    if (!stillOurs())
        throw PgError(ErrorCode::State,
                      "The transaction on " + connection_.serverName() +
                          (open_ ? " was lost with the connection" : " has ended already"),
                      "");
    open_ = false;
    if (connection_.exec("COMMIT").commandTag() == "ROLLBACK")
        throw PgError(ErrorCode::State,
                      "The transaction on " + connection_.serverName() +
                          " was rolled back, not committed: a statement in it had failed",
                      "");
}

} // namespace wk::engine
