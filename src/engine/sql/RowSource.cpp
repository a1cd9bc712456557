#include "engine/sql/RowSource.h"

#include "engine/base/EngineError.h"

#include <algorithm>

namespace wk::engine {
namespace {
constexpr size_t kMaxCachedRows = 1024;
}

RowIdRows::RowIdRows(std::vector<std::int64_t> ids, std::unique_ptr<SqliteStatement> fetch)
    : ids_(std::move(ids)) {
    std::shared_ptr<SqliteStatement> st(std::move(fetch));
    fetch_ = [st](const std::vector<std::int64_t>& wanted) {
        std::vector<std::vector<std::string>> out;
        for (std::int64_t id : wanted) {
            st->reset();
            st->bind(1, id);
            std::vector<std::string> values;
            if (st->step()) {
                values.reserve(static_cast<size_t>(st->columnCount()));
                for (int c = 0; c < st->columnCount(); ++c)
                    values.push_back(st->columnText(c));
            } else {
                // Deleted by another program since the dataset opened: shown as a blank row.
                values.assign(static_cast<size_t>(st->columnCount()), std::string());
            }
            st->reset();
            out.push_back(std::move(values));
        }
        return out;
    };
}

RowIdRows::RowIdRows(std::vector<std::int64_t> ids, RowFetcher fetch, size_t batch)
    : ids_(std::move(ids)), fetch_(std::move(fetch)), batch_(std::max<size_t>(batch, 1)) {
}

const std::vector<std::string>& RowIdRows::row(long long index) {
    if (auto it = cache_.find(index); it != cache_.end())
        return it->second;
    if (cache_.size() + batch_ > kMaxCachedRows)
        cache_.clear();
    std::vector<long long> at;
    std::vector<std::int64_t> wanted;
    for (long long i = index; i < size() && wanted.size() < batch_; ++i)
        if (i == index || !cache_.count(i)) {
            at.push_back(i);
            wanted.push_back(ids_[static_cast<size_t>(i)]);
        }
    std::vector<std::vector<std::string>> rows = fetch_(wanted);
    if (rows.size() != wanted.size())
        throw EngineError(ErrorCode::General, "A row could not be read");
    for (size_t k = 0; k < at.size(); ++k)
        cache_[at[k]] = std::move(rows[k]);
    return cache_.at(index);
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
