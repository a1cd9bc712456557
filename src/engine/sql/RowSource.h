#pragma once

#include "engine/base/Sqlite.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace wk::engine {

/// The rows of an open dataset, fetched on demand.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual long long size() const = 0;
    /// Row `index` (0 <= index < size()), one text per field. Raises EngineError when the row
    /// cannot be read.
    virtual const std::vector<std::string>& row(long long index) = 0;
};

/// Reads the rows of `ids`, one text per field, a row for each id in the same order; a row no
/// longer stored comes back with every field blank.
using RowFetcher =
    std::function<std::vector<std::vector<std::string>>(const std::vector<std::int64_t>& ids)>;

/// Rows kept as row ids of one table; each row is fetched when it is first asked for, and only a
/// bounded number of fetched rows is kept. A million-row result costs eight megabytes.
class RowIdRows : public RowSource {
public:
    /// `fetch` selects the fields of one row with the row id as parameter ?1.
    RowIdRows(std::vector<std::int64_t> ids, std::unique_ptr<SqliteStatement> fetch);
    /// `fetch` reads up to `batch` rows at a time: the row asked for and those after it, as a
    /// grid shows them (for a server, where each read is a round trip).
    RowIdRows(std::vector<std::int64_t> ids, RowFetcher fetch, size_t batch);

    long long size() const override { return static_cast<long long>(ids_.size()); }
    const std::vector<std::string>& row(long long index) override;

    std::int64_t rowId(long long index) const { return ids_[static_cast<size_t>(index)]; }
    void append(std::int64_t id);
    void erase(long long index);
    /// Forgets a fetched row so that the next read sees the stored one.
    void forget(long long index);

private:
    std::vector<std::int64_t> ids_;
    RowFetcher fetch_;
    size_t batch_ = 1;
    std::unordered_map<long long, std::vector<std::string>> cache_;
};

/// Rows read completely when the dataset opens: for results that are not rows of one table
/// (groupings, joins); such results are small.
class MaterializedRows : public RowSource {
public:
    explicit MaterializedRows(std::vector<std::vector<std::string>> rows)
        : rows_(std::move(rows)) {}
    long long size() const override { return static_cast<long long>(rows_.size()); }
    const std::vector<std::string>& row(long long index) override {
        return rows_[static_cast<size_t>(index)];
    }

private:
    std::vector<std::vector<std::string>> rows_;
};

} // namespace wk::engine
