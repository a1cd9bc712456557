#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace wk::engine {
class SqliteDb;
} // namespace wk::engine

/// Compares the stored search index of a table file (SearchIndex.h) with its records.
namespace wk::engine::search {

/// A place where the stored index and the records disagree.
struct IndexDifference {
    enum class Kind {
        Missing,     ///< the record is in the table, but not in the index
        Extra,       ///< the index holds a record that is not in the table
        Field,       ///< the index holds other grams of the record's field than its text has
        Damaged,     ///< a stored set of the block from `rowId` on cannot be read
        Unindexable, ///< the table can have no index, yet one is marked in step
    };
    Kind kind = Kind::Missing;
    std::int64_t rowId = 0;
    int field = -1; ///< numbered from 0; -1 when the difference is the whole record's
};

/// Builds the index of the table attached as `schema`, with `fieldCount` fields, afresh from its
/// records (with the builder that imports use, in a temporary database) and calls `report` for
/// every difference from the stored index, by row id and then field. A record that is missing
/// or extra is reported once, not once per field. Returns the number of differences. Raises
/// EngineError when the file cannot be read.
size_t compareIndex(const SqliteDb& db, const std::string& schema, size_t fieldCount,
                    const std::function<void(const IndexDifference&)>& report);

} // namespace wk::engine::search
