#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace wk::engine {

class SqliteDb;

/// One table stored as one SQLite file of ours in an alias's folder.
///
/// The file holds the table's records in `records` (one text column per field, in field order,
/// read back in rowid order) and its description in `wk_table_info`: the format mark, the field
/// names and, for a protected table, a salted hash of the password. An empty text is stored as
/// NULL.
namespace tablefile {

/// The schema name under which record data lives inside the file.
inline constexpr const char* kRecords = "records";

/// The file of `tableName` in `folder`: "Tagalog" is `Tagalog.db`, "Internet.db" is
/// `Internet.db`. When no file has exactly that name, a file whose name differs only in letter
/// case is taken; otherwise the exact name is returned.
std::filesystem::path fileFor(const std::filesystem::path& folder, const std::string& tableName);

/// The table name shown in messages and used as the records' alias: "Internet.db" gives
/// "Internet".
std::string baseName(const std::string& tableName);

/// What a valid table file describes.
struct Description {
    std::vector<std::string> fields;
    bool protectedByPassword = false;
};

/// Reads the description of a table file through `db`, whose schema `schema` is the file
/// ("main" or an attached name). Raises EngineError (Corrupt) naming the table and folder when
/// the file is not a table of ours, is damaged or is unreadable.
///
/// It first checks, from the file's schema alone, that the file has the shape the engine writes:
/// `records` and `wk_table_info` (and the search index's tables and `wk_lookup`, where there are
/// any) are plain tables made by the engine's own statements, `records` holds one text column per
/// field, there are no views, no triggers but the engine's and no indexes but SQLite's own, and an
/// index marked in step has all its tables and triggers. A file of any other shape is refused
/// before anything in it is read or run.
Description describe(const SqliteDb& db, const std::string& schema, const std::string& tableName,
                     const std::filesystem::path& folder);

/// The stored password hash of the table in `schema`; empty for a table without password.
std::string passwordHash(const SqliteDb& db, const std::string& schema);

/// The mark that `replace` writes anew each time it makes the table in `schema`: while it is the
/// same, the records are those of the same import. Empty for a file made before the mark was
/// kept.
std::string generation(const SqliteDb& db, const std::string& schema);

/// Switches the file attached as `schema` to SQLite's write-ahead log, so that readers in other
/// connections go on reading what was committed while a writer works, and never wait for it.
/// The log lives in two files beside the table file (`-wal` and `-shm`), so the folder must be
/// writable; the caller checks that. Returns whether the file uses the log now; false also when
/// another connection holds the file at the moment (it stays as it was).
bool useWriteAheadLog(SqliteDb& db, const std::string& schema);

/// True when the table in `schema` has no password, or one of `passwords` is its password.
bool passwordMatches(const SqliteDb& db, const std::string& schema,
                     const std::vector<std::string>& passwords);

/// Supplies rows one at a time for `replace`; returns false after the last one.
using RowReader = std::function<bool(std::vector<std::string>& row)>;

/// Whether `file` holds a table that was never finished: an empty file, one whose header was never
/// written (an import without a journal, cut off), or a table file of ours that is not whole and
/// has no write-ahead log beside it. `replace` writes such a file anew, as if there were none.
bool unfinished(const std::filesystem::path& file);

/// What `replace` did besides writing the table.
struct Replaced {
    bool unfinished = false; ///< the file held an unfinished table (see `unfinished`)
};

/// Creates the table, or replaces its fields and records, in one transaction: a failure leaves the
/// old table whole. The file uses the write-ahead log (see useWriteAheadLog), so that programs
/// reading the table meanwhile go on with the old records until the new ones are committed, and
/// each replace writes a new `generation`. The features kept beside the records (TableFeature.h)
/// are written with it. A new table is written under a hidden name of its own beside the file and
/// put in place once it is whole, so an import that is killed leaves no file under the table's
/// name; one left by an older engine (`unfinished`) is written anew. A file that exists but is not
/// a table of ours is never overwritten. Field names under which SQLite gives a record's number
/// (rowid, oid, _rowid_) are refused. Replacing a protected
/// table needs its password (`password`); the new table is protected by `password` when one is
/// given. `progress` is called now and then with the number of rows written. `searched` names,
/// by number, the fields the search index covers; empty for every field. Raises EngineError
/// (ReadOnly) naming the table and saying why (fileutil::notWritableReason: a read-only file
/// system, a permission) before anything is written when the folder, or the file of a whole
/// table, cannot be written.
Replaced replace(const std::filesystem::path& folder, const std::string& tableName,
                 const std::vector<std::string>& fields, const RowReader& rows,
                 const std::optional<std::string>& password,
                 const std::function<void(long long)>& progress = {},
                 const std::vector<bool>& searched = {});

} // namespace tablefile
} // namespace wk::engine
