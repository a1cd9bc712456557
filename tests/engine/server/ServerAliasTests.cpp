// An alias that names a database on a server: the same searches, listings and changes as on
// table files, several programs at once, protected tables, and a server that goes away.

#include "engine/sql/PgDialect.h"

#include "server/ServerAliasFixture.h"

#include <algorithm>

namespace wk::engine::test {
namespace {

const std::vector<std::string> kSiteFields = {"Name", "URL", "Description"};

Rows sites() {
    return {{"Diksiyonaryo", "http://a.example/", "A dictionary"},
            {"Balita", "http://b.example/", "News in Tagalog"},
            {"Awit", "http://c.example/", ""}};
}

ErrorCode codeOf(const std::function<void()>& action, std::string* message = nullptr) {
    try {
        action();
    } catch (const EngineError& e) {
        if (message)
            *message = e.what();
        return e.code();
    }
    return ErrorCode::General;
}

TEST_F(ServerAliasTest, SearchesGiveTheSameRecordsInTheSameOrderAsATableFile) {
    const Rows entries = serverableEntries(800, 23);
    importBoth("Tagalog", kFields, entries);
    std::vector<std::string> statements;
    for (const std::string& text : windowTexts(entries))
        statements.push_back(windowStatement(text));
    for (const char* s :
         {"SELECT * FROM Tagalog", "SELECT English, Tagalo FROM Tagalog WHERE Tagalo like 'b%'",
          "SELECT * FROM Tagalog ORDER BY Tagalo",
          "SELECT * FROM Tagalog T ORDER BY T.English DESC",
          "SELECT Tagalo, English FROM Tagalog ORDER BY 2, 1",
          "SELECT Tagalo, count(*) FROM Tagalog GROUP BY Tagalo ORDER BY 1",
          "SELECT * FROM Tagalog WHERE Upper(Notes) like \"%Ñ%\"",
          "SELECT T.* FROM Tagalog T WHERE Lower(T.Examples) like '%σοφ%'"})
        statements.push_back(s);
    for (const std::string& statement : statements) {
        const Rows local = queryRows(statement, kAlias);
        Rows server;
        ASSERT_NO_THROW(server = queryRows(statement, kServerAlias)) << statement;
        ASSERT_EQ(server, local) << statement;
    }
    // A join's `*` gives the fields of both tables (not the server's own columns), in some order.
    const std::string join = "SELECT * FROM Tagalog A JOIN Tagalog B ON A.Tagalo = B.Tagalo "
                             "WHERE Upper(A.English) like \"%SUN%\"";
    Rows local = queryRows(join, kAlias);
    Rows server = queryRows(join, kServerAlias);
    std::sort(local.begin(), local.end());
    std::sort(server.begin(), server.end());
    EXPECT_EQ(server, local);
    EXPECT_EQ(local.front().size(), 2 * kFields.size());
    // The window's search reads the columns kept in capitals through their trigram indexes.
    admin.exec("SET enable_seqscan = off");
    const std::string statement =
        translateForPostgres(windowStatement("ARAW"), [](const std::string&) {
            PgTableRef t{"\"Tagalog\"", kFields, {}};
            for (size_t f = 0; f < kFields.size(); ++f)
                t.upperColumns.push_back("wk_upper_" + std::to_string(f + 1));
            return t;
        });
    EXPECT_EQ(statement.find("wk_upper("), std::string::npos) << statement;
    const PgResult explained = admin.exec("EXPLAIN " + statement);
    std::string plan;
    for (int r = 0; r < explained.rows(); ++r)
        plan += std::string(explained.text(r, 0)) + "\n";
    admin.exec("RESET enable_seqscan");
    EXPECT_NE(plan.find("Bitmap Index Scan on \"Tagalog_wk_upper_2_idx\""), std::string::npos)
        << plan;
    // Faults are told as for table files.
    std::string message;
    EXPECT_EQ(codeOf([] { queryRows("SELECT Nothing FROM Tagalog", kServerAlias); }, &message),
              ErrorCode::NotFound);
    EXPECT_EQ(message, "Field 'Nothing' not found");
    EXPECT_EQ(codeOf([] { queryRows("SELECT * FROM Missing", kServerAlias); }),
              ErrorCode::NotFound);
    EXPECT_EQ(codeOf([] { queryRows("DELETE FROM Tagalog", kServerAlias); }),
              ErrorCode::InvalidSql);
    // A SELECT cannot change anything through a function either.
    EXPECT_EQ(codeOf([] {
                  queryRows("SELECT set_config('x.y', 'z', false), nextval('n')", kServerAlias);
              }),
              ErrorCode::InvalidSql);
}

// The same steps on a table file and on the server leave the same records.
TEST_F(ServerAliasTest, TableListsFiltersEditsAddsAndDeletesAsOnATableFile) {
    importBoth("Internet", kSiteFields, sites());
    auto exercise = [](const std::string& alias) {
        Table t;
        t.setSessionName("Test");
        t.setDatabaseName(alias);
        t.setTableName("Internet.db");
        t.setFilter("name='Balita'");
        t.setFiltered(true);
        t.open();
        Rows seen = {{std::to_string(t.recordCount()), t.fieldAsText("URL")}};
        t.setFiltered(false);
        t.moveTo(2);
        t.setFieldText("Description", "Songs — awit");
        t.post();
        t.append();
        t.setFieldText("Name", "Bago");
        t.post();
        t.first();
        t.deleteRecord();
        EXPECT_TRUE(t.canModify()) << t.readOnlyReason();
        t.close();
        t.open();
        for (long long r = 0; r < t.recordCount(); ++r)
            seen.push_back({t.valueAt(r, 0), t.valueAt(r, 1), t.valueAt(r, 2)});
        return seen;
    };
    const Rows local = exercise(kAlias);
    EXPECT_EQ(exercise(kServerAlias), local);
    EXPECT_EQ(local.size(), 4u);
    // A blank field is stored as NULL, as in table files.
    EXPECT_EQ(admin.exec("SELECT count(*) FROM \"Internet\" WHERE \"URL\" IS NULL").text(0, 0),
              "1");
}

TEST_F(ServerAliasTest, TwoProgramsEditingOneRecordNeverOverwriteEachOther) {
    importOnServer("Internet", kSiteFields, sites());
    Session other("Other");
    Table teacher, learner;
    openOnServer(teacher, "Internet");
    openOnServer(learner, "Internet", "Other");

    teacher.moveTo(1);
    teacher.setFieldText("Description", "The teacher's text");
    learner.moveTo(1);
    learner.setFieldText("Description", "The learner's text");
    teacher.post();
    EXPECT_EQ(teacher.fieldAsText("Description"), "The teacher's text"); // as the grid shows it
    std::string message;
    EXPECT_EQ(codeOf([&] { learner.post(); }, &message), ErrorCode::ChangedByAnother);
    EXPECT_NE(message.find("Your change was not stored"), std::string::npos) << message;
    const auto refused = learner.takeRefusedChange();
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->sameRecord);
    EXPECT_EQ(refused->values[2], "The learner's text");
    EXPECT_EQ(learner.fieldAsText("Description"), "The teacher's text");
    // Offered again on the record as it is now, it is stored.
    learner.setFieldText("Description", refused->values[2]);
    learner.post();

