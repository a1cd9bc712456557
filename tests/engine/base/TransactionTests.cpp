// Transactions and savepoints undo what a failed change wrote, and a rollback that fails leaves
// the connection refusing further statements instead of writing on top of a half-made change.

#include "engine/base/EngineError.h"
#include "engine/base/Sqlite.h"
#include "engine/base/Transaction.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace wk::engine::test {
namespace {

long long count(const SqliteDb& db) {
    SqliteStatement st(db, "SELECT count(*) FROM t", "counting");
    st.step();
    return st.columnInt(0);
}

class TransactionTest : public ::testing::Test {
protected:
    void SetUp() override { db_.exec("CREATE TABLE t (x)", "making the table"); }
    void insert() { db_.exec("INSERT INTO t VALUES (1)", "inserting"); }

    SqliteDb db_{"", SqliteDb::Mode::Memory};
};

TEST_F(TransactionTest, CommittedChangesStayAndOthersGoWithTheTransaction) {
    {
        Transaction kept(db_, "keeping");
        insert();
        kept.commit();
    }
    EXPECT_EQ(count(db_), 1);
    try {
        Transaction failed(db_, "failing", Transaction::Kind::Immediate);
        insert();
        insert();
        throw std::runtime_error("a failure half way");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(count(db_), 1);
    {
        Transaction undone(db_, "undoing");
        insert();
        undone.rollback();
        EXPECT_NO_THROW(undone.rollback()); // a second time does nothing
    }
    EXPECT_EQ(count(db_), 1);
    // The connection is out of every transaction: a new one begins.
    EXPECT_NO_THROW(Transaction(db_, "again").commit());
}

TEST_F(TransactionTest, ASavepointUndoesOnlyItsOwnPart) {
    Transaction outer(db_, "outer");
    insert();
    {
        Savepoint inner(db_, "inner_part", "inner");
        insert();
        insert();
    } // left without release: its two rows go
    EXPECT_EQ(count(db_), 1);
    {
        Savepoint kept(db_, "kept_part", "kept");
        insert();
        kept.release();
    }
    outer.commit();
    EXPECT_EQ(count(db_), 2);
}

TEST_F(TransactionTest, ARollbackThatFailsIsRaisedAndTheConnectionRefusesMore) {
    {
        Savepoint part(db_, "part", "Writing the part");
        insert();
        // Code inside the part ended the savepoint behind its back: undoing it must fail.
        db_.exec("RELEASE part; BEGIN", "ending the part");
        EXPECT_THROW(part.rollback(), EngineError);
    }
    // What could not be undone is never written on top of, nor committed.
    try {
        insert();
        FAIL() << "a statement ran on a connection whose change could not be undone";
    } catch (const EngineError& e) {
        EXPECT_NE(std::string(e.what()).find("Writing the part: the change could not be undone"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_THROW(SqliteStatement(db_, "SELECT 1", "reading"), EngineError);
}

TEST_F(TransactionTest, ADestructorsFailedRollbackMarksTheConnection) {
    {
        Savepoint part(db_, "part", "Writing the part");
        db_.exec("RELEASE part; BEGIN", "ending the part");
    } // the destructor cannot raise; it marks the connection
    EXPECT_THROW(insert(), EngineError);
}

} // namespace
} // namespace wk::engine::test
