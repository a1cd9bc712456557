#include "engine/search/SearchIndex.h"

#include "engine/base/EngineError.h"
#include "engine/base/Sqlite.h"
#include "engine/search/BlockTexts.h"
#include "engine/search/IndexStorage.h"
#include "engine/storage/TableFeature.h"

#include <algorithm>
#include <iterator>

// Keeping the search index in step with one change of a record (RecordChange in SearchIndex.h).
namespace wk::engine::search {
using namespace storage;

RecordChange::RecordChange(SqliteDb& db, std::string schema, std::optional<std::int64_t> rowId)
    : db_(db), schema_(std::move(schema)), savepoint_(db, "wk_record_change", "Making a change") {
    {
        // The write lock comes first, so that another program's change is waited for.
        tablefile::takeWriteLock(db_, schema_);
        state_ = indexState(db_, schema_);
        if (state_ != IndexState::NotInStep && rowId)
            before_ = readRecord(*rowId);
        if (state_ != IndexState::NotInStep) {
            SqliteStatement count(db_, "SELECT count(*) FROM pragma_table_info('records', ?1)",
                                  "Reading the fields");
            count.bindTextOrNull(1, schema_);
            count.step();
            try {
                indexed_ = indexedFields(db_, schema_, static_cast<size_t>(count.columnInt(0)));
            } catch (const EngineError& e) {
                if (e.code() != ErrorCode::Corrupt)
                    throw;
                // A damaged list of the indexed fields: the index is left as the change's
                // triggers mark it, retired, rather than failing the change.
                state_ = IndexState::NotInStep;
            }
        }
    }
}

// Without a commit, the savepoint undoes the change.
RecordChange::~RecordChange() = default;

std::optional<RecordChange::Values> RecordChange::readRecord(std::int64_t rowId) const {
    SqliteStatement st(db_, "SELECT * FROM " + in(schema_, "records") + " WHERE rowid = ?1",
                       "Reading a record");
    st.bind(1, rowId);
    if (!st.step())
        return std::nullopt;
    Values values;
    for (int c = 0; c < st.columnCount(); ++c) {
        if (st.columnIsNull(c))
            values.emplace_back();
        else
            values.emplace_back(st.columnText(c));
    }
    return values;
}

void RecordChange::commit(std::int64_t rowId) {
    if (state_ != IndexState::NotInStep) {
        try {
            apply(rowId, readRecord(rowId));
            const char* inStep = state_ == IndexState::GramsAndTexts ? kWithTexts : kGramsOnly;
            db_.exec("UPDATE " + in(schema_, "wk_table_info") + " SET value = '" + inStep +
                         "' WHERE key = '" + kStateKey + "'",
                     "Writing the search index");
        } catch (const EngineError& e) {
            if (e.code() != ErrorCode::Corrupt)
                throw;
            // A damaged index is retired: searches read the records instead.
            retireIndex(db_, schema_);
        }
    }
    savepoint_.release();
}

void RecordChange::apply(std::int64_t rowId, const std::optional<Values>& after) {
    if (!indexable(rowId))
        throw damaged();
    const std::int64_t block = blockOf(rowId);
    const std::uint16_t position = positionOf(rowId);
    SqliteStatement read(
        db_, "SELECT rows FROM " + in(schema_, "wk_search_postings") + " WHERE key = ?1",
        "Reading the search index");
    SqliteStatement write(
        db_, "INSERT OR REPLACE INTO " + in(schema_, "wk_search_postings") + " VALUES (?1, ?2)",
        "Writing the search index");
    SqliteStatement erase(db_,
                          "DELETE FROM " + in(schema_, "wk_search_postings") + " WHERE key = ?1",
                          "Writing the search index");
    auto change = [&](size_t field, Gram gram, bool present) {
        const std::int64_t key = postingKey(block, field, gram);
        read.reset();
        read.bind(1, key);
        std::string stored = read.step() ? std::string(read.columnBlob(0)) : std::string();
        read.reset();
        if (!changePosition(stored, position, present))
            throw damaged();
        SqliteStatement& st = stored.empty() ? erase : write;
        st.reset();
        st.bind(1, key);
        if (!stored.empty())
            st.bindBlob(2, stored);
        st.run();
    };
    // The searchable text of a field that the index covers; none for NULL.
    auto textOf = [&](const Values* values, size_t field) -> std::optional<std::string> {
        if (!values || field >= values->size() || !(*values)[field] || field >= indexed_.size() ||
            !indexed_[field])
            return std::nullopt;
        return searchableText(*(*values)[field]);
    };
    auto gramsOfValue = [&](const Values* values, size_t field) {
        const std::optional<std::string> text = textOf(values, field);
        return text ? gramsOf(*text) : std::vector<Gram>();
    };
    const Values* old = before_ ? &*before_ : nullptr;
    const Values* now = after ? &*after : nullptr;
    const size_t fields = std::max(old ? old->size() : 0, now ? now->size() : 0);
    for (size_t f = 0; f < fields; ++f) {
        const std::vector<Gram> was = gramsOfValue(old, f);
        const std::vector<Gram> is = gramsOfValue(now, f);
        std::vector<Gram> gone, added;
        std::set_difference(was.begin(), was.end(), is.begin(), is.end(), std::back_inserter(gone));
        std::set_difference(is.begin(), is.end(), was.begin(), was.end(),
                            std::back_inserter(added));
        for (Gram g : gone)
            change(f, g, false);
        for (Gram g : added)
            change(f, g, true);
        if (state_ == IndexState::GramsAndTexts)
            changeTexts(chunkOf(rowId), f, position, textOf(now, f), textOf(old, f));
    }
    if (static_cast<bool>(old) != static_cast<bool>(now)) {
        SqliteStatement readBlock(
            db_, "SELECT rows FROM " + in(schema_, "wk_search_blocks") + " WHERE block = ?1",
            "Reading the search index");
        readBlock.bind(1, block);
        std::string stored = readBlock.step() ? std::string(readBlock.columnBlob(0)) : "";
        readBlock.reset();
        if (!changePosition(stored, position, static_cast<bool>(now)))
            throw damaged();
        SqliteStatement st(
            db_,
            stored.empty()
                ? "DELETE FROM " + in(schema_, "wk_search_blocks") + " WHERE block = ?1"
                : "INSERT OR REPLACE INTO " + in(schema_, "wk_search_blocks") + " VALUES (?1, ?2)",
            "Writing the search index");
        st.bind(1, block);
        if (!stored.empty())
            st.bindBlob(2, stored);
        st.run();
    }
}

void RecordChange::changeTexts(std::int64_t chunk, size_t field, std::uint16_t position,
                               const std::optional<std::string>& now,
                               const std::optional<std::string>& was) {
    if (now == was)
        return;
    const std::int64_t key = textsKey(chunk, field);
    SqliteStatement read(db_,
                         "SELECT texts FROM " + in(schema_, "wk_search_texts") + " WHERE key = ?1",
                         "Reading the search index");
    read.bind(1, key);
    std::string stored = read.step() ? std::string(read.columnBlob(0)) : std::string();
    read.reset();
    if (!changeText(stored, position, now ? std::optional<std::string_view>(*now) : std::nullopt))
        throw damaged();
    SqliteStatement write(db_,
                          stored.empty()
                              ? "DELETE FROM " + in(schema_, "wk_search_texts") + " WHERE key = ?1"
                              : "INSERT OR REPLACE INTO " + in(schema_, "wk_search_texts") +
                                    " VALUES (?1, ?2)",
                          "Writing the search index");
    write.bind(1, key);
    if (!stored.empty())
        write.bindBlob(2, stored);
    write.run();
}

} // namespace wk::engine::search
