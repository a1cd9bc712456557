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
    /// that was attached when it could only be read is attached again once it can be written.
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
        std::string verifiedHash; // the password hash the session's passwords matched
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
