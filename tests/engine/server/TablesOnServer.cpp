// Runs engine tests written for table files (the dataset and local SQL tests, compiled into this
// program too) with their tables on the throw-away cluster: the alias names its database, and
// every table a test makes is imported there.

#include "engine/server/PgConnection.h"
#include "engine/storage/ServerTables.h"

#include "server/PgFixture.h"

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
            servertables::replace(c, name, fields, readerOf(rows), password);
        };
        home.clear = [] {
            if (!sharedCluster().running())
                sharedCluster().start();
            PgConnection c(sharedCluster().uri());
            dropOurTables(c);
        };
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new TablesOnServer);

} // namespace
} // namespace wk::engine::test
