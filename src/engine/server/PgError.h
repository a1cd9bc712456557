#pragma once

#include "engine/base/EngineError.h"

#include <string>
#include <string_view>
#include <utility>

namespace wk::engine {

/// An EngineError raised for a statement the server refused or a connection that failed. It
/// keeps the server's SQLSTATE (five characters, such as "23505" for a unique violation or
/// "40001" for a serialization failure) so that callers can tell failures apart without reading
/// the message; it is empty when the failure came from the client library itself, as when the
/// connection was lost or could not be made. The message ends with "(SQLSTATE xxxxx)" when there
/// is one, so that the state survives a copy as a plain EngineError.
class PgError : public EngineError {
public:
    PgError(ErrorCode code, const std::string& message, std::string sqlState)
        : EngineError(code, message), sqlState_(std::move(sqlState)) {}

    const std::string& sqlState() const noexcept { return sqlState_; }

private:
    std::string sqlState_;
};

/// Maps a server's SQLSTATE to the engine's error code: a lost or refused connection is
/// ServerUnavailable, a serialization failure ChangedByAnother, a deadlock or a lock not granted
/// Locked, a constraint violation or bad value InvalidArgument, a missing table or column
/// NotFound, other statement errors InvalidSql, a write in a read-only transaction or without
/// the privilege ReadOnly, a full disk Io; anything else General.
ErrorCode errorCodeForSqlState(std::string_view sqlState);

/// Whether a failure that libpq reported means the connection to the server is gone, from what
/// it says about it: the server's SQLSTATE and its severity in English ("ERROR", "FATAL"), both
/// empty for a failure found by libpq itself, and the message. The server ends the session after
/// every FATAL or PANIC failure, and its SQLSTATE says so for a connection failure (class 08), a
/// server shut down by its administrator or after a crash (57P01, 57P02) or one that takes no
/// connections now (57P03). libpq's own failures carry no SQLSTATE, so their message is read:
/// "server closed the connection unexpectedly", "no connection to the server", "connection to
/// server ... lost", "could not send data to server", "could not receive data from server", "lost
/// synchronization with server" (libpq drops the connection then) and a server's "terminating
/// connection ..." that libpq passed on. These texts are libpq's English
/// ones; when its messages are translated, only the connection's status tells (PgConnection
/// checks it first).
bool connectionLost(std::string_view sqlState, std::string_view severity, std::string_view message);

} // namespace wk::engine
