#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace wk::engine {

class Database;
class Dataset;
class RowSource;
struct TableHandle;

enum class DatasetState { Inactive, Browse, Edit, Insert };

/// What changed in a dataset; a data source passes these on to its controls.
enum class DatasetEvent {
    Opened,       ///< the dataset was opened; the current record is the first
    Closed,       ///< the dataset was closed
    RecordMoved,  ///< another record became current
    DataChanged,  ///< records were added, removed or rewritten, or the rows were reloaded
    FieldChanged, ///< a field of the current record was edited
    StateChanged  ///< editing began or ended
};

/// Follows the events of a dataset.
///
/// An observer and its dataset own nothing of each other, and either may go first:
/// - An observer that goes first calls removeObserver on every dataset it observes, as it goes
///   (DataSource does so in its destructor); the dataset then never calls it again.
/// - A dataset that goes first calls datasetDestroyed on every observer still registered, once,
///   after taking it off its list; the observer drops every pointer it holds to the dataset.
class DatasetObserver {
public:
    virtual ~DatasetObserver() = default;
    virtual void datasetEvent(Dataset& dataset, DatasetEvent event) = 0;
    /// The dataset is being destroyed: its Query or Table part is already gone, so the observer
    /// must not read it or call it, save removeObserver (which is harmless then).
    virtual void datasetDestroyed(Dataset& dataset) = 0;
};

/// Common ground of Query and Table: a result held as a list of rows that are fetched on demand,
/// a current record, navigation, fields read as text, and events for data sources.
///
/// Opening an open dataset and closing a closed one do nothing. While a dataset is closed it has
/// no fields: reading one raises "Field 'X' not found" (prefixed with the dataset's name when it
/// has one, as in "Table1: Field 'URL' not found").
class Dataset {
public:
    /// Tells every observer still registered that the dataset goes (DatasetObserver).
    virtual ~Dataset();
    Dataset(const Dataset&) = delete;
    Dataset& operator=(const Dataset&) = delete;

    /// The component name used in messages, such as "Query1".
    void setName(const std::string& name) { name_ = name; }
    const std::string& name() const { return name_; }

    void setDatabaseName(const std::string& alias);
    const std::string& databaseName() const { return databaseName_; }
    void setSessionName(const std::string& session);
    const std::string& sessionName() const { return sessionName_; }

    /// Opens the dataset through its session and database (starting the session if needed) and
    /// makes the first record current. On failure raises EngineError and stays closed.
    void open();
    /// Closes the dataset; a pending change of a table is dropped.
    void close();
    bool active() const { return state_ != DatasetState::Inactive; }
    DatasetState state() const { return state_; }

    /// The number of records, a record being inserted included; 0 while closed.
    long long recordCount() const;
    /// The index of the current record from 0, or -1 when there is none.
    long long recNo() const { return current_; }
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }

    void first();
    void prior();
    void next();
    void last();
    /// Makes record `index` current (clamped to the records there are).
    void moveTo(long long index);

    const std::vector<std::string>& fieldNames() const { return fields_; }
    /// The index of a field (letter case ignored), or -1.
    int fieldIndex(const std::string& field) const;
    /// The current record's field as text ("" for a blank field or when there is no record).
    std::string fieldAsText(const std::string& field) const;
    /// Field `field` of record `row`, fetched on demand; "" outside the records.
    std::string valueAt(long long row, int field) const;

    /// Whether records can be changed through this dataset.
    virtual bool canModify() const { return false; }

    /// Whether a table file the dataset reads was imported anew (tablefile::replace) since the
    /// dataset opened: its records are other records then, and the dataset shows them only
    /// when it is opened again. False while closed, and when the file cannot be read now (opening
    /// again tells why).
    bool tableReplaced() const;
    /// As tableReplaced, for a look made again and again: false at once, without asking, when
    /// the dataset's tables are on a server (Database::answersAtOnce).
    bool tableReplacedNearby() const;

    /// Registers an observer, which the dataset does not own; registering it twice does nothing.
    /// An observer may add or remove observers, itself or others, while it is being told of an
    /// event: one removed then is not told of that event any more, one added hears from the next
    /// event on.
    void addObserver(DatasetObserver* observer);
    void removeObserver(DatasetObserver* observer);

protected:
    Dataset();

    /// Opens the rows and the field list; called with the database connection made.
    virtual void openRows(Database& db) = 0;
    /// Called before the current record moves; a table posts its pending change here.
    virtual void beforeMove() {}
    /// Called when the dataset closes, before the rows go.
    virtual void closeRows() {}
    /// The value of a field of the current record while it is being edited, if it is.
    virtual const std::vector<std::string>* editBuffer() const { return nullptr; }

    /// Notes which import of table `table` the dataset reads; openRows calls it before it reads
    /// any record, so that an import committed meanwhile is noticed.
    void noteTable(Database& db, const TableHandle& table);
    /// As tableReplaced, but raises the error of a file that cannot be read.
    bool checkReplaced() const;

    [[noreturn]] void fieldNotFound(const std::string& field) const;
    void notify(DatasetEvent event);
    void setState(DatasetState state);
    Database& database() const { return *database_; }
    RowSource* rows() const { return rows_.get(); }
    void setRows(std::unique_ptr<RowSource> rows, std::vector<std::string> fields);
    void setCurrent(long long index);

private:
    std::string name_;
    std::string databaseName_;
    std::string sessionName_;
    Database* database_ = nullptr;
    std::unique_ptr<RowSource> rows_;
    std::vector<std::string> fields_;
    std::vector<std::pair<std::string, std::string>> generations_; // table, generation read
    DatasetState state_ = DatasetState::Inactive;
    long long current_ = -1;
    bool eof_ = true;
    bool bof_ = true;
    std::vector<DatasetObserver*> observers_;
};

} // namespace wk::engine
