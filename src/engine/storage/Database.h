#pragma once

#include "engine/base/EngineError.h"
#include "engine/storage/TableFile.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace wk::engine {

class Session;
class TableFiles;
class ServerDatabase;

/// A table of an alias as its connection sees it. Made by the connection (Database::table), it
/// lives as long as the connection; opening the table again brings it up to date.
struct TableHandle {
    TableHandle() = default;
    TableHandle(const TableHandle&) = default;
    TableHandle& operator=(const TableHandle&) = default;
    virtual ~TableHandle() = default;

    std::string name;                ///< the name as the caller gave it ("Internet.db")
    std::string qualified;           ///< how statements name its records
    std::vector<std::string> fields; ///< in field order
};

/// Follows the kind of a connection (Database::accept): what differs between table files and a
/// server is chosen once, by the connection's type, not asked again and again.
class DatabaseVisitor {
public:
    virtual ~DatabaseVisitor() = default;
    virtual void visit(TableFiles& db) = 0;
    virtual void visit(ServerDatabase& db) = 0;
};

/// The connection of one session to one alias: where the alias's tables live, behind one
/// interface. The alias names a folder of table files (TableFiles.h) or a PostgreSQL database
/// (ServerDatabase.h); Session::database makes the right one when the alias is first used, and it
/// stays until the session goes. Failures raise EngineError naming the table and the place.
class Database {
public:
    virtual ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::string& alias() const { return alias_; }
    /// Where the tables are, for messages: "folder '/data'", or "database "x" on server y (port
    /// z)".
    virtual std::string place() const = 0;

    /// Opens the table on first use and checks it each time: it exists, is a table of ours, and
    /// the session holds its password. Raises EngineError naming the table and the place.
    virtual const TableHandle& table(const std::string& tableName) = 0;

    /// Which import of the table is stored now: new at every import, so that a dataset that read
    /// the old records sees that they are gone. Opens the table when it is not open yet; an open
    /// one is not checked again.
    virtual std::string generation(const std::string& tableName) = 0;

    /// Whether asking for a generation is answered at once, without a round trip over a
    /// network (that may wait for a server that went away): true for table files.
    virtual bool answersAtOnce() const = 0;

    /// Creates the table, or replaces its fields and records, in one transaction: programs
    /// reading it meanwhile go on with the old records until the new ones are committed, and a
    /// failure leaves the old table whole. See tablefile::replace and servertables::replace.
    /// Returns what the user should be told besides, or "": that an unfinished table file was
    /// written anew.
    virtual std::string replace(const std::string& tableName,
                                const std::vector<std::string>& fields,
                                const tablefile::RowReader& rows,
                                const std::optional<std::string>& password,
                                const std::function<void(long long)>& progress = {},
                                const std::vector<bool>& searched = {}) = 0;

    /// Calls the visitor's `visit` for the kind of this connection.
    virtual void accept(DatabaseVisitor& visitor) = 0;

    /// An error for a failed change to a table, naming the table and the place.
    EngineError changeError(const std::string& tableName, const EngineError& cause) const;

    /// Whether queries may find their records through the search indexes of the table files
    /// (on by default). Off, every statement is run as written; the results are the same.
    void setSearchIndexEnabled(bool enabled) { searchIndexEnabled_ = enabled; }
    bool searchIndexEnabled() const { return searchIndexEnabled_; }

protected:
    Database(std::string alias, const Session& session);

    const Session& session() const { return session_; }

private:
    std::string alias_;
    const Session& session_;
    bool searchIndexEnabled_ = true;
};

/// The connection `db` as one to table files. Raises EngineError (InvalidArgument) saying that
/// `who` ("The learner's lookup") reads table files when the alias names a server.
TableFiles& requireTableFiles(Database& db, const std::string& who);

} // namespace wk::engine
