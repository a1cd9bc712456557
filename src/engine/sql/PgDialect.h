#pragma once

#include <functional>
#include <string>
#include <vector>

namespace wk::engine {

/// A table on a PostgreSQL server as a statement reads it: its qualified name (for example
/// `"dictionary"."Tagalog"`), its field names as they were created (quoted, as written), and,
/// where the table keeps them, the columns that hold fields in capitals (wk_upper of the field,
/// stored), one per field ("" for a field without one; empty when none has).
struct PgTableRef {
    std::string qualified;
    std::vector<std::string> fields;
    std::vector<std::string> upperColumns;
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
/// - `Upper(x)` and `Lower(x)` become `wk_upper(x)` and `wk_lower(x)` (ServerFunctions.h);
///   `Upper(field)` of a field that the table keeps in capitals becomes that column;
/// - `x like p` matches as the local like does: ASCII letters of either case alike, `_` one
///   character, no escape character unless ESCAPE names one. `Upper(field) like 'text'` becomes
///   `wk_upper(field) LIKE 'TEXT' ESCAPE ''`, which a trigram index on wk_upper(field) can serve;
/// - ORDER BY terms sort NULL (an empty field) first, or last with DESC, as locally;
/// - a column of the outermost select list that is an expression without an alias is named by
///   its text as written, as locally ("count(*)"); a `*` there stands for the fields of the
///   tables of the outermost FROM list, and `t.*` for those of t (not the tables' other
///   columns, such as wk_rowid).
///
/// Not the same as locally: records that tie under ORDER BY come in the server's order (a
/// one-table result read by row ids, see PgSelect, breaks ties by the table's order as locally);
/// a `*` inside a subquery stands for every column of its tables.
///
/// Texts compare and sort by code point locally; the server's tables hold their fields as
/// `text COLLATE "C"` for the same order.
std::string translateForPostgres(const std::string& statement, const PgTableResolver& resolve);

/// A statement translated by translateSelectForPostgres.
struct PgSelect {
    std::string sql; ///< the whole statement, as translateForPostgres gives it

    /// Set when the statement reads one table with a plain select list and nothing but WHERE
    /// and ORDER BY after it (as TranslatedSelect::singleTable). Its records are then read as
    /// row ids (`rowIdSql`, whose last column is the row id, wk_rowid), in the statement's order
    /// and then the table's, and fetched by them (`fetchSql`, whose $1 is an array of row ids
    /// and whose first column is the row id, followed by the select list's columns).
    bool singleTable = false;
    std::string rowIdSql;
    std::string fetchSql;
};

/// translateForPostgres, with the statements that read a one-table result by row ids.
PgSelect translateSelectForPostgres(const std::string& statement, const PgTableResolver& resolve);

} // namespace wk::engine