    // Deleting a record another program changed, or deleted, is refused the same way.
    EXPECT_EQ(codeOf([&] { teacher.deleteRecord(); }), ErrorCode::ChangedByAnother);
    EXPECT_EQ(teacher.fieldAsText("Description"), "The learner's text");
    learner.moveTo(0);
    teacher.moveTo(0);
    learner.deleteRecord();
    EXPECT_EQ(codeOf([&] { teacher.deleteRecord(); }), ErrorCode::ChangedByAnother);
    EXPECT_EQ(teacher.recordCount(), 2);
    EXPECT_EQ(admin.exec("SELECT count(*) FROM \"Internet\"").text(0, 0), "2");
}

TEST_F(ServerAliasTest, ImportAnewIsNoticedAndChangesToTheOldRecordsAreRefused) {
    importOnServer("Internet", kSiteFields, sites());
    Table t;
    openOnServer(t, "Internet");
    EXPECT_FALSE(t.tableReplaced());
    t.moveTo(1);
    EXPECT_EQ(t.fieldAsText("Name"), "Balita");
    Rows again = sites();
    again.insert(again.begin(), {"Una", "http://first.example/", "New first"});
    importOnServer("Internet", kSiteFields, again);
    EXPECT_TRUE(t.tableReplaced());
    t.setFieldText("Description", "Mine");
    EXPECT_EQ(codeOf([&] { t.post(); }), ErrorCode::ChangedByAnother);
    const auto refused = t.takeRefusedChange();
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->sameRecord); // found again among the new records
    EXPECT_EQ(t.fieldAsText("Name"), "Balita");
    EXPECT_EQ(t.recordCount(), 4);
}

