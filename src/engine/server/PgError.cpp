#include "engine/server/PgError.h"

namespace wk::engine {

namespace {

// Whether some line of `message` holds `first` and, after it on the same line, `then`.
bool lineHolds(std::string_view message, std::string_view first, std::string_view then) {
    for (size_t at = message.find(first); at != std::string_view::npos;
         at = message.find(first, at + 1)) {
        const size_t end = message.find('\n', at);
        const std::string_view rest = message.substr(at + first.size(), end - at - first.size());
        if (rest.find(then) != std::string_view::npos)
            return true;
    }
    return false;
}

} // namespace

ErrorCode errorCodeForSqlState(std::string_view s) {
    if (s.size() != 5)
        return ErrorCode::General;
    const std::string_view cls = s.substr(0, 2);
    if (cls == "08" || s == "57P01" || s == "57P02" || s == "57P03")
        return ErrorCode::ServerUnavailable;
    if (s == "40001")
        return ErrorCode::ChangedByAnother;
    if (s == "40P01" || s == "55P03")
        return ErrorCode::Locked;
    if (s == "42501" || s == "25006")
        return ErrorCode::ReadOnly;
    if (s == "42P01" || s == "42703" || s == "3D000" || s == "3F000")
        return ErrorCode::NotFound;
    if (cls == "22" || cls == "23")
        return ErrorCode::InvalidArgument;
    if (cls == "42")
        return ErrorCode::InvalidSql;
    if (cls == "28")
        return ErrorCode::Password;
    if (s == "53100" || cls == "58")
        return ErrorCode::Io;
    return ErrorCode::General;
}

bool connectionLost(std::string_view sqlState, std::string_view severity,
                    std::string_view message) {
    if (severity == "FATAL" || severity == "PANIC")
        return true;
    if (!sqlState.empty())
        return errorCodeForSqlState(sqlState) == ErrorCode::ServerUnavailable;
    for (std::string_view lost :
         {"server closed the connection unexpectedly", "no connection to the server",
          "could not send data to server", "could not receive data from server",
          "lost synchronization with server", "terminating connection"})
        if (message.find(lost) != std::string_view::npos)
            return true;
    return lineHolds(message, "connection to server", " lost");
}

} // namespace wk::engine
