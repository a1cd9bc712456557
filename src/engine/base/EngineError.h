#pragma once

#include <stdexcept>
#include <string>

namespace wk::engine {

/// What kind of failure an EngineError reports. The numbers are stable: the administrator tool
/// prints them and callers may compare them.
enum class ErrorCode {
    General = 1,
    NotFound = 2,          ///< alias, table, field, session or configuration node does not exist
    InvalidSql = 3,        ///< a statement that is malformed or not a SELECT
    InvalidFilter = 4,     ///< a table filter that is not of the form Field='text'
    Password = 5,          ///< a protected table opened without its password
    Corrupt = 6,           ///< a file that is not a table of ours, or is damaged
    Io = 7,                ///< a file or folder that cannot be read, written or created
    Locked = 8,            ///< another program holds a lock on the table
    ReadOnly = 9,          ///< a change to a table that cannot be written
    State = 10,            ///< an operation that the dataset's state does not allow
    InvalidArgument = 11,  ///< a value that cannot be stored (for example a control character)
    ChangedByAnother = 12, ///< the record was changed or deleted by another program since it was
                           ///< read, or its table was imported anew
    ServerUnavailable = 13 ///< a database server that cannot be reached, refuses the connection
                           ///< or went away
};

/// The one exception type of the engine. Its message says what failed and names the alias,
/// table, path or field involved; it never ends with a full stop added by the engine, so that
/// callers can format it as they like.
class EngineError : public std::runtime_error {
public:
    EngineError(ErrorCode code, const std::string& message)
        : std::runtime_error(message), code_(code) {}

    ErrorCode code() const noexcept { return code_; }

private:
    ErrorCode code_;
};

} // namespace wk::engine
