#pragma once

// Shared ground of the tests of aliases on a server: the alias "School" names the throw-away
// cluster's database, beside the local alias of every engine test, and the same records can be
// imported into both.

#include "engine/server/PgConnection.h"
#include "engine/sql/Query.h"
#include "engine/sql/Table.h"
#include "engine/storage/ServerTables.h"
#include "engine/storage/Session.h"

#include "search/SearchFixture.h"
#include "server/PgFixture.h"

namespace wk::engine::test {

class ServerAliasTest : public EngineTest {
protected:
    static constexpr const char* kServerAlias = "School";

    PgCluster& cluster = sharedCluster();
    PgConnection admin{cluster.uri()};
    Session session_{"Test"};

    void SetUp() override {
        EngineTest::SetUp();
        if (!cluster.running())
            cluster.start();
        setAlias(kServerAlias, cluster.uri());
        // Every test starts without tables of ours on the server.
        dropOurTables(admin);
        // and without the tables that other tests made there by hand.
        for (const char* name : {"Tagalog", "Internet", "Grades"})
            admin.exec(std::string("DROP TABLE IF EXISTS \"") + name + "\"");
    }

    /// Imports the table on the server, as wikabay-admin does.
    void importOnServer(const std::string& name, const std::vector<std::string>& fields,
                        const Rows& rows,
                        const std::optional<std::string>& password = std::nullopt) {
        servertables::replace(admin, name, fields, readerOf(rows), password);
    }

    /// The same records in a table file of the local alias and on the server.
    void importBoth(const std::string& name, const std::vector<std::string>& fields,
                    const Rows& rows) {
        makeTable(name, fields, rows);
        importOnServer(name, fields, rows);
    }

    /// Opens `t` on table `name` of the server alias in session `session`.
    static void openOnServer(Table& t, const std::string& name,
                             const std::string& session = "Test") {
        openTable(t, name, session, kServerAlias);
    }
};

/// Made-up entries that a server can hold: no NUL character, only valid UTF-8.
inline Rows serverableEntries(size_t count, unsigned seed) {
    Rows rows = madeUpEntries(count, seed);
    for (auto& row : rows)
        for (std::string& value : row)
            for (auto [from, to] : {std::pair<std::string, std::string>{std::string("\0", 1), ""},
                                    {"\xFF", "\xC3\xBE"}})
                for (size_t at; (at = value.find(from)) != std::string::npos;)
                    value.replace(at, from.size(), to);
    return rows;
}

} // namespace wk::engine::test
