#include "engine/sql/Table.h"

#include "engine/base/AsciiText.h"
#include "engine/base/EngineError.h"
#include "engine/sql/RecordStore.h"
#include "engine/sql/RowSource.h"
#include "engine/storage/Database.h"

namespace wk::engine {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// What the user is told when a change or a deletion was refused; nothing was stored either way.
std::string refusalMessage(bool deleting, bool sameRecord) {
    if (!sameRecord)
        return deleting ? "The record was deleted by another program, or its table imported anew."
                        : "The record was deleted by another program, or its table imported "
                          "anew. Your change was not stored.";
    return deleting ? "The record was changed by another program. It was not deleted; the record "
                      "has been read again."
                    : "The record was changed by another program. Your change was not stored; "
                      "the record has been read again.";
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

std::string Table::RefusedChange::value(const std::string& field) const {
    for (size_t i = 0; i < fields.size() && i < values.size(); ++i)
        if (equalsIgnoreCase(fields[i], field))
            return values[i];
    return {};
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

Table::Table() = default;
Table::~Table() = default;

void Table::openRows(Database& db) {
    if (tableName_.empty())
        throw EngineError(ErrorCode::NotFound, name() + ": no table name is set");
    const TableHandle& t = db.table(tableName_);
    noteTable(db, t);
    std::optional<TableFilter> f;
    if (filtered_ && !filter_.empty()) {
        f = parseFilter(filter_);
        bool known = false;
        for (const std::string& field : t.fields)
            known = known || equalsIgnoreCase(field, f->field);
        if (!known)
            fieldNotFound(f->field);
    }
    std::unique_ptr<RecordStore> store =
        openRecords(db, t, name() + ": reading table '" + tableName_ + "'");
    std::unique_ptr<RowIdRows> rows = store->rows(store->rowIds(f));
    store_ = std::move(store);
    setRows(std::move(rows), t.fields);
}

std::string Table::readOnlyReason() const {
    if (!active() || !store_)
        return "the table is closed";
    return store_->readOnlyReason();
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
    ChangeOutcome outcome = ChangeOutcome::Done;
    try {
        if (state() == DatasetState::Insert) {
            rowIds->append(store_->insert(*buffer_));
        } else if (modified_) {
            const long long at = recNo();
            outcome = store_->update(rowIds->rowId(at), *buffer_, original_,
                                     [this] { return checkReplaced(); });
            if (outcome == ChangeOutcome::Done)
                rowIds->forget(at);
        }
    } catch (const EngineError& e) {
        throw changeError(e);
    }
    if (outcome != ChangeOutcome::Done)
        refuseChange(original_, *buffer_, outcome == ChangeOutcome::Replaced);
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
    const bool deleting = !typed;
    buffer_.reset();
    modified_ = false;
    const long long at = recNo();
    bool sameRecord = false;
    if (replaced) {
        // The records are those of another import: all of them are read again, and the record
        // as it was read is looked for among them. When that fails, the typed text is still
        // handed over, with the error that says why.
        try {
            close();
            open();
            const long long found = fieldNames() == readFields ? indexOfRecord(record) : -1;
            setCurrent(found >= 0 ? found : at);
            sameRecord = found >= 0;
        } catch (const EngineError&) {
            if (typed)
                refused_ = RefusedChange{readFields, std::move(*typed), false};
            throw;
        }
    } else {
        auto* rowIds = static_cast<RowIdRows*>(rows());
        bool gone = false;
        try {
            gone = !store_->exists(rowIds->rowId(at));
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
        refused_ = RefusedChange{readFields, std::move(*typed), sameRecord};
    setState(DatasetState::Browse);
    notify(DatasetEvent::DataChanged);
    throw EngineError(ErrorCode::ChangedByAnother, refusalMessage(deleting, sameRecord));
}

long long Table::indexOfRecord(const std::vector<std::string>& values) const {
    if (values.size() != fieldNames().size())
        return -1;
    const auto* rowIds = static_cast<const RowIdRows*>(rows());
    for (std::int64_t id : store_->find(values))
        for (long long i = 0; i < rowIds->size(); ++i)
            if (rowIds->rowId(i) == id)
                return i;
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
    ChangeOutcome outcome = ChangeOutcome::Done;
    try {
        for (size_t i = 0; i < fieldNames().size(); ++i)
            asRead.push_back(valueAt(recNo(), static_cast<int>(i)));
        outcome =
            store_->remove(rowIds->rowId(recNo()), asRead, [this] { return checkReplaced(); });
    } catch (const EngineError& e) {
        throw changeError(e);
    }
    if (outcome != ChangeOutcome::Done)
        refuseChange(asRead, std::nullopt, outcome == ChangeOutcome::Replaced);
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
    store_.reset();
}

} // namespace wk::engine
