// Two programs on one table file: a change is stored only on the record as it was read, never on
// another one, and reading never waits for someone else's writing.

#include "EngineFixture.h"

#include "common/OrdinaryUser.h"

#include "engine/base/Sqlite.h"
#include "engine/sql/Query.h"
#include "engine/sql/Table.h"
#include "engine/storage/Session.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace wk::engine::test {
namespace {

const std::vector<std::string> kFields = {"Name", "Description", "URL"};
const Rows kSites = {
    {"Commission", "The language commission.", "https://kwf.gov.ph/"},
    {"Wikipedia", "", "https://tl.wikipedia.org/"},
    {"Old style", "Written without a scheme.", "www.example.org/tagalog"},
};
const Rows kOtherSites = {
    {"Dictionary", "Words and meanings.", "https://dictionary.example/"},
    {"Radio", "News in Tagalog.", "https://radio.example/"},
    {"Songs", "Lyrics with translations.", "https://songs.example/"},
    {"Lessons", "", "https://lessons.example/"},
};
// What each refusal says: nothing was stored, and whether the record is still there.
constexpr const char* kChangeRefused = "The record was changed by another program. Your change "
                                       "was not stored; the record has been read again.";
constexpr const char* kChangeOfAGoneRecord = "The record was deleted by another program, or its "
                                             "table imported anew. Your change was not stored.";
constexpr const char* kDeletionRefused = "The record was changed by another program. It was not "
                                         "deleted; the record has been read again.";
constexpr const char* kDeletionOfAGoneRecord =
    "The record was deleted by another program, or its table imported anew.";

class ConcurrentWriteTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        makeTable("Sites", kFields, kSites);
    }

    /// Every record of a table file as stored, in order, read by a connection of its own.
    Rows stored(const std::string& table = "Sites") const {
        SqliteDb db((tables() / (table + ".db")).string(), SqliteDb::Mode::ReadOnly);
        SqliteStatement st(db, "SELECT * FROM records ORDER BY rowid", "reading");
        Rows rows;
        while (st.step()) {
            std::vector<std::string> row;
            for (int c = 0; c < st.columnCount(); ++c)
                row.push_back(st.columnText(c));
            rows.push_back(row);
        }
        return rows;
    }

    static void expectRefused(const EngineError& e, const char* message) {
        EXPECT_EQ(e.code(), ErrorCode::ChangedByAnother) << e.what();
        EXPECT_STREQ(e.what(), message);
    }

    Session a_{"A"};
    Session b_{"B"};
};

TEST_F(ConcurrentWriteTest, SecondEditOfARecordIsRefusedAndShowsTheStoredRecord) {
    Table first, second;
    openTable(first, "Sites", "A");
    openTable(second, "Sites", "B");
    first.setFieldText("Description", "Edited in A.");
    second.setFieldText("Description", "Edited in B.");
    first.post();
    EXPECT_EQ(first.fieldAsText("Description"), "Edited in A."); // as A's window shows it
    expectRefused(engineErrorOf([&] { second.post(); }), kChangeRefused);

    Rows expected = kSites;
    expected[0][1] = "Edited in A.";
    EXPECT_EQ(stored(), expected);
    EXPECT_EQ(second.state(), DatasetState::Browse);
    EXPECT_EQ(second.recNo(), 0);
    EXPECT_EQ(second.fieldAsText("Description"), "Edited in A.");
    std::optional<Table::RefusedChange> refused = second.takeRefusedChange();
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->sameRecord);
    EXPECT_EQ(refused->values,
              (std::vector<std::string>{"Commission", "Edited in B.", "https://kwf.gov.ph/"}));
    EXPECT_FALSE(second.takeRefusedChange()) << "handed over once";

    // Offered again on the record as it is now, the change is stored.
    second.setFieldText("Description", "Edited in B.");
    second.post();
    expected[0][1] = "Edited in B.";
    EXPECT_EQ(stored(), expected);

    // A move posts the same way: A still shows its own text, so its change is refused and the
    // move does not happen.
    first.setFieldText("Description", "Edited in A again.");
    expectRefused(engineErrorOf([&] { first.next(); }), kChangeRefused);
    EXPECT_EQ(first.recNo(), 0);
    EXPECT_EQ(first.fieldAsText("Description"), "Edited in B.");
    EXPECT_EQ(stored(), expected);
}

