// The local SQL translator on any statement: it gives a translation or raises EngineError,
// nothing else. Every table name resolves to one small table in an SQLite connection of the
// target's own. When the translated statement runs there and the translator calls it a one-table
// statement, its two-step form (row ids, then each record fetched by row id) must run too and give
// the very same records, in any order, as the statement itself.

#include "FuzzCheck.h"

#include "engine/base/EngineError.h"
#include "engine/sql/LocalSql.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using Rows = std::vector<std::vector<std::string>>;

// A row value as text; NULL is told apart from the empty text.
std::string columnValue(sqlite3_stmt* st, int c) {
    if (sqlite3_column_type(st, c) == SQLITE_NULL)
        return "<null>";
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(st, c));
    return "'" + std::string(bytes ? bytes : "", sqlite3_column_bytes(st, c));
}

// Functions whose answers change from one run to the next cannot be compared.
int refuseChangingFunctions(void*, int action, const char*, const char* name, const char*,
                            const char*) {
    if (action != SQLITE_FUNCTION || !name)
        return SQLITE_OK;
    for (const char* f : {"random", "randomblob", "date", "time", "datetime", "julianday",
                          "strftime", "unixepoch", "current_date", "current_time",
                          "current_timestamp", "changes", "total_changes", "last_insert_rowid"})
        if (sqlite3_stricmp(name, f) == 0)
            return SQLITE_DENY;
    return SQLITE_OK;
}

sqlite3* connection() {
    static sqlite3* db = [] {
        sqlite3* d = nullptr;
        if (sqlite3_open_v2(":memory:", &d, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY, nullptr) !=
            SQLITE_OK)
            wk::fuzz::failure("cannot open an SQLite connection");
        const char* setup =
            "ATTACH ':memory:' AS t1;"
            "CREATE TABLE t1.records(Tagalo TEXT, English TEXT, ActiveVerb TEXT, PassiveVerb TEXT,"
            " L2Definition TEXT, Examples TEXT, Notes TEXT);"
            "INSERT INTO t1.records VALUES"
            " ('bahay', 'house', NULL, NULL, 'tirahan', 'Malaki ang bahay.', NULL),"
            " ('araw', 'sun; day', NULL, NULL, NULL, 'Mainit ang araw.', '2'),"
            " ('kain', 'eat', 'kumain', 'kainin', NULL, NULL, '10'),"
            " ('niño', 'child', NULL, NULL, 'batà', '50% \"quoted\" it''s', ''),"
            " ('bahay', 'house', NULL, NULL, 'tirahan', 'Malaki ang bahay.', NULL),"
            " ('ANG', NULL, NULL, NULL, 'σοφία straße', 'a_b', '-1');";
        char* message = nullptr;
        if (sqlite3_exec(d, setup, nullptr, nullptr, &message) != SQLITE_OK)
            wk::fuzz::failure(std::string("cannot make the table: ") + (message ? message : ""));
        sqlite3_set_authorizer(d, refuseChangingFunctions, nullptr);
        return d;
    }();
    return db;
}

struct Statement {
    sqlite3_stmt* st = nullptr;
    ~Statement() { sqlite3_finalize(st); }
};

// Prepares `sql` as one read-only statement; false when SQLite will not.
bool prepare(const std::string& sql, Statement& s) {
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(connection(), sql.c_str(), static_cast<int>(sql.size()) + 1, &s.st,
                           &tail) != SQLITE_OK ||
        !s.st)
        return false;
    const bool onlyBlanks = std::all_of(tail, sql.c_str() + sql.size(), [](char c) {
        return c != '\0' && std::strchr(" \t\r\n\f\v", c) != nullptr;
    });
    return onlyBlanks && sqlite3_stmt_readonly(s.st);
}

// Every row of a prepared statement; nothing when stepping fails (for example a run-time error
// such as a sub-select giving more than one column).
std::optional<Rows> rowsOf(sqlite3_stmt* st, int columns) {
    Rows rows;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int c = 0; c < columns; ++c)
            row.push_back(columnValue(st, c));
        rows.push_back(std::move(row));
        if (rows.size() > 10000)
            return std::nullopt; // a join that multiplies rows: not worth comparing
    }
    if (rc != SQLITE_DONE)
        return std::nullopt;
    return rows;
}

std::string describe(const wk::engine::TranslatedSelect& sel) {
    return "\ntranslated: " + wk::fuzz::shown(sel.sql) +
           "\nrow ids: " + wk::fuzz::shown(sel.rowIdSql) +
           "\nfetch: " + wk::fuzz::shown(sel.fetchSql);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string statement = wk::fuzz::text(data, size);
    wk::engine::TranslatedSelect sel;
    try {
        sel = wk::engine::translateSelect(statement,
                                          [](const std::string&) { return "\"t1\".records"; });
    } catch (const wk::engine::EngineError& e) {
        if (e.code() != wk::engine::ErrorCode::InvalidSql)
            wk::fuzz::failure(
                std::string("a statement is refused for another reason than its SQL: ") + e.what());
        return 0;
    }
    if (sel.sql.empty())
        wk::fuzz::failure("an empty translation of " + wk::fuzz::shown(statement));
    if (!sel.singleTable)
        return 0;
    // What went in and what came out, for a report.
    const auto story = [&] { return "\nstatement: " + wk::fuzz::shown(statement) + describe(sel); };
    if (sel.indexable.wholeTable && !sel.indexable.likeTerms.empty())
        wk::fuzz::failure("a whole table with search terms" + story());

    // The statement as SQLite runs it. The engine's statements have no parameters.
    Statement whole;
    if (!prepare(sel.sql, whole) || sqlite3_bind_parameter_count(whole.st) != 0)
        return 0;
    const int columns = sqlite3_column_count(whole.st);
    const std::optional<Rows> expected = rowsOf(whole.st, columns);
    if (!expected)
        return 0;

    Statement ids;
    Statement fetch;
    if (!prepare(sel.rowIdSql, ids))
        wk::fuzz::failure(std::string("the row-id statement fails: ") +
                          sqlite3_errmsg(connection()) + story());
    if (!prepare(sel.fetchSql, fetch))
        wk::fuzz::failure(std::string("the fetch statement fails: ") +
                          sqlite3_errmsg(connection()) + story());
    if (sqlite3_column_count(fetch.st) != columns)
        wk::fuzz::failure("the fetch statement gives another number of columns" + story());
    if (sqlite3_bind_parameter_count(fetch.st) != 1)
        wk::fuzz::failure("the fetch statement does not take exactly the row id" + story());

    Rows fetched;
    int rc;
    const int idColumn = sqlite3_column_count(ids.st) - 1;
    while ((rc = sqlite3_step(ids.st)) == SQLITE_ROW) {
        sqlite3_reset(fetch.st);
        sqlite3_bind_int64(fetch.st, 1, sqlite3_column_int64(ids.st, idColumn));
        const std::optional<Rows> one = rowsOf(fetch.st, columns);
        if (!one || one->size() != 1)
            wk::fuzz::failure("a row id does not fetch exactly one record" + story());
        fetched.push_back(one->front());
    }
    if (rc != SQLITE_DONE)
        wk::fuzz::failure(std::string("the row-id statement stops with an error: ") +
                          sqlite3_errmsg(connection()) + story());

    Rows a = *expected;
    std::sort(a.begin(), a.end());
    std::sort(fetched.begin(), fetched.end());
    if (a != fetched)
        wk::fuzz::failure("the two-step form gives other records (" +
                          std::to_string(fetched.size()) + " instead of " +
                          std::to_string(a.size()) + ")" + story());
    return 0;
}
