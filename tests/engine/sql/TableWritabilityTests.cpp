// Whether a table's records can be changed, and why not, as a window asks before it lets the user
// type.

#include "EngineFixture.h"

#include "common/ConfigurationOwner.h"

#include "engine/sql/Table.h"
#include "engine/storage/Session.h"

#include <sys/stat.h>
#include <unistd.h>

namespace wk::engine::test {
namespace {

class TableWritabilityTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        makeTable(
            "Sites", {"Name", "Description", "URL"},
            {{"One", "First", "https://one.example/"}, {"Two", "Second", "https://two.example/"}});
        file_ = tables() / "Sites.db";
    }

    void TearDown() override {
        asRoot();
        ::chmod(tables().c_str(), 0755);
        EngineTest::TearDown();
    }

    static void openTable(Table& t) {
        t.setName("Table1");
        t.setSessionName("Test");
        t.setDatabaseName(kAlias);
        t.setTableName("Sites");
        t.open();
    }

    /// Root may write any file: as root the test takes the identity of an ordinary user, for whom
    /// the permissions count. False when it cannot.
    bool asOrdinaryUser() {
        if (::geteuid() != 0)
            return true;
        ::chmod(root().c_str(), 0755);
        wk::testing::giveConfigurationTo(65534);
        switched_ = ::seteuid(65534) == 0;
        return switched_;
    }
    void asRoot() {
        if (switched_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
        switched_ = false;
    }

    fs::path file_;
    bool switched_ = false;
    Session session_{"Test"};
};

TEST_F(TableWritabilityTest, WritableTableCanBeModified) {
    Table t;
    EXPECT_FALSE(t.canModify()); // closed
    openTable(t);
    EXPECT_TRUE(t.canModify());
    EXPECT_EQ(t.readOnlyReason(), "");
    t.close();
    EXPECT_FALSE(t.canModify());
    EXPECT_NE(t.readOnlyReason(), "");
}

TEST_F(TableWritabilityTest, ReadOnlyFileCannotBeModifiedAndSaysWhy) {
    ASSERT_EQ(::chmod(file_.c_str(), 0444), 0);
    if (!asOrdinaryUser())
        GTEST_SKIP() << "running as root without the right to take another identity";
    Table t;
    openTable(t);
    EXPECT_FALSE(t.canModify());
    const std::string why = t.readOnlyReason();
    EXPECT_NE(why.find("file '" + file_.string() + "'"), std::string::npos) << why;
    EXPECT_EQ(t.fieldAsText("Description"), "First"); // still read
}

TEST_F(TableWritabilityTest, ReadOnlyFolderCannotBeModifiedAndSaysWhy) {
    // The file could be written, but not the journal beside it.
    ASSERT_EQ(::chmod(file_.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(tables().c_str(), 0555), 0);
    if (!asOrdinaryUser())
        GTEST_SKIP() << "running as root without the right to take another identity";
    Table t;
    openTable(t);
    EXPECT_FALSE(t.canModify());
    const std::string why = t.readOnlyReason();
    EXPECT_NE(why.find("folder '" + tables().string() + "'"), std::string::npos) << why;
}

TEST_F(TableWritabilityTest, FileWritableAgainCanBeChangedAtTheNextOpening) {
    ASSERT_EQ(::chmod(file_.c_str(), 0444), 0);
    if (!asOrdinaryUser())
        GTEST_SKIP() << "running as root without the right to take another identity";
    Table reader; // stays open on the file throughout
    openTable(reader);
    Table t;
    openTable(t);
    EXPECT_FALSE(t.canModify());
    t.close();
    asRoot();
    ASSERT_EQ(::chmod(file_.c_str(), 0644), 0);

    // The session's connection had the file for reading only; the next opening takes it again.
    openTable(t);
    EXPECT_TRUE(t.canModify()) << t.readOnlyReason();
    t.setFieldText("Description", "First, changed");
    EXPECT_NO_THROW(t.post());
    t.close();
    // A dataset that was open meanwhile goes on reading, and sees the change.
    EXPECT_EQ(reader.recordCount(), 2);
    EXPECT_EQ(reader.valueAt(0, reader.fieldIndex("Description")), "First, changed");
    EXPECT_EQ(reader.valueAt(1, reader.fieldIndex("Description")), "Second");
    Table check;
    openTable(check);
    EXPECT_EQ(check.fieldAsText("Description"), "First, changed");
}

} // namespace
} // namespace wk::engine::test
