// A table file whose schema is not the one the engine writes is refused when it is opened, before
// anything in it is read; files the engine wrote, and files a general SQLite tool changed in ways
// the engine allows for, open.

#include "EngineFixture.h"

#include "common/PlainSqlite.h"

#include "engine/base/Sqlite.h"
#include "engine/sql/Query.h"
#include "engine/sql/Table.h"
#include "engine/storage/Session.h"
#include "engine/tagalog/LookupIndex.h"

#include <sqlite3.h>

namespace wk::engine::test {
namespace {

using wk::testing::rawExec;

const std::vector<std::string> kFields = {"Tagalo", "ActiveVerb", "PassiveVerb", "English"};
const Rows kRows = {{"araw", "", "", "sun; day"},
                    {"kain", "kumain", "kainin", "to eat"},
                    {"salamat", "", "", "thank you"}};

class TableShapeTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        freshTable();
    }

    fs::path file() const { return tables() / "Bad.db"; }

    /// Makes `Bad` anew as an import does: records, search index and lookup keys.
    void freshTable() {
        fs::remove(file());
        makeTable("Bad", kFields, kRows);
        SqliteDb db(file().string(), SqliteDb::Mode::ReadWrite);
        ASSERT_TRUE(tagalog::buildLookupIndex(db, "main"));
    }

    long long count(const std::string& where = "") {
        Query q;
        openQuery(q, "SELECT count(*) FROM Bad" + where);
        return std::stoll(q.fieldAsText(q.fieldNames()[0]));
    }

    /// Opening `Bad` as a table and through a query is refused, naming the file and `why`, and
    /// an import does not overwrite it.
    void expectRefused(const std::string& why) {
        const std::string before = readBytes(file());
        Table t;
        for (const EngineError& e :
             {engineErrorOf([&] { openTable(t, "Bad"); }), engineErrorOf([&] { count(); })}) {
            EXPECT_EQ(e.code(), ErrorCode::Corrupt) << e.what();
            EXPECT_TRUE(mentions(e, "Table 'Bad' in folder '" + tables().string() +
                                        "' is not a table file of Wikabay"))
                << e.what();
            EXPECT_TRUE(mentions(e, why)) << e.what();
        }
        EXPECT_FALSE(t.active());
        EXPECT_THROW(makeTable("Bad", kFields, kRows), EngineError);
        EXPECT_EQ(readBytes(file()), before);
    }

    Session session_{"Test"};
};

TEST_F(TableShapeTest, FilesOfTheEngineAndFilesChangedTheWayItAllowsOpen) {
    EXPECT_EQ(count(" WHERE Upper(English) like \"%SUN%\""), 1);

    // A table of more fields than an index can cover goes without one.
    std::vector<std::string> many;
    for (int i = 0; i < 300; ++i)
        many.push_back("F" + std::to_string(i));
    makeTable("Wide", many, {std::vector<std::string>(300, "x")});
    Query wide;
    wide.setSessionName("Test");
    wide.setDatabaseName(kAlias);
    wide.addSql("SELECT F299 FROM Wide");
    wide.open();
    EXPECT_EQ(wide.fieldAsText("F299"), "x");

    // A change by a general tool retires both indexes through the triggers; the indexes' tables
    // are then of no use, and may be gone. A table of the tool's own does no harm.
    rawExec(file(), "UPDATE records SET English = 'moon' WHERE Tagalo = 'araw';"
                    "DROP TABLE wk_search_postings; DROP TABLE wk_lookup;"
                    "CREATE TABLE notes (text TEXT UNIQUE)");
    EXPECT_EQ(count(" WHERE Upper(English) like \"%MOON%\""), 1);
    EXPECT_EQ(count(" WHERE Upper(English) like \"%SUN%\""), 0);
}

TEST_F(TableShapeTest, ViewsAreRefusedBeforeAnythingReadsThem) {
    const std::string columns = "x AS Tagalo, x AS ActiveVerb, x AS PassiveVerb, x AS English";
    // Reading the recursive ones would never end.
    const std::vector<std::pair<std::string, std::string>> forgeries = {
        {"DROP TABLE records; CREATE VIEW records AS SELECT 'a' AS " + columns.substr(5),
         "'records' is a view"},
        {"DROP TABLE records; CREATE VIEW records AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL "
         "SELECT x + 1 FROM n) SELECT " +
             columns + " FROM n",
         "'records' is a view"},
        {"DROP TABLE records; CREATE VIEW records AS SELECT * FROM records", "'records' is a view"},
        {"DROP TABLE wk_table_info; CREATE VIEW wk_table_info AS WITH RECURSIVE n(x) AS (SELECT 1 "
         "UNION ALL SELECT x + 1 FROM n) SELECT 'format' AS key, x AS value FROM n",
         "'wk_table_info' is a view"},
        {"CREATE VIEW words AS SELECT Tagalo FROM records", "'words' is a view"},
    };
    for (const auto& [sql, why] : forgeries) {
        SCOPED_TRACE(sql);
        freshTable();
        rawExec(file(), sql);
        expectRefused(why);
    }
}

