#include "engine/search/SearchFeature.h"

#include "engine/search/IndexStorage.h"
#include "engine/search/SearchIndex.h"
#include "engine/search/SearchIndexCheck.h"
#include "engine/storage/TableFeature.h"

namespace wk::engine::search {
namespace {

class Build : public tablefile::FeatureBuild {
public:
    Build(SqliteDb& db, const std::string& schema, size_t fieldCount,
          const std::vector<bool>& searched)
        : builder_(db, fieldCount, schema, searched) {}
    void add(std::int64_t rowId, const std::vector<std::string>& values) override {
        builder_.add(rowId, values);
    }
    void finish() override { builder_.finish(); }

private:
    IndexBuilder builder_;
};

// A sentence for one difference between the stored index and the records.
std::string describe(const IndexDifference& d, tablefile::CheckedTable& table) {
    using Kind = IndexDifference::Kind;
    const std::string record = table.record(d.rowId);
    const bool inTable = table.recordNumber(d.rowId).has_value();
    const std::string field = table.field(d.field);
    switch (d.kind) {
    case Kind::Missing:
    case Kind::Extra:
    case Kind::Field:
        if (!inTable)
            return "the search index holds " + record +
                   (d.kind == Kind::Field ? ", in " + field : "");
        if (d.kind == Kind::Field)
            return record + ", " + field + ", does not match the search index";
        return record + " is missing from the search index";
    case Kind::Damaged:
        if (d.rowId < 0)
            return std::string("the search index holds a part for row ids it cannot hold") +
                   (d.field < 0 ? "" : ", in " + field);
        return "the search index is damaged at row ids " + std::to_string(d.rowId) + " to " +
               std::to_string(d.rowId + kBlockRows - 1) + (d.field < 0 ? "" : ", " + field);
    case Kind::Unindexable:
        break;
    }
    return "the search index is marked in step, but the table can have none";
}

class SearchIndexFeature : public tablefile::Feature {
public:
    std::string name() const override { return "search index"; }
    std::string withoutIt() const override { return "searches read the records"; }
    std::string stateKey() const override { return storage::kStateKey; }
    std::string triggerPrefix() const override { return "wk_search_retire_"; }
    std::vector<std::pair<std::string, std::string>> tables() const override {
        return {{"wk_search_blocks",
                 "CREATE TABLE wk_search_blocks (block INTEGER PRIMARY KEY, rows BLOB NOT NULL)"},
                {"wk_search_postings",
                 "CREATE TABLE wk_search_postings (key INTEGER PRIMARY KEY, rows BLOB NOT NULL)"},
                {"wk_search_texts",
                 "CREATE TABLE wk_search_texts (key INTEGER PRIMARY KEY, texts BLOB NOT NULL)"}};
    }
    std::optional<std::vector<std::string>> tablesInStep(const std::string& state) const override {
        std::vector<std::string> read = {"wk_search_blocks", "wk_search_postings"};
        if (state == storage::kWithTexts)
            read.emplace_back("wk_search_texts");
        else if (state != storage::kGramsOnly)
            return std::nullopt;
        return read;
    }
    bool appliesTo(const std::vector<std::string>&) const override { return true; }
    std::unique_ptr<tablefile::FeatureBuild>
    build(SqliteDb& db, const std::string& schema, const std::vector<std::string>& fields,
          const std::vector<bool>& searched) const override {
        return std::make_unique<Build>(db, schema, fields.size(), searched);
    }
    bool rebuild(SqliteDb& db, const std::string& schema,
                 const std::vector<std::string>& fields) const override {
        return rebuildIndex(db, schema, fields.size());
    }
    size_t compare(const SqliteDb& db, const std::string& schema, tablefile::CheckedTable& table,
                   const std::function<void(const std::string&)>& report) const override {
        return compareIndex(db, schema, table.fields().size(),
                            [&](const IndexDifference& d) { report(describe(d, table)); });
    }
};

const SearchIndexFeature kFeature;
[[maybe_unused]] const bool kRegistered = (tablefile::registerFeature(kFeature), true);

} // namespace

const tablefile::Feature& searchIndexFeature() {
    return kFeature;
}

} // namespace wk::engine::search

// Named on the linker's command line (src/engine/CMakeLists.txt), so that every program that
// links the engine has the search index registered, including one that uses no search itself.
extern "C" {
extern const int wk_engine_search_feature;
const int wk_engine_search_feature = 1;
}