TEST_F(ServerAliasTest, ProtectedTableNeedsItsPasswordAndKeepsOnlyAHash) {
    importOnServer("Internet", kSiteFields, sites(), std::string("lihim"));
    Table t;
    std::string message;
    EXPECT_EQ(codeOf([&] { openOnServer(t, "Internet"); }, &message), ErrorCode::Password);
    EXPECT_NE(message.find("does not hold its password"), std::string::npos) << message;
    session_.addPassword("lihim");
    openOnServer(t, "Internet");
    EXPECT_EQ(t.recordCount(), 3);
    const PgResult stored =
        admin.exec("SELECT password_hash, password_salt FROM wk_tables WHERE name = 'Internet'");
    EXPECT_EQ(stored.text(0, 0).size(), 64u);
    EXPECT_EQ(stored.text(0, 0).find("lihim"), std::string::npos);
    // Replacing it needs the password too, and a failed import leaves the old table.
    EXPECT_EQ(codeOf([&] { importOnServer("Internet", kSiteFields, {}); }), ErrorCode::Password);
    EXPECT_EQ(admin.exec("SELECT count(*) FROM \"Internet\"").text(0, 0), "3");
}

TEST_F(ServerAliasTest, ARoleThatMayOnlyReadSeesTheTableAsReadOnly) {
    importOnServer("Internet", kSiteFields, sites());
    admin.exec("DROP ROLE IF EXISTS learner");
    admin.exec("CREATE ROLE learner LOGIN PASSWORD 'basa'");
    admin.exec("GRANT SELECT ON ALL TABLES IN SCHEMA public TO learner");
    setAlias("Learner", cluster.uriFor("learner", "basa", PgCluster::kDatabase));
    Table t;
    t.setSessionName("Test");
    t.setDatabaseName("Learner");
    t.setTableName("Internet");
    t.open();
    EXPECT_EQ(t.recordCount(), 3);
    EXPECT_FALSE(t.canModify());
    EXPECT_NE(t.readOnlyReason().find("may not change"), std::string::npos) << t.readOnlyReason();
    t.setFieldText("Description", "Not allowed");
    std::string message;
    EXPECT_EQ(codeOf([&] { t.post(); }, &message), ErrorCode::ReadOnly);
    EXPECT_NE(message.find("Table 'Internet'"), std::string::npos) << message;
    t.close();
    admin.exec("DROP OWNED BY learner");
    admin.exec("DROP ROLE learner");
}

