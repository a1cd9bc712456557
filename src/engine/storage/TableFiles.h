#pragma once

#include "engine/base/Sqlite.h"
#include "engine/storage/Database.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace wk::engine {

/// A table of an alias of table files.
struct FileTable : TableHandle {
    std::string schema;         ///< the name under which its file is attached, e.g. t1
    std::filesystem::path file; ///< the table file
};

/// The connection to an alias that names a folder of table files (TableFile.h): one SQLite
/// connection, in memory, to which the alias's table files are attached as they are first used.
/// It provides the Unicode-aware `Upper` and `Lower` and runs the statements of datasets.
class TableFiles : public Database {
public:
    /// Raises EngineError (NotFound) naming the folder and the alias when the folder does not
    /// exist.
    TableFiles(std::string alias, std::filesystem::path folder, const Session& session);
    ~TableFiles() override;

    /// The alias's folder.
    const std::filesystem::path& folder() const { return folder_; }
    /// The SQLite connection to which the table files are attached.
    SqliteDb& connection() { return *db_; }

    std::string place() const override;
    const TableHandle& table(const std::string& tableName) override { return fileTable(tableName); }
    std::string generation(const std::string& tableName) override;
    bool answersAtOnce() const override { return true; }
    std::string replace(const std::string& tableName, const std::vector<std::string>& fields,
                        const tablefile::RowReader& rows,
                        const std::optional<std::string>& password,
                        const std::function<void(long long)>& progress = {},
                        const std::vector<bool>& searched = {}) override;
    void accept(DatabaseVisitor& visitor) override { visitor.visit(*this); }

    /// The table, attached on first use and checked each time (Database::table). An attached file
    /// keeps up to 64 MB of its pages in memory, taken as they are read. A file that was attached
    /// when it could only be read is attached again once it and its folder can be written.
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
    ///
    /// On a full disk such a file cannot be read with the log either: when the last program that
    /// had it open closed it, SQLite removed the log's files, and the shared-memory file it needs
    /// cannot be made again. When the log holds no changes (there is none, or an empty one), the
    /// file holds all that was committed and is read as it stands, for reading only
    /// (readingOnlyReason), until an opening finds room again and attaches it as before. When the
    /// log holds changes, they cannot be read without the shared-memory file, and the table
    /// cannot be opened: EngineError (Io) says so.
    const FileTable& fileTable(const std::string& tableName);

    /// Why `file`, attached now, is open for reading only although it and its folder may be
    /// written (there was no room for its shared-memory file, see fileTable), or "".
    std::string readingOnlyReason(const std::filesystem::path& file) const;
    /// Raises EngineError (ReadOnly) with `context` and readingOnlyReason, when there is one.
    void requireWritable(const std::filesystem::path& file, const std::string& context) const;

    /// Prepares a statement built from the user's SQL: it may read, never change anything.
    /// Raises EngineError (InvalidSql) saying what is wrong.
    std::unique_ptr<SqliteStatement> prepareReadOnly(const std::string& sql);

private:
    struct Attached {
        FileTable handle;
        std::string verifiedHash;   // the password hash the session's passwords matched
        bool journalChosen = false; // whether the journal was chosen since it was attached
        std::string readingOnly;    // readingOnlyReason
    };

    Attached& attach(const std::filesystem::path& file, const std::string& where);
    // Attaches `file` as `schema`; returns why it is open for reading only, or "".
    std::string attachAs(const std::filesystem::path& file, const std::string& schema,
                         const std::string& where);
    void checkAttached(Attached& a, const std::string& tableName, const std::string& where);
    const FileTable& checked(const std::filesystem::path& file, const std::string& tableName,
                             const std::string& where);

    std::filesystem::path folder_;
    std::unique_ptr<SqliteDb> db_;
    std::map<std::string, Attached> tables_; // keyed by file path
    int nextSchema_ = 1;
};

} // namespace wk::engine
