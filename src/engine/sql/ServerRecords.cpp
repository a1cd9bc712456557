#include "engine/base/AsciiText.h"
#include "engine/base/EngineError.h"
#include "engine/server/PgConnection.h"
#include "engine/server/PgText.h"
#include "engine/sql/RecordStore.h"
#include "engine/sql/ServerRows.h"
#include "engine/sql/Table.h"
#include "engine/storage/ServerDatabase.h"
#include "engine/storage/ServerTables.h"

namespace wk::engine {
namespace {

std::optional<std::string> orNull(const std::string& value) {
    return value.empty() ? std::nullopt : std::optional<std::string>(value);
}

// The records of a table on the alias's server. A change is one transaction that first locks
// the table's row of wk_tables against a new import, so that a row id always names a record of
// the import that was read.
class ServerRecords : public RecordStore {
public:
    ServerRecords(ServerDatabase& db, const ServerTable& t, std::string what)
        : db_(db), qualified_(t.qualified), name_(t.storedName), fields_(t.fields),
          what_(std::move(what)) {
        for (size_t i = 0; i < fields_.size(); ++i)
            columns_ += (i ? ", " : "") + pgIdentifier(fields_[i]);
    }

    std::vector<std::int64_t> rowIds(const std::optional<TableFilter>& f) override {
        std::string select = std::string("SELECT ") + servertables::kRowId + " FROM " + qualified_;
        PgParams params;
        if (f) {
            select += " WHERE " + pgIdentifier(fieldNamed(f->field)) +
                      (f->value.empty() ? " IS NULL" : " = $1");
            if (!f->value.empty())
                params.push_back(f->value);
        }
        PgResult r = reading([&] {
            return db_.server().exec(select + " ORDER BY " + servertables::kRowId, params);
        });
        std::vector<std::int64_t> ids;
        ids.reserve(static_cast<size_t>(r.rows()));
        for (int i = 0; i < r.rows(); ++i)
            ids.push_back(serverRowId(r.text(i, 0)));
        return ids;
    }

    std::unique_ptr<RowIdRows> rows(std::vector<std::int64_t> ids) override {
        // Rows are read 64 at a time, as a grid shows them.
        const std::string fetch = std::string("SELECT ") + servertables::kRowId + ", " + columns_ +
                                  " FROM " + qualified_ + " WHERE " + servertables::kRowId +
                                  " = ANY($1::bigint[])";
        return std::make_unique<RowIdRows>(std::move(ids),
                                           serverRowFetcher(db_, fetch, fields_.size()), 64);
    }

    std::int64_t insert(const std::vector<std::string>& values) override {
        std::string params;
        for (size_t i = 0; i < fields_.size(); ++i)
            params.append(i ? ", $" : "$").append(std::to_string(i + 1));
        PgResult r =
            db_.server().exec("INSERT INTO " + qualified_ + " (" + columns_ + ") VALUES (" +
                                  params + ") RETURNING " + servertables::kRowId,
                              valueParams(values));
        return serverRowId(r.text(0, 0));
    }

    ChangeOutcome update(std::int64_t id, const std::vector<std::string>& values,
                         const std::vector<std::string>& asRead,
                         const std::function<bool()>& replaced) override {
        std::string sets;
        for (size_t i = 0; i < fields_.size(); ++i)
            sets += (i ? ", " : "") + pgIdentifier(fields_[i]) + " = $" + std::to_string(i + 1);
        PgParams params = valueParams(values);
        return change("UPDATE " + qualified_ + " SET " + sets, id, asRead, params, replaced);
    }

    ChangeOutcome remove(std::int64_t id, const std::vector<std::string>& asRead,
                         const std::function<bool()>& replaced) override {
        PgParams params;
        return change("DELETE FROM " + qualified_, id, asRead, params, replaced);
    }

