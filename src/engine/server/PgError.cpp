#include "engine/server/PgError.h"

namespace wk::engine {

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

} // namespace wk::engine
