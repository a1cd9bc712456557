#include "engine/storage/TableMaintenance.h"

#include "engine/base/EngineError.h"
#include "engine/base/Sqlite.h"
#include "engine/base/Transaction.h"
#include "engine/storage/TableFeature.h"
#include "engine/storage/TableFile.h"
#include "engine/storage/TableFiles.h"

#include <algorithm>

namespace wk::engine::tablefile {
namespace {

// Numbers records in table order (from 1), as the program's lists count them.
class NumberedTable : public CheckedTable {
public:
    NumberedTable(const SqliteDb& db, const FileTable& table) : db_(db), table_(table) {}

    const std::vector<std::string>& fields() const override { return table_.fields; }

    std::optional<long long> recordNumber(std::int64_t rowId) override {
        if (!rowIds_) {
            rowIds_.emplace();
            SqliteStatement st(db_, "SELECT rowid FROM " + table_.qualified + " ORDER BY rowid",
                               "Reading the records");
            while (st.step())
                rowIds_->push_back(st.columnInt(0));
        }
        const auto it = std::lower_bound(rowIds_->begin(), rowIds_->end(), rowId);
        if (it != rowIds_->end() && *it == rowId)
            return it - rowIds_->begin() + 1;
        return std::nullopt;
    }

    std::string field(int number) const override {
        if (number >= 0 && static_cast<size_t>(number) < table_.fields.size())
            return "field " + table_.fields[static_cast<size_t>(number)];
        return "field number " + std::to_string(number + 1);
    }

private:
    const SqliteDb& db_;
    const FileTable& table_;
    std::optional<std::vector<std::int64_t>> rowIds_;
};

// SQLite's own check of the file; false, with what it found, when the file is damaged.
bool fileIsWhole(SqliteDb& c, const std::string& schema, std::vector<std::string>& findings) {
    try {
        std::vector<std::string> damage;
        SqliteStatement integrity(c, "PRAGMA " + quoteIdentifier(schema) + ".integrity_check",
                                  "Checking the file");
        while (integrity.step())
            if (integrity.columnText(0) != "ok")
                damage.push_back("the file is damaged: " + integrity.columnText(0));
        if (damage.empty())
            return true;
        findings.insert(findings.end(), damage.begin(), damage.end());
        findings.emplace_back("import the table again from a copy of its records");
    } catch (const EngineError& e) {
        findings.push_back(std::string("the file is damaged: ") + e.what());
    }
    return false;
}

// Compares one feature in step with the records; false when they differ, and then the feature
// is set aside.
bool featureInStep(SqliteDb& c, const std::string& schema, const Feature& feature,
                   NumberedTable& table, std::vector<std::string>& findings) {
    size_t shown = 0;
    const size_t n = feature.compare(c, schema, table, [&](const std::string& difference) {
        if (shown++ < kReportedDifferences)
            findings.push_back(difference);
    });
    if (n > kReportedDifferences)
        findings.push_back("and " + std::to_string(n - kReportedDifferences) +
                           " more differences in the " + feature.name());
    if (n == 0)
        return true;
    retire(c, schema, feature);
    findings.push_back("the " + nameIs(feature) + " set aside: " + feature.withoutIt() +
                       " until 'wikabay-admin reindex' or an import makes " +
                       (feature.namedInPlural() ? "them" : "it") + " anew");
    return false;
}

} // namespace

CheckReport check(TableFiles& db, const std::string& tableName) {
    CheckReport report{baseName(tableName), {}, false};
    const FileTable* table = nullptr;
    try {
        table = &db.fileTable(tableName);
    } catch (const EngineError& e) {
        report.findings.emplace_back(e.what());
        return report;
    }
    SqliteDb& c = db.connection();
    if (!fileIsWhole(c, table->schema, report.findings))
        return report;
    bool well = true;
    NumberedTable numbered(c, *table);
    try {
        // The records and the features are compared in one snapshot of the file.
        Transaction snapshot(c, "Checking " + report.table);
        for (const Feature* feature : features()) {
            if (inStep(c, table->schema, *feature))
                well = featureInStep(c, table->schema, *feature, numbered, report.findings) && well;
            else if (feature->appliesTo(table->fields))
                report.findings.push_back("no " + feature->name() + " in use; " +
                                          feature->withoutIt());
        }
        snapshot.commit();
    } catch (const EngineError& e) {
        report.findings.emplace_back(e.what());
        return report;
    }
    report.well = well;
    if (well)
        report.findings.emplace_back("all well");
    return report;
}

RebuildReport rebuild(TableFiles& db, const std::string& tableName) {
    const FileTable& table = db.fileTable(tableName);
    SqliteDb& c = db.connection();
    RebuildReport report{baseName(tableName), {}};
    try {
        db.requireWritable(table.file, "Writing the table");
        Transaction transaction(c, "Writing the table", Transaction::Kind::Immediate);
        for (const Feature* feature : features())
            if (feature->appliesTo(table.fields))
                report.features.push_back({feature->name(),
                                           feature->rebuild(c, table.schema, table.fields),
                                           feature->withoutIt()});
        transaction.commit();
    } catch (const EngineError& e) {
        throw db.changeError(tableName, e);
    }
    return report;
}

} // namespace wk::engine::tablefile
