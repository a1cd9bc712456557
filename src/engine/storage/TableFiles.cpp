#include "engine/storage/TableFiles.h"

#include "engine/base/EngineError.h"
#include "engine/base/UnicodeText.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFile.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace wk::engine {
namespace {

// `Upper`: the simple, one-to-one case mapping (UnicodeText.h), as the search edit gives capitals
// and as the search index's grams are made, so that "straße" is "STRAßE" everywhere.
void upperFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int size = sqlite3_value_bytes(argv[0]);
    std::string out = toUpperUtf8(std::string_view(text ? text : "", static_cast<size_t>(size)));
    sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void lowerFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int size = sqlite3_value_bytes(argv[0]);
    icu::UnicodeString s = icu::UnicodeString::fromUTF8(icu::StringPiece(text ? text : "", size));
    s.toLower(icu::Locale::getRoot());
    std::string out;
    s.toUTF8String(out);
    sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// While a user's statement is prepared, only reading and calling functions is allowed.
int readOnlyAuthorizer(void*, int action, const char*, const char*, const char*, const char*) {
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    default:
        return SQLITE_DENY;
    }
}

// A file name as an SQLite URI, so that attaching a missing file fails instead of creating it.
// `unchanging`: the file is read as it stands, without locks or a write-ahead log.
std::string fileUri(const std::filesystem::path& file, bool unchanging) {
    std::string out = "file:";
    for (unsigned char c : file.string()) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~')
            out += static_cast<char>(c);
        else {
            static const char* hex = "0123456789ABCDEF";
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out + (unchanging ? "?mode=ro&immutable=1" : "?mode=rw");
}

bool canWrite(const std::filesystem::path& path) {
    // As the process acts now (its effective identity), which access(2) would not tell.
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// Whether the file's header says it keeps its changes in a write-ahead log.
bool usesWriteAheadLog(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    char header[20] = {};
    return in.read(header, sizeof header) && header[18] == 2 && header[19] == 2;
}

// A file that keeps a write-ahead log can be read only with the log's files beside it, which a
// folder that cannot be written does not let SQLite make. When they are not there, no program
// has the file open (a writer needs them too), and the file is read as it stands. When they are,
// SQLite reads them.
bool readAsItStands(const std::filesystem::path& file) {
    if (canWrite(file.parent_path()) || !usesWriteAheadLog(file))
        return false;
    std::error_code ec;
    return !std::filesystem::exists(file.string() + "-wal", ec) &&
           !std::filesystem::exists(file.string() + "-shm", ec);
}

// Whether SQLite's extended result `code` tells that the shared-memory file of a write-ahead log
// could not be made, sized, mapped or locked.
bool sharedMemoryFailed(int code) {
    return code == SQLITE_IOERR_SHMOPEN || code == SQLITE_IOERR_SHMSIZE ||
           code == SQLITE_IOERR_SHMMAP || code == SQLITE_IOERR_SHMLOCK;
}

// What is wrong with the shared-memory file of `file`'s log, from the system's error number.
std::string sharedMemoryTrouble(const std::filesystem::path& file, int error) {
    const std::string shm = "'" + file.string() + "-shm'";
    if (error == ENOSPC || error == EDQUOT || error == EFBIG)
        return "there is no room to make its shared-memory file " + shm + " (is the disk full?)";
    return "its shared-memory file " + shm + " cannot be used" +
           (error ? ": " + std::string(std::strerror(error)) : std::string());
}

// Whether the write-ahead log beside `file` holds anything: changes that may not be in the file
// yet, or one being written. Also when that cannot be told.
bool logHoldsChanges(const std::filesystem::path& file) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(file.string() + "-wal", ec);
    return ec ? ec != std::errc::no_such_file_or_directory : size > 0;
}

// Whether the file lies on a disk of this machine rather than a network share: reading a share
// through a memory map would turn a lost connection into a crash (SIGBUS) instead of an error.
bool onLocalDisk(const std::filesystem::path& file) {
    struct statfs fs {};
    if (::statfs(file.c_str(), &fs) != 0)
        return false;
    constexpr unsigned long kShares[] = {0x6969 /* NFS */,
                                         0x517B /* SMB */,
                                         0xFF534D42 /* CIFS */,
                                         0xFE534D42 /* SMB2 */,
                                         0x65735546 /* FUSE */,
                                         0x01021997 /* 9P */,
                                         0x00C36400 /* Ceph */,
                                         0x5346414F /* AFS */,
                                         0x73757245 /* Coda */,
                                         0x47504653 /* GPFS */,
                                         0x0BD00BD0 /* Lustre */};
    const auto type = static_cast<unsigned long>(fs.f_type) & 0xFFFFFFFFul;
    return std::find(std::begin(kShares), std::end(kShares), type) == std::end(kShares);
}

} // namespace

