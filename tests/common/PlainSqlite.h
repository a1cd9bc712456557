#pragma once

// SQLite used directly on a table file, as another program would: running a statement on it,
// reading one value, and holding it locked. A failure fails the running test.

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

namespace wk::testing {

/// Runs `sql` (one or more statements) on `file` through a connection of its own; false, and
/// the test failed with SQLite's message, when it fails.
inline bool rawExec(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open(file.c_str(), &db);
    char* error = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        ADD_FAILURE() << file << ": " << sql << "\n" << message;
    return rc == SQLITE_OK;
}

/// The first value of the first row `sql` gives on `file`, read through a connection of its own
/// that only reads: "<no row>" when it gives none, "<null>" for NULL.
inline std::string rawValue(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    struct First {
        std::string value = "<no row>";
        bool seen = false;
    } first;
    EXPECT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK) << file;
    auto keep = [](void* to, int, char** values, char**) {
        auto* f = static_cast<First*>(to);
        if (!std::exchange(f->seen, true))
            f->value = values[0] ? values[0] : "<null>";
        return 0;
    };
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), keep, &first, &error), SQLITE_OK)
        << sql << "\n"
        << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
    return first.value;
}

/// While it lives, another program holds `file` in an exclusive transaction: nobody else may
/// read or write it.
class LockedFile {
public:
    explicit LockedFile(const std::filesystem::path& file) {
        EXPECT_EQ(sqlite3_open(file.c_str(), &db_), SQLITE_OK) << file;
        EXPECT_EQ(sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK)
            << file;
    }
    ~LockedFile() { release(); }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    /// Ends the transaction and the connection; nothing it did is kept.
    void release() {
        if (!db_)
            return;
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
        db_ = nullptr;
    }

private:
    sqlite3* db_ = nullptr;
};

} // namespace wk::testing