TEST_F(TableShapeTest, TriggersOtherThanTheEnginesAreRefused) {
    rawExec(file(), "CREATE TRIGGER wipe AFTER INSERT ON records BEGIN DELETE FROM records; END");
    expectRefused("it has a trigger 'wipe' of another program");

    // One of the engine's names, another body.
    freshTable();
    rawExec(file(),
            "DROP TRIGGER wk_search_retire_UPDATE; CREATE TRIGGER wk_search_retire_UPDATE AFTER "
            "UPDATE ON records BEGIN SELECT 1; END");
    expectRefused("it has a trigger 'wk_search_retire_UPDATE' of another program");

    // Without it, changes by another program would leave the index marked in step.
    freshTable();
    rawExec(file(), "DROP TRIGGER wk_search_retire_UPDATE");
    expectRefused("its search index is marked in step, but its trigger 'wk_search_retire_UPDATE' "
                  "is missing");
    freshTable();
    rawExec(file(), "DROP TRIGGER wk_lookup_retire_DELETE");
    expectRefused("its lookup keys are marked in step, but its trigger 'wk_lookup_retire_DELETE' "
                  "is missing");
}

TEST_F(TableShapeTest, IndexTablesMarkedInStepMustBeTheEnginesAndBeThere) {
    for (const char* table : {"wk_search_blocks", "wk_search_postings", "wk_lookup"}) {
        SCOPED_TRACE(table);
        freshTable();
        rawExec(file(), std::string("DROP TABLE ") + table);
        expectRefused(std::string("but its table '") + table + "' is missing");
    }
    freshTable();
    rawExec(
        file(),
        "DROP TABLE wk_search_postings; CREATE VIRTUAL TABLE wk_search_postings USING fts5(key, "
        "rows)");
    expectRefused("'wk_search_postings' is a virtual table");
    // A copy without its primary key would keep a stale row beside every changed one.
    freshTable();
    rawExec(file(),
            "CREATE TABLE copy AS SELECT * FROM wk_search_postings; DROP TABLE wk_search_postings;"
            "CREATE TABLE wk_search_postings (key INTEGER, rows BLOB);"
            "INSERT INTO wk_search_postings SELECT * FROM copy; DROP TABLE copy");
    expectRefused("'wk_search_postings' is not the table Wikabay makes");
}

TEST_F(TableShapeTest, RecordsOfAnotherMakeAndIndexesOfOthersAreRefused) {
    const std::vector<std::pair<std::string, std::string>> forgeries = {
        // Another collation or type would change what a search finds.
        {"CREATE TABLE copy AS SELECT * FROM records; DROP TABLE records; CREATE TABLE records "
         "(\"Tagalo\" TEXT COLLATE NOCASE, \"ActiveVerb\" TEXT, \"PassiveVerb\" TEXT, \"English\" "
         "TEXT); INSERT INTO records SELECT * FROM copy; DROP TABLE copy",
         "'records' is not a table of text fields as Wikabay makes it"},
        {"ALTER TABLE records ADD COLUMN Notes INTEGER",
         "'records' is not a table of text fields as Wikabay makes it"},
        // A hidden column does not show among the fields.
        {"ALTER TABLE records ADD COLUMN big TEXT GENERATED ALWAYS AS (upper(English)) VIRTUAL",
         "'records' is not a table of text fields as Wikabay makes it"},
        // Made with another program's upper, which a search for Upper(English) would use.
        {"CREATE INDEX shout ON records(upper(English))",
         "it has an index 'shout' of another program"},
        {"DROP TABLE records; CREATE VIRTUAL TABLE records USING fts5(Tagalo, ActiveVerb, "
         "PassiveVerb, English)",
         "'records' is a virtual table"},
    };
    for (const auto& [sql, why] : forgeries) {
        SCOPED_TRACE(sql);
        freshTable();
        rawExec(file(), sql);
        expectRefused(why);
    }
}

TEST_F(TableShapeTest, ASchemaWhoseTablesSharePagesIsRefused) {
    // As a damaged schema may have it: the records would be read from the index's pages.
    rawExec(
        file(),
        "PRAGMA writable_schema = ON; UPDATE sqlite_master SET rootpage = (SELECT rootpage FROM "
        "sqlite_master WHERE name = 'wk_search_postings') WHERE name = 'records'");
    expectRefused("its schema is damaged");
}

} // namespace
} // namespace wk::engine::test
