#include "engine/storage/ServerTables.h"

#include "engine/base/AsciiText.h"
#include "engine/base/EngineError.h"
#include "engine/server/PgConnection.h"
#include "engine/server/PgText.h"
#include "engine/storage/PasswordHash.h"
#include "engine/storage/ServerFunctions.h"

#include <cstdlib>
#include <string_view>

namespace wk::engine::servertables {
namespace {

// Rows sent to the server in one piece of a COPY.
constexpr size_t kCopyPiece = 1 << 20;

bool catalogExists(PgConnection& c) {
    return c.exec("SELECT to_regclass('wk_tables') IS NOT NULL").text(0, 0) == "t";
}

std::string where(const std::string& name, const PgConnection& c) {
    return "Table '" + name + "' in " + c.serverName();
}

constexpr std::string_view kUpperPrefix = "wk_upper_";

std::string upperColumn(size_t field) {
    std::string name(kUpperPrefix);
    name += std::to_string(field + 1);
    return name;
}

// The fields of the records' table, and the columns that keep them in capitals.
void readColumns(PgConnection& c, Description& d) {
    PgResult r = c.exec("SELECT attname FROM pg_attribute WHERE attrelid = $1::regclass AND "
                        "attnum > 0 AND NOT attisdropped ORDER BY attnum",
                        {d.qualified});
    std::vector<std::string> upper;
    for (int i = 0; i < r.rows(); ++i) {
        const std::string_view name = r.text(i, 0);
        if (!name.starts_with("wk_"))
            d.fields.emplace_back(name);
        else if (name.starts_with(kUpperPrefix))
            upper.emplace_back(name);
    }
    for (const std::string& u : upper) {
        const size_t number = std::strtoul(u.c_str() + kUpperPrefix.size(), nullptr, 10);
        if (number >= 1 && number <= d.fields.size() && upperColumn(number - 1) == u) {
            d.upperColumns.resize(d.fields.size());
            d.upperColumns[number - 1] = u;
        }
    }
}

} // namespace

std::optional<Description> describe(PgConnection& c, const std::string& tableName) {
    const std::string base = tablefile::baseName(tableName);
    if (!catalogExists(c))
        return std::nullopt;
    PgResult r = c.exec("SELECT name, coalesce(password_salt, ''), coalesce(password_hash, ''), "
                        "generation, to_regclass(quote_ident(name)) IS NOT NULL FROM wk_tables "
                        "WHERE lower(name) = lower($1) ORDER BY name = $1 DESC, name LIMIT 1",
                        {base});
    if (r.rows() == 0 || r.text(0, 4) != "t")
        return std::nullopt;
    Description d;
    d.name = r.text(0, 0);
    d.qualified = pgIdentifier(d.name);
    d.passwordSalt = r.text(0, 1);
    d.passwordHash = r.text(0, 2);
    d.generation = r.text(0, 3);
    readColumns(c, d);
    return d;
}

std::string generation(PgConnection& c, const std::string& name) {
    PgResult r = c.exec("SELECT generation FROM wk_tables WHERE name = $1", {name});
    return r.rows() ? std::string(r.text(0, 0)) : std::string();
}

void appendCopyField(std::string& out, const std::string& value) {
    if (value.empty()) {
        out += "\\N";
        return;
    }
    if (value.find('\0') != std::string::npos)
        throw EngineError(ErrorCode::InvalidArgument,
                          "a text holds a NUL character, which the server cannot store");
    for (char ch : value) {
        switch (ch) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += ch;
        }
    }
}

namespace {

// Refuses field names that the server's columns could not hold apart from the engine's own or
// from each other (the engine finds a field by its name without regard to letter case).
void checkFields(const std::vector<std::string>& fields, const std::string& at) {
    for (const std::string& f : fields)
        if (f.empty() || equalsIgnoreCase(f.substr(0, 3), "wk_"))
            throw EngineError(ErrorCode::InvalidArgument,
                              at + ": a field on a server cannot be named '" + f +
                                  "' (names beginning with wk_ are the engine's)");
    if (const size_t twice = firstRepeatIgnoringCase(fields); twice < fields.size())
        throw EngineError(ErrorCode::InvalidArgument,
                          at + ": the field '" + fields[twice] + "' is named twice");
}

// Drops the table `name` of ours (letter case ignored) in the caller's transaction, when the
// password opens it; refuses to go on when a table of that name is not ours.
void dropOld(PgConnection& c, const std::string& name, const std::optional<std::string>& password) {
    const std::string at = where(name, c);
    PgResult old = c.exec("SELECT name, coalesce(password_salt, ''), "
                          "coalesce(password_hash, '') FROM wk_tables WHERE lower(name) = "
                          "lower($1) FOR UPDATE",
                          {name});
    bool ours = false;
    for (int i = 0; i < old.rows(); ++i) {
        const std::string oldName(old.text(i, 0));
        const std::string hash(old.text(i, 2));
        if (!hash.empty() &&
            !(password && password::anyMatches({*password}, std::string(old.text(i, 1)), hash)))
            throw EngineError(ErrorCode::Password, where(oldName, c) +
                                                       " is protected, and the password given "
                                                       "is not its password");
        ours = ours || oldName == name;
        c.exec("DROP TABLE IF EXISTS " + pgIdentifier(oldName));
    }
    c.exec("DELETE FROM wk_tables WHERE lower(name) = lower($1)", {name});
    if (!ours &&
        c.exec("SELECT to_regclass($1) IS NOT NULL", {pgIdentifier(name)}).text(0, 0) == "t")
        throw EngineError(ErrorCode::Corrupt,
                          at + " exists and is not a table of Wikabay: it is left as it is");
}

} // namespace

