#pragma once

// Shared ground of the server tests: the program's throw-away cluster and a connection to its
// database as its superuser.

#include "engine/server/PgConnection.h"

#include "EngineFixture.h"
#include "server/PgCluster.h"

#include <gtest/gtest.h>

#include <string>

namespace wk::engine::test {

/// Runs `action` and returns the PgError it raises; fails the test when it raises none or
/// another error.
template <typename Action> PgError pgErrorOf(Action&& action) {
    try {
        action();
    } catch (const PgError& e) {
        return e;
    } catch (const std::exception& e) {
        ADD_FAILURE() << "expected a PgError, got: " << e.what();
        return PgError(ErrorCode::General, e.what(), "");
    }
    ADD_FAILURE() << "expected a PgError";
    return PgError(ErrorCode::General, "<no error was raised>", "");
}

/// Drops every table of ours on the server `c` is connected to and forgets them, so that a test
/// starts without them.
inline void dropOurTables(PgConnection& c) {
    if (c.exec("SELECT to_regclass('wk_tables') IS NOT NULL").text(0, 0) != "t")
        return;
    const PgResult names = c.exec("SELECT name FROM wk_tables");
    for (int i = 0; i < names.rows(); ++i)
        c.exec("DROP TABLE IF EXISTS " + c.quoteIdentifier(names.text(i, 0)));
    c.exec("DELETE FROM wk_tables");
}

class PgTest : public ::testing::Test {
protected:
    PgCluster& cluster = sharedCluster();
    PgConnection db{cluster.uri()};

    /// The first column of the first row of `sql`, or nothing for NULL.
    std::optional<std::string> scalar(const std::string& sql, const PgParams& params = {}) {
        PgResult r = db.exec(sql, params);
        EXPECT_EQ(r.rows(), 1) << sql;
        return r.rows() > 0 ? r.value(0, 0) : std::nullopt;
    }

    /// Makes the table `name` (dropped first if a test before left it) with an integer key `id`
    /// and a text field `v`.
    void makeTable(const std::string& name) {
        db.exec("DROP TABLE IF EXISTS " + name);
        db.exec("CREATE TABLE " + name + " (id integer PRIMARY KEY, v text)");
    }
};

} // namespace wk::engine::test
