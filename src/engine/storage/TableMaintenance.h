#pragma once

#include <string>
#include <utility>
#include <vector>

namespace wk::engine {

class TableFiles;

/// Checking and rebuilding a table file of an alias: the file itself, and every feature kept in it
/// beside the records (TableFeature.h). Both run on the connection of `db` (which attaches the
/// table, checking its shape and password, as for any use) and return a report; they print and
/// ask nothing.
namespace tablefile {

/// How many differences of one feature a check reports before it only counts the rest.
inline constexpr size_t kReportedDifferences = 100;

/// What a check of one table found.
struct CheckReport {
    std::string table;                 ///< the table's name ("Tagalog")
    std::vector<std::string> findings; ///< one sentence each, in the order found
    bool well = false;                 ///< nothing is wrong ("all well" is the one finding)
};

/// Checks the table `tableName` of the alias that `db` connects to: SQLite's integrity check of
/// the file, then, in one snapshot of it, each feature in step against the records. A feature
/// found out of step is set aside (marked not in step) so that the engine reads the records
/// instead, until it is made anew. A table that cannot be opened, or a check that cannot be
/// finished, is a finding too; nothing is raised.
CheckReport check(TableFiles& db, const std::string& tableName);

/// What a rebuild of one table made.
struct RebuildReport {
    std::string table; ///< the table's name ("Tagalog")
    struct Made {
        std::string name;      ///< "search index"
        bool inStep = false;   ///< false when the table's records cannot have it
        std::string withoutIt; ///< what goes on without it: "searches read the records"
    };
    /// Each feature that the table has (TableFeature.h's appliesTo), in the order of features().
    std::vector<Made> features;
};

/// Makes every feature of the table `tableName` anew from its records, in one transaction that
/// takes the file's write lock first: a failure leaves the table as it was. Raises EngineError
/// naming the table and the folder (Database::changeError).
RebuildReport rebuild(TableFiles& db, const std::string& tableName);

} // namespace tablefile
} // namespace wk::engine
