#pragma once

// Shared ground of the dialect tests: the same records in a local table file and in a table on
// the throw-away cluster, and statements run on both.

#include "engine/base/AsciiText.h"
#include "engine/base/UnicodeText.h"
#include "engine/sql/PgDialect.h"
#include "engine/sql/Query.h"
#include "engine/storage/ServerFunctions.h"
#include "engine/storage/Session.h"

#include "server/PgFixture.h"

#include <algorithm>
#include <map>

namespace wk::engine::test {

class PgDialectTest : public EngineTest {
protected:
    PgCluster& cluster = sharedCluster();
    PgConnection db{cluster.uri()};
    Session session_{"Test"};

    void SetUp() override {
        EngineTest::SetUp();
        for (const std::string& sql : postgresFunctionsSql())
            db.exec(sql);
    }

    /// Makes the table `name` here and on the server with the same fields and records; an empty
    /// value is NULL on the server, as in the table file. The server's fields are text in the
    /// "C" collation, named as written.
    void makeBoth(const std::string& name, const std::vector<std::string>& fields,
                  const Rows& rows) {
        makeTable(name, fields, rows);
        db.exec("DROP TABLE IF EXISTS " + db.quoteIdentifier(name));
        std::string create = "CREATE TABLE " + db.quoteIdentifier(name) + " (";
        std::string insert = "INSERT INTO " + db.quoteIdentifier(name) + " VALUES (";
        for (size_t f = 0; f < fields.size(); ++f) {
            create += (f ? ", " : "") + db.quoteIdentifier(fields[f]) + " text COLLATE \"C\"";
            insert += (f ? ", $" : "$") + std::to_string(f + 1);
        }
        db.exec(create + ")");
        PgTransaction tx(db);
        for (const auto& row : rows) {
            PgParams params;
            for (const std::string& v : row)
                params.push_back(v.empty() ? std::nullopt : std::optional<std::string>(v));
            db.exec(insert + ")", params);
        }
        tx.commit();
        serverFields_[name] = fields;
    }

    std::string translate(const std::string& statement) {
        return translateForPostgres(statement, [&](const std::string& table) {
            for (const auto& [name, fields] : serverFields_)
                if (equalsIgnoreCase(name, tablefile::baseName(table)))
                    return PgTableRef{db.quoteIdentifier(name), fields, {}};
            throw EngineError(ErrorCode::NotFound, "no table " + table);
        });
    }

    /// The same on the server, NULL read as the empty text as the local engine reads it.
    Rows runOnServer(const std::string& statement) {
        const std::string sql = translate(statement);
        PgResult r = db.exec(sql);
        Rows out;
        for (int row = 0; row < r.rows(); ++row) {
            std::vector<std::string> values;
            for (int c = 0; c < r.columns(); ++c)
                values.emplace_back(r.text(row, c));
            out.push_back(values);
        }
        return out;
    }

    /// Compares the two answers; in order when `ordered`, otherwise as sorted lists.
    void expectSameRows(const std::string& statement, bool ordered) {
        Rows local = queryRows(statement);
        Rows server;
        try {
            server = runOnServer(statement);
        } catch (const EngineError& e) {
            ADD_FAILURE() << statement << "\n-> " << translate(statement) << "\n" << e.what();
            return;
        }
        if (!ordered) {
            std::sort(local.begin(), local.end());
            std::sort(server.begin(), server.end());
        }
        EXPECT_EQ(local, server) << statement << "\n-> " << translate(statement);
    }

private:
    std::map<std::string, std::vector<std::string>> serverFields_;
};

} // namespace wk::engine::test
