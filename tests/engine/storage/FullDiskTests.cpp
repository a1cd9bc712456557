#include "EngineFixture.h"

#include "common/PlainSqlite.h"

#include "engine/sql/Query.h"
#include "engine/sql/Table.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFiles.h"
#include "engine/storage/TableMaintenance.h"

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <set>

namespace wk::engine::test {
namespace {

using wk::testing::rawValue;

const std::vector<std::string> kFields = {"Tagalo", "English", "Notes"};

/// Runs `action` in a child process in which no file may grow past `limit` bytes, as on a full
/// disk, and returns what it returned, or how it failed: "input/output error: " or "engine
/// error: " and the EngineError's message, "other exception", "crashed". A write past the limit
/// fails with EFBIG, as one on a full disk fails with ENOSPC: SQLite reports both alike. Only the
/// soft limit is lowered, so the action may lift it again (roomAgain).
std::string onAFullDisk(const std::function<std::string()>& action, rlim_t limit = 64 * 1024) {
    int out[2];
    if (::pipe(out) != 0)
        return "no pipe";
    const pid_t pid = ::fork();
    if (pid < 0)
        return "no child";
    if (pid == 0) {
        ::close(out[0]);
        ::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with an error
        rlimit now{};
        ::getrlimit(RLIMIT_FSIZE, &now);
        const rlimit full{std::min(limit, now.rlim_max), now.rlim_max};
        std::string outcome = "no file size limit";
        if (::setrlimit(RLIMIT_FSIZE, &full) == 0) {
            try {
                outcome = action();
            } catch (const EngineError& e) {
                outcome = (e.code() == ErrorCode::Io ? "input/output error: " : "engine error: ") +
                          std::string(e.what());
            } catch (...) {
                outcome = "other exception";
            }
        }
        for (size_t done = 0; done < outcome.size();) {
            const ssize_t n = ::write(out[1], outcome.data() + done, outcome.size() - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        ::_exit(0);
    }
    ::close(out[1]);
    std::string told;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        told.append(buffer, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return "crashed";
    return told;
}

/// In onAFullDisk's action: the disk has room again.
void roomAgain() {
    rlimit now{};
    ::getrlimit(RLIMIT_FSIZE, &now);
    now.rlim_cur = now.rlim_max;
    ::setrlimit(RLIMIT_FSIZE, &now);
}

bool startsWith(const std::string& text, const std::string& start) {
    return text.starts_with(start);
}

class FullDiskTest : public EngineTest {
protected:
    Session session_{"Test"};

    /// The files beside `Tagalog.db` that SQLite keeps while it is open.
    bool logFilesBeside() const {
        return fs::exists(tables() / "Tagalog.db-wal") || fs::exists(tables() / "Tagalog.db-shm");
    }

    TableFiles& files() { return requireTableFiles(session_.database(kAlias), "The test"); }

    /// The alias's files attached to the session's connection.
    int attachedFiles() {
        SqliteStatement list(files().connection(), "PRAGMA database_list", "Listing the files");
        int n = 0;
        while (list.step())
            n += list.columnText(1) != "main";
        return n;
    }

    /// What a table opened on a full disk shows: its records, a search's answer, why it cannot
    /// be changed, and what a change and a deletion end in. Then, with room again, whether it
    /// opens for writing in the same connection, without a second attachment.
    std::string readOnAFullDisk() {
        std::string seen;
        Table t;
        openTable(t, "Tagalog");
        for (long long r = 0; r < t.recordCount(); ++r)
            seen += t.valueAt(r, 0) + "=" + t.valueAt(r, 1) + " ";
        Query q;
        openQuery(q, "SELECT Tagalo FROM Tagalog WHERE Upper(English) LIKE '%OO%'");
        seen += "| found " + (q.recordCount() == 1 ? q.fieldAsText("Tagalo") : "?");
        seen += " | why: " + t.readOnlyReason();
        t.setFieldText("English", "day");
        try {
            t.post();
            seen += " | change stored";
        } catch (const EngineError& e) {
            seen += " | change refused (" + std::to_string(static_cast<int>(e.code())) +
                    "): " + e.what();
        }
        t.cancel();
        try {
            t.deleteRecord();
            seen += " | deletion stored";
        } catch (const EngineError&) {
            seen += " | deletion refused";
        }
        try {
            tablefile::rebuild(files(), "Tagalog");
            seen += " | rebuilt";
        } catch (const EngineError& e) {
            seen += std::string(" | rebuild refused: ") +
                    (std::string(e.what()).ends_with(t.readOnlyReason()) ? "why" : e.what());
        }
        t.close();
        q.close();

        roomAgain();
        Table again;
        openTable(again, "Tagalog");
        again.setFieldText("English", "daytime");
        again.post();
        return seen + " | with room: " + again.readOnlyReason() + "stored, " +
               std::to_string(attachedFiles()) + " attached";
    }
};

TEST_F(FullDiskTest, TablesThatFillTheDiskLeaveNothingNewBehind) {
    makeTable("Tagalog", kFields, {{"araw", "sun", ""}});
    Rows rows;
    for (int i = 0; i < 4000; ++i)
        rows.push_back({"salita " + std::to_string(i), std::string(200, 'a' + i % 26), ""});
    auto import = [&](const std::string& name) {
        return onAFullDisk([&] {
            makeTable(name, kFields, rows);
            return std::string("stored");
        });
    };
    EXPECT_PRED2(startsWith, import("Fresh"), "input/output error");
    EXPECT_PRED2(startsWith, import("Tagalog"), "input/output error");

    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(tables()))
        if (entry.path().filename().string().starts_with("Fresh"))
            left.insert(entry.path().filename().string());
    EXPECT_EQ(left, std::set<std::string>{}) << "no half file, journal or log of the new table";
    Table t;
    openTable(t, "Tagalog");
    EXPECT_EQ(t.recordCount(), 1) << "the old table is whole";
}

TEST_F(FullDiskTest, TableWithoutItsLogFilesIsReadAsItStandsAndRefusesChanges) {
    const std::string file = (tables() / "Tagalog.db").string();
    // 0 bytes: SQLite cannot make the shared-memory file; 1 KiB: it makes it but cannot give it
    // room, as on a full disk, where it is left 3 bytes long beside an empty log.
    for (const rlim_t limit : {rlim_t{0}, rlim_t{1024}}) {
        SCOPED_TRACE("file size limit " + std::to_string(limit));
        makeTable("Tagalog", kFields, {{"araw", "sun", ""}, {"buwan", "moon", ""}});
        ASSERT_FALSE(logFilesBeside()) << "the last connection removed the log's files";
        const std::string seen = onAFullDisk([&] { return readOnAFullDisk(); }, limit);
        const std::string why = "the file '" + file +
                                "' is open for reading only: there is no room to make its "
                                "shared-memory file '" +
                                file + "-shm' (is the disk full?)";
        EXPECT_EQ(seen,
                  "araw=sun buwan=moon | found buwan | why: " + why +
                      " | change refused (9): Table 'Tagalog' in folder '" + tables().string() +
                      "' is read-only: " + why +
                      " | deletion refused | rebuild refused: why | with room: stored, 1 attached");
        EXPECT_EQ(rawValue(file, "SELECT group_concat(English, ',') FROM records"), "daytime,moon")
            << "only the change made with room is stored";
    }
}

// A log with changes in it that no program has taken into the file yet (its writer ended without
// it): reading the file as it stands would miss them, so it is not read without the log.
TEST_F(FullDiskTest, TableWithChangesInItsLogIsNotReadWithoutThem) {
    makeTable("Tagalog", kFields, {{"araw", "sun", ""}});
    const fs::path file = tables() / "Tagalog.db";
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer,
                           "PRAGMA wal_autocheckpoint = 0; "
                           "INSERT INTO records (Tagalo, English) VALUES ('buwan', 'moon')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const std::string before = readBytes(file);
    const std::string log = readBytes(file.string() + "-wal");
    sqlite3_close(writer);
    writeBytes(file, before);
    writeBytes(file.string() + "-wal", log);
    fs::remove(file.string() + "-shm");
    ASSERT_FALSE(log.empty());

    const std::string seen = onAFullDisk(
        [&] {
            Table t;
            openTable(t, "Tagalog");
            return "read " + std::to_string(t.recordCount()) + " records";
        },
        1024);
    EXPECT_EQ(seen, "input/output error: Table 'Tagalog' in folder '" + tables().string() +
                        "' cannot be read: there is no room to make its shared-memory file '" +
                        file.string() +
                        "-shm' (is the disk full?), without which the changes in "
                        "its write-ahead log '" +
                        file.string() + "-wal' cannot be read");
    Table t;
    openTable(t, "Tagalog");
    EXPECT_EQ(t.recordCount(), 2) << "with room, the change in the log is read";
}

} // namespace
} // namespace wk::engine::test
