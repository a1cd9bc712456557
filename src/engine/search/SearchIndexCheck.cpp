#include "engine/search/SearchIndexCheck.h"

#include "engine/base/Sqlite.h"
#include "engine/base/Transaction.h"
#include "engine/search/IndexStorage.h"
#include "engine/search/SearchIndex.h"
#include "engine/storage/TableFeature.h"

#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <tuple>
#include <vector>

namespace wk::engine::search {
namespace {

using Kind = IndexDifference::Kind;

using storage::in;

// Steps two statements whose rows come in ascending order of an integer in column 0, with a
// stored set in column 1, side by side: `visit(key, stored, fresh)` for every key of either, with
// no set on the side that lacks the key.
template <typename Visit>
void sideBySide(SqliteStatement& stored, SqliteStatement& fresh, Visit&& visit) {
    using Set = std::optional<std::string_view>;
    bool moreStored = stored.step();
    bool moreFresh = fresh.step();
    while (moreStored || moreFresh) {
        const bool takeStored =
            moreStored && (!moreFresh || stored.columnInt(0) <= fresh.columnInt(0));
        const bool takeFresh =
            moreFresh && (!moreStored || fresh.columnInt(0) <= stored.columnInt(0));
        visit(takeStored ? stored.columnInt(0) : fresh.columnInt(0),
              takeStored ? Set(stored.columnBlob(1)) : Set(),
              takeFresh ? Set(fresh.columnBlob(1)) : Set());
        if (takeStored)
            moreStored = stored.step();
        if (takeFresh)
            moreFresh = fresh.step();
    }
}

// Steps the index table `table` (key column `key`, stored value `value`) of the file attached
// as `schema` side by side with the same table built afresh in `fresh` (see sideBySide).
template <typename Visit>
void compareTable(const SqliteDb& db, const std::string& schema, const SqliteDb& fresh,
                  const char* table, const char* key, const char* value, Visit&& visit) {
    const std::string columns = std::string("SELECT ") + key + ", " + value + " FROM ";
    const std::string order = std::string(" ORDER BY ") + key;
    SqliteStatement stored(db, columns + in(schema, table) + order, "Reading the search index");
    SqliteStatement built(fresh, columns + table + order, "Reading the search index");
    sideBySide(stored, built, visit);
}

// The positions held by one set and not the other; false when the stored set cannot be read.
bool differing(std::optional<std::string_view> stored, std::optional<std::string_view> fresh,
               BlockBits& onlyStored, BlockBits& onlyFresh) {
    onlyStored.clear();
    onlyFresh.clear();
    if (stored && !decodePositions(*stored, onlyStored))
        return false;
    if (fresh && !decodePositions(*fresh, onlyFresh))
        return false;
    const BlockBits both = [&] {
        BlockBits b = onlyStored;
        b &= onlyFresh;
        return b;
    }();
    onlyStored.remove(both);
    onlyFresh.remove(both);
    return true;
}

// Builds the index of the table in `schema` of `db` into `fresh`, with the builder imports use.
// The builder puts its triggers on `records` and its mark in `wk_table_info`, as in a table file.
// Fields holding an empty text that is not NULL, which the index has no way to hold, go into
// `found`.
void buildAfresh(const SqliteDb& db, const std::string& schema, size_t fieldCount, SqliteDb& fresh,
                 std::set<std::tuple<std::int64_t, int, Kind>>& found) {
    fresh.exec(std::string("PRAGMA journal_mode = OFF; CREATE TABLE records (x); ") +
                   tablefile::infoTableSql(),
               "Building the search index for a comparison");
    Transaction building(fresh, "Building the search index for a comparison");
    IndexBuilder builder(fresh, fieldCount, "main", indexedFields(db, schema, fieldCount));
    SqliteStatement read(db, "SELECT rowid, * FROM " + in(schema, "records") + " ORDER BY rowid",
                         "Reading the records");
    std::vector<std::string> values(fieldCount);
    while (read.step()) {
        const std::int64_t rowId = read.columnInt(0);
        for (size_t f = 0; f < fieldCount; ++f) {
            const int c = static_cast<int>(f + 1);
            values[f] = read.columnText(c);
            if (values[f].empty() && !read.columnIsNull(c))
                found.emplace(rowId, static_cast<int>(f), Kind::Field);
        }
        builder.add(rowId, values);
    }
    builder.finish();
    building.commit();
}

} // namespace

size_t compareIndex(const SqliteDb& db, const std::string& schema, size_t fieldCount,
                    const std::function<void(const IndexDifference&)>& report) {
    // row id, field, kind: in the order they are reported.
    std::set<std::tuple<std::int64_t, int, Kind>> found;

    // The index as an import makes it, in a database of its own that SQLite keeps in a temporary
    // file once it outgrows its cache.
    SqliteDb fresh("", SqliteDb::Mode::ReadWriteCreate);
    buildAfresh(db, schema, fieldCount, fresh, found);
    if (!indexInStep(fresh, "main")) {
        report({Kind::Unindexable, 0, -1});
        return 1;
    }

    BlockBits onlyStored, onlyFresh;
    std::set<std::int64_t> wholeRecords; // missing or extra
    {
        compareTable(db, schema, fresh, "wk_search_blocks", "block", "rows",
                     [&](std::int64_t block, auto s, auto f) {
                         if (!storage::indexableBlock(block)) {
                             found.emplace(-1, -1, Kind::Damaged);
                             return;
                         }
                         if (!differing(s, f, onlyStored, onlyFresh)) {
                             found.emplace(rowIdOf(block, 0), -1, Kind::Damaged);
                             return;
                         }
                         onlyFresh.forEach([&](unsigned p) {
                             found.emplace(rowIdOf(block, p), -1, Kind::Missing);
                             wholeRecords.insert(rowIdOf(block, p));
                         });
                         onlyStored.forEach([&](unsigned p) {
                             found.emplace(rowIdOf(block, p), -1, Kind::Extra);
                             wholeRecords.insert(rowIdOf(block, p));
                         });
                     });
    }
    {
        // The key of a stored set is block << 40 | field << 32 | gram.
        compareTable(db, schema, fresh, "wk_search_postings", "key", "rows",
                     [&](std::int64_t key, auto s, auto f) {
                         const std::int64_t block = key >> 40;
                         const int field = static_cast<int>((key >> 32) & 0xFF);
                         if (!storage::indexableBlock(block)) {
                             found.emplace(-1, field, Kind::Damaged);
                             return;
                         }
                         if (!differing(s, f, onlyStored, onlyFresh)) {
                             found.emplace(rowIdOf(block, 0), field, Kind::Damaged);
                             return;
                         }
                         onlyStored |= onlyFresh;
                         onlyStored.forEach([&](unsigned p) {
                             if (!wholeRecords.contains(rowIdOf(block, p)))
                                 found.emplace(rowIdOf(block, p), field, Kind::Field);
                         });
                     });
    }
    if (indexState(db, schema) == IndexState::GramsAndTexts) {
        // The key of a chunk's texts is chunk << 8 | field; positions are counted in the block.
        compareTable(db, schema, fresh, "wk_search_texts", "key", "texts",
                     [&](std::int64_t key, auto s, auto f) {
                         const int field = static_cast<int>(key & 0xFF);
                         const std::int64_t chunk = key >> 8;
                         if (!storage::indexableChunk(chunk)) {
                             found.emplace(-1, field, Kind::Damaged);
                             return;
                         }
                         const std::int64_t block = blockOf(chunk << storage::kChunkShift);
                         std::map<std::uint16_t, std::string_view> was, is;
                         auto read = [](std::optional<std::string_view> texts, auto& into) {
                             return !texts ||
                                    forEachText(*texts, [&](std::uint16_t p, std::string_view t) {
                                        into.emplace(p, t);
                                    });
                         };
                         if (!read(s, was) || !read(f, is)) {
                             found.emplace(rowIdOf(block, 0), field, Kind::Damaged);
                             return;
                         }
                         auto differs = [&](std::uint16_t p) {
                             if (!wholeRecords.contains(rowIdOf(block, p)))
                                 found.emplace(rowIdOf(block, p), field, Kind::Field);
                         };
                         for (const auto& [p, t] : was)
                             if (auto other = is.find(p); other == is.end() || other->second != t)
                                 differs(p);
                         for (const auto& [p, t] : is)
                             if (!was.contains(p))
                                 differs(p);
                     });
    }
    for (const auto& [rowId, field, kind] : found)
        report({kind, rowId, field});
    return found.size();
}

} // namespace wk::engine::search
