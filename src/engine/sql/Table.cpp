#include "engine/sql/Table.h"

#include "engine/EngineError.h"
#include "engine/config/ConfigTree.h"
#include "engine/search/SearchIndex.h"
#include "engine/sql/RowSource.h"
#include "engine/storage/Database.h"
#include "engine/storage/Sqlite.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace wk::engine {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

constexpr const char* kChangedByAnother =
    "The record was changed by another program. Your text is kept; the record has been read "
    "again.";

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

} // namespace

TableFilter parseFilter(const std::string& filter) {
    auto bad = [&](const std::string& why) {
        return EngineError(ErrorCode::InvalidFilter,
                           "Filter \"" + filter + "\" is not valid: " + why);
    };
    size_t i = 0;
    while (i < filter.size() && isBlank(filter[i]))
        ++i;
    size_t start = i;
    while (i < filter.size() && filter[i] != '=' && filter[i] != '\'')
        ++i;
    size_t end = i;
    while (end > start && isBlank(filter[end - 1]))
        --end;
    TableFilter f{filter.substr(start, end - start), {}};
    if (f.field.empty())
        throw bad("a field name must come before '='");
    if (i == filter.size() || filter[i] != '=')
        throw bad("expected Field='text'");
    ++i;
    while (i < filter.size() && isBlank(filter[i]))
        ++i;
    if (i == filter.size() || filter[i] != '\'')
        throw bad("the text after '=' must be in single quotes");
    for (++i;; ++i) {
        if (i >= filter.size())
            throw bad("the quoted text is not closed");
        if (filter[i] == '\'') {
            if (i + 1 < filter.size() && filter[i + 1] == '\'') {
                f.value += '\'';
                ++i;
                continue;
            }
            break;
        }
        f.value += filter[i];
    }
    for (++i; i < filter.size(); ++i)
        if (!isBlank(filter[i]))
            throw bad("unexpected text after the quoted text");
    return f;
}

void Table::setTableName(const std::string& name) {
    if (active())
        throw EngineError(ErrorCode::State, this->name() + ": cannot rename an open table");
    tableName_ = name;
}

void Table::setFilter(const std::string& filter) {
    filter_ = filter;
    if (active() && filtered_)
        reload();
}

void Table::setFiltered(bool filtered) {
    const bool changed = filtered_ != filtered;
    filtered_ = filtered;
    if (active() && changed)
        reload();
}

void Table::reload() {
    // Reopening applies the new filter; a pending change is posted first so that nothing is lost.
    post();
    close();
    open();
}

void Table::openRows(Database& db) {
    if (tableName_.empty())
        throw EngineError(ErrorCode::NotFound, name() + ": no table name is set");
    const TableHandle& t = db.table(tableName_);
    noteTable(db, t);
    std::string select = "SELECT rowid FROM " + t.qualified;
    std::optional<TableFilter> f;
    if (filtered_ && !filter_.empty()) {
        f = parseFilter(filter_);
        bool known = false;
        for (const std::string& field : t.fields)
            known = known || equalsIgnoreCase(field, f->field);
        if (!known)
            fieldNotFound(f->field);
        select += " WHERE " + quoteIdentifier(f->field) + (f->value.empty() ? " IS NULL" : " = ?1");
    }
    SqliteStatement ids(db.connection(), select + " ORDER BY rowid",
                        name() + ": reading table '" + tableName_ + "'");
    if (f && !f->value.empty())
        ids.bindTextOrNull(1, f->value);
    std::vector<std::int64_t> rowIds;
    while (ids.step())
        rowIds.push_back(ids.columnInt(0));
    std::string cols;
    for (size_t i = 0; i < t.fields.size(); ++i)
        cols += (i ? ", " : "") + quoteIdentifier(t.fields[i]);
    auto fetch = std::make_unique<SqliteStatement>(
        db.connection(), "SELECT " + cols + " FROM " + t.qualified + " WHERE rowid = ?1",
        name() + ": reading table '" + tableName_ + "'");
    qualified_ = t.qualified;
    schema_ = t.schema;
    file_ = t.file;
    setRows(std::make_unique<RowIdRows>(std::move(rowIds), std::move(fetch)), t.fields);
}

