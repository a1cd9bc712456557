#pragma once

#include "engine/search/IndexedSearch.h"

#include <functional>
#include <string>
#include <vector>

namespace wk::engine {

/// A local SQL SELECT statement translated into SQLite's dialect.
///
/// Local SQL differs from SQLite's in what it means by a double-quoted text: it is a string
/// literal ("%ARAW%"), with a doubled double quote standing for one quote character. Table names
/// after FROM or JOIN (plain, or quoted such as "Internet.db") name table files of the alias and
/// are resolved through the caller. A table name may be followed by an alias, with or without AS,
/// plain or quoted (`Tagalog AS "T"`, `Tagalog T`); a quoted text there is the alias's name.
/// `Upper` and `like` keep their names: the connection provides a Unicode-aware upper and SQLite's
/// like matches `%` and `_` per character.
struct TranslatedSelect {
    std::string sql; ///< the whole statement in SQLite's dialect

    /// Set when the statement reads one table with a plain select list (`*` or field names) and
    /// no grouping, DISTINCT, LIMIT or compound part. Its records can then be found as row ids
    /// (`rowIdSql`, whose last column is the row id) and each fetched on demand (`fetchSql`,
    /// whose parameter ?1 is the row id).
    bool singleTable = false;
    std::string rowIdSql;
    std::string fetchSql;

    /// Set when `singleTable`: what the table's search index can answer by itself. `wholeTable`
    /// when the statement has neither WHERE nor ORDER BY (every record, in the table's order);
    /// `likeTerms` when there is no ORDER BY and the condition is nothing but terms
    /// `Upper(field) like 'pattern'` joined by OR (the dictionary window's search).
    IndexableCondition indexable;
};

/// Resolves a table name as written in the statement to the qualified SQLite name of its records
/// (for example `"t1".records`); raises EngineError when there is no such table.
using TableResolver = std::function<std::string(const std::string& tableName)>;

/// Translates `statement`. Raises EngineError (InvalidSql) whose text says what is wrong for an
/// empty statement, one that is not a SELECT, more than one statement, or an unterminated text.
TranslatedSelect translateSelect(const std::string& statement, const TableResolver& resolve);

} // namespace wk::engine
