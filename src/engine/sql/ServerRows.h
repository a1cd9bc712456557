#pragma once

#include "engine/sql/RowSource.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace wk::engine {

class ServerDatabase;

/// A row id as the server writes it.
std::int64_t serverRowId(std::string_view text);

/// Fetches rows of a table on `db`'s server by row id through `fetchSql`, whose $1 is an array
/// of row ids and whose first column is the row id, followed by `fieldCount` fields. It uses
/// the connection as it is: while the server is lost it fails at once, without waiting to
/// connect again (that is done when the window is next activated).
RowFetcher serverRowFetcher(ServerDatabase& db, std::string fetchSql, size_t fieldCount);

} // namespace wk::engine
