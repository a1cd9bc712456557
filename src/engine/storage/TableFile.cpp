#include "engine/storage/TableFile.h"

#include "engine/base/AsciiText.h"
#include "engine/base/EngineError.h"
#include "engine/base/FileUtil.h"
#include "engine/base/Sqlite.h"
#include "engine/base/Transaction.h"
#include "engine/storage/PasswordHash.h"
#include "engine/storage/TableFeature.h"

#include <sqlite3.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <set>

namespace wk::engine::tablefile {
namespace {

constexpr const char* kFormat = "wikabay-table 1";
constexpr int kApplicationId = 0x574B4259; // "WKBY"
std::string where(const std::string& tableName, const std::filesystem::path& folder) {
    return "Table '" + baseName(tableName) + "' in folder '" + folder.string() + "'";
}

void validateName(const std::string& tableName) {
    if (tableName.empty() || tableName.find_first_of("/\\:") != std::string::npos ||
        tableName.front() == '.' || std::any_of(tableName.begin(), tableName.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20;
        }))
        throw EngineError(ErrorCode::InvalidArgument,
                          "Table name '" + tableName + "' is not valid");
}

void validateFields(const std::vector<std::string>& fields) {
    if (fields.empty())
        throw EngineError(ErrorCode::InvalidArgument, "A table needs at least one field");
    for (size_t i = 0; i < fields.size(); ++i) {
        const std::string& f = fields[i];
        if (f.empty() || std::any_of(f.begin(), f.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
            throw EngineError(ErrorCode::InvalidArgument, "Field name '" + f + "' (field " +
                                                              std::to_string(i + 1) +
                                                              ") is not valid");
    }
    if (const size_t twice = firstRepeatIgnoringCase(fields); twice < fields.size())
        throw EngineError(ErrorCode::InvalidArgument,
                          "Field name '" + fields[twice] + "' appears twice");
}

// The names under which SQLite gives a record's number, unless a field takes one: the engine's
// statements would then read the field instead, and its searches and changes would go wrong.
const std::string* numberNameOf(const std::vector<std::string>& fields) {
    for (const std::string& f : fields)
        for (const char* name : {"rowid", "oid", "_rowid_"})
            if (equalsIgnoreCase(f, name))
                return &f;
    return nullptr;
}

void refuseNumberNames(const std::vector<std::string>& fields) {
    if (const std::string* name = numberNameOf(fields))
        throw EngineError(ErrorCode::InvalidArgument,
                          "Field name '" + *name +
                              "' is a name SQLite keeps for a record's number: rename the field");
}

std::string infoValue(const SqliteDb& db, const std::string& schema, const std::string& key) {
    return info(db, schema, key).value_or("");
}

// The statement that makes `records` with these fields, which SQLite keeps as written.
std::string recordsSql(const std::vector<std::string>& fields) {
    std::string create = "CREATE TABLE records (";
    for (size_t i = 0; i < fields.size(); ++i)
        create += (i ? ", " : "") + quoteIdentifier(fields[i]) + " TEXT";
    return create + ")";
}

// The statement of the engine's own table `name` (in lower case) besides `records`, as SQLite
// keeps it: `wk_table_info`, or a table of a feature (TableFeature.h). Empty for a name the engine
// does not use.
std::string ownTableSql(const std::string& name) {
    if (name == "wk_table_info")
        return infoTableSql();
    for (const Feature* feature : features())
        for (const auto& [table, sql] : feature->tables())
            if (name == table)
                return sql;
    return {};
}

// The statement of a feature's trigger `name` as SQLite keeps it; empty for a name the engine
// does not use.
std::string ownTriggerSql(const std::string& name) {
    for (const Feature* feature : features())
        if (std::string sql = retireTriggerSql(*feature, name); !sql.empty())
            return sql;
    return {};
}

[[noreturn]] void refuse(const std::string& tableName, const std::filesystem::path& folder,
                         const std::string& why) {
    throw EngineError(ErrorCode::Corrupt,
                      where(tableName, folder) + " is not a table file of Wikabay: " + why);
}

// What the schema of a table file holds of the engine's: the tables besides `records` (by their
// lower-case names), the triggers, and the statement that made `records`.
struct Shape {
    std::set<std::string> tables;
    std::set<std::string> triggers;
    std::optional<std::string> records;
};

// Reads the schema in one pass and refuses anything the engine does not write: a view (which a
// query could never finish reading, when it is recursive), a virtual table or a table of another
// make under one of the engine's names, a trigger or an index of someone else's (an index on
// an expression would answer with the function of the program that made it), and tables that
// share a page, as a damaged schema has them. Reads nothing but the schema, so that nothing of
// the file is run or read before it is known to be the engine's.
Shape readShape(const SqliteDb& db, const std::string& schema, const std::string& tableName,
                const std::filesystem::path& folder) {
    SqliteStatement st(
        db, "SELECT type, name, rootpage, sql FROM " + quoteIdentifier(schema) + ".sqlite_master",
        "Reading the schema");
    Shape shape;
    std::set<std::int64_t> pages;
    while (st.step()) {
        const std::string type = st.columnText(0);
        const std::string name = st.columnText(1);
        const std::string sql = st.columnText(3);
        const bool isVirtual = sql.starts_with("CREATE VIRTUAL TABLE");
        if (type == "view")
            refuse(tableName, folder, "'" + name + "' is a view");
        if (type == "trigger") {
            if (sql != ownTriggerSql(name))
                refuse(tableName, folder, "it has a trigger '" + name + "' of another program");
            shape.triggers.insert(name);
            continue;
        }
        if (type == "index" && !st.columnIsNull(3))
            refuse(tableName, folder, "it has an index '" + name + "' of another program");
        if (type != "table" && type != "index")
            refuse(tableName, folder, "its schema holds an entry of type '" + type + "'");
        if (!isVirtual && (st.columnInt(2) < 2 || !pages.insert(st.columnInt(2)).second))
            refuse(tableName, folder, "its schema is damaged");
        if (type == "index")
            continue;
        const std::string lower = asciiLower(name);
        const std::string own = ownTableSql(lower);
        if ((!own.empty() || lower == kRecords) && isVirtual)
            refuse(tableName, folder, "'" + name + "' is a virtual table");
        if (lower == kRecords)
            shape.records = sql;
        else if (!own.empty() && sql != own)
            refuse(tableName, folder, "'" + name + "' is not the table Wikabay makes");
        else if (!own.empty())
            shape.tables.insert(lower);
    }
    if (!shape.records)
        refuse(tableName, folder, "it has no table 'records'");
    if (!shape.tables.contains("wk_table_info"))
        refuse(tableName, folder, "it has no table 'wk_table_info'");
    return shape;
}

// Refuses a file with a feature marked in step while a table or trigger of it is missing: its
// answers would be wrong, or its triggers would no longer retire it when the records change.
void checkFeatures(const SqliteDb& db, const std::string& schema, const Shape& shape,
                   const std::string& tableName, const std::filesystem::path& folder) {
    for (const Feature* feature : features()) {
        const std::optional<std::string> state = info(db, schema, feature->stateKey());
        const std::optional<std::vector<std::string>> tables =
            state ? feature->tablesInStep(*state) : std::nullopt;
        if (!tables)
            continue;
        const std::string marked = "its " + nameIs(*feature) + " marked in step, but its ";
        for (const std::string& t : *tables)
            if (!shape.tables.contains(t))
                refuse(tableName, folder, marked + "table '" + t + "' is missing");
        for (const char* change : {"INSERT", "UPDATE", "DELETE"})
            if (!shape.triggers.contains(feature->triggerPrefix() + change))
                refuse(tableName, folder,
                       marked + "trigger '" + feature->triggerPrefix() + change + "' is missing");
    }
}

// Removes a new table file, with SQLite's journal and log beside it, unless it is kept. Made
// before the connection to the file, it acts after the connection is closed.
class NewFileGuard {
public:
    NewFileGuard(std::filesystem::path file, bool isNew) : file_(std::move(file)), armed_(isNew) {}
    ~NewFileGuard() {
        if (!armed_)
            return;
        std::error_code ec;
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            std::filesystem::remove(file_.string() + suffix, ec);
    }
    NewFileGuard(const NewFileGuard&) = delete;
    NewFileGuard& operator=(const NewFileGuard&) = delete;

    void keep() { armed_ = false; }

private:
    std::filesystem::path file_;
    bool armed_;
};

// Writes the table's records, its information and its features into the file open as `db`, in
// the caller's transaction: the old ones go.
void writeTable(SqliteDb& db, const std::string& tableName, const std::filesystem::path& folder,
                const std::vector<std::string>& fields, const RowReader& rows,
                const std::optional<std::string>& password,
                const std::function<void(long long)>& progress, const std::vector<bool>& searched) {
    db.exec("PRAGMA application_id = " + std::to_string(kApplicationId) +
                "; DROP TABLE IF EXISTS records; DROP TABLE IF EXISTS wk_table_info; " +
                infoTableSql() + "; " + recordsSql(fields),
            "Creating " + where(tableName, folder));
    setInfo(db, "main", "format", kFormat);
    // A new value at every replace: a dataset open on the old table sees that its records are
    // gone, even when the new table holds the same ones.
    setInfo(db, "main", "generation", password::newSalt());
    if (password) {
        const std::string salt = password::newSalt();
        setInfo(db, "main", "password_salt", salt);
        setInfo(db, "main", "password_hash", password::hash(*password, salt));
    }
    // Each feature writes its part as the records are written; one that the table cannot have
    // leaves nothing of an earlier table's.
    std::vector<std::unique_ptr<FeatureBuild>> builds;
    for (const Feature* feature : features()) {
        if (feature->appliesTo(fields))
            builds.push_back(feature->build(db, "main", fields, searched));
        else
            drop(db, "main", *feature);
    }
    std::string insert = "INSERT INTO records VALUES (";
    for (size_t i = 0; i < fields.size(); ++i)
        insert += (i ? ", ?" : "?") + std::to_string(i + 1);
    SqliteStatement ins(db, insert + ")", "Writing " + where(tableName, folder));
    std::vector<std::string> row;
    long long count = 0;
    while (rows(row)) {
        ins.reset();
        for (size_t i = 0; i < fields.size(); ++i)
            ins.bindTextOrNull(static_cast<int>(i + 1), i < row.size() ? row[i] : "");
        ins.run();
        const std::int64_t rowId = sqlite3_last_insert_rowid(db.handle());
        for (const auto& build : builds)
            build->add(rowId, row);
        if (progress && ++count % 50000 == 0)
            progress(count);
    }
    for (const auto& build : builds)
        build->finish();
}

// What `replace` writes.
struct Writing {
    const std::filesystem::path& folder;
    const std::string& name;
    const std::vector<std::string>& fields;
    const RowReader& rows;
    const std::optional<std::string>& password;
    const std::function<void(long long)>& progress;
    const std::vector<bool>& searched;
};

// Replaces the table in a file of ours that is whole, in place: searches in other programs go on
// reading the old table while the new one is written, in the write-ahead log.
void replaceExisting(const std::filesystem::path& file, const Writing& t) {
    SqliteDb db(file.string(), SqliteDb::Mode::ReadWrite);
    describe(db, "main", t.name, t.folder);
    std::vector<std::string> given;
    if (t.password)
        given.push_back(*t.password);
    if (!passwordMatches(db, "main", given))
        throw EngineError(ErrorCode::Password,
                          where(t.name, t.folder) +
                              " is protected: give its password to replace it");
    useWriteAheadLog(db, "main");
    db.exec("PRAGMA main.cache_size = -65536", where(t.name, t.folder) + " cannot be written");
    Transaction transaction(db, where(t.name, t.folder) + " cannot be written",
                            Transaction::Kind::Immediate);
    writeTable(db, t.name, t.folder, t.fields, t.rows, t.password, t.progress, t.searched);
    transaction.commit();
    // The new table moves from the log into the file now, unless a reader holds the old one;
    // then SQLite does it later.
    sqlite3_exec(db.handle(), "PRAGMA main.wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
}

// Says why nothing can be written when the folder (where a new file, or the log of a whole one,
// is made) or the whole table's `file` cannot be written, rather than leave SQLite to say only
// that it cannot open a file.
void requireWritable(const std::filesystem::path& folder, const std::filesystem::path* file,
                     const std::string& tableName) {
    std::string why = fileutil::whyNotWritable(folder, fileutil::WriteTarget::Folder);
    if (why.empty() && file)
        why = fileutil::whyNotWritable(*file, fileutil::WriteTarget::File);
    if (!why.empty())
        throw EngineError(ErrorCode::ReadOnly,
                          where(tableName, folder) + " cannot be written: " + why);
}

// The name of a new table's file while it is written: hidden, beside the file, and the writer's
// own.
std::filesystem::path importName(const std::filesystem::path& file) {
    static std::atomic<unsigned> next{0};
    return file.parent_path() /
           ("." + file.filename().string() + ".import-" + std::to_string(::getpid()) + "-" +
            std::to_string(next++) + "-" + password::newSalt().substr(0, 8));
}

// Removes what imports of this table that were killed left: files written more than an hour ago
// (an import that goes on writes all the time).
void removeStaleImports(const std::filesystem::path& file) {
    const std::string prefix = "." + file.filename().string() + ".import-";
    const auto before = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path(), ec)) {
        std::error_code ignored;
        if (entry.path().filename().string().starts_with(prefix) &&
            entry.last_write_time(ignored) < before)
            std::filesystem::remove(entry.path(), ignored);
    }
}

// Puts the written file `from` in place as `file`: over an unfinished one (`replacing`), or where
// there is none, never over a file that appeared meanwhile.
void putInPlace(const std::filesystem::path& from, const std::filesystem::path& file,
                bool replacing, const std::string& where) {
    std::error_code ec;
    if (replacing) {
        std::filesystem::rename(from, file, ec);
    } else if (::link(from.c_str(), file.c_str()) == 0) {
        std::filesystem::remove(from, ec);
        ec.clear();
    } else if (errno == EEXIST || std::filesystem::exists(file)) {
        throw EngineError(ErrorCode::Io, where + " was made by another program meanwhile: import "
                                                 "the table again to replace it");
    } else {
        // A file system without hard links.
        std::filesystem::rename(from, file, ec);
    }
    if (ec)
        throw EngineError(ErrorCode::Io, where + " cannot be written: " + ec.message());
}

// Writes a table that has no whole file yet. It is written under a name of its own, without a
// journal or a log to write everything into first, and put in place only when it is whole: an
// import that is killed or fails leaves nothing under the table's name.
void writeNew(const std::filesystem::path& file, bool replacing, const Writing& t) {
    const std::filesystem::path temporary = importName(file);
    NewFileGuard guard(temporary, true);
    {
        SqliteDb db(temporary.string(), SqliteDb::Mode::ReadWriteCreate);
        // Room for the pages of the lookup keys' B-tree, whose keys come in no order.
        db.exec("PRAGMA main.journal_mode = OFF; PRAGMA main.cache_size = -65536",
                "Creating " + where(t.name, t.folder));
        Transaction transaction(db, where(t.name, t.folder) + " cannot be written",
                                Transaction::Kind::Immediate);
        writeTable(db, t.name, t.folder, t.fields, t.rows, t.password, t.progress, t.searched);
        transaction.commit();
    }
    putInPlace(temporary, file, replacing, where(t.name, t.folder));
    guard.keep();
    SqliteDb db(file.string(), SqliteDb::Mode::ReadWrite);
    useWriteAheadLog(db, "main");
}

} // namespace

std::string baseName(const std::string& tableName) {
    if (tableName.size() > 3 && equalsIgnoreCase(tableName.substr(tableName.size() - 3), ".db"))
        return tableName.substr(0, tableName.size() - 3);
    return tableName;
}

std::filesystem::path fileFor(const std::filesystem::path& folder, const std::string& tableName) {
    validateName(tableName);
    const std::string fileName = baseName(tableName) + ".db";
    std::filesystem::path exact = folder / fileName;
    std::error_code ec;
    if (std::filesystem::exists(exact, ec))
        return exact;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (equalsIgnoreCase(entry.path().filename().string(), fileName))
            return entry.path();
    return exact;
}

Description describe(const SqliteDb& db, const std::string& schema, const std::string& tableName,
                     const std::filesystem::path& folder) {
    try {
        SqliteStatement id(db, "PRAGMA " + quoteIdentifier(schema) + ".application_id",
                           "Reading the file header");
        if (!id.step() || id.columnInt(0) != kApplicationId)
            refuse(tableName, folder, "it is an SQLite file of another program");
        const Shape shape = readShape(db, schema, tableName, folder);
        if (infoValue(db, schema, "format") != kFormat)
            refuse(tableName, folder, "its format mark is missing or unknown");
        Description d;
        // The schema goes in as the second argument: a schema prefix on the function would
        // read the first attached file's records instead.
        SqliteStatement cols(db, "SELECT name FROM pragma_table_info('records', ?1) ORDER BY cid",
                             "Reading the fields");
        cols.bindTextOrNull(1, schema);
        while (cols.step())
            d.fields.push_back(cols.columnText(0));
        if (d.fields.empty())
            throw EngineError(ErrorCode::Corrupt, where(tableName, folder) + " has no fields");
        if (*shape.records != recordsSql(d.fields))
            refuse(tableName, folder,
                   "'records' is not a table of text fields as Wikabay makes it");
        if (const std::string* name = numberNameOf(d.fields))
            refuse(tableName, folder,
                   "its field '" + *name +
                       "' hides the records' numbers: import it again with the field renamed");
        checkFeatures(db, schema, shape, tableName, folder);
        d.protectedByPassword = !infoValue(db, schema, "password_hash").empty();
        return d;
    } catch (const EngineError& e) {
        if (e.code() == ErrorCode::Corrupt &&
            std::string(e.what()).starts_with(where(tableName, folder)))
            throw;
        const ErrorCode code = e.code() == ErrorCode::Locked || e.code() == ErrorCode::Io
                                   ? e.code()
                                   : ErrorCode::Corrupt;
        std::string why = e.what();
        if (auto colon = why.find(": "); colon != std::string::npos)
            why = why.substr(colon + 2);
        throw EngineError(code, where(tableName, folder) +
                                    (code == ErrorCode::Corrupt ? " is damaged or is not a table "
                                                                  "file: "
                                                                : " cannot be read: ") +
                                    why);
    }
}

std::string passwordHash(const SqliteDb& db, const std::string& schema) {
    return infoValue(db, schema, "password_hash");
}

std::string generation(const SqliteDb& db, const std::string& schema) {
    return infoValue(db, schema, "generation");
}

bool useWriteAheadLog(SqliteDb& db, const std::string& schema) {
    // Switching needs the file to itself for a moment; a reader that holds it then leaves the
    // journal as it is, until the next time.
    sqlite3_stmt* st = nullptr;
    const std::string sql = "PRAGMA " + quoteIdentifier(schema) + ".journal_mode = WAL";
    if (sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return false;
    }
    const unsigned char* mode =
        sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_text(st, 0) : nullptr;
    const bool wal = mode && equalsIgnoreCase(reinterpret_cast<const char*>(mode), "wal");
    sqlite3_finalize(st);
    return wal;
}

bool passwordMatches(const SqliteDb& db, const std::string& schema,
                     const std::vector<std::string>& passwords) {
    const std::string hash = infoValue(db, schema, "password_hash");
    if (hash.empty())
        return true;
    return password::anyMatches(passwords, infoValue(db, schema, "password_salt"), hash);
}

bool unfinished(const std::filesystem::path& file) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec)
        return false;
    if (size == 0)
        return true;
    std::ifstream in(file, std::ios::binary);
    std::array<unsigned char, 100> header{};
    if (!in.read(reinterpret_cast<char*>(header.data()), header.size()))
        return false;
    // A table written without a journal and cut off before its first page was written.
    if (std::all_of(header.begin(), header.end(), [](unsigned char b) { return b == 0; }))
        return true;
    // A file of ours that is not whole, with no log beside it whose pages would be read into a
    // new file of the same name.
    const std::uint32_t applicationId = std::uint32_t{header[68]} << 24 |
                                        std::uint32_t{header[69]} << 16 |
                                        std::uint32_t{header[70]} << 8 | header[71];
    if (std::memcmp(header.data(), "SQLite format 3", 16) != 0 ||
        applicationId != static_cast<std::uint32_t>(kApplicationId) ||
        std::filesystem::exists(file.string() + "-wal", ec))
        return false;
    try {
        SqliteDb db(file.string(), SqliteDb::Mode::ReadOnly);
        describe(db, "main", file.stem().string(), file.parent_path());
        return false;
    } catch (const EngineError& e) {
        return e.code() == ErrorCode::Corrupt;
    }
}

Replaced replace(const std::filesystem::path& folder, const std::string& tableName,
                 const std::vector<std::string>& fields, const RowReader& rows,
                 const std::optional<std::string>& password,
                 const std::function<void(long long)>& progress,
                 const std::vector<bool>& searched) {
    validateName(tableName);
    validateFields(fields);
    refuseNumberNames(fields);
    const std::filesystem::path file = fileFor(folder, tableName);
    std::error_code ec;
    // A file that may be there is never taken for a new one.
    const bool existed = std::filesystem::exists(file, ec) || ec;
    const Writing table{folder, tableName, fields, rows, password, progress, searched};
    const bool whole = existed && !unfinished(file);
    requireWritable(folder, whole ? &file : nullptr, tableName);
    if (whole) {
        replaceExisting(file, table);
        return {};
    }
    removeStaleImports(file);
    writeNew(file, existed, table);
    return {existed};
}

} // namespace wk::engine::tablefile
