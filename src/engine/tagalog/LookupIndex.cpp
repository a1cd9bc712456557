#include "engine/tagalog/LookupIndex.h"

#include "engine/base/AsciiText.h"
#include "engine/base/EngineError.h"
#include "engine/base/Sqlite.h"
#include "engine/base/Transaction.h"
#include "engine/storage/TableFeature.h"
#include "engine/storage/TableFiles.h"
#include "engine/tagalog/LookupFeature.h"
#include "engine/tagalog/Spelling.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>

namespace wk::engine::tagalog {
namespace {

std::string in(const std::string& schema, const char* table) {
    return quoteIdentifier(schema) + "." + table;
}

// The record columns of the key fields in `fields`, or empty when one is missing.
std::vector<std::string> keyColumns(const std::vector<std::string>& fields) {
    std::vector<std::string> columns;
    for (const char* wanted : kKeyFields) {
        const auto it = std::find_if(fields.begin(), fields.end(), [&](const std::string& f) {
            return equalsIgnoreCase(f, wanted);
        });
        if (it == fields.end())
            return {};
        columns.push_back(quoteIdentifier(*it));
    }
    return columns;
}

std::vector<std::string> fieldsOf(const SqliteDb& db, const std::string& schema) {
    SqliteStatement cols(db, "SELECT name FROM pragma_table_info('records', ?1) ORDER BY cid",
                         "Reading the fields of the table");
    cols.bindTextOrNull(1, schema);
    std::vector<std::string> fields;
    while (cols.step())
        fields.push_back(cols.columnText(0));
    return fields;
}

// Reads every record's key fields and hands each key to `add`.
void forEachKey(const SqliteDb& db, const std::string& schema,
                const std::vector<std::string>& columns,
                const std::function<void(KeyKind, const std::string&, std::int64_t)>& add) {
    std::string sql = "SELECT rowid";
    for (const std::string& c : columns)
        sql += ", " + c;
    SqliteStatement read(db, sql + " FROM " + in(schema, "records"), "Reading the dictionary");
    while (read.step()) {
        const std::int64_t row = read.columnInt(0);
        const std::string head = plainSpelling(read.columnTextView(1));
        if (!head.empty()) {
            add(KeyKind::Headword, head, row);
            const std::string loose = looseSpelling(head);
            if (loose != head)
                add(KeyKind::LooseHeadword, loose, row);
        }
        for (int c : {2, 3}) {
            const std::string form = plainSpelling(read.columnTextView(c));
            if (!form.empty())
                add(KeyKind::VerbForm, form, row);
        }
        for (const std::string& word : englishWords(read.columnTextView(4)))
            add(KeyKind::EnglishWord, word, row);
    }
}

// The smallest text greater than every text that begins with `prefix`.
std::string pastPrefix(const std::string& prefix) {
    return prefix + "\xF4\x8F\xBF\xBF\xFF";
}

} // namespace

bool buildLookupIndex(SqliteDb& db, const std::string& schema) {
    const std::vector<std::string> columns = keyColumns(fieldsOf(db, schema));
    if (columns.empty())
        return false;
    Savepoint savepoint(db, "wk_lookup_build", "Writing the lookup keys");
    {
        const tablefile::Feature& feature = lookupKeysFeature();
        tablefile::drop(db, schema, feature);
        tablefile::createTables(db, schema, feature);
        tablefile::writeRetireTriggers(db, schema, feature);
        SqliteStatement insert(
            db, "INSERT OR IGNORE INTO " + in(schema, "wk_lookup") + " VALUES (?1, ?2, ?3)",
            "Writing the lookup keys");
        forEachKey(db, schema, columns,
                   [&](KeyKind kind, const std::string& key, std::int64_t row) {
                       insert.bindTextOrNull(1, key);
                       insert.bind(2, static_cast<int>(kind));
                       insert.bind(3, row);
                       insert.run();
                       insert.reset();
                   });
        tablefile::setInfo(db, schema, kStateKey, kInStep);
    }
    savepoint.release();
    return true;
}

bool lookupIndexInStep(const SqliteDb& db, const std::string& schema) {
    return tablefile::inStep(db, schema, lookupKeysFeature());
}

void retireLookupIndex(SqliteDb& db, const std::string& schema) {
    tablefile::retire(db, schema, lookupKeysFeature());
}

size_t compareLookupIndex(const SqliteDb& db, const std::string& schema,
                          const std::function<void(const LookupDifference&)>& report) {
    const std::vector<std::string> columns = keyColumns(fieldsOf(db, schema));
    if (columns.empty())
        throw EngineError(ErrorCode::InvalidArgument,
                          "The table is not a dictionary: it has no lookup keys");
    std::vector<std::tuple<int, std::string, std::int64_t>> records;
    forEachKey(db, schema, columns, [&](KeyKind kind, const std::string& key, std::int64_t row) {
        records.emplace_back(static_cast<int>(kind), key, row);
    });
    std::sort(records.begin(), records.end());
    records.erase(std::unique(records.begin(), records.end()), records.end());
    // Both in the order of kind, key (bytewise, as SQLite's BINARY collation) and row.
    SqliteStatement stored(
        db, "SELECT kind, key, row FROM " + in(schema, "wk_lookup") + " ORDER BY kind, key, row",
        "Reading the lookup keys");
    size_t differences = 0;
    auto differ = [&](const std::tuple<int, std::string, std::int64_t>& k, bool missing) {
        ++differences;
        report({static_cast<KeyKind>(std::get<0>(k)), std::get<1>(k), std::get<2>(k), missing});
    };
    auto next = records.begin();
    while (stored.step()) {
        const std::tuple<int, std::string, std::int64_t> k{
            static_cast<int>(stored.columnInt(0)), stored.columnText(1), stored.columnInt(2)};
        for (; next != records.end() && *next < k; ++next)
            differ(*next, true);
        if (next != records.end() && *next == k)
            ++next;
        else
            differ(k, false);
    }
    for (; next != records.end(); ++next)
        differ(*next, true);
    return differences;
}

LookupKeys::LookupKeys(TableFiles& db, const FileTable& table) : db_(db), schema_(table.schema) {
    const std::vector<std::string> columns = keyColumns(table.fields);
    if (columns.empty())
        throw EngineError(ErrorCode::InvalidArgument,
                          "Table '" + table.name +
                              "' is not a dictionary: it needs the fields "
                              "Tagalo, ActiveVerb, PassiveVerb and English");
    SqliteDb& c = db.connection();
    fromIndex_ = lookupIndexInStep(c, schema_);
    if (fromIndex_)
        return;
    forEachKey(c, schema_, columns, [&](KeyKind kind, const std::string& key, std::int64_t row) {
        memory_.emplace_back(static_cast<int>(kind), key, row);
    });
    std::sort(memory_.begin(), memory_.end());
    memory_.erase(std::unique(memory_.begin(), memory_.end()), memory_.end());
}

std::vector<std::int64_t> LookupKeys::rows(KeyKind kind, const std::string& key) const {
    std::vector<std::int64_t> out;
    if (fromIndex_) {
        SqliteStatement st(db_.connection(),
                           "SELECT row FROM " + in(schema_, "wk_lookup") +
                               " WHERE key = ?1 AND kind = ?2 ORDER BY row",
                           "Reading the lookup keys");
        st.bindTextOrNull(1, key);
        st.bind(2, static_cast<int>(kind));
        while (st.step())
            out.push_back(st.columnInt(0));
        return out;
    }
    const int k = static_cast<int>(kind);
    for (auto it = std::lower_bound(memory_.begin(), memory_.end(), Key{k, key, INT64_MIN});
         it != memory_.end() && std::get<0>(*it) == k && std::get<1>(*it) == key; ++it)
        out.push_back(std::get<2>(*it));
    return out;
}

bool LookupKeys::has(KeyKind kind, const std::string& key) const {
    if (key.empty())
        return false;
    if (fromIndex_) {
        SqliteStatement st(db_.connection(),
                           "SELECT 1 FROM " + in(schema_, "wk_lookup") +
                               " WHERE key = ?1 AND kind = ?2 LIMIT 1",
                           "Reading the lookup keys");
        st.bindTextOrNull(1, key);
        st.bind(2, static_cast<int>(kind));
        return st.step();
    }
    const int k = static_cast<int>(kind);
    const auto it = std::lower_bound(memory_.begin(), memory_.end(), Key{k, key, INT64_MIN});
    return it != memory_.end() && std::get<0>(*it) == k && std::get<1>(*it) == key;
}

std::vector<std::int64_t> LookupKeys::rowsWithPrefix(KeyKind kind, const std::string& prefix,
                                                     size_t limit) const {
    std::vector<std::int64_t> out;
    if (fromIndex_) {
        SqliteStatement st(db_.connection(),
                           "SELECT row FROM " + in(schema_, "wk_lookup") +
                               " WHERE key > ?1 AND key < ?2 AND kind = ?3 ORDER BY row LIMIT ?4",
                           "Reading the lookup keys");
        st.bindTextOrNull(1, prefix);
        st.bindTextOrNull(2, pastPrefix(prefix));
        st.bind(3, static_cast<int>(kind));
        st.bind(4, static_cast<std::int64_t>(limit));
        while (st.step())
            out.push_back(st.columnInt(0));
        return out;
    }
    const int k = static_cast<int>(kind);
    for (auto it = std::upper_bound(memory_.begin(), memory_.end(), Key{k, prefix, INT64_MAX});
         it != memory_.end() && std::get<0>(*it) == k &&
         std::get<1>(*it).compare(0, prefix.size(), prefix) == 0;
         ++it)
        out.push_back(std::get<2>(*it));
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    if (out.size() > limit)
        out.resize(limit);
    return out;
}

} // namespace wk::engine::tagalog
