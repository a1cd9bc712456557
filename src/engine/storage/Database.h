#pragma once

#include "engine/storage/Sqlite.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace wk::engine {

class Session;

/// A table of the alias as the connection sees it.
struct TableHandle {
    std::string name;      ///< the name as the caller gave it ("Internet.db")
    std::string qualified; ///< the SQLite name of its records, e.g. "t1".records
    std::string schema;    ///< the name under which its file is attached, e.g. t1
    std::filesystem::path file;
    std::vector<std::string> fields;
};

/// The connection of one session to one alias: an SQLite connection to which the alias's table
/// files are attached as they are first used. It provides the Unicode-aware `Upper` and `Lower`
/// and runs the statements of datasets.
class Database {
public:
    Database(std::string alias, std::filesystem::path folder, const Session& session);
    ~Database();

    const std::string& alias() const { return alias_; }
    const std::filesystem::path& folder() const { return folder_; }
    SqliteDb& connection() { return *db_; }

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
    /// Raises EngineError (InvalidSql) saying what is wrong.
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

    std::string alias_;
    std::filesystem::path folder_;
    const Session& session_;
    std::unique_ptr<SqliteDb> db_;
    std::map<std::string, Attached> tables_; // keyed by file path
    int nextSchema_ = 1;
    bool searchIndexEnabled_ = true;
};

} // namespace wk::engine