    bool exists(std::int64_t id) override {
        return db_.server()
                   .exec("SELECT 1 FROM " + qualified_ + " WHERE " + servertables::kRowId + " = $1",
                         {std::to_string(id)})
                   .rows() > 0;
    }

    std::vector<std::int64_t> find(const std::vector<std::string>& values) override {
        PgParams params;
        const std::string holds = holdsValues(values, params);
        PgResult r = db_.server().exec(std::string("SELECT ") + servertables::kRowId + " FROM " +
                                           qualified_ + " WHERE TRUE" + holds + " ORDER BY " +
                                           servertables::kRowId,
                                       params);
        std::vector<std::int64_t> ids;
        for (int i = 0; i < r.rows(); ++i)
            ids.push_back(serverRowId(r.text(i, 0)));
        return ids;
    }

    std::string readOnlyReason() const override {
        try {
            PgResult r = db_.serverAsItIs().exec(
                "SELECT has_table_privilege($1, 'INSERT') AND has_table_privilege($1, 'UPDATE') "
                "AND has_table_privilege($1, 'DELETE'), current_setting('transaction_read_only')",
                {qualified_});
            if (r.text(0, 1) == "on")
                return "the server '" + db_.place() + "' takes no changes (it is read-only)";
            if (r.text(0, 0) != "t")
                return "the server's role may not change table '" + name_ + "' in " + db_.place();
        } catch (const EngineError& e) {
            return e.what();
        }
        return {};
    }

private:
    // The field of that name, as the table has it (letter case ignored).
    const std::string& fieldNamed(const std::string& name) const {
        for (const std::string& f : fields_)
            if (equalsIgnoreCase(f, name))
                return f;
        throw EngineError(ErrorCode::NotFound, "Field '" + name + "' not found");
    }

    PgParams valueParams(const std::vector<std::string>& values) const {
        PgParams params;
        for (const std::string& v : values)
            params.push_back(orNull(v));
        return params;
    }

    // The condition that a record's fields hold `values`, which are added to `params`.
    std::string holdsValues(const std::vector<std::string>& values, PgParams& params) const {
        std::string condition;
        for (size_t i = 0; i < fields_.size() && i < values.size(); ++i) {
            params.push_back(values[i]);
            condition += " AND coalesce(" + pgIdentifier(fields_[i]) + ", '') = $" +
                         std::to_string(params.size());
        }
        return condition;
    }

    ChangeOutcome change(const std::string& statement, std::int64_t id,
                         const std::vector<std::string>& asRead, PgParams& params,
                         const std::function<bool()>& replaced) {
        PgConnection& c = db_.server();
        PgTransaction transaction(c);
        // An import takes this row for itself: it waits for the change, or the change for it.
        c.exec("SELECT 1 FROM wk_tables WHERE name = $1 FOR SHARE", {name_});
        if (replaced())
            return ChangeOutcome::Replaced;
        params.push_back(std::to_string(id));
        std::string idParam = "$"; // appended: see ServerRows.cpp on GCC 12
        idParam += std::to_string(params.size());
        const std::string holds = holdsValues(asRead, params);
        PgResult r =
            c.exec(statement + " WHERE " + servertables::kRowId + " = " + idParam + holds, params);
        if (r.affectedRows() != 1)
            return ChangeOutcome::NotAsRead;
        transaction.commit();
        return ChangeOutcome::Done;
    }

    template <typename F> PgResult reading(F&& read) {
        try {
            return read();
        } catch (const EngineError& e) {
            throw EngineError(e.code(), what_ + ": " + e.what());
        }
    }

    ServerDatabase& db_;
    std::string qualified_;
    std::string name_;
    std::vector<std::string> fields_;
    std::string columns_;
    std::string what_;
};

} // namespace

std::unique_ptr<RecordStore> openServerRecords(ServerDatabase& db, const ServerTable& table,
                                               const std::string& what) {
    return std::make_unique<ServerRecords>(db, table, what);
}

} // namespace wk::engine
