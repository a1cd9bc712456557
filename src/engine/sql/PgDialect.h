#pragma once

#include <functional>
#include <string>
#include <vector>

namespace wk::engine {

/// A table on a PostgreSQL server as a statement reads it: its qualified name (for example
/// `"dictionary"."Tagalog"`) and its field names as they were created (quoted, as written).
struct PgTableRef {
    std::string qualified;
    std::vector<std::string> fields;
};

/// Resolves a table name as written in the statement; raises EngineError when there is none.
using PgTableResolver = std::function<PgTableRef(const std::string& tableName)>;

/// Translates a local SQL SELECT statement into PostgreSQL's dialect, so that the server gives
/// the rows, in the order, that the local engine gives for the same records. It accepts what
/// translateSelect accepts and raises the same errors; besides, InvalidSql for a statement that
/// holds a NUL character, which no text on the server can.
///
/// What changes on the way:
/// - a text in double or single quotes becomes a string literal whose backslashes are plain
///   characters (E'' when it holds one);
/// - a field name, plain or in brackets and in any letter case, becomes the field's name as the
///   table has it, quoted; a table's alias becomes quoted as first written, and a table without
///   one gets its base name as alias, as locally;
/// - `Upper(x)` and `Lower(x)` become `wk_upper(x)` and `wk_lower(x)` (postgresFunctionsSql);
/// - `x like p` matches as the local like does: ASCII letters of either case alike, `_` one
///   character, no escape character unless ESCAPE names one. `Upper(field) like 'text'` becomes
///   `wk_upper(field) LIKE 'TEXT' ESCAPE ''`, which a trigram index on wk_upper(field) can serve;
/// - ORDER BY terms sort NULL (an empty field) first, or last with DESC, as locally.
///
/// Texts compare and sort by code point locally; the server's tables hold their fields as
/// `text COLLATE "C"` for the same order.
std::string translateForPostgres(const std::string& statement, const PgTableResolver& resolve);

/// The statements, one each, that create or replace the server's functions the
/// translated statements call: wk_upper, the engine's Upper (the simple one-to-one upper-case
/// mapping of every character); wk_lower, the engine's Lower (the full lower-case mapping
/// without locale, with the final form of sigma); wk_ascii_upper, ASCII letters in capitals.
/// Each is IMMUTABLE and PARALLEL SAFE and independent of the database's locale.
std::vector<std::string> postgresFunctionsSql();

} // namespace wk::engine
