// Runs engine tests written for table files (the dataset and local SQL tests, compiled into this
// program too) with their tables on the throw-away cluster: the alias names its database, and
// every table a test makes is imported there.

#include "engine/server/PgConnection.h"
#include "engine/storage/ServerTables.h"

#include "EngineFixture.h"
#include "server/PgCluster.h"

namespace wk::engine::test {
namespace {

class TablesOnServer : public ::testing::Environment {
public:
    void SetUp() override {
        TableHome& home = tableHome();
        home.serverUri = sharedCluster().uri();
        home.import = [](const std::string& name, const std::vector<std::string>& fields,
                         const Rows& rows, const std::optional<std::string>& password) {
            PgConnection c(sharedCluster().uri());
            size_t next = 0;
            servertables::replace(
                c, name, fields,
                [&](std::vector<std::string>& row) {
                    if (next == rows.size())
                        return false;
                    row = rows[next++];
                    return true;
                },
                password);
        };
        home.clear = [] {
            if (!sharedCluster().running())
                sharedCluster().start();
            PgConnection c(sharedCluster().uri());
            if (c.exec("SELECT to_regclass('wk_tables') IS NOT NULL").text(0, 0) != "t")
                return;
            const PgResult names = c.exec("SELECT name FROM wk_tables");
            for (int i = 0; i < names.rows(); ++i)
                c.exec("DROP TABLE IF EXISTS " + c.quoteIdentifier(names.text(i, 0)));
            c.exec("DELETE FROM wk_tables");
        };
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new TablesOnServer);

} // namespace
} // namespace wk::engine::test