TableFiles::TableFiles(std::string alias, std::filesystem::path folder, const Session& session)
    : Database(std::move(alias), session), folder_(std::move(folder)) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder_, ec))
        throw EngineError(ErrorCode::NotFound, "Folder '" + folder_.string() + "' of alias '" +
                                                   this->alias() + "' does not exist");
    db_ = std::make_unique<SqliteDb>("", SqliteDb::Mode::Memory);
    sqlite3* h = db_->handle();
    sqlite3_db_config(h, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_limit(h, SQLITE_LIMIT_ATTACHED, 125);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_function(h, "upper", 1, flags, nullptr, upperFunction, nullptr, nullptr);
    sqlite3_create_function(h, "lower", 1, flags, nullptr, lowerFunction, nullptr, nullptr);
}

TableFiles::~TableFiles() = default;

std::string TableFiles::place() const {
    return "folder '" + folder_.string() + "'";
}

std::string TableFiles::generation(const std::string& tableName) {
    const auto it = tables_.find(tablefile::fileFor(folder_, tableName).string());
    const std::string& schema =
        it != tables_.end() ? it->second.handle.schema : fileTable(tableName).schema;
    return tablefile::generation(*db_, schema);
}

std::string TableFiles::replace(const std::string& tableName,
                                const std::vector<std::string>& fields,
                                const tablefile::RowReader& rows,
                                const std::optional<std::string>& password,
                                const std::function<void(long long)>& progress,
                                const std::vector<bool>& searched) {
    const tablefile::Replaced done =
        tablefile::replace(folder_, tableName, fields, rows, password, progress, searched);
    if (!done.unfinished)
        return {};
    return "the file '" + tablefile::fileFor(folder_, tableName).string() +
           "' held a table that was never finished, and is written anew";
}

std::string TableFiles::attachAs(const std::filesystem::path& file, const std::string& schema,
                                 const std::string& where) {
    const bool asItStands = readAsItStands(file);
    SqliteStatement attach(*db_, "ATTACH DATABASE ?1 AS " + quoteIdentifier(schema),
                           where + " cannot be opened");
    attach.bindTextOrNull(1, fileUri(file, asItStands));
    std::string readingOnly;
    try {
        attach.run();
    } catch (const EngineError&) {
        // A full disk, most likely (fileTable): without changes in the log, the file is read as
        // it stands.
        if (asItStands || !sharedMemoryFailed(db_->lastErrorCode()))
            throw;
        const std::string trouble = sharedMemoryTrouble(file, sqlite3_system_errno(db_->handle()));
        if (logHoldsChanges(file))
            throw EngineError(ErrorCode::Io, where + " cannot be read: " + trouble +
                                                 ", without which the changes in its write-ahead "
                                                 "log '" +
                                                 file.string() + "-wal' cannot be read");
        attach.reset();
        attach.bindTextOrNull(1, fileUri(file, true));
        attach.run();
        readingOnly = "the file '" + file.string() + "' is open for reading only: " + trouble;
    }
    // Room for the pages that searches read again and again (the parts of the search index and
    // the records they check): 64 MB at most, taken only as pages are read.
    db_->exec("PRAGMA " + quoteIdentifier(schema) + ".cache_size = -65536",
              where + " cannot be opened");
    // A file on this machine's disks is read through a memory map: a search that checks the
    // texts of a million records reads them where the system keeps the file, instead of copying
    // them page by page. The pages stay the system's file cache, which it takes back when memory
    // runs short.
    if (onLocalDisk(file))
        db_->exec("PRAGMA " + quoteIdentifier(schema) + ".mmap_size = 2147418112",
                  where + " cannot be opened");
    return readingOnly;
}

TableFiles::Attached& TableFiles::attach(const std::filesystem::path& file,
                                         const std::string& where) {
    auto it = tables_.find(file.string());
    if (it != tables_.end() &&
        sqlite3_db_readonly(db_->handle(), it->second.handle.schema.c_str()) == 1 &&
        canWrite(file) && canWrite(file.parent_path())) {
        // Attached when the file could only be read, and it can be written now (or, on a full
        // disk, perhaps there is room again): it is attached again under the same name, so that
        // datasets open on it go on (SQLite prepares their statements again). While one of them
        // is in the middle of reading, it stays as it is.
        const std::string schema = it->second.handle.schema;
        bool detached = false;
        try {
            db_->exec("DETACH DATABASE " + quoteIdentifier(schema), where + " cannot be opened");
            detached = true;
        } catch (const EngineError&) {
        }
        if (detached) {
            try {
                it->second.readingOnly = attachAs(file, schema, where);
                it->second.journalChosen = false;
            } catch (const EngineError&) {
                tables_.erase(it);
                throw;
            }
        }
    }
    if (it == tables_.end()) {
        // Appended rather than "t" + std::to_string(...), which GCC 12 falsely warns about at -O3.
        std::string schema = "t";
        schema += std::to_string(nextSchema_++);
        Attached a;
        a.readingOnly = attachAs(file, schema, where);
        a.handle.qualified = quoteIdentifier(schema) + ".records";
        a.handle.schema = schema;
        a.handle.file = file;
        it = tables_.emplace(file.string(), std::move(a)).first;
    }
    return it->second;
}

