#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wk::engine {

class SqliteDb;

/// The parts of a table file that the engine's features above storage keep beside the records
/// (the search index, the learner's lookup keys), and the hooks through which the table file
/// makes, checks and drops them without knowing them.
///
/// A feature owns some tables in the file, an entry of `wk_table_info` that says whether they are
/// in step with the records (its state), and three triggers, named after it, that set that entry
/// to "0" on every insert, update and delete of a record: a program that changes the records
/// without keeping the feature (an older engine, a general SQLite tool) retires it for good. The
/// table file writes and checks those triggers (writeRetireTriggers); the feature its tables.
namespace tablefile {

/// Writes a feature while `replace` writes a table whole: told of each record as it is written, in
/// ascending row id order, then finished, all in the writer's transaction.
class FeatureBuild {
public:
    virtual ~FeatureBuild() = default;
    /// A record just written; an empty value is a NULL field.
    virtual void add(std::int64_t rowId, const std::vector<std::string>& values) = 0;
    /// Writes the rest and marks the feature in step (or leaves it out when the table cannot have
    /// it).
    virtual void finish() = 0;
};

/// What a check is told of the table, to name the records and fields it reports.
class CheckedTable {
public:
    virtual ~CheckedTable() = default;
    virtual const std::vector<std::string>& fields() const = 0;
    /// The number of the record of that row id, from 1 in table order; nothing when the table
    /// holds no such record.
    virtual std::optional<long long> recordNumber(std::int64_t rowId) = 0;
    /// "record 3" for the record of that row id, or "row id 7, which is not in the table".
    std::string record(std::int64_t rowId);
    /// "field English", or "field number 9" for a number the table has no field of.
    virtual std::string field(int number) const = 0;
};

/// A feature of table files. Registered once, for the life of the program (registerFeature).
class Feature {
public:
    virtual ~Feature() = default;

    /// How reports name it: "search index", "lookup keys".
    virtual std::string name() const = 0;
    /// Whether that name is a plural ("the lookup keys are").
    virtual bool namedInPlural() const { return false; }
    /// What goes on while it is not in step: "searches read the records".
    virtual std::string withoutIt() const = 0;

    /// Its state entry in `wk_table_info`.
    virtual std::string stateKey() const = 0;
    /// The start of its triggers' names; each ends with INSERT, UPDATE or DELETE.
    virtual std::string triggerPrefix() const = 0;
    /// Its tables: the lower-case name and the statement that makes it, as SQLite keeps it.
    virtual std::vector<std::pair<std::string, std::string>> tables() const = 0;
    /// The tables it reads while its state entry holds `state`; nothing when that state is not in
    /// step (its tables need not be there then).
    virtual std::optional<std::vector<std::string>>
    tablesInStep(const std::string& state) const = 0;

    /// Whether a table of these fields has the feature (the lookup keys are a dictionary's). When
    /// a table written whole has not, the table file drops what an earlier table had of it.
    virtual bool appliesTo(const std::vector<std::string>& fields) const = 0;
    /// Starts writing the feature for a table that has it (appliesTo), being written whole in
    /// `schema` with `fields`; `searched` says which fields searches read (empty: every field).
    virtual std::unique_ptr<FeatureBuild> build(SqliteDb& db, const std::string& schema,
                                                const std::vector<std::string>& fields,
                                                const std::vector<bool>& searched) const = 0;
    /// Makes it anew from the records of the table in `schema`, inside the caller's transaction.
    /// Returns whether it is in step now (false for a table that cannot have it).
    virtual bool rebuild(SqliteDb& db, const std::string& schema,
                         const std::vector<std::string>& fields) const = 0;
    /// Compares what is stored with what the records give, in the caller's snapshot, calling
    /// `report` with a sentence for every difference. Returns the number of differences.
    virtual size_t compare(const SqliteDb& db, const std::string& schema, CheckedTable& table,
                           const std::function<void(const std::string&)>& report) const = 0;
};

/// Adds a feature; `feature` must live as long as the program. Features register themselves
/// before main runs; registering one twice keeps it once.
void registerFeature(const Feature& feature);
/// Every registered feature, in the order of registration.
const std::vector<const Feature*>& features();

/// The feature's name with its verb: "search index is", "lookup keys are".
std::string nameIs(const Feature& feature);

/// The value of `key` in the `wk_table_info` of the table in `schema`; nothing when it has none.
std::optional<std::string> info(const SqliteDb& db, const std::string& schema,
                                const std::string& key);
/// Sets `key` to `value` in the `wk_table_info` of the table in `schema`.
void setInfo(SqliteDb& db, const std::string& schema, const std::string& key,
             const std::string& value);
/// Takes the write lock of the table file attached as `schema`, in the transaction that is open on
/// `db`, by writing before anything is read: SQLite waits for another writer (the connection's
/// busy timeout) only while the transaction has read nothing. A change that reads first and then
/// writes is refused at once as locked when another program writes meanwhile.
void takeWriteLock(SqliteDb& db, const std::string& schema);

/// The statement that makes `wk_table_info` (in the schema of the connection's first file).
const char* infoTableSql();

/// Whether the feature is in step with the records of the table in `schema`.
bool inStep(const SqliteDb& db, const std::string& schema, const Feature& feature);
/// Marks the feature not in step, so that the engine reads the records until it is made anew.
void retire(SqliteDb& db, const std::string& schema, const Feature& feature);
/// Makes the feature's three triggers anew in `schema` (see above).
void writeRetireTriggers(SqliteDb& db, const std::string& schema, const Feature& feature);
/// Makes the feature's tables (Feature::tables) in `schema`.
void createTables(SqliteDb& db, const std::string& schema, const Feature& feature);
/// Drops the feature's tables and triggers from `schema`.
void drop(SqliteDb& db, const std::string& schema, const Feature& feature);
/// The statement of the feature's trigger `name` as SQLite keeps it; empty when `name` is not one
/// of its triggers.
std::string retireTriggerSql(const Feature& feature, const std::string& name);

} // namespace tablefile
} // namespace wk::engine
