#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace wk::engine {
class SqliteDb;
class TableFiles;
struct FileTable;
} // namespace wk::engine

/// The keys under which the learner's lookup finds entries of a dictionary table (a table with
/// the fields Tagalo, ActiveVerb, PassiveVerb and English): each headword in its plain spelling
/// (Spelling.h) and, where that holds ñ, in its loose one; each verb form; each word of the
/// English meaning.
///
/// A table file can keep these keys in `wk_lookup`, made at import and marked in step in
/// `wk_table_info` (entry `lookup_index`); triggers in the file retire the mark on every change of
/// the records, as for the search index. Without keys in step the lookup reads every record once
/// and keeps the keys in memory: slower, with the same answers.
namespace wk::engine::tagalog {

/// What a key stands for.
enum class KeyKind { Headword = 0, LooseHeadword = 1, VerbForm = 2, EnglishWord = 3 };

/// The dictionary's fields the keys come from, in this order.
inline constexpr const char* kKeyFields[] = {"Tagalo", "ActiveVerb", "PassiveVerb", "English"};

/// Makes the keys of the dictionary table attached as `schema` anew, in one transaction (or inside
/// the caller's), and marks them in step. Returns false, changing nothing, when the table lacks
/// one of the fields. Raises EngineError when the file cannot be written.
bool buildLookupIndex(SqliteDb& db, const std::string& schema);

/// True when the table attached as `schema` has keys in step with its records.
bool lookupIndexInStep(const SqliteDb& db, const std::string& schema);

/// Marks the keys of the table attached as `schema` not in step, so that lookups read the records
/// until the keys are made anew.
void retireLookupIndex(SqliteDb& db, const std::string& schema);

/// A key on which the stored keys and the records disagree.
struct LookupDifference {
    KeyKind kind = KeyKind::Headword;
    std::string key;
    std::int64_t rowId = 0;
    bool missing = false; ///< the record has the key and the file lacks it; else the reverse
};

/// Compares the stored keys of the dictionary table attached as `schema` with the keys of its
/// records, calling `report` for every difference in the order of kind, key and row. Returns the
/// number of differences. Raises EngineError when the table lacks the dictionary's fields or the
/// file cannot be read.
size_t compareLookupIndex(const SqliteDb& db, const std::string& schema,
                          const std::function<void(const LookupDifference&)>& report);

/// The keys of one dictionary table, from its file when they are in step there, otherwise read
/// from its records. Raises EngineError when the table lacks the dictionary's fields.
class LookupKeys {
public:
    LookupKeys(TableFiles& db, const FileTable& table);

    /// Whether the keys come from the file (true) or were read from the records.
    bool fromIndex() const { return fromIndex_; }

    /// The rows holding `key` of `kind`, in table order.
    std::vector<std::int64_t> rows(KeyKind kind, const std::string& key) const;
    /// Whether some row holds `key` of `kind`.
    bool has(KeyKind kind, const std::string& key) const;
    /// The first `limit` rows, in table order, holding a key of `kind` that begins with `prefix`
    /// (and is longer than it).
    std::vector<std::int64_t> rowsWithPrefix(KeyKind kind, const std::string& prefix,
                                             size_t limit) const;

private:
    using Key = std::tuple<int, std::string, std::int64_t>; // kind, key, row

    TableFiles& db_;
    std::string schema_;
    bool fromIndex_ = false;
    std::vector<Key> memory_; // sorted; used when the file has no keys in step
};

} // namespace wk::engine::tagalog
