#pragma once

// Records written out in a test, and table files made from them as an import makes them.

#include "engine/storage/TableFile.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace wk::testing {

/// Records, each the values of its fields in order.
using Rows = std::vector<std::vector<std::string>>;

/// Reads `rows` one after the other, as an import takes them; `rows` must outlive the reader.
inline engine::tablefile::RowReader readerOf(const Rows& rows) {
    return [&rows, next = std::size_t{0}](std::vector<std::string>& row) mutable {
        if (next == rows.size())
            return false;
        row = rows[next++];
        return true;
    };
}

/// Creates or replaces the table file `name` in `folder` with `fields` and `rows`, protected by
/// `password` when one is given, its search index covering the fields `searched` says (by
/// number; every field when empty).
inline void writeTable(const std::filesystem::path& folder, const std::string& name,
                       const std::vector<std::string>& fields, const Rows& rows,
                       const std::optional<std::string>& password = std::nullopt,
                       const std::vector<bool>& searched = {}) {
    engine::tablefile::replace(folder, name, fields, readerOf(rows), password, {}, searched);
}

} // namespace wk::testing
