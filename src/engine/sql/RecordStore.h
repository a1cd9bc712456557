#pragma once

#include "engine/sql/RowSource.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace wk::engine {

class Database;
class ServerDatabase;
class TableFiles;
struct FileTable;
struct ServerTable;
struct TableHandle;
struct TableFilter;

/// How a change to a record came out.
enum class ChangeOutcome {
    Done,
    NotAsRead, ///< the record no longer holds what was read (changed or deleted meanwhile)
    Replaced   ///< the table was imported anew since it was read
};

/// Where an editable table's records are kept and changed: a table file of the alias, or a table
/// on its server. A record is named by its row id within one import of the table. Every change
/// is made only when the record still holds what was read (`asRead`, field by field; a blank
/// field reads as "" however it is stored) and the table is still of the same import
/// (`replaced`, asked inside the change's transaction, after the table was locked against a new
/// import); otherwise nothing is changed. Failures raise EngineError.
class RecordStore {
public:
    virtual ~RecordStore() = default;

    /// The records' row ids in the table's order; with `filter`, of those whose field equals its
    /// text (an empty text: a blank field).
    virtual std::vector<std::int64_t> rowIds(const std::optional<TableFilter>& filter) = 0;
    /// The records of `ids`, fetched on demand.
    virtual std::unique_ptr<RowIdRows> rows(std::vector<std::int64_t> ids) = 0;
    /// Adds a record after the last one; returns its row id.
    virtual std::int64_t insert(const std::vector<std::string>& values) = 0;
    /// Stores `values` as record `id`.
    virtual ChangeOutcome update(std::int64_t id, const std::vector<std::string>& values,
                                 const std::vector<std::string>& asRead,
                                 const std::function<bool()>& replaced) = 0;
    /// Deletes record `id`.
    virtual ChangeOutcome remove(std::int64_t id, const std::vector<std::string>& asRead,
                                 const std::function<bool()>& replaced) = 0;
    /// Whether record `id` is stored.
    virtual bool exists(std::int64_t id) = 0;
    /// The row ids of the records holding `values`, in the table's order.
    virtual std::vector<std::int64_t> find(const std::vector<std::string>& values) = 0;
    /// Why the records cannot be changed now, or "" (see Table::readOnlyReason).
    virtual std::string readOnlyReason() const = 0;
};

/// The records of `table` (opened by `db`) in `db`; `what` begins the messages of failed reads
/// ("Table1: reading table 'Tagalog'").
std::unique_ptr<RecordStore> openRecords(Database& db, const TableHandle& table,
                                         const std::string& what);

/// The same, for a table file (LocalRecords.cpp).
std::unique_ptr<RecordStore> openFileRecords(TableFiles& db, const FileTable& table,
                                             const std::string& what);

/// The same, for a table on a server (ServerRecords.cpp).
std::unique_ptr<RecordStore> openServerRecords(ServerDatabase& db, const ServerTable& table,
                                               const std::string& what);

} // namespace wk::engine