TEST_F(ConcurrentWriteTest, AChangeWaitsForAnotherProgramsWriteInsteadOfFailingAsLocked) {
    Table t;
    openTable(t, "Sites", "A");
    // Another program writes the file and ends its write a moment later, while this change
    // waits for the lock (within the connection's busy timeout).
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((tables() / "Sites.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; UPDATE records SET URL = URL WHERE 0", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    std::thread ending([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    t.edit();
    t.setFieldText("Description", "Kept while another program wrote.");
    EXPECT_NO_THROW(t.post());
    ending.join();
    sqlite3_close(other);
    EXPECT_EQ(stored()[0][1], "Kept while another program wrote.");
}

TEST_F(ConcurrentWriteTest, BlankFieldsMatchWhetherStoredAsNullOrAsEmptyText) {
    Table t;
    openTable(t, "Sites", "A");
    t.moveTo(1); // its Description is blank, stored as NULL
    t.setFieldText("Description", "The encyclopedia.");
    t.post();
    {
        // Another program stores an empty text, which reads as blank too.
        SqliteDb other((tables() / "Sites.db").string(), SqliteDb::Mode::ReadWrite);
        other.exec("UPDATE records SET Description = '' WHERE rowid = 3", "changing");
    }
    t.moveTo(2);
    t.setFieldText("Description", "");
    t.post();
    Rows expected = kSites;
    expected[1][1] = "The encyclopedia.";
    expected[2][1] = "";
    EXPECT_EQ(stored(), expected);
    // Now blank as read here, and blank as stored: a change goes through.
    t.setFieldText("Description", "Written without a scheme.");
    t.post();
    EXPECT_EQ(stored()[2], kSites[2]);
}

TEST_F(ConcurrentWriteTest, EditOfARecordAnotherSessionDeletedIsRefusedAndStoresNothing) {
    Table deleter, editor;
    openTable(deleter, "Sites", "A");
    openTable(editor, "Sites", "B");
    editor.moveTo(1);
    EXPECT_EQ(editor.fieldAsText("Name"), "Wikipedia");
    deleter.moveTo(1);
    deleter.deleteRecord();

    editor.setFieldText("Description", "Lost?");
    expectRefused(engineErrorOf([&] { editor.post(); }), kChangeOfAGoneRecord);
    EXPECT_EQ(stored(), (Rows{kSites[0], kSites[2]}));
    // The record left the list; the one after it is current.
    EXPECT_EQ(editor.recordCount(), 2);
    EXPECT_EQ(editor.fieldAsText("Name"), "Old style");
    EXPECT_EQ(editor.state(), DatasetState::Browse);
    std::optional<Table::RefusedChange> refused = editor.takeRefusedChange();
    ASSERT_TRUE(refused);
    EXPECT_FALSE(refused->sameRecord);
    EXPECT_EQ(refused->values[1], "Lost?");
}

TEST_F(ConcurrentWriteTest, DeletingARecordAnotherSessionChangedOrDeletedIsRefused) {
    Table other, t;
    openTable(other, "Sites", "A");
    openTable(t, "Sites", "B");
    EXPECT_EQ(t.fieldAsText("Description"), "The language commission.");
    other.setFieldText("Description", "Changed meanwhile.");
    other.post();
    expectRefused(engineErrorOf([&] { t.deleteRecord(); }), kDeletionRefused);
    Rows expected = kSites;
    expected[0][1] = "Changed meanwhile.";
    EXPECT_EQ(stored(), expected);
    EXPECT_EQ(t.recordCount(), 3);
    EXPECT_EQ(t.fieldAsText("Description"), "Changed meanwhile.");
    EXPECT_FALSE(t.takeRefusedChange()) << "a deletion types nothing";

    t.moveTo(2);
    EXPECT_EQ(t.fieldAsText("Name"), "Old style");
    other.moveTo(2);
    other.deleteRecord();
    expectRefused(engineErrorOf([&] { t.deleteRecord(); }), kDeletionOfAGoneRecord);
    EXPECT_EQ(stored(), (Rows{expected[0], expected[1]}));
    EXPECT_EQ(t.recordCount(), 2);

    // Read again, the record can be deleted.
    t.first();
    t.deleteRecord();
    EXPECT_EQ(stored(), (Rows{expected[1]}));
}

TEST_F(ConcurrentWriteTest, EditOnATableImportedAnewNeverOverwritesAnotherRecord) {
    Table t;
    openTable(t, "Sites", "A");
    t.moveTo(1);
    t.setFieldText("Description", "Edited before the import.");
    EXPECT_FALSE(t.tableReplaced());
    makeTable("Sites", kFields, kOtherSites);
    EXPECT_TRUE(t.tableReplaced());

    expectRefused(engineErrorOf([&] { t.post(); }), kChangeOfAGoneRecord);
    EXPECT_EQ(stored(), kOtherSites);
    // The new records are shown, from the same place; the record it was for is gone.
    EXPECT_FALSE(t.tableReplaced());
    EXPECT_EQ(t.recordCount(), 4);
    EXPECT_EQ(t.recNo(), 1);
    EXPECT_EQ(t.fieldAsText("Name"), "Radio");
    std::optional<Table::RefusedChange> refused = t.takeRefusedChange();
    ASSERT_TRUE(refused);
    EXPECT_FALSE(refused->sameRecord);
    EXPECT_EQ(refused->values[1], "Edited before the import.");

    // A deletion as well.
    makeTable("Sites", kFields, kSites);
    expectRefused(engineErrorOf([&] { t.deleteRecord(); }), kDeletionOfAGoneRecord);
    EXPECT_EQ(stored(), kSites);
}

TEST_F(ConcurrentWriteTest, EditOnTheSameRecordsImportedAnewIsRefusedAndFindsItsRecord) {
    Table t;
    openTable(t, "Sites", "A");
    t.moveTo(2);
    t.setFieldText("Description", "Edited before the import.");
    makeTable("Sites", kFields, {kOtherSites[0], kSites[0], kSites[1], kSites[2]});
    expectRefused(engineErrorOf([&] { t.post(); }), kChangeRefused);
    EXPECT_EQ(stored(), (Rows{kOtherSites[0], kSites[0], kSites[1], kSites[2]}));
    EXPECT_EQ(t.recNo(), 3);
    EXPECT_EQ(t.fieldAsText("Name"), "Old style");
    std::optional<Table::RefusedChange> refused = t.takeRefusedChange();
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->sameRecord);
}

TEST_F(ConcurrentWriteTest, TextTypedForATableThatCannotBeReadAgainIsHandedOverWithTheError) {
    Table t;
    openTable(t, "Sites", "A");
    t.setFieldText("Description", "Typed before the import.");
    // Imported anew under a password this session does not hold: the records cannot be read
    // again, and the reason is what the user is told; the typed text is not lost with it.
    makeTable("Sites", kFields, kOtherSites, std::string("secret"));
    const EngineError e = engineErrorOf([&] { t.post(); });
    EXPECT_EQ(e.code(), ErrorCode::Password) << e.what();
    EXPECT_FALSE(t.active());
    std::optional<Table::RefusedChange> refused = t.takeRefusedChange();
    ASSERT_TRUE(refused);
    EXPECT_FALSE(refused->sameRecord);
    EXPECT_EQ(refused->values[1], "Typed before the import.");
    EXPECT_EQ(stored(), kOtherSites);
}

TEST_F(ConcurrentWriteTest, QueryNoticesAnImportButNotAnEdit) {
    Query q;
    openQuery(q, "SELECT * FROM Sites", "A");
    Table t;
    openTable(t, "Sites", "B");
    t.setFieldText("Description", "Edited.");
    t.post();
    EXPECT_FALSE(q.tableReplaced());
    makeTable("Sites", kFields, kOtherSites);
    EXPECT_TRUE(q.tableReplaced());
    q.close();
    EXPECT_FALSE(q.tableReplaced());
    q.open();
    EXPECT_FALSE(q.tableReplaced());
    EXPECT_EQ(q.recordCount(), 4);
}

// Many long rows, more than SQLite keeps in memory, so that a writer must put pages into the file
// (or its log) before it commits.
Rows longRows(int count, const std::string& word) {
    Rows rows;
    for (int i = 0; i < count; ++i)
        rows.push_back({word + " " + std::to_string(i), std::string(1000, 'x'), ""});
    return rows;
}

class ReadingWhileWritingTest : public ConcurrentWriteTest {
protected:
    static constexpr const char* kSearch =
        "SELECT * FROM Sites WHERE Upper(Name) like \"%WIKI%\" OR Upper(Description) like "
        "\"%WIKI%\"";

    /// Opens a write transaction on the file from a connection of its own and writes into it
    /// until pages must leave the memory, without committing.
    static void writeWithoutCommitting(SqliteDb& other) {
        other.exec("PRAGMA cache_size = 10; BEGIN IMMEDIATE", "locking");
        SqliteStatement ins(other, "INSERT INTO records VALUES (?1, ?2, NULL)", "writing");
        for (const auto& row : longRows(3000, "uncommitted")) {
            ins.reset();
            ins.bindTextOrNull(1, row[0]);
            ins.bindTextOrNull(2, row[1]);
            ins.run();
        }
    }
};

TEST_F(ReadingWhileWritingTest, SearchAndBrowsingGoOnWhileAnotherConnectionWrites) {
    SqliteDb other((tables() / "Sites.db").string(), SqliteDb::Mode::ReadWrite);
    writeWithoutCommitting(other);
    Query q;
    openQuery(q, kSearch, "A");
    EXPECT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.fieldAsText("URL"), "https://tl.wikipedia.org/");
    Table t;
    openTable(t, "Sites", "B");
    EXPECT_EQ(t.recordCount(), 3);
    EXPECT_EQ(t.fieldAsText("Name"), "Commission");
    other.exec("ROLLBACK", "unlocking");
}

TEST_F(ReadingWhileWritingTest, AFileMadeBeforeTheLogIsSwitchedWhenOpenedForWriting) {
    {
        SqliteDb old((tables() / "Sites.db").string(), SqliteDb::Mode::ReadWrite);
        old.exec("PRAGMA journal_mode = DELETE", "switching back");
    }
    Table t;
    openTable(t, "Sites", "A");
    SqliteDb other((tables() / "Sites.db").string(), SqliteDb::Mode::ReadWrite);
    writeWithoutCommitting(other);
    Query q;
    openQuery(q, kSearch, "B");
    EXPECT_EQ(q.recordCount(), 1);
    other.exec("ROLLBACK", "unlocking");
}

TEST_F(ReadingWhileWritingTest, SearchDuringAnImportFindsTheOldRecordsThenTheNew) {
    Query before;
    openQuery(before, kSearch, "A");
    bool searched = false;
    int given = 0;
    const Rows incoming = longRows(4000, "wiki");
    tablefile::replace(
        tables(), "Sites", kFields,
        [&](std::vector<std::string>& row) {
            if (given == 3000) {
                // Halfway through the import, another program searches.
                Query during;
                EXPECT_NO_THROW(openQuery(during, kSearch, "B"));
                EXPECT_EQ(during.recordCount(), 1);
                EXPECT_EQ(during.fieldAsText("Name"), "Wikipedia");
                EXPECT_FALSE(before.tableReplaced());
                EXPECT_EQ(before.fieldAsText("Name"), "Wikipedia");
                searched = true;
            }
            if (given == static_cast<int>(incoming.size()))
                return false;
            row = incoming[static_cast<size_t>(given++)];
            return true;
        },
        std::nullopt);
    EXPECT_TRUE(searched);
    EXPECT_TRUE(before.tableReplaced());
    Query after;
    openQuery(after, kSearch, "B");
    EXPECT_EQ(after.recordCount(), 4000);
}

TEST_F(ReadingWhileWritingTest, FailedImportLeavesTheOldTableToItsReaders) {
    Query q;
    openQuery(q, kSearch, "A");
    int given = 0;
    const Rows incoming = longRows(3000, "wiki");
    EXPECT_THROW(tablefile::replace(
                     tables(), "Sites", kFields,
                     [&](std::vector<std::string>& row) {
                         if (given == 2500)
                             throw std::runtime_error("the source broke off");
                         row = incoming[static_cast<size_t>(given++)];
                         return true;
                     },
                     std::nullopt),
                 std::runtime_error);
    EXPECT_FALSE(q.tableReplaced());
    EXPECT_EQ(stored(), kSites);
    q.close();
    q.open();
    EXPECT_EQ(q.recordCount(), 1);
}

TEST_F(ConcurrentWriteTest, TableInAFolderThatCannotBeWrittenIsReadAsBefore) {
    makeTable("Old", kFields, kSites);
    {
        SqliteDb old((tables() / "Old.db").string(), SqliteDb::Mode::ReadWrite);
        old.exec("PRAGMA journal_mode = DELETE", "switching back");
    }
    // The files could be written, but not the log or journal SQLite keeps beside them.
    for (const char* file : {"Sites.db", "Old.db"})
        ASSERT_EQ(::chmod((tables() / file).c_str(), 0666), 0);
    ASSERT_EQ(::chmod(tables().c_str(), 0555), 0);
    // Root may write any folder, so as root the test takes the identity of an ordinary user.
    wk::testing::OrdinaryUser user(root(), root());
    if (user.unavailable()) {
        ::chmod(tables().c_str(), 0755);
        GTEST_SKIP() << "running as root without the right to take another identity";
    }
    // Sites keeps a write-ahead log, Old a journal as files made before the log did.
    for (const char* table : {"Sites", "Old"}) {
        Query q;
        openQuery(q, std::string("SELECT * FROM ") + table + " WHERE Upper(Name) like \"%WIKI%\"",
                  "A");
        EXPECT_EQ(q.recordCount(), 1) << table;
        Table t;
        openTable(t, table, "B");
        EXPECT_EQ(t.recordCount(), 3) << table;
        EXPECT_FALSE(t.canModify()) << table;
        EXPECT_NE(t.readOnlyReason().find("folder"), std::string::npos) << t.readOnlyReason();
    }
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(tables()))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"Old.db", "Sites.db"}));
    user.end();
    ::chmod(tables().c_str(), 0755);
}

} // namespace
} // namespace wk::engine::test
