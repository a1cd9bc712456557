#include "EngineFixture.h"

#include "common/OrdinaryUser.h"
#include "common/PlainSqlite.h"

#include "engine/base/FileUtil.h"
#include "engine/sql/Query.h"
#include "engine/sql/Table.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFile.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <stdexcept>

namespace wk::engine::test {
namespace {

using wk::testing::rawExec;
using wk::testing::rawValue;

const std::vector<std::string> kFields = {"Tagalo", "English", "Notes"};

class TableFileTest : public EngineTest {
protected:
    Session session_{"Test"};
};

TEST_F(TableFileTest, ProtectedTableOpensOnlyWithItsPassword) {
    makeTable("Tagalog", kFields, {{"araw", "sun", ""}}, "lihim");
    Table t;
    const EngineError e = engineErrorOf([&] { openTable(t, "Tagalog"); });
    EXPECT_EQ(e.code(), ErrorCode::Password);
    EXPECT_TRUE(mentions(e, "Tagalog")) << e.what();
    EXPECT_FALSE(t.active());

    Query q;
    prepareQuery(q, "SELECT * FROM Tagalog");
    EXPECT_THROW(q.open(), EngineError);
    session_.addPassword("wrong");
    EXPECT_THROW(q.open(), EngineError);
    session_.addPassword("lihim");
    q.open();
    EXPECT_EQ(q.fieldAsText("English"), "sun");
    openTable(t, "Tagalog");
    EXPECT_EQ(t.recordCount(), 1);

    // Replacing it needs the password too.
    EXPECT_THROW(makeTable("Tagalog", kFields, {}), EngineError);
    EXPECT_THROW(makeTable("Tagalog", kFields, {}, "guess"), EngineError);
    EXPECT_EQ(rawValue(tables() / "Tagalog.db", "SELECT count(*) FROM records"), "1");
}

TEST_F(TableFileTest, TablesOpenedSideBySideKeepTheirOwnFields) {
    makeTable("Tagalog", kFields, {{"araw", "sun", ""}});
    makeTable("Expressions1", {"English", "Tagalog", "Group"}, {{"Hello", "Kumusta", "General"}});
    Query q;
    prepareQuery(q, "SELECT * FROM Tagalog");
    q.open();
    Table t;
    t.setFilter("Group='General'");
    t.setFiltered(true);
    openTable(t, "Expressions1.db");
    EXPECT_EQ(t.fieldNames(), (std::vector<std::string>{"English", "Tagalog", "Group"}));
    EXPECT_EQ(t.fieldAsText("Tagalog"), "Kumusta");
    EXPECT_EQ(q.fieldAsText("English"), "sun");
}

TEST_F(TableFileTest, MissingTableIsNamed) {
    Table t;
    const EngineError e = engineErrorOf([&] { openTable(t, "Nowhere"); });
    EXPECT_EQ(e.code(), ErrorCode::NotFound);
    EXPECT_TRUE(mentions(e, "Nowhere")) << e.what();
    EXPECT_TRUE(mentions(e, tables().string())) << e.what();
    EXPECT_FALSE(fs::exists(tables() / "Nowhere.db"));
}

class DamagedTableTest : public TableFileTest {
protected:
    /// Opening `Bad` as a table and through a query fails naming it and leaves the file as it was.
    void expectRefused() {
        const fs::path file = tables() / "Bad.db";
        const std::string before = readBytes(file);
        Table t;
        Query q;
        prepareQuery(q, "SELECT * FROM Bad");
        for (const EngineError& e :
             {engineErrorOf([&] { openTable(t, "Bad"); }), engineErrorOf([&] { q.open(); })}) {
            EXPECT_TRUE(mentions(e, "'Bad'")) << e.what();
            EXPECT_TRUE(mentions(e, tables().string())) << e.what();
        }
        EXPECT_FALSE(t.active() || q.active());
        EXPECT_EQ(readBytes(file), before);
    }
};

TEST_F(DamagedTableTest, RandomBytes) {
    std::mt19937 gen(42);
    std::string bytes(8192, '\0');
    for (char& c : bytes)
        c = static_cast<char>(gen());
    writeBytes(tables() / "Bad.db", bytes);
    expectRefused();
    EXPECT_THROW(makeTable("Bad", kFields, {{"a", "b", "c"}}), EngineError);
    EXPECT_EQ(readBytes(tables() / "Bad.db"), bytes) << "a replace must not overwrite it";
}

TEST_F(DamagedTableTest, EmptyFile) {
    writeBytes(tables() / "Bad.db", "");
    expectRefused();
}

TEST_F(DamagedTableTest, TruncatedTableFile) {
    Rows rows;
    for (int i = 0; i < 3000; ++i)
        rows.push_back({"salita " + std::to_string(i), "word " + std::to_string(i), ""});
    makeTable("Bad", kFields, rows);
    const std::string whole = readBytes(tables() / "Bad.db");
    writeBytes(tables() / "Bad.db", whole.substr(0, whole.size() / 2));
    expectRefused();
    writeBytes(tables() / "Bad.db", whole.substr(0, 60));
    expectRefused();
}

TEST_F(DamagedTableTest, PlainSqliteFileNotOfOurs) {
    ASSERT_TRUE(rawExec(tables() / "Bad.db",
                        "CREATE TABLE records (Tagalo TEXT); INSERT INTO records VALUES (1)"));
    expectRefused();
    const std::string before = readBytes(tables() / "Bad.db");
    EXPECT_THROW(makeTable("Bad", kFields, {{"a", "b", "c"}}), EngineError);
    EXPECT_EQ(readBytes(tables() / "Bad.db"), before) << "a replace must not overwrite it";
}

TEST_F(TableFileTest, FailedReplaceLeavesTheOldTableWhole) {
    makeTable("Tagalog", kFields, {{"araw", "sun", ""}, {"buwan", "moon", ""}});
    const std::string before = readBytes(tables() / "Tagalog.db");
    int given = 0;
    auto breaksOff = [&](std::vector<std::string>& row) {
        if (++given > 2)
            throw std::runtime_error("the source broke off");
        row = {"new " + std::to_string(given)};
        return true;
    };
    EXPECT_THROW(tablefile::replace(tables(), "Tagalog", {"Only"}, breaksOff, std::nullopt),
                 std::runtime_error);
    EXPECT_EQ(readBytes(tables() / "Tagalog.db"), before);
    Table t;
    openTable(t, "Tagalog");
    EXPECT_EQ(t.fieldNames(), kFields);
    EXPECT_EQ(t.recordCount(), 2);

    given = 0;
    EXPECT_THROW(tablefile::replace(tables(), "Fresh", {"Only"}, breaksOff, std::nullopt),
                 std::runtime_error);
    EXPECT_FALSE(fs::exists(tables() / "Fresh.db")) << "a failed new table leaves no file";
}

TEST_F(TableFileTest, BlankFieldsAreStoredAsNull) {
    makeTable("Tagalog", kFields,
              {{"araw", "sun", ""}, {"buwan", "moon", "also month"}, {"tala", "", ""}});
    const fs::path file = tables() / "Tagalog.db";
    EXPECT_EQ(rawValue(file, "SELECT count(*) FROM records WHERE Notes IS NULL"), "2");
    EXPECT_EQ(rawValue(file, "SELECT English FROM records WHERE Tagalo = 'tala'"), "<null>");

    Query q;
    prepareQuery(q, "SELECT Tagalo FROM Tagalog WHERE Upper(Notes) like \"%%\"");
    q.open();
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.fieldAsText("Tagalo"), "buwan");
}

TEST_F(TableFileTest, ReadOnlyTableFileCanBeReadButNotChanged) {
    makeTable("Tagalog", kFields, {{"araw", "sun", ""}, {"buwan", "moon", ""}});
    const fs::path file = tables() / "Tagalog.db";
    ::chmod(file.c_str(), 0444);
    const std::string before = readBytes(file);

    // Root may write any file, so as root the test takes the identity of an ordinary user.
    const wk::testing::OrdinaryUser user(tables(), root());
    if (user.unavailable())
        GTEST_SKIP() << "running as root without the right to take another identity";

    Table t;
    openTable(t, "Tagalog");
    EXPECT_EQ(t.fieldAsText("English"), "sun");
    t.setFieldText("English", "day");
    const EngineError e = engineErrorOf([&] { t.post(); });
    EXPECT_EQ(e.code(), ErrorCode::ReadOnly) << e.what();
    EXPECT_TRUE(mentions(e, "'Tagalog'")) << e.what();
    t.cancel();
    EXPECT_EQ(t.fieldAsText("English"), "sun");
    EXPECT_THROW(t.deleteRecord(), EngineError);
    EXPECT_EQ(t.recordCount(), 2);
    t.close();
    EXPECT_EQ(readBytes(file), before);
}

TEST_F(TableFileTest, ImportWhereNothingCanBeWrittenSaysWhyAndNamesThePlace) {
    makeTable("Tagalog", kFields, {{"araw", "sun", ""}});
    const fs::path file = tables() / "Tagalog.db";
    const std::string before = readBytes(file);
    const Rows rows = {{"buwan", "moon", ""}};
    const auto import = [&](const std::string& table) {
        return engineErrorOf(
            [&] { tablefile::replace(tables(), table, kFields, readerOf(rows), std::nullopt); });
    };

    // A file the user may not write, in a folder the user may.
    ASSERT_EQ(::chmod(tables().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    {
        // Root may write any file, so as root the test takes the identity of an ordinary user.
        const wk::testing::OrdinaryUser user(root(), root());
        if (user.unavailable())
            GTEST_SKIP() << "running as root without the right to take another identity";
        const EngineError e = import("Tagalog");
        EXPECT_EQ(e.code(), ErrorCode::ReadOnly) << e.what();
        EXPECT_TRUE(mentions(e, "Table 'Tagalog' in folder '" + tables().string() +
                                    "' cannot be written: the file '" + file.string() +
                                    "' cannot be written: Permission denied"))
            << e.what();
    }
    // A folder the user may not write: neither a new table nor the log of a whole one can be made.
    ASSERT_EQ(::chmod(tables().c_str(), 0555), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    {
        const wk::testing::OrdinaryUser user(root(), root());
        for (const std::string table : {"Tagalog", "Fresh"}) {
            const EngineError e = import(table);
            EXPECT_EQ(e.code(), ErrorCode::ReadOnly) << e.what();
            EXPECT_TRUE(mentions(e, "Table '" + table + "' in folder '" + tables().string() +
                                        "' cannot be written: the folder '" + tables().string() +
                                        "' cannot be written: Permission denied"))
                << e.what();
        }
    }
    ::chmod(tables().c_str(), 0755);
    for (const auto& entry : fs::directory_iterator(tables()))
        EXPECT_TRUE(entry.path().filename().string().starts_with("Tagalog.db")) << entry.path();
    EXPECT_EQ(readBytes(file), before);
}

TEST_F(TableFileTest, FieldNamedTwiceInAnyLetterCaseIsRefused) {
    for (const std::vector<std::string>& fields :
         {std::vector<std::string>{"Tagalo", "English", "TAGALO"},
          std::vector<std::string>{"a", "b", "c", "B"}}) {
        const EngineError e = engineErrorOf([&] { makeTable("Twice", fields, {}); });
        EXPECT_EQ(e.code(), ErrorCode::InvalidArgument) << e.what();
        EXPECT_TRUE(mentions(e, "'" + fields.back() + "' appears twice")) << e.what();
    }
    EXPECT_FALSE(fs::exists(tables() / "Twice.db"));
    makeTable("Twice", {"Ñame", "ñame"}, {{"a", "b"}});
    EXPECT_TRUE(fs::exists(tables() / "Twice.db"));
}

TEST(NotWritableReason, ReadOnlyFileSystemIsSaidAndOtherErrorsInTheSystemsWords) {
    using fileutil::WriteTarget;
    EXPECT_EQ(fileutil::notWritableReason("/media/cd", WriteTarget::Folder, EROFS),
              "the folder '/media/cd' is on a read-only file system");
    EXPECT_EQ(fileutil::notWritableReason("/media/cd/Tagalog.db", WriteTarget::File, EROFS),
              "the file '/media/cd/Tagalog.db' is on a read-only file system");
    EXPECT_EQ(fileutil::notWritableReason("/srv/t", WriteTarget::Folder, ENOSPC),
              "the folder '/srv/t' cannot be written: " + std::string(std::strerror(ENOSPC)));
}

} // namespace
} // namespace wk::engine::test
