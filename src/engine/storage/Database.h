#pragma once

#include "engine/base/Sqlite.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace wk::engine {

class PgConnection;
class Session;

/// A table of the alias as the connection sees it.
struct TableHandle {
    std::string name;      ///< the name as the caller gave it ("Internet.db")
    std::string qualified; ///< the SQLite name of its records, e.g. "t1".records; on a server the
                           ///< quoted name of its records' table, e.g. "Internet"
    std::string schema;    ///< the name under which its file is attached, e.g. t1; on a server
                           ///< the table's name as stored
    std::filesystem::path file; ///< empty on a server
    std::vector<std::string> fields;
    /// On a server: per field, the column that keeps it in capitals, or "" (ServerTables.h).
    std::vector<std::string> upperColumns;
};

/// The connection of one session to one alias: an SQLite connection to which the alias's table
/// files are attached as they are first used. It provides the Unicode-aware `Upper` and `Lower`
/// and runs the statements of datasets.
class Database {
public:
    Database(std::string alias, std::filesystem::path folder, const Session& session);
    /// The connection of `session` to an alias naming a PostgreSQL database at `address` (a
    /// libpq URI). The server is first reached when a table is first used.
    static std::unique_ptr<Database> onServer(std::string alias, std::string address,
                                              const Session& session);
    ~Database();

    const std::string& alias() const { return alias_; }
    /// The alias's folder; empty on a server.
    const std::filesystem::path& folder() const { return folder_; }
    /// The SQLite connection to which table files are attached (on a server, one without
    /// tables).
    SqliteDb& connection() { return *db_; }

    /// Whether the alias names a PostgreSQL database (ServerTables.h) instead of a folder.
    bool onServer() const { return !address_.empty(); }
    /// The connection to the server, made when first asked for and made again when it was lost
    /// (this waits for the server at most as long as the address says, 10 seconds unless it
    /// says otherwise). Raises EngineError (State) for an alias of table files, ServerUnavailable
    /// naming the server when it cannot be reached.
    PgConnection& server();
    /// The connection to the server as it is, without connecting again: a statement on a lost
    /// connection fails at once rather than waiting for the server. Raises as server() when no
    /// connection was made yet.
    PgConnection& serverAsItIs();
    /// "database "x" on server y (port z)", or the folder as "folder '/data'" for table files.
    std::string place() const;

    /// Which import of the table attached as `schema` (TableHandle::schema) is stored now:
    /// tablefile::generation, or the generation on the server (ServerTables.h), which connects
    /// again when the connection was lost.
    std::string generation(const std::string& schema);

    /// Attaches the table on first use and checks it each time: it exists, is a table file of
    /// ours, and the session holds its password. Raises EngineError naming the table and folder.
    /// An attached file keeps up to 64 MB of its pages in memory, taken as they are read. A file
    /// that was attached when it could only be read is attached again once it and its folder can
    /// be written.
    ///
    /// A file attached for writing, in a folder that can be written, is switched to the
    /// write-ahead log (tablefile::useWriteAheadLog): searches and browsing here and in other
    /// programs go on, on the records last committed, while an import or a change is being
    /// written, and see the new records once it is committed. The log's files (`-wal`, `-shm`)
    /// are beside the table file while it is open. In a folder that cannot be written the file
    /// is not switched, and is read as before. One that uses the log already (made where the
    /// folder could be written) is read with the log's files when another program has them
    /// there; without them it is read as it stands, unlocked: it cannot be written there
    /// without them, and a program that may write in that folder should not import the table
    /// while this connection has it open.
    const TableHandle& table(const std::string& tableName);

    /// Prepares a statement built from the user's SQL: it may read, never change anything.
    /// Raises EngineError (InvalidSql) saying what is wrong, State on a server.
    std::unique_ptr<SqliteStatement> prepareReadOnly(const std::string& sql);

    /// An error for a failed change to a table, naming the table and folder.
    EngineError changeError(const std::string& tableName, const EngineError& cause) const;

    /// Whether queries may find their records through the search indexes of the table files
    /// (on by default). Off, every statement is run as written; the results are the same.
    void setSearchIndexEnabled(bool enabled) { searchIndexEnabled_ = enabled; }
    bool searchIndexEnabled() const { return searchIndexEnabled_; }

private:
    struct Attached {
        TableHandle handle;
        std::string verifiedHash;   // the password hash the session's passwords matched
        bool journalChosen = false; // whether the journal was chosen since it was attached
    };

    struct OnServer {};
    Database(std::string alias, std::string address, const Session& session, OnServer);
    void makeConnection();
    const TableHandle& serverTable(const std::string& tableName);

    std::string alias_;
    std::filesystem::path folder_;
    std::string address_;                  // the server's address, for an alias on a server
    std::unique_ptr<PgConnection> server_; // made on first use
    const Session& session_;
    std::unique_ptr<SqliteDb> db_;
    std::map<std::string, Attached> tables_;       // keyed by file path
    std::map<std::string, Attached> serverTables_; // keyed by upper-case name on the server
    int nextSchema_ = 1;
    bool searchIndexEnabled_ = true;
};

} // namespace wk::engine
