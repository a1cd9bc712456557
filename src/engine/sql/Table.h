#pragma once

#include "engine/EngineError.h"
#include "engine/sql/Dataset.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace wk::engine {

struct TableHandle;

/// An editable dataset over one table of the alias, optionally filtered by `Field='text'`.
///
/// Records come in the table's own order. Editing: `edit` or `append` start a change,
/// `setFieldText` changes a field, `post` writes the change and `cancel` drops it. A pending
/// change is posted when the current record moves; closing the table drops it, so a caller that
/// wants to keep it posts first. An empty text is stored as NULL. Every change keeps the table's
/// search index in step (SearchIndex.h), in the same transaction as the change itself.
class Table : public Dataset {
public:
    Table() = default;

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
    /// Deletes the current record from the table file.
    void deleteRecord();

protected:
    void openRows(Database& db) override;
    void beforeMove() override;
    void closeRows() override;
    const std::vector<std::string>* editBuffer() const override;

private:
    void requireOpen(const char* action) const;
    void reload();
    EngineError changeError(const EngineError& e) const;

    std::string tableName_;
    std::string filter_;
    bool filtered_ = false;
    std::string qualified_;      // the SQLite name of the records while open
    std::string schema_;         // the name under which the table's file is attached while open
    std::filesystem::path file_; // the table's file while open
    std::optional<std::vector<std::string>> buffer_;
    bool modified_ = false;
};

/// A parsed filter: the field and the text it must equal.
struct TableFilter {
    std::string field;
    std::string value;
};

/// Parses `Field='text'`. Raises EngineError (InvalidFilter) saying what is wrong.
TableFilter parseFilter(const std::string& filter);

} // namespace wk::engine
