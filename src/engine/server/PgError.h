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

} // namespace wk::engine
