#include "engine/sql/RowSource.h"

#include "engine/EngineError.h"

namespace wk::engine {
namespace {
constexpr size_t kMaxCachedRows = 1024;
}

RowIdRows::RowIdRows(std::vector<std::int64_t> ids, std::unique_ptr<SqliteStatement> fetch)
    : ids_(std::move(ids)), fetch_(std::move(fetch)) {
}

const std::vector<std::string>& RowIdRows::row(long long index) {
    if (auto it = cache_.find(index); it != cache_.end())
        return it->second;
    if (cache_.size() >= kMaxCachedRows)
        cache_.clear();
    fetch_->reset();
    fetch_->bind(1, ids_[static_cast<size_t>(index)]);
    std::vector<std::string> values;
    if (fetch_->step()) {
        values.reserve(static_cast<size_t>(fetch_->columnCount()));
        for (int c = 0; c < fetch_->columnCount(); ++c)
            values.push_back(fetch_->columnText(c));
    } else {
        // Deleted by another program since the dataset opened: shown as a blank row.
        values.assign(static_cast<size_t>(fetch_->columnCount()), std::string());
    }
    fetch_->reset();
    return cache_.emplace(index, std::move(values)).first->second;
}

void RowIdRows::append(std::int64_t id) {
    ids_.push_back(id);
}

void RowIdRows::erase(long long index) {
    ids_.erase(ids_.begin() + index);
    cache_.clear();
}

void RowIdRows::forget(long long index) {
    cache_.erase(index);
}

} // namespace wk::engine
