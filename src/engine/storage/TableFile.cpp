#include "engine/storage/TableFile.h"

#include "engine/EngineError.h"
#include "engine/config/ConfigTree.h"
#include "engine/search/SearchIndex.h"
#include "engine/storage/Sqlite.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <sqlite3.h>

namespace wk::engine::tablefile {
namespace {

constexpr const char* kFormat = "wikabay-table 1";
constexpr int kApplicationId = 0x574B4259; // "WKBY"
constexpr int kIterations = 20000;

std::string toHex(const unsigned char* data, size_t size) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

std::string hashPassword(const std::string& password, const std::string& saltHex) {
    unsigned char key[32];
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(saltHex.data()),
                          static_cast<int>(saltHex.size()), kIterations, EVP_sha256(), sizeof key,
                          key) != 1)
        throw EngineError(ErrorCode::General, "Cannot compute a password hash");
    return toHex(key, sizeof key);
}

std::string newSalt() {
    unsigned char salt[16];
    if (RAND_bytes(salt, sizeof salt) != 1)
        throw EngineError(ErrorCode::General, "Cannot make a password salt");
    return toHex(salt, sizeof salt);
}

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
        for (size_t j = 0; j < i; ++j)
            if (equalsIgnoreCase(fields[j], f))
                throw EngineError(ErrorCode::InvalidArgument,
                                  "Field name '" + f + "' appears twice");
    }
}

std::string infoValue(const SqliteDb& db, const std::string& schema, const std::string& key) {
    SqliteStatement st(
        db, "SELECT value FROM " + quoteIdentifier(schema) + ".wk_table_info WHERE key = ?1",
        "Reading table information");
    st.bindTextOrNull(1, key);
    return st.step() ? st.columnText(0) : std::string();
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
        if (!id.step() || id.columnInt(0) != kApplicationId ||
            infoValue(db, schema, "format") != kFormat)
            throw EngineError(ErrorCode::Corrupt,
                              where(tableName, folder) + " is not a table file of this engine");
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

bool passwordMatches(const SqliteDb& db, const std::string& schema,
                     const std::vector<std::string>& passwords) {
    const std::string hash = infoValue(db, schema, "password_hash");
    if (hash.empty())
        return true;
    const std::string salt = infoValue(db, schema, "password_salt");
    for (const std::string& p : passwords)
        if (hashPassword(p, salt) == hash)
            return true;
    return false;
}

void replace(const std::filesystem::path& folder, const std::string& tableName,
             const std::vector<std::string>& fields, const RowReader& rows,
             const std::optional<std::string>& password,
             const std::function<void(long long)>& progress) {
    validateName(tableName);
    validateFields(fields);
    const std::filesystem::path file = fileFor(folder, tableName);
    std::error_code ec;
    const bool existed = std::filesystem::exists(file, ec);
    SqliteDb db(file.string(), SqliteDb::Mode::ReadWriteCreate);
    try {
        if (existed && std::filesystem::file_size(file, ec) > 0) {
            describe(db, "main", tableName, folder);
            std::vector<std::string> given;
            if (password)
                given.push_back(*password);
            if (!passwordMatches(db, "main", given))
                throw EngineError(ErrorCode::Password,
                                  where(tableName, folder) +
                                      " is protected: give its password to replace it");
        }
        db.exec("BEGIN IMMEDIATE", where(tableName, folder) + " cannot be locked");
        db.exec("PRAGMA application_id = " + std::to_string(kApplicationId) +
                    "; DROP TABLE IF EXISTS records; DROP TABLE IF EXISTS wk_table_info;"
                    "CREATE TABLE wk_table_info (key TEXT PRIMARY KEY, value TEXT NOT NULL);",
                "Creating " + where(tableName, folder));
        std::string create = "CREATE TABLE records (";
        std::string insert = "INSERT INTO records VALUES (";
        for (size_t i = 0; i < fields.size(); ++i) {
            create += (i ? ", " : "") + quoteIdentifier(fields[i]) + " TEXT";
            insert += (i ? ", ?" : "?") + std::to_string(i + 1);
        }
        db.exec(create + ")", "Creating " + where(tableName, folder));
        SqliteStatement info(db, "INSERT INTO wk_table_info VALUES (?1, ?2)",
                             "Writing " + tableName);
        auto putInfo = [&](const std::string& k, const std::string& v) {
            info.reset();
            info.bindTextOrNull(1, k);
            info.bindTextOrNull(2, v);
            info.run();
        };
        putInfo("format", kFormat);
        if (password) {
            const std::string salt = newSalt();
            putInfo("password_salt", salt);
            putInfo("password_hash", hashPassword(*password, salt));
        }
        SqliteStatement ins(db, insert + ")", "Writing " + where(tableName, folder));
        search::IndexBuilder index(db, fields.size());
        std::vector<std::string> row;
        long long count = 0;
        while (rows(row)) {
            ins.reset();
            for (size_t i = 0; i < fields.size(); ++i)
                ins.bindTextOrNull(static_cast<int>(i + 1), i < row.size() ? row[i] : "");
            ins.run();
            index.add(sqlite3_last_insert_rowid(db.handle()), row);
            if (progress && ++count % 50000 == 0)
                progress(count);
        }
        index.finish();
        db.exec("COMMIT", "Writing " + where(tableName, folder));
    } catch (...) {
        if (!sqlite3_get_autocommit(db.handle()))
            sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        if (!existed)
            std::filesystem::remove(file, ec);
        throw;
    }
}

} // namespace wk::engine::tablefile