std::string Table::readOnlyReason() const {
    if (!active())
        return "the table is closed";
    auto notWritable = [](const char* what, const std::filesystem::path& path, int error) {
        return std::string(what) + " '" + path.string() +
               "' cannot be written: " + std::strerror(error);
    };
    // As the process acts now (its effective identity), which access(2) would not tell.
    if (::faccessat(AT_FDCWD, file_.c_str(), W_OK, AT_EACCESS) != 0)
        return notWritable("the file", file_, errno);
    // A change is written through a journal that SQLite creates beside the file.
    const std::filesystem::path folder = file_.parent_path();
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return notWritable("the folder", folder, errno);
    if (sqlite3_db_readonly(database().connection().handle(), schema_.c_str()) == 1)
        return "the file '" + file_.string() + "' is open for reading only";
    return {};
}

void Table::requireOpen(const char* action) const {
    if (!active())
        throw EngineError(ErrorCode::State,
                          name() + ": cannot " + action + " while the table is closed");
}

void Table::edit() {
    requireOpen("edit");
    if (state() != DatasetState::Browse)
        return;
    if (recordCount() == 0) {
        append();
        return;
    }
    std::vector<std::string> values;
    for (size_t i = 0; i < fieldNames().size(); ++i)
        values.push_back(valueAt(recNo(), static_cast<int>(i)));
    original_ = values;
    buffer_ = std::move(values);
    modified_ = false;
    refused_.reset();
    setState(DatasetState::Edit);
}

void Table::append() {
    requireOpen("insert");
    post();
    buffer_ = std::vector<std::string>(fieldNames().size());
    modified_ = false;
    refused_.reset();
    setState(DatasetState::Insert);
    setCurrent(recordCount() - 1);
    notify(DatasetEvent::RecordMoved);
}

void Table::setFieldText(const std::string& field, const std::string& value) {
    const int index = fieldIndex(field);
    if (index < 0)
        fieldNotFound(field);
    if (state() == DatasetState::Browse)
        edit();
    std::string& slot = (*buffer_)[static_cast<size_t>(index)];
    if (slot == value)
        return;
    slot = value;
    modified_ = true;
    notify(DatasetEvent::FieldChanged);
}

const std::vector<std::string>* Table::editBuffer() const {
    return buffer_ ? &*buffer_ : nullptr;
}

EngineError Table::changeError(const EngineError& e) const {
    // The table is not looked at again here: it may be what failed.
    return database().changeError(tableName_, e);
}

void Table::post() {
    if (state() != DatasetState::Edit && state() != DatasetState::Insert)
        return;
    auto* rowIds = static_cast<RowIdRows*>(rows());
    const std::vector<std::string>& fields = fieldNames();
    bool refused = false;
    bool replaced = false;
    try {
        if (state() == DatasetState::Insert) {
            search::RecordChange change(database().connection(), schema_, std::nullopt);
            std::string cols, params;
            for (size_t i = 0; i < fields.size(); ++i) {
                cols += (i ? ", " : "") + quoteIdentifier(fields[i]);
                params += (i ? ", ?" : "?") + std::to_string(i + 1);
            }
            SqliteStatement ins(database().connection(),
                                "INSERT INTO " + qualified_ + " (" + cols + ") VALUES (" + params +
                                    ")",
                                "Adding a record");
            bindValues(ins, *buffer_, 1);
            ins.run();
            const std::int64_t rowId = sqlite3_last_insert_rowid(database().connection().handle());
            change.commit(rowId);
            rowIds->append(rowId);
        } else if (modified_) {
            const std::int64_t rowId = rowIds->rowId(recNo());
            search::RecordChange change(database().connection(), schema_, rowId);
            // A row id names a record only within one import of the table.
            refused = replaced = checkReplaced();
            if (!refused) {
                std::string sets;
                for (size_t i = 0; i < fields.size(); ++i)
                    sets += (i ? ", " : "") + quoteIdentifier(fields[i]) + " = ?" +
                            std::to_string(i + 1);
                const int idParam = static_cast<int>(fields.size() + 1);
                SqliteStatement upd(database().connection(),
                                    "UPDATE " + qualified_ + " SET " + sets + " WHERE rowid = ?" +
                                        std::to_string(idParam) + holdsValues(fields, idParam + 1),
                                    "Changing a record");
                bindValues(upd, *buffer_, 1);
                upd.bind(idParam, rowId);
                bindValues(upd, original_, idParam + 1);
                upd.run();
                refused = sqlite3_changes(database().connection().handle()) != 1;
                if (!refused) {
                    change.commit(rowId);
                    rowIds->forget(recNo());
                }
            }
        }
    } catch (const EngineError& e) {
        throw changeError(e);
    }
    if (refused)
        refuseChange(original_, *buffer_, replaced);
    buffer_.reset();
    modified_ = false;
    setState(DatasetState::Browse);
    notify(DatasetEvent::DataChanged);
}

