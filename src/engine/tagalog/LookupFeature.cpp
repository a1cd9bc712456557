#include "engine/tagalog/LookupFeature.h"

#include "engine/base/AsciiText.h"
#include "engine/storage/TableFeature.h"
#include "engine/tagalog/LookupIndex.h"

#include <algorithm>

namespace wk::engine::tagalog {
namespace {

// The keys are read from the records once they are all written.
class Build : public tablefile::FeatureBuild {
public:
    Build(SqliteDb& db, std::string schema) : db_(db), schema_(std::move(schema)) {}
    void add(std::int64_t, const std::vector<std::string>&) override {}
    void finish() override { buildLookupIndex(db_, schema_); }

private:
    SqliteDb& db_;
    std::string schema_;
};

std::string describe(const LookupDifference& d, tablefile::CheckedTable& table) {
    static const char* kinds[] = {"headword", "headword with n for ñ", "verb form", "English word"};
    const auto k = static_cast<size_t>(d.kind);
    const std::string what =
        "'" + d.key + "' (" + (k < std::size(kinds) ? kinds[k] : "kind " + std::to_string(k)) + ")";
    const std::string record = table.record(d.rowId);
    if (!table.recordNumber(d.rowId))
        return "the lookup keys hold " + what + " for " + record;
    if (d.missing)
        return "the lookup keys lack " + what + " of " + record;
    return "the lookup keys hold " + what + " for " + record + ", which does not have it";
}

bool isDictionary(const std::vector<std::string>& fields) {
    return std::all_of(std::begin(kKeyFields), std::end(kKeyFields), [&](const char* wanted) {
        return std::any_of(fields.begin(), fields.end(),
                           [&](const std::string& f) { return equalsIgnoreCase(f, wanted); });
    });
}

class LookupKeysFeature : public tablefile::Feature {
public:
    std::string name() const override { return "lookup keys"; }
    bool namedInPlural() const override { return true; }
    std::string withoutIt() const override { return "lookups read the records"; }
    std::string stateKey() const override { return kStateKey; }
    std::string triggerPrefix() const override { return "wk_lookup_retire_"; }
    std::vector<std::pair<std::string, std::string>> tables() const override {
        return {{"wk_lookup", "CREATE TABLE wk_lookup (key TEXT NOT NULL, kind INTEGER NOT NULL, "
                              "row INTEGER NOT NULL, PRIMARY KEY (key, kind, row)) WITHOUT ROWID"}};
    }
    std::optional<std::vector<std::string>> tablesInStep(const std::string& state) const override {
        if (state != kInStep)
            return std::nullopt;
        return std::vector<std::string>{"wk_lookup"};
    }
    bool appliesTo(const std::vector<std::string>& fields) const override {
        return isDictionary(fields);
    }
    std::unique_ptr<tablefile::FeatureBuild> build(SqliteDb& db, const std::string& schema,
                                                   const std::vector<std::string>&,
                                                   const std::vector<bool>&) const override {
        return std::make_unique<Build>(db, schema);
    }
    bool rebuild(SqliteDb& db, const std::string& schema,
                 const std::vector<std::string>&) const override {
        return buildLookupIndex(db, schema);
    }
    size_t compare(const SqliteDb& db, const std::string& schema, tablefile::CheckedTable& table,
                   const std::function<void(const std::string&)>& report) const override {
        return compareLookupIndex(db, schema,
                                  [&](const LookupDifference& d) { report(describe(d, table)); });
    }
};

const LookupKeysFeature kFeature;
[[maybe_unused]] const bool kRegistered = (tablefile::registerFeature(kFeature), true);

} // namespace

const tablefile::Feature& lookupKeysFeature() {
    return kFeature;
}

} // namespace wk::engine::tagalog

// Named on the linker's command line (src/engine/CMakeLists.txt), so that every program that
// links the engine has the lookup keys registered, including one that never looks a word up.
extern "C" {
extern const int wk_engine_lookup_feature;
const int wk_engine_lookup_feature = 1;
}