void TableFiles::checkAttached(Attached& a, const std::string& tableName,
                               const std::string& where) {
    const std::string& schema = a.handle.schema;
    a.handle.fields = tablefile::describe(*db_, schema, tableName, folder_).fields;
    const std::string hash = tablefile::passwordHash(*db_, schema);
    if (!hash.empty() && hash != a.verifiedHash) {
        if (!tablefile::passwordMatches(*db_, schema, session().passwords()))
            throw EngineError(ErrorCode::Password, where + " is protected, and session '" +
                                                       session().name() +
                                                       "' does not hold its password");
        a.verifiedHash = hash;
    }
    // A table file of ours that can be written keeps a write-ahead log from now on, so that
    // reading it in other programs never waits for a change made here, nor reading it here for
    // theirs. Nothing is written into a file before it is known to be ours.
    if (!a.journalChosen) {
        a.journalChosen = true;
        if (sqlite3_db_readonly(db_->handle(), schema.c_str()) == 0 &&
            canWrite(a.handle.file.parent_path()))
            tablefile::useWriteAheadLog(*db_, schema);
    }
}

const FileTable& TableFiles::fileTable(const std::string& tableName) {
    const std::filesystem::path file = tablefile::fileFor(folder_, tableName);
    const std::string where =
        "Table '" + tablefile::baseName(tableName) + "' in folder '" + folder_.string() + "'";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        throw EngineError(ErrorCode::NotFound, "Table '" + tablefile::baseName(tableName) +
                                                   "' not found in folder '" + folder_.string() +
                                                   "' (alias '" + alias() + "')");
    try {
        return checked(file, tableName, where);
    } catch (const EngineError& e) {
        if (e.code() == ErrorCode::Corrupt && tablefile::unfinished(file))
            throw EngineError(e.code(), std::string(e.what()) +
                                            " (a table that was never finished: import it again "
                                            "to write it anew)");
        throw;
    }
}

const FileTable& TableFiles::checked(const std::filesystem::path& file,
                                     const std::string& tableName, const std::string& where) {
    Attached& a = attach(file, where);
    a.handle.name = tableName;
    try {
        checkAttached(a, tableName, where);
    } catch (const EngineError& e) {
        // A damaged or foreign file is detached so that a repaired or replaced one is seen
        // afresh next time. A table that is only locked for a moment stays attached: datasets
        // that are open on it go on using it.
        if (e.code() != ErrorCode::Locked && e.code() != ErrorCode::Io) {
            db_->exec("DETACH DATABASE " + quoteIdentifier(a.handle.schema),
                      where + " cannot be closed");
            tables_.erase(file.string());
        }
        throw;
    }
    return a.handle;
}

std::string TableFiles::readingOnlyReason(const std::filesystem::path& file) const {
    const auto it = tables_.find(file.string());
    return it != tables_.end() ? it->second.readingOnly : std::string();
}

void TableFiles::requireWritable(const std::filesystem::path& file,
                                 const std::string& context) const {
    if (std::string why = readingOnlyReason(file); !why.empty())
        throw EngineError(ErrorCode::ReadOnly, context + ": " + why);
}

std::unique_ptr<SqliteStatement> TableFiles::prepareReadOnly(const std::string& sql) {
    sqlite3_set_authorizer(db_->handle(), readOnlyAuthorizer, nullptr);
    std::unique_ptr<SqliteStatement> st;
    try {
        st = std::make_unique<SqliteStatement>(*db_, sql, "Invalid SQL statement");
    } catch (const EngineError& e) {
        sqlite3_set_authorizer(db_->handle(), nullptr, nullptr);
        std::string msg = e.what();
        const std::string prefix = "Invalid SQL statement: no such column: ";
        if (msg.starts_with(prefix))
            throw EngineError(ErrorCode::NotFound,
                              "Field '" + msg.substr(prefix.size()) + "' not found");
        if (msg.ends_with("not authorized"))
            throw EngineError(ErrorCode::InvalidSql,
                              "Invalid SQL statement: only reading statements are allowed");
        throw EngineError(ErrorCode::InvalidSql, msg);
    }
    sqlite3_set_authorizer(db_->handle(), nullptr, nullptr);
    if (!st->readOnly())
        throw EngineError(ErrorCode::InvalidSql,
                          "Invalid SQL statement: only reading statements are allowed");
    return st;
}

} // namespace wk::engine
