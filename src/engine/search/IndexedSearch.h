#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wk::engine {

class TableFiles;
struct FileTable;

/// One condition `Upper(field) like 'pattern'`.
struct LikeTerm {
    std::string field;   ///< as written, without quotes
    std::string pattern; ///< the text's value
};

/// What the index can answer of a one-table statement: every record of the table (`wholeTable`),
/// or the records that match any of `likeTerms` (the dictionary window's search). Empty when the
/// statement's condition is of another shape.
struct IndexableCondition {
    bool wholeTable = false;
    std::vector<LikeTerm> likeTerms;
};

/// Finds the records of a one-table statement through the table's search index (SearchIndex.h),
/// when the statement is of a shape the index answers (`condition`): the whole table
/// (`SELECT * FROM Tagalog`), or a condition of terms `Upper(field) like 'text'` joined by OR.
/// Records the index cannot settle by itself are checked with the statement's own condition, so the
/// result is the very records, in the very order (row id), that running the statement gives.
///
/// Returns nothing when the index cannot answer: another shape of statement, a pattern it cannot
/// use, no index in step with the records, the index switched off
/// (Database::setSearchIndexEnabled), or any failure while reading it. The caller then runs the
/// statement as written.
std::optional<std::vector<std::int64_t>> indexedRowIds(TableFiles& db, const FileTable& table,
                                                       const IndexableCondition& condition);

} // namespace wk::engine