void replace(PgConnection& c, const std::string& tableName, const std::vector<std::string>& fields,
             const tablefile::RowReader& rows, const std::optional<std::string>& password,
             const std::function<void(long long)>& progress, const std::vector<bool>& searched) {
    const std::string name = tablefile::baseName(tableName);
    const std::string at = where(name, c);
    if (name.empty())
        throw EngineError(ErrorCode::InvalidArgument, "A table on a server needs a name");
    if (fields.empty())
        throw EngineError(ErrorCode::InvalidArgument, at + " needs at least one field");
    checkFields(fields, at);
    try {
        PgTransaction transaction(c);
        // Other programs may create the same things at the same time: one at a time.
        c.exec("SELECT pg_advisory_xact_lock(5721, 1)");
        c.exec("CREATE EXTENSION IF NOT EXISTS pg_trgm");
        for (const std::string& sql : postgresFunctionsSql())
            c.exec(sql);
        c.exec("CREATE TABLE IF NOT EXISTS wk_tables (name text COLLATE \"C\" PRIMARY KEY, "
               "generation text NOT NULL, password_salt text, password_hash text)");
        dropOld(c, name, password);
        const std::string qualified = pgIdentifier(name);
        std::string columns;
        std::string create = "CREATE TABLE " + qualified + " (" + kRowId +
                             " bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY";
        const auto isSearched = [&](size_t i) {
            return searched.empty() || (i < searched.size() && searched[i]);
        };
        for (size_t i = 0; i < fields.size(); ++i) {
            columns += (i ? ", " : "") + pgIdentifier(fields[i]);
            create += ", " + pgIdentifier(fields[i]) + " text COLLATE \"C\"";
        }
        for (size_t i = 0; i < fields.size(); ++i)
            if (isSearched(i))
                create += ", " + upperColumn(i) +
                          " text COLLATE \"C\" GENERATED ALWAYS AS (wk_upper(" +
                          pgIdentifier(fields[i]) + ")) STORED";
        c.exec(create + ")");
        long long sent = 0;
        std::vector<std::string> row;
        c.copyIn("COPY " + qualified + " (" + columns + ") FROM STDIN", [&](std::string& out) {
            while (out.size() < kCopyPiece) {
                row.clear();
                if (!rows(row))
                    return false;
                if (row.size() != fields.size())
                    throw EngineError(ErrorCode::InvalidArgument,
                                      "Row " + std::to_string(sent + 1) + " has " +
                                          std::to_string(row.size()) + " fields instead of " +
                                          std::to_string(fields.size()));
                for (size_t i = 0; i < row.size(); ++i) {
                    if (i)
                        out += '\t';
                    appendCopyField(out, row[i]);
                }
                out += '\n';
                if (++sent % 10000 == 0 && progress)
                    progress(sent);
            }
            return true;
        });
        for (size_t i = 0; i < fields.size(); ++i)
            if (isSearched(i))
                c.exec("CREATE INDEX ON " + qualified + " USING gin (" + upperColumn(i) +
                       " gin_trgm_ops)");
        std::optional<std::string> salt, hash;
        if (password) {
            salt = password::newSalt();
            hash = password::hash(*password, *salt);
        }
        c.exec("INSERT INTO wk_tables (name, generation, password_salt, password_hash) VALUES "
               "($1, $2, $3, $4)",
               {name, password::newSalt(), salt, hash});
        c.exec("ANALYZE " + qualified);
        transaction.commit();
        if (progress)
            progress(sent);
    } catch (const EngineError& e) {
        const std::string why = e.what();
        if (why.starts_with("Table '"))
            throw;
        throw EngineError(e.code(), at + " cannot be written: " + why);
    }
}

} // namespace wk::engine::servertables
