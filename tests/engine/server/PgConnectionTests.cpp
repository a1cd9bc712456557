// Statements on a server: texts in and out, the server's errors, results, quoting.

#include "server/PgFixture.h"

namespace wk::engine::test {
namespace {

TEST_F(PgTest, TextsTravelUnchangedAsParametersAndNullStaysNull) {
    makeTable("texts");
    const std::vector<std::optional<std::string>> texts = {
        std::nullopt,
        std::string(),
        std::string("it's \"quoted\""),
        std::string("back\\slash \\n not a newline"),
        std::string("ñ ẞ 😀 bahay"),
        std::string("$1 '); DROP TABLE texts; --"),
        std::string("tab\there\nnext line"),
    };
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(db.exec("INSERT INTO texts VALUES ($1, $2)", {std::to_string(i), texts[i]})
                      .affectedRows(),
                  1);

    PgResult all = db.exec("SELECT id, v FROM texts ORDER BY id");
    ASSERT_EQ(all.rows(), static_cast<int>(texts.size()));
    for (size_t i = 0; i < texts.size(); ++i) {
        const int row = static_cast<int>(i);
        EXPECT_EQ(all.value(row, 1), texts[i]) << "row " << i;
        EXPECT_EQ(all.isNull(row, 1), !texts[i].has_value()) << "row " << i;
    }
    // The server sees characters, not bytes: the database and the connection are UTF-8.
    EXPECT_EQ(scalar("SELECT length(v) FROM texts WHERE v = $1", {std::string("ñ ẞ 😀 bahay")}),
              "11");
    // An empty text is not NULL.
    EXPECT_EQ(scalar("SELECT count(*) FROM texts WHERE v IS NULL"), "1");
}

TEST_F(PgTest, ParameterWithNulIsRefusedInsteadOfCutShort) {
    makeTable("nul");
    PgError e = pgErrorOf(
        [&] { db.exec("INSERT INTO nul VALUES (1, $1)", {std::string("before\0after", 12)}); });
    EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
    EXPECT_TRUE(mentions(e, "$1")) << e.what();
    EXPECT_EQ(scalar("SELECT count(*) FROM nul"), "0");
}

TEST_F(PgTest, RefusedStatementsCarryTheServersMessageAndState) {
    makeTable("unique_rows");
    db.exec("INSERT INTO unique_rows VALUES (1, 'first')");

    PgError syntax = pgErrorOf([&] { db.exec("SELEC 1"); });
    EXPECT_EQ(syntax.code(), ErrorCode::InvalidSql);
    EXPECT_EQ(syntax.sqlState(), "42601");
    EXPECT_TRUE(mentions(syntax, "syntax error")) << syntax.what();
    EXPECT_TRUE(mentions(syntax, cluster.folder().string())) << syntax.what();
    EXPECT_TRUE(mentions(syntax, "(SQLSTATE 42601)")) << syntax.what();

    PgError duplicate = pgErrorOf([&] { db.exec("INSERT INTO unique_rows VALUES (1, 'again')"); });
    EXPECT_EQ(duplicate.sqlState(), "23505");
    EXPECT_EQ(duplicate.code(), ErrorCode::InvalidArgument);
    EXPECT_TRUE(mentions(duplicate, "Key (id)=(1) already exists")) << duplicate.what();

    PgError missing = pgErrorOf([&] { db.exec("SELECT * FROM no_such_table"); });
    EXPECT_EQ(missing.sqlState(), "42P01");
    EXPECT_EQ(missing.code(), ErrorCode::NotFound);

    // The state survives a copy as a plain EngineError, in the message.
    const EngineError plain = duplicate;
    EXPECT_TRUE(mentions(plain, "(SQLSTATE 23505)")) << plain.what();

    // None of this costs the connection.
    EXPECT_EQ(scalar("SELECT v FROM unique_rows"), "first");
}

TEST_F(PgTest, SerializationFailureIsToldApart) {
    makeTable("counter");
    db.exec("INSERT INTO counter VALUES (1, '0')");
    PgConnection other(cluster.uri());

    PgTransaction mine(db, PgTransaction::Isolation::Serializable);
    EXPECT_EQ(scalar("SELECT v FROM counter WHERE id = 1"), "0");
    other.exec("UPDATE counter SET v = 'theirs' WHERE id = 1");
    PgError e = pgErrorOf([&] { db.exec("UPDATE counter SET v = 'mine' WHERE id = 1"); });
    EXPECT_EQ(e.sqlState(), "40001");
    EXPECT_EQ(e.code(), ErrorCode::ChangedByAnother);
}

TEST_F(PgTest, EmptyAndCopyStatementsAreRefusedAndLeaveTheConnectionUsable) {
    makeTable("copied");
    db.exec("INSERT INTO copied VALUES (1, 'one')");

    EXPECT_EQ(pgErrorOf([&] { db.exec(""); }).code(), ErrorCode::InvalidSql);
    // A COPY is ended at once: the connection is idle again, as a new transaction needs.
    for (const char* copy : {"COPY copied FROM STDIN", "COPY copied TO STDOUT"}) {
        EXPECT_EQ(pgErrorOf([&] { db.exec(copy); }).code(), ErrorCode::InvalidSql) << copy;
        EXPECT_FALSE(db.inTransaction()) << copy;
        PgTransaction t(db);
        EXPECT_EQ(scalar("SELECT v FROM copied"), "one");
    }
}

TEST_F(PgTest, ResultsReportTheirShapeAndRefuseCellsOutsideIt) {
    makeTable("shape");
    db.exec("INSERT INTO shape VALUES (1, 'a'), (2, NULL), (3, 'c')");
    EXPECT_EQ(db.exec("UPDATE shape SET v = 'x' WHERE id >= 2").affectedRows(), 2);
    EXPECT_EQ(db.exec("DELETE FROM shape WHERE id = 9").commandTag(), "DELETE 0");

    PgResult r = db.exec("SELECT id, v AS value FROM shape ORDER BY id");
    EXPECT_EQ(r.rows(), 3);
    EXPECT_EQ(r.columns(), 2);
    EXPECT_EQ(r.columnName(1), "value");
    EXPECT_EQ(r.text(2, 0), "3");
    for (auto [row, column] : {std::pair{3, 0}, {-1, 0}, {0, 2}, {0, -1}}) {
        EXPECT_EQ(engineErrorOf([&] { (void)r.text(row, column); }).code(),
                  ErrorCode::InvalidArgument);
        EXPECT_EQ(engineErrorOf([&] { (void)r.isNull(row, column); }).code(),
                  ErrorCode::InvalidArgument);
    }
    EXPECT_EQ(engineErrorOf([&] { (void)r.columnName(5); }).code(), ErrorCode::InvalidArgument);

    // A result without rows still names its columns.
    PgResult none = db.exec("SELECT id FROM shape WHERE false");
    EXPECT_EQ(none.rows(), 0);
    EXPECT_EQ(none.columnName(0), "id");
}

TEST_F(PgTest, QuotedNamesAndTextsReachTheServerAsWritten) {
    const std::string table = "we\"ird na'me ñ";
    const std::string field = "se;lect";
    db.exec("DROP TABLE IF EXISTS " + db.quoteIdentifier(table));
    db.exec("CREATE TABLE " + db.quoteIdentifier(table) + " (" + db.quoteIdentifier(field) +
            " text)");
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_tables WHERE tablename = $1", {table}), "1");

    const std::string text = "it's a \\ back'slash\" ẞ";
    db.exec("INSERT INTO " + db.quoteIdentifier(table) + " VALUES (" + db.quoteLiteral(text) + ")");
    EXPECT_EQ(scalar("SELECT " + db.quoteIdentifier(field) + " FROM " + db.quoteIdentifier(table)),
              text);

    const std::string withNul("a\0b", 3);
    EXPECT_EQ(engineErrorOf([&] { db.quoteIdentifier(withNul); }).code(),
              ErrorCode::InvalidArgument);
    EXPECT_EQ(engineErrorOf([&] { db.quoteLiteral(withNul); }).code(), ErrorCode::InvalidArgument);
    EXPECT_EQ(engineErrorOf([&] { db.quoteIdentifier("bad \xC3"); }).code(),
              ErrorCode::InvalidArgument);
}

TEST_F(PgTest, TrigramExtensionIsAvailable) {
    db.exec("CREATE EXTENSION IF NOT EXISTS pg_trgm");
    makeTable("words");
    db.exec("INSERT INTO words VALUES (1, 'bahay'), (2, 'kumain'), (3, 'bahayan')");
    db.exec("CREATE INDEX words_trgm ON words USING gin (v gin_trgm_ops)");
    PgResult r = db.exec("SELECT v FROM words WHERE v % $1 ORDER BY v", {std::string("bahay")});
    ASSERT_EQ(r.rows(), 2);
    EXPECT_EQ(r.text(0, 0), "bahay");
    EXPECT_EQ(r.text(1, 0), "bahayan");
}

TEST_F(PgTest, MovedConnectionWorksAndTheOldOneRefusesCleanly) {
    PgConnection moved(std::move(db));
    EXPECT_EQ(moved.exec("SELECT 1").text(0, 0), "1");
    EXPECT_EQ(pgErrorOf([&] { db.exec("SELECT 1"); }).code(), ErrorCode::State);
    EXPECT_FALSE(db.connected());
    db = std::move(moved);
    EXPECT_EQ(scalar("SELECT 2"), "2");
}

} // namespace
} // namespace wk::engine::test
