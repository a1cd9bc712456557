#include "engine/sql/Dataset.h"

#include "engine/base/AsciiText.h"
#include "engine/base/EngineError.h"
#include "engine/sql/RowSource.h"
#include "engine/storage/Database.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFile.h"

#include <algorithm>

namespace wk::engine {

Dataset::Dataset() = default;

Dataset::~Dataset() {
    // Each observer is taken off the list before it is told, so that it may remove itself or
    // others meanwhile; one that registers again is told again.
    while (!observers_.empty()) {
        DatasetObserver* observer = observers_.front();
        observers_.erase(observers_.begin());
        observer->datasetDestroyed(*this);
    }
}

void Dataset::setDatabaseName(const std::string& alias) {
    if (active())
        throw EngineError(ErrorCode::State,
                          name_ + ": cannot change the database of an open dataset");
    databaseName_ = alias;
}

void Dataset::setSessionName(const std::string& session) {
    if (active())
        throw EngineError(ErrorCode::State,
                          name_ + ": cannot change the session of an open dataset");
    sessionName_ = session;
}

void Dataset::open() {
    if (active())
        return;
    Session* session = Session::find(sessionName_);
    if (!session)
        throw EngineError(ErrorCode::NotFound, "Session '" + sessionName_ + "' not found");
    if (databaseName_.empty())
        throw EngineError(ErrorCode::NotFound,
                          (name_.empty() ? "" : name_ + ": ") + "no database alias is set");
    database_ = &session->database(databaseName_);
    generations_.clear();
    try {
        openRows(*database_);
    } catch (...) {
        rows_.reset();
        fields_.clear();
        generations_.clear();
        throw;
    }
    state_ = DatasetState::Browse;
    current_ = rows_->size() > 0 ? 0 : -1;
    bof_ = true;
    eof_ = rows_->size() == 0;
    notify(DatasetEvent::Opened);
}

void Dataset::close() {
    if (!active())
        return;
    closeRows();
    rows_.reset();
    fields_.clear();
    generations_.clear();
    state_ = DatasetState::Inactive;
    current_ = -1;
    bof_ = eof_ = true;
    notify(DatasetEvent::Closed);
}

long long Dataset::recordCount() const {
    if (!rows_)
        return 0;
    // A record being inserted counts, and is the last one, until it is posted or cancelled.
    return rows_->size() + (state_ == DatasetState::Insert ? 1 : 0);
}

void Dataset::setRows(std::unique_ptr<RowSource> rows, std::vector<std::string> fields) {
    rows_ = std::move(rows);
    fields_ = std::move(fields);
}

void Dataset::noteTable(Database& db, const TableHandle& table) {
    for (const auto& [name, generation] : generations_)
        if (name == table.name)
            return;
    generations_.emplace_back(table.name, db.generation(table.name));
}

bool Dataset::checkReplaced() const {
    if (!active())
        return false;
    for (const auto& [name, generation] : generations_)
        if (database_->generation(name) != generation)
            return true;
    return false;
}

bool Dataset::tableReplaced() const {
    try {
        return checkReplaced();
    } catch (const EngineError&) {
        return false;
    }
}

bool Dataset::tableReplacedNearby() const {
    return active() && database_->answersAtOnce() && tableReplaced();
}

void Dataset::setCurrent(long long index) {
    const long long n = recordCount();
    current_ = n == 0 ? -1 : std::clamp(index, 0LL, n - 1);
    if (n == 0)
        bof_ = eof_ = true;
}

void Dataset::first() {
    if (!active())
        return;
    beforeMove();
    setCurrent(0);
    bof_ = true;
    eof_ = recordCount() == 0;
    notify(DatasetEvent::RecordMoved);
}

void Dataset::last() {
    if (!active())
        return;
    beforeMove();
    setCurrent(recordCount() - 1);
    eof_ = true;
    bof_ = recordCount() == 0;
    notify(DatasetEvent::RecordMoved);
}

void Dataset::next() {
    if (!active())
        return;
    beforeMove();
    if (current_ + 1 < recordCount()) {
        ++current_;
        bof_ = eof_ = false;
        notify(DatasetEvent::RecordMoved);
    } else {
        eof_ = true;
    }
}

void Dataset::prior() {
    if (!active())
        return;
    beforeMove();
    if (current_ > 0) {
        --current_;
        bof_ = eof_ = false;
        notify(DatasetEvent::RecordMoved);
    } else {
        bof_ = true;
    }
}

void Dataset::moveTo(long long index) {
    if (!active())
        return;
    if (index == current_ && state_ == DatasetState::Browse)
        return;
    beforeMove();
    setCurrent(index);
    bof_ = eof_ = recordCount() == 0;
    notify(DatasetEvent::RecordMoved);
}

int Dataset::fieldIndex(const std::string& field) const {
    for (size_t i = 0; i < fields_.size(); ++i)
        if (equalsIgnoreCase(fields_[i], field))
            return static_cast<int>(i);
    return -1;
}

void Dataset::fieldNotFound(const std::string& field) const {
    throw EngineError(ErrorCode::NotFound,
                      (name_.empty() ? "" : name_ + ": ") + "Field '" + field + "' not found");
}

std::string Dataset::fieldAsText(const std::string& field) const {
    const int index = fieldIndex(field);
    if (index < 0)
        fieldNotFound(field);
    if (const auto* buffer = editBuffer())
        return (*buffer)[static_cast<size_t>(index)];
    return valueAt(current_, index);
}

std::string Dataset::valueAt(long long row, int field) const {
    if (!rows_ || field < 0 || field >= static_cast<int>(fields_.size()))
        return {};
    if (row == current_)
        if (const auto* buffer = editBuffer())
            return (*buffer)[static_cast<size_t>(field)];
    if (row < 0 || row >= rows_->size())
        return {};
    const std::vector<std::string>& values = rows_->row(row);
    return static_cast<size_t>(field) < values.size() ? values[static_cast<size_t>(field)]
                                                      : std::string();
}

void Dataset::addObserver(DatasetObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void Dataset::removeObserver(DatasetObserver* observer) {
    std::erase(observers_, observer);
}

void Dataset::notify(DatasetEvent event) {
    // A copy, so that an observer may add or remove observers while being told; one removed
    // meanwhile may be gone already, and is skipped.
    const std::vector<DatasetObserver*> observers = observers_;
    for (DatasetObserver* o : observers)
        if (std::find(observers_.begin(), observers_.end(), o) != observers_.end())
            o->datasetEvent(*this, event);
}

void Dataset::setState(DatasetState state) {
    if (state_ == state)
        return;
    state_ = state;
    notify(DatasetEvent::StateChanged);
}

} // namespace wk::engine
