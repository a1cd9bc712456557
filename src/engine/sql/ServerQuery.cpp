#include "engine/base/AsciiText.h"
#include "engine/base/EngineError.h"
#include "engine/server/PgConnection.h"
#include "engine/sql/PgDialect.h"
#include "engine/sql/Query.h"
#include "engine/sql/RowSource.h"
#include "engine/sql/ServerRows.h"
#include "engine/sql/SqlScan.h"
#include "engine/storage/ServerDatabase.h"

#include <memory>

namespace wk::engine {
namespace {

// The server's refusal of a user's statement, told as the local engine tells it: a field that
// does not exist is "Field 'x' not found", another fault "Invalid SQL statement: ...".
// The server names a field it does not know in small letters; the message names it as written.
[[noreturn]] void refused(const PgError& e, const std::string& statement) {
    if (e.sqlState() == "42703") {
        const std::string msg = e.what();
        const size_t open = msg.find("column \"");
        const size_t close = open == std::string::npos ? open : msg.find('"', open + 8);
        if (close != std::string::npos) {
            std::string field = msg.substr(open + 8, close - open - 8);
            if (const size_t dot = field.rfind('.'); dot != std::string::npos)
                field = field.substr(dot + 1);
            for (const sqlscan::Token& t : sqlscan::tokenize(statement))
                if (t.kind == sqlscan::Kind::Word && equalsIgnoreCase(t.text, field))
                    field = t.text;
            throw EngineError(ErrorCode::NotFound, "Field '" + field + "' not found");
        }
    }
    if (e.code() == ErrorCode::InvalidSql || e.code() == ErrorCode::NotFound ||
        e.code() == ErrorCode::InvalidArgument) {
        std::string why = e.what();
        if (const size_t colon = why.find(": "); colon != std::string::npos)
            why = why.substr(colon + 2);
        throw EngineError(ErrorCode::InvalidSql, "Invalid SQL statement: " + why);
    }
    if (e.code() == ErrorCode::ReadOnly)
        throw EngineError(ErrorCode::InvalidSql,
                          "Invalid SQL statement: only reading statements are allowed");
    throw e;
}

std::vector<std::string> columnNames(const PgResult& r, int first) {
    std::vector<std::string> names;
    for (int c = first; c < r.columns(); ++c)
        names.push_back(r.columnName(c));
    return names;
}

} // namespace

void Query::openServerRows(ServerDatabase& db) {
    std::vector<const ServerTable*> tables;
    const PgSelect sel = translateSelectForPostgres(sqlText(), [&](const std::string& name) {
        const ServerTable& handle = db.serverTable(name);
        tables.push_back(&handle);
        return PgTableRef{handle.qualified, handle.fields, handle.upperColumns};
    });
    for (const ServerTable* t : tables)
        noteTable(db, *t);
    PgConnection& c = db.server();
    try {
        PgTransaction snapshot(c, PgTransaction::Isolation::ReadOnlySnapshot);
        if (sel.singleTable) {
            PgResult found = c.exec(sel.rowIdSql);
            std::vector<std::int64_t> ids;
            ids.reserve(static_cast<size_t>(found.rows()));
            const int last = found.columns() - 1;
            for (int i = 0; i < found.rows(); ++i)
                ids.push_back(serverRowId(found.text(i, last)));
            // The fetch statement, run once for none, gives the result's field names.
            std::vector<std::string> fields = columnNames(c.exec(sel.fetchSql, {"{}"}), 1);
            snapshot.commit();
            const size_t count = fields.size();
            // Rows are read 64 at a time, as a grid shows them.
            setRows(std::make_unique<RowIdRows>(std::move(ids),
                                                serverRowFetcher(db, sel.fetchSql, count), 64),
                    std::move(fields));
            return;
        }
        PgResult r = c.exec(sel.sql);
        snapshot.commit();
        std::vector<std::vector<std::string>> rows;
        rows.reserve(static_cast<size_t>(r.rows()));
        for (int i = 0; i < r.rows(); ++i) {
            std::vector<std::string> row;
            for (int k = 0; k < r.columns(); ++k)
                row.emplace_back(r.text(i, k));
            rows.push_back(std::move(row));
        }
        setRows(std::make_unique<MaterializedRows>(std::move(rows)), columnNames(r, 0));
    } catch (const PgError& e) {
        refused(e, sqlText());
    }
}

} // namespace wk::engine
