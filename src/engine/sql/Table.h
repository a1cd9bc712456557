#pragma once

#include "engine/base/EngineError.h"
#include "engine/sql/Dataset.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wk::engine {

class RecordStore;
struct TableHandle;

/// An editable dataset over one table of the alias, optionally filtered by `Field='text'`.
///
/// Records come in the table's own order. Editing: `edit` or `append` start a change,
/// `setFieldText` changes a field, `post` writes the change and `cancel` drops it. A pending
/// change is posted when the current record moves; closing the table drops it, so a caller that
/// wants to keep it posts first. An empty text is stored as NULL. Every change keeps the table's
/// search index in step (SearchIndex.h), in the same transaction as the change itself.
///
/// A change or a deletion is made only when the record is still stored as it was read: when
/// another program (or another session) changed or deleted it meanwhile, or imported the table
/// anew, nothing is changed, the record is read again (a deleted one leaves the list; a table
/// imported anew is opened again, on the same record when it holds one equal to it), and
/// EngineError (ChangedByAnother) says which it was and that nothing was stored, as in "The
/// record was changed by another program. Your change was not stored; the record has been read
/// again." What the refused change was to store is handed to the window (takeRefusedChange),
/// which shows it beside what is stored now and lets the user choose; it is handed over too when
/// reading the table again fails, with that failure's error.
class Table : public Dataset {
public:
    Table();
    ~Table() override;

    /// A change that post refused because its record had changed since it was read.
    struct RefusedChange {
        std::vector<std::string> fields; ///< the fields' names, as the table had them
        std::vector<std::string> values; ///< what it was to store, field by field
        bool sameRecord = false; ///< the current record is that record, read again; false when
                                 ///< that record is gone (deleted, or its table imported anew),
                                 ///< or the table could not be read again
        /// What it was to store in `field` (letter case ignored); "" for a field it does not have.
        std::string value(const std::string& field) const;
    };

    /// "Tagalog" or "Internet.db"; set while closed.
    void setTableName(const std::string& name);
    const std::string& tableName() const { return tableName_; }

    /// A filter of the form `Field='text'` (a doubled single quote inside the text stands for
    /// one); empty for none. Takes effect while `filtered()` is true; an open table reloads.
    void setFilter(const std::string& filter);
    const std::string& filter() const { return filter_; }
    void setFiltered(bool filtered);
    bool filtered() const { return filtered_; }

    /// Whether the records can be changed now: the table is open, its file and folder can be
    /// written, and the session's connection holds the file for writing.
    bool canModify() const override { return active() && readOnlyReason().empty(); }
    /// Why the records cannot be changed, as in "the file '/data/Internet.db' cannot be written:
    /// Permission denied" (no full stop, no table name before it), or "" when they can. Looked
    /// at afresh each time it is asked.
    std::string readOnlyReason() const;

    /// Starts changing the current record (an empty table starts a new record instead).
    void edit();
    /// Starts a new record after the last one.
    void append();
    /// Changes a field of the record being edited, starting the edit when needed.
    void setFieldText(const std::string& field, const std::string& value);
    /// Whether the record being edited differs from what is stored.
    bool modified() const { return modified_; }
    /// Writes the pending change; does nothing in browse state.
    void post();
    /// Drops the pending change.
    void cancel();
    /// Deletes the current record from the table.
    void deleteRecord();

    /// Hands over the change that post refused last, once. It is kept until then, or until the
    /// next edit begins or the table closes.
    std::optional<RefusedChange> takeRefusedChange() { return std::exchange(refused_, {}); }

protected:
    void openRows(Database& db) override;
    void beforeMove() override;
    void closeRows() override;
    const std::vector<std::string>* editBuffer() const override;

private:
    void requireOpen(const char* action) const;
    void reload();
    EngineError changeError(const EngineError& e) const;
    /// Reads the record again after a change to it was refused (see the class), keeps `typed`
    /// as the refused change, and raises ChangedByAnother.
    [[noreturn]] void refuseChange(const std::vector<std::string>& asRead,
                                   std::optional<std::vector<std::string>> typed, bool replaced);
    /// The index of a record whose fields hold `values`, or -1. Read errors are raised.
    long long indexOfRecord(const std::vector<std::string>& values) const;

    std::string tableName_;
    std::string filter_;
    bool filtered_ = false;
    std::unique_ptr<RecordStore> store_; // the records while open
    std::optional<std::vector<std::string>> buffer_;
    std::vector<std::string> original_; // the record being edited as it was read
    bool modified_ = false;
    std::optional<RefusedChange> refused_;
};

/// A parsed filter: the field and the text it must equal.
struct TableFilter {
    std::string field;
    std::string value;
};

/// Parses `Field='text'`. Raises EngineError (InvalidFilter) saying what is wrong.
TableFilter parseFilter(const std::string& filter);

} // namespace wk::engine