void Table::refuseChange(const std::vector<std::string>& asRead,
                         std::optional<std::vector<std::string>> typed, bool replaced) {
    // Copies: both may be the table's own, which what follows resets.
    const std::vector<std::string> record = asRead;
    const std::vector<std::string> readFields = fieldNames();
    buffer_.reset();
    modified_ = false;
    const long long at = recNo();
    bool sameRecord = false;
    if (replaced) {
        // The records are those of another import: all of them are read again, and the record
        // as it was read is looked for among them.
        close();
        open();
        const long long found = fieldNames() == readFields ? indexOfRecord(record) : -1;
        setCurrent(found >= 0 ? found : at);
        sameRecord = found >= 0;
    } else {
        auto* rowIds = static_cast<RowIdRows*>(rows());
        bool gone = false;
        try {
            SqliteStatement st(database().connection(),
                               "SELECT 1 FROM " + qualified_ + " WHERE rowid = ?1",
                               "Reading a record");
            st.bind(1, rowIds->rowId(at));
            gone = !st.step();
        } catch (const EngineError&) {
            // Read as it is when it is shown.
        }
        if (gone) {
            rowIds->erase(at);
            setCurrent(at);
        } else {
            rowIds->forget(at);
            sameRecord = true;
        }
    }
    if (typed)
        refused_ = RefusedChange{std::move(*typed), sameRecord};
    setState(DatasetState::Browse);
    notify(DatasetEvent::DataChanged);
    throw EngineError(ErrorCode::ChangedByAnother, kChangedByAnother);
}

long long Table::indexOfRecord(const std::vector<std::string>& values) const {
    if (values.size() != fieldNames().size())
        return -1;
    try {
        SqliteStatement find(database().connection(),
                             "SELECT rowid FROM " + qualified_ + " WHERE 1" +
                                 holdsValues(fieldNames(), 1) + " ORDER BY rowid",
                             "Reading a record");
        bindValues(find, values, 1);
        const auto* rowIds = static_cast<const RowIdRows*>(rows());
        while (find.step())
            for (long long i = 0; i < rowIds->size(); ++i)
                if (rowIds->rowId(i) == find.columnInt(0))
                    return i;
    } catch (const EngineError&) {
    }
    return -1;
}

void Table::cancel() {
    if (!buffer_)
        return;
    const bool inserting = state() == DatasetState::Insert;
    buffer_.reset();
    modified_ = false;
    setState(DatasetState::Browse);
    if (inserting)
        setCurrent(recordCount() - 1);
    notify(DatasetEvent::DataChanged);
}

void Table::deleteRecord() {
    requireOpen("delete");
    if (state() == DatasetState::Insert) {
        cancel();
        return;
    }
    cancel();
    if (recordCount() == 0)
        throw EngineError(ErrorCode::State, name() + ": there is no record to delete");
    auto* rowIds = static_cast<RowIdRows*>(rows());
    std::vector<std::string> asRead;
    bool refused = false;
    bool replaced = false;
    try {
        for (size_t i = 0; i < fieldNames().size(); ++i)
            asRead.push_back(valueAt(recNo(), static_cast<int>(i)));
        const std::int64_t rowId = rowIds->rowId(recNo());
        search::RecordChange change(database().connection(), schema_, rowId);
        refused = replaced = checkReplaced();
        if (!refused) {
            SqliteStatement del(database().connection(),
                                "DELETE FROM " + qualified_ + " WHERE rowid = ?1" +
                                    holdsValues(fieldNames(), 2),
                                "Deleting a record");
            del.bind(1, rowId);
            bindValues(del, asRead, 2);
            del.run();
            refused = sqlite3_changes(database().connection().handle()) != 1;
            if (!refused)
                change.commit(rowId);
        }
    } catch (const EngineError& e) {
        throw changeError(e);
    }
    if (refused)
        refuseChange(asRead, std::nullopt, replaced);
    rowIds->erase(recNo());
    setCurrent(recNo());
    notify(DatasetEvent::DataChanged);
}

void Table::beforeMove() {
    post();
}

void Table::closeRows() {
    buffer_.reset();
    original_.clear();
    modified_ = false;
    refused_.reset();
    qualified_.clear();
    schema_.clear();
    file_.clear();
}

} // namespace wk::engine
