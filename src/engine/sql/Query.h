#pragma once

#include "engine/sql/Dataset.h"

#include <string>
#include <vector>

namespace wk::engine {

class ServerDatabase;
class TableFiles;

/// A read-only dataset over the result of a local SQL SELECT statement held as lines.
///
/// Clearing the lines closes the query. Opening runs the statement: a result that is the rows of
/// one table is held as row ids in the table's order (or the statement's ORDER BY) and each row is
/// fetched when it is shown; other results are read when the query opens. The row ids of a whole
/// table or of a search (`Upper(field) like 'text'` terms joined by OR) come from the table's
/// search index when it has one in step (IndexedSearch.h), with the same result.
class Query : public Dataset {
public:
    Query() = default;

    /// Removes every line; closes the query first.
    void clearSql();
    /// Adds one line to the statement.
    void addSql(const std::string& line);
    const std::vector<std::string>& sql() const { return sql_; }
    /// The statement: the lines joined by line breaks.
    std::string sqlText() const;

protected:
    void openRows(Database& db) override;

private:
    /// openRows on an alias of table files: the statement runs on the connection to which they
    /// are attached, through their search indexes where they answer it.
    void openFileRows(TableFiles& db);
    /// openRows on an alias whose tables are on a server (ServerQuery.cpp): the statement runs
    /// there, translated, in a read-only transaction.
    void openServerRows(ServerDatabase& db);

    std::vector<std::string> sql_;
};

} // namespace wk::engine
