#include "EngineFixture.h"

#include "engine/config/EnginePaths.h"
#include "engine/sql/Query.h"
#include "engine/storage/Session.h"

namespace wk::engine::test {
namespace {

using SessionTest = EngineTest;

TEST_F(SessionTest, DrivePathsLieBelowTheDataFolder) {
    const fs::path drives = root() / "data" / "wikabay-engine" / "drives";
    EXPECT_EQ(paths::toNative("C:\\BdeNetDir"), drives / "c" / "BdeNetDir");
    EXPECT_EQ(paths::toNative("d:\\Data\\Tables"), drives / "d" / "Data" / "Tables");
    EXPECT_EQ(paths::toNative("/var/lib/tables"), fs::path("/var/lib/tables"));
}

TEST_F(SessionTest, NetDirOfAnInactiveSessionIsOnlyRecorded) {
    Session s("Test");
    s.setNetFileDir("C:\\BdeNetDir");
    const fs::path folder = paths::toNative("C:\\BdeNetDir");
    EXPECT_FALSE(s.active());
    EXPECT_EQ(s.netFileDir(), "C:\\BdeNetDir");
    EXPECT_FALSE(fs::exists(folder));

    s.addPassword("secret");
    EXPECT_TRUE(s.active());
    EXPECT_TRUE(Session::defaultSession().active());
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(s.passwords(), std::vector<std::string>{"secret"});
    EXPECT_EQ(Session::find("test"), &s);

    s.setNetFileDir("C:\\Later");
    EXPECT_TRUE(fs::is_directory(paths::toNative("C:\\Later"))) << "an active session applies it";
}

TEST_F(SessionTest, FileInPlaceOfTheNetDirKeepsTheSessionInactive) {
    const fs::path blocked = paths::toNative("C:\\Blocked");
    writeBytes(blocked, "not a folder");
    Session s("Test");
    s.setNetFileDir("C:\\Blocked");
    const EngineError e = engineErrorOf([&] { s.addPassword("secret"); });
    EXPECT_EQ(e.code(), ErrorCode::Io);
    EXPECT_TRUE(mentions(e, blocked.string())) << e.what();
    EXPECT_FALSE(s.active());
    EXPECT_TRUE(s.passwords().empty());
    EXPECT_EQ(readBytes(blocked), "not a folder");

    // On an active session the old directory stays in force.
    Session other("Other");
    other.open();
    EXPECT_THROW(other.setNetFileDir("C:\\Blocked"), EngineError);
    EXPECT_EQ(other.netFileDir(), "");
}

TEST_F(SessionTest, UnknownAliasOrSessionIsNamed) {
    Session s("Test");
    Query q;
    q.setSessionName("Test");
    q.setDatabaseName("NoSuchAlias");
    q.addSql("SELECT * FROM Tagalog");
    EngineError e = engineErrorOf([&] { q.open(); });
    EXPECT_EQ(e.code(), ErrorCode::NotFound);
    EXPECT_TRUE(mentions(e, "NoSuchAlias")) << e.what();
    EXPECT_FALSE(q.active());

    q.setSessionName("Nobody");
    q.setDatabaseName(kAlias);
    e = engineErrorOf([&] { q.open(); });
    EXPECT_TRUE(mentions(e, "Nobody")) << e.what();
}

TEST_F(SessionTest, AliasWhoseFolderIsMissingNamesTheFolder) {
    const fs::path missing = root() / "gone";
    setAlias("Gone", missing.string());
    Session s("Test");
    const EngineError e = engineErrorOf([&] { s.database("Gone"); });
    EXPECT_EQ(e.code(), ErrorCode::NotFound);
    EXPECT_TRUE(mentions(e, missing.string())) << e.what();
    EXPECT_TRUE(mentions(e, "Gone")) << e.what();
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(SessionTest, AliasOnADrivePathReadsTablesBelowTheDataFolder) {
    const fs::path folder = paths::toNative("C:\\Wikabay\\Data");
    fs::create_directories(folder);
    makeTable("Tagalog", {"Tagalo", "English"}, {{"araw", "sun"}}, std::nullopt, folder);
    setAlias("OnDrive", "C:\\Wikabay\\Data");
    Session s("Test");
    Query q;
    q.setSessionName("test");
    q.setDatabaseName("ondrive");
    q.addSql("SELECT English FROM tagalog");
    q.open();
    EXPECT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.fieldAsText("english"), "sun");
}

} // namespace
} // namespace wk::engine::test
