#pragma once

// Shared ground of the engine tests: every test gets its own EngineHome, with the alias kAlias
// over its tables, and opens tables and queries of that alias in the session "Test".

#include "engine/base/EngineError.h"
#include "engine/sql/Query.h"
#include "engine/sql/Table.h"
#include "engine/storage/TableFile.h"

#include "common/Aliases.h"
#include "common/EngineHome.h"
#include "common/FileBytes.h"
#include "common/TableRows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace wk::engine::test {

namespace fs = std::filesystem;
using wk::testing::readerOf;
using wk::testing::Rows;

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
using wk::testing::setAlias;
using wk::testing::writeBytes;

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
        home_.makeCurrent();
        if (tablesOnServer()) {
            tableHome().clear();
            setAlias(kAlias, tableHome().serverUri);
        } else {
            setAlias(kAlias, tables().string());
        }
    }

    const fs::path& root() const { return home_.root(); }
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
        wk::testing::writeTable(folder.empty() ? tables_ : folder, name, fields, rows, password,
                                searched);
    }

    /// Sets `t` to the table `name` of `alias` in `session`, named "Table1", and opens it.
    static void openTable(Table& t, const std::string& name, const std::string& session = "Test",
                          const std::string& alias = kAlias) {
        t.setName("Table1");
        t.setSessionName(session);
        t.setDatabaseName(alias);
        t.setTableName(name);
        t.open();
    }

    /// Sets `q` to run `statement` on `alias` in `session`, named "Query1"; it is not opened.
    static void prepareQuery(Query& q, const std::string& statement,
                             const std::string& session = "Test",
                             const std::string& alias = kAlias) {
        q.setName("Query1");
        q.setSessionName(session);
        q.setDatabaseName(alias);
        q.addSql(statement);
    }

    /// Sets `q` as prepareQuery does and opens it.
    static void openQuery(Query& q, const std::string& statement,
                          const std::string& session = "Test", const std::string& alias = kAlias) {
        prepareQuery(q, statement, session, alias);
        q.open();
    }

    /// Every field of every record that `statement` gives on `alias`, in its order, read
    /// through a Query of the session "Test".
    static Rows queryRows(const std::string& statement, const std::string& alias = kAlias) {
        Query q;
        openQuery(q, statement, "Test", alias);
        Rows out;
        for (long long r = 0; r < q.recordCount(); ++r) {
            std::vector<std::string> row;
            for (int f = 0; f < static_cast<int>(q.fieldNames().size()); ++f)
                row.push_back(q.valueAt(r, f));
            out.push_back(row);
        }
        return out;
    }

private:
    wk::testing::EngineHome home_{"wikabay-engine-test"};
    fs::path tables_ = home_.tables();
};

} // namespace wk::engine::test
