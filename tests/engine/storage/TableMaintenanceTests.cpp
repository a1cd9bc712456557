// The features kept in a table file beside its records (the search index, the lookup keys) are
// written with an import, dropped when the new table cannot have them, checked against the
// records and made anew, all through the table file's hooks.

#include "EngineFixture.h"

#include "engine/base/Sqlite.h"
#include "engine/storage/Database.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFeature.h"
#include "engine/storage/TableFiles.h"
#include "engine/storage/TableMaintenance.h"

#include <fstream>
#include <stdexcept>

namespace wk::engine::test {
namespace {

const std::vector<std::string> kFields = {"Tagalo", "ActiveVerb", "PassiveVerb", "English"};
const Rows kRows = {{"araw", "", "", "sun; day"},
                    {"kain", "kumain", "kainin", "to eat"},
                    {"salamat", "", "", "thank you"}};

class TableMaintenanceTest : public EngineTest {
protected:
    fs::path file() const { return tables() / "Tagalog.db"; }

    TableFiles& db() {
        static int n = 0;
        session_ = std::make_unique<Session>("Maintenance" + std::to_string(++n));
        return requireTableFiles(session_->database(kAlias), "The test");
    }

    // The names in the file's schema of `type` that begin with `prefix`.
    std::vector<std::string> schemaNames(const std::string& type, const std::string& prefix) {
        SqliteDb raw(file().string(), SqliteDb::Mode::ReadOnly);
        SqliteStatement st(raw, "SELECT name FROM sqlite_master WHERE type = ?1 ORDER BY name",
                           "reading the schema");
        st.bindTextOrNull(1, type);
        std::vector<std::string> names;
        while (st.step())
            if (st.columnText(0).starts_with(prefix))
                names.push_back(st.columnText(0));
        return names;
    }

    bool inStep(const std::string& featureName) {
        SqliteDb raw(file().string(), SqliteDb::Mode::ReadOnly);
        for (const tablefile::Feature* f : tablefile::features())
            if (f->name() == featureName)
                return tablefile::inStep(raw, "main", *f);
        ADD_FAILURE() << "no feature " << featureName;
        return false;
    }

    std::unique_ptr<Session> session_;
};

TEST_F(TableMaintenanceTest, AnImportWritesEveryFeatureTheTableHasAndDropsTheOthers) {
    makeTable("Tagalog", kFields, kRows);
    EXPECT_TRUE(inStep("search index"));
    EXPECT_TRUE(inStep("lookup keys"));
    EXPECT_EQ(schemaNames("table", "wk_lookup"), std::vector<std::string>{"wk_lookup"});
    EXPECT_EQ(schemaNames("trigger", "wk_lookup").size(), 3u);

    // A table that is no dictionary keeps nothing of the old table's keys.
    makeTable("Tagalog", {"Site", "Address"}, {{"a", "b"}});
    EXPECT_TRUE(inStep("search index"));
    EXPECT_FALSE(inStep("lookup keys"));
    EXPECT_TRUE(schemaNames("table", "wk_lookup").empty());
    EXPECT_TRUE(schemaNames("trigger", "wk_lookup").empty());
}

TEST_F(TableMaintenanceTest, AnImportThatFailsHalfWayLeavesTheOldTableAndItsFeatures) {
    makeTable("Tagalog", kFields, kRows);
    int given = 0;
    const tablefile::RowReader failing = [&](std::vector<std::string>& row) -> bool {
        if (++given > 2)
            throw std::runtime_error("the source broke off");
        row = {"bago", "", "", "new"};
        return true;
    };
    EXPECT_THROW(tablefile::replace(tables(), "Tagalog", kFields, failing, std::nullopt),
                 std::runtime_error);
    EXPECT_TRUE(inStep("search index"));
    EXPECT_TRUE(inStep("lookup keys"));
    const tablefile::CheckReport report = tablefile::check(db(), "Tagalog");
    EXPECT_TRUE(report.well);
    EXPECT_EQ(report.findings, std::vector<std::string>{"all well"});
}

TEST_F(TableMaintenanceTest, ACheckReportsDifferencesSetsTheFeatureAsideAndARebuildMendsIt) {
    makeTable("Tagalog", kFields, kRows);
    {
        // Another program writes a key that no record has; the triggers see no change of the
        // records, so the keys stay marked in step.
        SqliteDb raw(file().string(), SqliteDb::Mode::ReadWrite);
        raw.exec("INSERT INTO wk_lookup VALUES ('gabi', 0, 2)", "forging a key");
    }
    const tablefile::CheckReport found = tablefile::check(db(), "Tagalog");
    EXPECT_FALSE(found.well);
    EXPECT_EQ(found.table, "Tagalog");
    EXPECT_EQ(found.findings,
              (std::vector<std::string>{
                  "the lookup keys hold 'gabi' (headword) for record 2, which does not have it",
                  "the lookup keys are set aside: lookups read the records until 'wikabay-admin "
                  "reindex' or an import makes them anew"}));
    EXPECT_FALSE(inStep("lookup keys"));
    EXPECT_TRUE(inStep("search index"));

    const tablefile::RebuildReport made = tablefile::rebuild(db(), "Tagalog");
    ASSERT_EQ(made.features.size(), 2u);
    EXPECT_EQ(made.features[0].name, "search index");
    EXPECT_TRUE(made.features[0].inStep);
    EXPECT_EQ(made.features[1].name, "lookup keys");
    EXPECT_TRUE(made.features[1].inStep);
    EXPECT_EQ(tablefile::check(db(), "Tagalog").findings, std::vector<std::string>{"all well"});
}

TEST_F(TableMaintenanceTest, ACheckOfWhatCannotBeOpenedIsAFindingNotAFailure) {
    {
        std::ofstream out(file());
        out << "not a table file";
    }
    const tablefile::CheckReport report = tablefile::check(db(), "Tagalog");
    EXPECT_FALSE(report.well);
    ASSERT_EQ(report.findings.size(), 1u);
    EXPECT_NE(report.findings[0].find("Table 'Tagalog' in folder"), std::string::npos)
        << report.findings[0];
    // A table that is not a dictionary is rebuilt with its search index alone.
    makeTable("Internet", {"Site", "Address"}, {{"a", "b"}});
    const tablefile::RebuildReport made = tablefile::rebuild(db(), "Internet");
    ASSERT_EQ(made.features.size(), 1u);
    EXPECT_EQ(made.features[0].name, "search index");
}

} // namespace
} // namespace wk::engine::test
