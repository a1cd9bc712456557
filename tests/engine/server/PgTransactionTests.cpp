// Transactions on a server: committed, rolled back when left, refused when they cannot be right.

#include "server/PgFixture.h"

namespace wk::engine::test {
namespace {

TEST_F(PgTest, TransactionKeepsOnlyWhatWasCommitted) {
    makeTable("kept");
    {
        PgTransaction t(db);
        db.exec("INSERT INTO kept VALUES (1, 'committed')");
        t.commit();
    }
    {
        PgTransaction t(db);
        db.exec("INSERT INTO kept VALUES (2, 'left without a commit')");
    }
    try {
        PgTransaction t(db);
        db.exec("INSERT INTO kept VALUES (3, 'left by an error')");
        db.exec("INSERT INTO kept VALUES (1, 'duplicate')");
        t.commit();
        ADD_FAILURE() << "the duplicate key was accepted";
    } catch (const PgError& e) {
        EXPECT_EQ(e.sqlState(), "23505");
    }
    EXPECT_FALSE(db.inTransaction());
    PgResult r = db.exec("SELECT id FROM kept ORDER BY id");
    ASSERT_EQ(r.rows(), 1);
    EXPECT_EQ(r.text(0, 0), "1");
}

TEST_F(PgTest, CommitAfterAFailedStatementIsNotReportedAsDone) {
    makeTable("failed");
    PgTransaction t(db);
    db.exec("INSERT INTO failed VALUES (1, 'before the error')");
    (void)pgErrorOf([&] { db.exec("SELECT * FROM no_such_table"); });
    // The server answers COMMIT in a failed transaction with a rollback, and no error.
    PgError e = pgErrorOf([&] { t.commit(); });
    EXPECT_EQ(e.code(), ErrorCode::State);
    EXPECT_TRUE(mentions(e, "rolled back")) << e.what();
    EXPECT_FALSE(db.inTransaction());
    EXPECT_EQ(scalar("SELECT count(*) FROM failed"), "0");
}

TEST_F(PgTest, TransactionInsideAnotherOrEndedTwiceIsRefused) {
    makeTable("nested");
    PgTransaction outer(db);
    db.exec("INSERT INTO nested VALUES (1, 'outer')");
    EXPECT_EQ(pgErrorOf([&] { PgTransaction inner(db); }).code(), ErrorCode::State);

    // The refused inner one neither committed nor rolled back the outer one.
    EXPECT_TRUE(db.inTransaction());
    PgConnection other(cluster.uri());
    EXPECT_EQ(other.exec("SELECT count(*) FROM nested").text(0, 0), "0");
    outer.commit();
    EXPECT_EQ(other.exec("SELECT count(*) FROM nested").text(0, 0), "1");
    EXPECT_EQ(pgErrorOf([&] { outer.commit(); }).code(), ErrorCode::State);
}

} // namespace
} // namespace wk::engine::test
