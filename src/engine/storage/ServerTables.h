#pragma once

#include "engine/storage/TableFile.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace wk::engine {

class PgConnection;

/// Tables of an alias kept in a PostgreSQL database.
///
/// A table's records are in a table named after it ("Tagalog"; "Internet.db" is "Internet") in
/// the connection's first schema: the column `wk_rowid` numbers the records in the table's order,
/// and each field is a `text COLLATE "C"` column, in field order, so that texts compare and sort
/// by code point as in table files. An empty text is stored as NULL. Each searched field has
/// beside it a column `wk_upper_N` (N its number from 1) that the server keeps as wk_upper of the
/// field, with a `pg_trgm` GIN index: `Upper(field) like '%text%'` reads it, and nothing is
/// upper-cased while searching. Field names therefore never begin with "wk_". The row of
/// `wk_tables` of that name marks the table as ours and keeps its generation and, for a
/// protected table, the salted hash of its password (PasswordHash.h).
namespace servertables {

/// The column that numbers the records.
inline constexpr const char* kRowId = "wk_rowid";

/// What the server keeps about one table.
struct Description {
    std::string name;      ///< as stored, e.g. "Tagalog"
    std::string qualified; ///< the records' table, quoted, e.g. "Tagalog"
    std::vector<std::string> fields;
    std::vector<std::string> upperColumns; ///< per field, its wk_upper_N column or ""
    std::string passwordSalt;
    std::string passwordHash; ///< empty for a table without password
    std::string generation;   ///< new at every replace
};

/// The table named `tableName` (its base name, letter case ignored), or nothing when the
/// database holds no table of ours of that name. Raises PgError when the server cannot be asked.
std::optional<Description> describe(PgConnection& connection, const std::string& tableName);

/// The generation of the table stored as `name`; empty when there is none now.
std::string generation(PgConnection& connection, const std::string& name);

/// Creates the table, or replaces its fields and records, in one transaction: programs reading
/// it meanwhile go on with the old records until the new ones are committed, and a failure
/// leaves the old table whole. Creates the engine's functions (ServerFunctions.h), the
/// extension pg_trgm and `wk_tables` when they are missing. A table of that name that is not
/// ours is never dropped. Replacing a protected table needs its password (`password`); the new
/// table is protected by `password` when one is given. `progress` is called now and then with
/// the number of rows sent. `searched` names, by number, the fields that get a search index;
/// empty for every field. Raises EngineError naming the table and the server; InvalidArgument for
/// a field name that begins with "wk_".
void replace(PgConnection& connection, const std::string& tableName,
             const std::vector<std::string>& fields, const tablefile::RowReader& rows,
             const std::optional<std::string>& password,
             const std::function<void(long long)>& progress = {},
             const std::vector<bool>& searched = {});

/// `value` as a field of COPY's text format, appended to `out` (NULL for an empty text). Raises
/// EngineError (InvalidArgument) for a text holding a NUL character.
void appendCopyField(std::string& out, const std::string& value);

} // namespace servertables
} // namespace wk::engine