TEST_F(ServerAliasTest, ImportKeepsATableThatIsNotOursAndRefusesBadRows) {
    admin.exec("DROP TABLE IF EXISTS \"Grades\"");
    admin.exec("CREATE TABLE \"Grades\" (v text)");
    admin.exec("INSERT INTO \"Grades\" VALUES ('A')");
    EXPECT_EQ(codeOf([&] { importOnServer("Grades", {"v"}, {{"B"}}); }), ErrorCode::Corrupt);
    EXPECT_EQ(admin.exec("SELECT v FROM \"Grades\"").text(0, 0), "A");
    importOnServer("Internet", kSiteFields, sites());
    EXPECT_EQ(codeOf([&] {
                  importOnServer("Internet", kSiteFields, {{"a", "b", std::string("c\0d", 3)}});
              }),
              ErrorCode::InvalidArgument);
    EXPECT_EQ(codeOf([&] {
                  importOnServer("Internet", kSiteFields, {{"a", "b"}});
              }),
              ErrorCode::InvalidArgument);
    EXPECT_EQ(admin.exec("SELECT count(*) FROM \"Internet\"").text(0, 0), "3");
}

TEST_F(ServerAliasTest, FieldNamedTwiceInAnyLetterCaseIsRefusedHoweverManyFieldsThereAre) {
    const auto refusal = [&](const std::vector<std::string>& fields) {
        return engineErrorOf([&] { importOnServer("Grades", fields, {}); });
    };
    // A header of 100,000 fields whose last repeats the first in small letters.
    std::vector<std::string> wide;
    for (int i = 1; i <= 100000; ++i)
        wide.push_back("Field" + std::to_string(i));
    wide.push_back("FIELD1");
    EngineError e = refusal(wide);
    EXPECT_EQ(e.code(), ErrorCode::InvalidArgument) << e.what();
    EXPECT_TRUE(mentions(e, "the field 'FIELD1' is named twice")) << e.what();
    // Without it the names are all different; the server turns down more than 1,600 columns.
    wide.resize(2000);
    e = refusal(wide);
    EXPECT_FALSE(mentions(e, "named twice")) << e.what();
    EXPECT_TRUE(mentions(e, "1600 columns")) << e.what();

    e = refusal({"Tagalo", "English", "tagalo", "ENGLISH"});
    EXPECT_EQ(e.code(), ErrorCode::InvalidArgument) << e.what();
    EXPECT_TRUE(mentions(e, "the field 'tagalo' is named twice")) << e.what();
    EXPECT_EQ(admin.exec("SELECT to_regclass('\"Grades\"') IS NULL").text(0, 0), "t");

    // Letters beyond ASCII are told apart, as the engine finds fields by name.
    importOnServer("Grades", {"Ñame", "ñame"}, {{"a", "b"}});
    Table t;
    openOnServer(t, "Grades");
    EXPECT_EQ(t.fieldNames(), (std::vector<std::string>{"Ñame", "ñame"}));
}

TEST_F(ServerAliasTest, ServerThatGoesAwayIsOneClearErrorAndTheTableComesBack) {
    importOnServer("Internet", kSiteFields, sites());
    Table t;
    openOnServer(t, "Internet");
    t.moveTo(2);
    t.setFieldText("Description", "Written after the server came back");
    cluster.stop();
    std::string message;
    EXPECT_EQ(codeOf([&] { t.post(); }, &message), ErrorCode::ServerUnavailable);
    EXPECT_NE(message.find(std::to_string(cluster.port())), std::string::npos) << message;
    EXPECT_NE(message.find("Internet"), std::string::npos) << message;
    // Nothing is lost and nothing hangs while it is away; the text stays in the edit.
    EXPECT_TRUE(t.active());
    EXPECT_EQ(t.fieldAsText("Description"), "Written after the server came back");
    EXPECT_FALSE(t.tableReplaced());
    EXPECT_EQ(codeOf([] { queryRows("SELECT * FROM Internet", kServerAlias); }),
              ErrorCode::ServerUnavailable);
    cluster.start();
    // Coming back to the window connects again.
    EXPECT_FALSE(t.tableReplaced());
    t.post();
    EXPECT_EQ(queryRows("SELECT Description FROM Internet", kServerAlias)[2][0],
              "Written after the server came back");
}

} // namespace
} // namespace wk::engine::test
