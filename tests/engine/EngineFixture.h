#pragma once

// Shared ground of the engine tests: every test gets its own temporary folder, with the engine's
// configuration and data folders inside it, so that nothing touches the real home.

#include "engine/base/EngineError.h"
#include "engine/config/Aliases.h"
#include "engine/config/ConfigStore.h"
#include "engine/config/ConfigTree.h"
#include "engine/sql/Query.h"
#include "engine/storage/TableFile.h"

#include "common/FileBytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace wk::engine::test {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

/// Runs `action` and returns the EngineError it raises; fails the test when it raises none.
template <typename Action> EngineError engineErrorOf(Action&& action) {
    try {
        action();
    } catch (const EngineError& e) {
        return e;
    }
    ADD_FAILURE() << "expected an EngineError";
    return EngineError(ErrorCode::General, "<no error was raised>");
}

inline bool mentions(const EngineError& e, const std::string& text) {
    return std::string(e.what()).find(text) != std::string::npos;
}

using wk::testing::readBytes;
using wk::testing::writeBytes;

/// Reads `rows` one after the other, as an import takes them.
inline tablefile::RowReader readerOf(const Rows& rows) {
    return [&rows, next = size_t{0}](std::vector<std::string>& row) mutable {
        if (next == rows.size())
            return false;
        row = rows[next++];
        return true;
    };
}

/// Where the tests' tables are kept: table files in the alias's folder, or, when a test program
/// sets `serverUri` (the server tests run some engine tests again that way), the database it
/// names, into which `import` imports a table and which `clear` empties before each test.
struct TableHome {
    std::string serverUri;
    std::function<void(const std::string& name, const std::vector<std::string>& fields,
                       const Rows& rows, const std::optional<std::string>& password)>
        import;
    std::function<void()> clear;
};

inline TableHome& tableHome() {
    static TableHome home;
    return home;
}

/// True when the tables are on a server (see TableHome).
inline bool tablesOnServer() {
    return !tableHome().serverUri.empty();
}

class EngineTest : public ::testing::Test {
protected:
    static constexpr const char* kAlias = "Wikabay";

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "wikabay-engine-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        tables_ = root_ / "tables";
        fs::create_directories(tables_);
        if (tablesOnServer()) {
            tableHome().clear();
            setAlias(kAlias, tableHome().serverUri);
        } else {
            setAlias(kAlias, tables_.string());
        }
    }

    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    const fs::path& root() const { return root_; }
    const fs::path& tables() const { return tables_; }

    /// Creates or replaces a table file in `folder` (the alias's folder by default), whose search
    /// index covers the fields `searched` says (by number; every field when empty).
    void makeTable(const std::string& name, const std::vector<std::string>& fields,
                   const Rows& rows, const std::optional<std::string>& password = std::nullopt,
                   const fs::path& folder = {}, const std::vector<bool>& searched = {}) const {
        if (tablesOnServer() && folder.empty()) {
            tableHome().import(name, fields, rows, password);
            return;
        }
        tablefile::replace(folder.empty() ? tables_ : folder, name, fields, readerOf(rows),
                           password, {}, searched);
    }

    /// Every field of every record that `statement` gives on `alias`, in its order, read
    /// through a Query of the session "Test".
    static Rows queryRows(const std::string& statement, const std::string& alias = kAlias) {
        Query q;
        q.setSessionName("Test");
        q.setDatabaseName(alias);
        q.addSql(statement);
        q.open();
        Rows out;
        for (long long r = 0; r < q.recordCount(); ++r) {
            std::vector<std::string> row;
            for (int f = 0; f < static_cast<int>(q.fieldNames().size()); ++f)
                row.push_back(q.valueAt(r, f));
            out.push_back(row);
        }
        return out;
    }

    static void setAlias(const std::string& alias, const std::string& folder) {
        ConfigStore().update([&](ConfigTree& t) { aliases::set(t, alias, folder); });
    }

private:
    fs::path root_;
    fs::path tables_;
};

} // namespace wk::engine::test
