#pragma once

#include "engine/storage/Database.h"

#include <map>
#include <memory>
#include <string>

namespace wk::engine {

class PgConnection;

/// A table of an alias on a PostgreSQL server (ServerTables.h).
struct ServerTable : TableHandle {
    std::string storedName; ///< the table's name as the server keeps it ("Tagalog")
    /// Per field, the column that keeps it in capitals, or "" (ServerTables.h).
    std::vector<std::string> upperColumns;
};

/// The connection to an alias that names a PostgreSQL database at a libpq URI. The server is
/// first reached when a table is first used.
class ServerDatabase : public Database {
public:
    /// Raises EngineError (InvalidArgument) when `address` is not a URI libpq takes.
    ServerDatabase(std::string alias, std::string address, const Session& session);
    ~ServerDatabase() override;

    /// The connection to the server, made when first asked for and made again when it was lost
    /// (this waits for the server at most as long as the address says, 10 seconds unless it
    /// says otherwise). Raises EngineError (ServerUnavailable) naming the server when it cannot
    /// be reached.
    PgConnection& server();
    /// The connection to the server as it is, without connecting again: a statement on a lost
    /// connection fails at once rather than waiting for the server. Connects as server() when
    /// no connection was made yet.
    PgConnection& serverAsItIs();

    std::string place() const override;
    const TableHandle& table(const std::string& tableName) override {
        return serverTable(tableName);
    }
    /// The table (Database::table), read from the server's catalogue each time.
    const ServerTable& serverTable(const std::string& tableName);
    /// The generation on the server; connects again when the connection was lost.
    std::string generation(const std::string& tableName) override;
    bool answersAtOnce() const override { return false; }
    std::string replace(const std::string& tableName, const std::vector<std::string>& fields,
                        const tablefile::RowReader& rows,
                        const std::optional<std::string>& password,
                        const std::function<void(long long)>& progress = {},
                        const std::vector<bool>& searched = {}) override;
    void accept(DatabaseVisitor& visitor) override { visitor.visit(*this); }

private:
    struct Known {
        ServerTable handle;
        std::string verifiedHash; // the password hash the session's passwords matched
    };

    std::string address_;
    std::unique_ptr<PgConnection> server_; // made on first use
    std::map<std::string, Known> tables_;  // keyed by upper-case name on the server
};

} // namespace wk::engine
