// An import that is killed or fails leaves nothing a later import cannot replace, and fields that
// would hide the records' numbers are refused.

#include "EngineFixture.h"
#include "common/FileBytes.h"

#include "engine/storage/Database.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFile.h"
#include "engine/storage/TableFiles.h"
#include "engine/storage/TableMaintenance.h"

#include <chrono>
#include <stdexcept>

namespace wk::engine::test {
namespace {

const std::vector<std::string> kFields = {"Tagalo", "English"};
const Rows kRows = {{"araw", "sun"}, {"tubig", "water"}};

class UnfinishedImportTest : public EngineTest {
protected:
    fs::path file() const { return tables() / "Tagalog.db"; }

    TableFiles& db() { return requireTableFiles(session_.database(kAlias), "The test"); }

    // The names in the tables' folder besides the table files themselves.
    std::vector<std::string> others() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(tables()))
            if (e.path().extension() != ".db")
                names.push_back(e.path().filename().string());
        return names;
    }

    Session session_{"Test"};
};

TEST_F(UnfinishedImportTest, AHalfWrittenFileIsNamedAsSuchAndTheNextImportWritesItAnew) {
    // What a killed import of an older engine left: pages written, the header never.
    writeBytes(file(), std::string(8192, '\0'));
    try {
        db().table("Tagalog");
        FAIL() << "a half-written file opened";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.code(), ErrorCode::Corrupt);
        EXPECT_TRUE(mentions(e, "never finished: import it again")) << e.what();
    }
    const tablefile::CheckReport checked = tablefile::check(db(), "Tagalog");
    EXPECT_FALSE(checked.well);
    ASSERT_EQ(checked.findings.size(), 1u);
    EXPECT_NE(checked.findings[0].find("never finished"), std::string::npos);

    const std::string remark = db().replace("Tagalog", kFields, readerOf(kRows), std::nullopt);
    EXPECT_NE(remark.find("never finished, and is written anew"), std::string::npos) << remark;
    EXPECT_EQ(queryRows("SELECT * FROM Tagalog"), kRows);
    // An empty file is taken as none too; a whole table is replaced in place, without remark.
    writeBytes(tables() / "Empty.db", "");
    EXPECT_TRUE(
        tablefile::replace(tables(), "Empty", kFields, readerOf(kRows), std::nullopt).unfinished);
    EXPECT_FALSE(
        tablefile::replace(tables(), "Empty", kFields, readerOf(kRows), std::nullopt).unfinished);
}

TEST_F(UnfinishedImportTest, AFileOfAnotherProgramIsStillNeverOverwritten) {
    const std::string foreign = "SQLite format 3" + std::string(1, '\0') + std::string(200, 'x');
    writeBytes(file(), foreign);
    EXPECT_FALSE(tablefile::unfinished(file()));
    EXPECT_THROW(tablefile::replace(tables(), "Tagalog", kFields, readerOf(kRows), std::nullopt),
                 EngineError);
    EXPECT_EQ(readBytes(file()), foreign);
}

TEST_F(UnfinishedImportTest, ANewTableThatFailsLeavesNoFileAndStaleImportsAreCleared) {
    int given = 0;
    const tablefile::RowReader failing = [&](std::vector<std::string>& row) -> bool {
        if (++given > 1)
            throw std::runtime_error("the source broke off");
        row = {"bago", "new"};
        return true;
    };
    EXPECT_THROW(tablefile::replace(tables(), "Tagalog", kFields, failing, std::nullopt),
                 std::runtime_error);
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_TRUE(others().empty());

    // What a killed import left an hour ago goes with the next import of that table; a fresh
    // one (another import may be writing it) and those of other tables stay.
    const fs::path old = tables() / ".Tagalog.db.import-1-0-abc";
    const fs::path fresh = tables() / ".Tagalog.db.import-2-0-def";
    const fs::path other = tables() / ".Internet.db.import-1-0-abc";
    for (const fs::path& p : {old, fresh, other})
        writeBytes(p, "half");
    const auto twoHoursAgo = fs::file_time_type::clock::now() - std::chrono::hours(2);
    fs::last_write_time(old, twoHoursAgo);
    fs::last_write_time(other, twoHoursAgo);
    tablefile::replace(tables(), "Tagalog", kFields, readerOf(kRows), std::nullopt);
    EXPECT_FALSE(fs::exists(old));
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_EQ(queryRows("SELECT * FROM Tagalog"), kRows);
}

TEST_F(UnfinishedImportTest, FieldsThatWouldHideTheRecordsNumbersAreRefused) {
    for (const std::string name : {"rowid", "RowID", "oid", "_rowid_"}) {
        try {
            tablefile::replace(tables(), "Export", {name, "English"},
                               readerOf({{"3", "apple"}, {"1", "banana"}}), std::nullopt);
            FAIL() << name << " was taken";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
            EXPECT_TRUE(mentions(e, "Field name '" + name + "' is a name SQLite keeps"))
                << e.what();
        }
        EXPECT_FALSE(fs::exists(tables() / "Export.db"));
    }
    // A field that only begins so is a field like any other.
    makeTable("Export", {"rowid_old", "English"}, {{"3", "apple"}, {"1", "banana"}});
    EXPECT_EQ(queryRows("SELECT English FROM Export WHERE Upper(English) like '%APPLE%'"),
              (Rows{{"apple"}}));
}

} // namespace
} // namespace wk::engine::test
