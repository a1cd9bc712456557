#include "engine/base/EngineError.h"
#include "engine/base/FileUtil.h"
#include "engine/base/Sqlite.h"
#include "engine/search/SearchIndex.h"
#include "engine/sql/RecordStore.h"
#include "engine/sql/Table.h"
#include "engine/storage/TableFiles.h"

#include <sqlite3.h>

namespace wk::engine {
namespace {

// The condition that a record's fields hold the values bound from parameter `first` on. A blank
// field reads as "" whether it is stored as NULL (as the engine stores it) or as an empty text.
std::string holdsValues(const std::vector<std::string>& fields, int first) {
    std::string condition;
    for (size_t i = 0; i < fields.size(); ++i)
        condition += " AND coalesce(" + quoteIdentifier(fields[i]) + ", '') = coalesce(?" +
                     std::to_string(first + static_cast<int>(i)) + ", '')";
    return condition;
}

void bindValues(SqliteStatement& st, const std::vector<std::string>& values, int first) {
    for (size_t i = 0; i < values.size(); ++i)
        st.bindTextOrNull(first + static_cast<int>(i), values[i]);
}

// The records of a table file attached to the alias's connection. Each change keeps the file's
// search index in step, in the change's own savepoint.
class LocalRecords : public RecordStore {
public:
    LocalRecords(TableFiles& db, const FileTable& t, std::string what)
        : files_(db), c_(db.connection()), qualified_(t.qualified), schema_(t.schema),
          file_(t.file), fields_(t.fields), what_(std::move(what)) {}

    std::vector<std::int64_t> rowIds(const std::optional<TableFilter>& f) override {
        std::string select = "SELECT rowid FROM " + qualified_;
        if (f)
            select +=
                " WHERE " + quoteIdentifier(f->field) + (f->value.empty() ? " IS NULL" : " = ?1");
        SqliteStatement ids(c_, select + " ORDER BY rowid", what_);
        if (f && !f->value.empty())
            ids.bindTextOrNull(1, f->value);
        std::vector<std::int64_t> out;
        while (ids.step())
            out.push_back(ids.columnInt(0));
        return out;
    }

    std::unique_ptr<RowIdRows> rows(std::vector<std::int64_t> ids) override {
        std::string cols;
        for (size_t i = 0; i < fields_.size(); ++i)
            cols += (i ? ", " : "") + quoteIdentifier(fields_[i]);
        auto fetch = std::make_unique<SqliteStatement>(
            c_, "SELECT " + cols + " FROM " + qualified_ + " WHERE rowid = ?1", what_);
        return std::make_unique<RowIdRows>(std::move(ids), std::move(fetch));
    }

    std::int64_t insert(const std::vector<std::string>& values) override {
        files_.requireWritable(file_, "Adding a record");
        search::RecordChange change(c_, schema_, std::nullopt);
        std::string cols, params;
        for (size_t i = 0; i < fields_.size(); ++i) {
            cols += (i ? ", " : "") + quoteIdentifier(fields_[i]);
            params += (i ? ", ?" : "?") + std::to_string(i + 1);
        }
        SqliteStatement ins(c_,
                            "INSERT INTO " + qualified_ + " (" + cols + ") VALUES (" + params + ")",
                            "Adding a record");
        bindValues(ins, values, 1);
        ins.run();
        const std::int64_t rowId = sqlite3_last_insert_rowid(c_.handle());
        change.commit(rowId);
        return rowId;
    }

    ChangeOutcome update(std::int64_t id, const std::vector<std::string>& values,
                         const std::vector<std::string>& asRead,
                         const std::function<bool()>& replaced) override {
        files_.requireWritable(file_, "Changing a record");
        search::RecordChange change(c_, schema_, id);
        if (replaced())
            return ChangeOutcome::Replaced;
        std::string sets;
        for (size_t i = 0; i < fields_.size(); ++i)
            sets += (i ? ", " : "") + quoteIdentifier(fields_[i]) + " = ?" + std::to_string(i + 1);
        const int idParam = static_cast<int>(fields_.size() + 1);
        SqliteStatement upd(c_,
                            "UPDATE " + qualified_ + " SET " + sets + " WHERE rowid = ?" +
                                std::to_string(idParam) + holdsValues(fields_, idParam + 1),
                            "Changing a record");
        bindValues(upd, values, 1);
        upd.bind(idParam, id);
        bindValues(upd, asRead, idParam + 1);
        upd.run();
        if (sqlite3_changes(c_.handle()) != 1)
            return ChangeOutcome::NotAsRead;
        change.commit(id);
        return ChangeOutcome::Done;
    }

    ChangeOutcome remove(std::int64_t id, const std::vector<std::string>& asRead,
                         const std::function<bool()>& replaced) override {
        files_.requireWritable(file_, "Deleting a record");
        search::RecordChange change(c_, schema_, id);
        if (replaced())
            return ChangeOutcome::Replaced;
        SqliteStatement del(
            c_, "DELETE FROM " + qualified_ + " WHERE rowid = ?1" + holdsValues(fields_, 2),
            "Deleting a record");
        del.bind(1, id);
        bindValues(del, asRead, 2);
        del.run();
        if (sqlite3_changes(c_.handle()) != 1)
            return ChangeOutcome::NotAsRead;
        change.commit(id);
        return ChangeOutcome::Done;
    }

    bool exists(std::int64_t id) override {
        SqliteStatement st(c_, "SELECT 1 FROM " + qualified_ + " WHERE rowid = ?1",
                           "Reading a record");
        st.bind(1, id);
        return st.step();
    }

    std::vector<std::int64_t> find(const std::vector<std::string>& values) override {
        SqliteStatement st(c_,
                           "SELECT rowid FROM " + qualified_ + " WHERE 1" +
                               holdsValues(fields_, 1) + " ORDER BY rowid",
                           "Reading a record");
        bindValues(st, values, 1);
        std::vector<std::int64_t> out;
        while (st.step())
            out.push_back(st.columnInt(0));
        return out;
    }

    std::string readOnlyReason() const override {
        using fileutil::WriteTarget;
        if (std::string why = fileutil::whyNotWritable(file_, WriteTarget::File); !why.empty())
            return why;
        // A change is written through a journal that SQLite creates beside the file.
        if (std::string why = fileutil::whyNotWritable(file_.parent_path(), WriteTarget::Folder);
            !why.empty())
            return why;
        if (std::string why = files_.readingOnlyReason(file_); !why.empty())
            return why;
        if (sqlite3_db_readonly(c_.handle(), schema_.c_str()) == 1)
            return "the file '" + file_.string() + "' is open for reading only";
        return {};
    }

private:
    TableFiles& files_;
    SqliteDb& c_;
    std::string qualified_;
    std::string schema_;
    std::filesystem::path file_;
    std::vector<std::string> fields_;
    std::string what_;
};

} // namespace

std::unique_ptr<RecordStore> openFileRecords(TableFiles& db, const FileTable& table,
                                             const std::string& what) {
    return std::make_unique<LocalRecords>(db, table, what);
}

} // namespace wk::engine
