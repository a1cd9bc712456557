#include "engine/storage/TableFeature.h"

#include "engine/base/Sqlite.h"

#include <algorithm>

namespace wk::engine::tablefile {
namespace {

constexpr const char* kChanges[] = {"INSERT", "UPDATE", "DELETE"};

std::vector<const Feature*>& registry() {
    static std::vector<const Feature*> all;
    return all;
}

std::string in(const std::string& schema, const std::string& table) {
    return quoteIdentifier(schema) + "." + table;
}

// A trigger that retires the feature's state on `change` of a record, made under the name
// `createdAs` (which may name the schema; SQLite keeps the statement without it).
std::string triggerStatement(const std::string& createdAs, const char* change,
                             const Feature& feature) {
    return "CREATE TRIGGER " + createdAs + " AFTER " + change +
           " ON records BEGIN UPDATE wk_table_info SET value = '0' WHERE key = '" +
           feature.stateKey() + "'; END";
}

} // namespace

std::string CheckedTable::record(std::int64_t rowId) {
    if (const std::optional<long long> number = recordNumber(rowId))
        return "record " + std::to_string(*number);
    return "row id " + std::to_string(rowId) + ", which is not in the table";
}

void registerFeature(const Feature& feature) {
    std::vector<const Feature*>& all = registry();
    if (std::find(all.begin(), all.end(), &feature) == all.end())
        all.push_back(&feature);
}

const std::vector<const Feature*>& features() {
    return registry();
}

std::string nameIs(const Feature& feature) {
    return feature.name() + (feature.namedInPlural() ? " are" : " is");
}

std::optional<std::string> info(const SqliteDb& db, const std::string& schema,
                                const std::string& key) {
    SqliteStatement st(db, "SELECT value FROM " + in(schema, "wk_table_info") + " WHERE key = ?1",
                       "Reading table information");
    st.bindTextOrNull(1, key);
    return st.step() ? std::optional<std::string>(st.columnText(0)) : std::nullopt;
}

void setInfo(SqliteDb& db, const std::string& schema, const std::string& key,
             const std::string& value) {
    SqliteStatement st(db,
                       "INSERT OR REPLACE INTO " + in(schema, "wk_table_info") + " VALUES (?1, ?2)",
                       "Writing table information");
    st.bindTextOrNull(1, key);
    st.bindTextOrNull(2, value);
    st.run();
}

void takeWriteLock(SqliteDb& db, const std::string& schema) {
    db.exec("UPDATE " + in(schema, "wk_table_info") + " SET value = value WHERE key = 'format'",
            "Locking the table for a change");
}

const char* infoTableSql() {
    return "CREATE TABLE wk_table_info (key TEXT PRIMARY KEY, value TEXT NOT NULL)";
}

bool inStep(const SqliteDb& db, const std::string& schema, const Feature& feature) {
    const std::optional<std::string> state = info(db, schema, feature.stateKey());
    return state && feature.tablesInStep(*state).has_value();
}

void retire(SqliteDb& db, const std::string& schema, const Feature& feature) {
    SqliteStatement st(db,
                       "UPDATE " + in(schema, "wk_table_info") + " SET value = '0' WHERE key = ?1",
                       "Setting the " + feature.name() + " aside");
    st.bindTextOrNull(1, feature.stateKey());
    st.run();
}

std::string retireTriggerSql(const Feature& feature, const std::string& name) {
    for (const char* change : kChanges)
        if (name == feature.triggerPrefix() + change)
            return triggerStatement(name, change, feature);
    return {};
}

void writeRetireTriggers(SqliteDb& db, const std::string& schema, const Feature& feature) {
    std::string sql;
    for (const char* change : kChanges) {
        const std::string name = in(schema, feature.triggerPrefix() + change);
        sql +=
            "DROP TRIGGER IF EXISTS " + name + "; " + triggerStatement(name, change, feature) + ";";
    }
    db.exec(sql, "Writing the " + feature.name());
}

void createTables(SqliteDb& db, const std::string& schema, const Feature& feature) {
    static const std::string kCreate = "CREATE TABLE ";
    std::string sql;
    for (const auto& [table, create] : feature.tables())
        sql += kCreate + quoteIdentifier(schema) + "." + create.substr(kCreate.size()) + "; ";
    db.exec(sql, "Writing the " + feature.name());
}

void drop(SqliteDb& db, const std::string& schema, const Feature& feature) {
    std::string sql;
    for (const char* change : kChanges)
        sql += "DROP TRIGGER IF EXISTS " + in(schema, feature.triggerPrefix() + change) + "; ";
    for (const auto& [table, create] : feature.tables())
        sql += "DROP TABLE IF EXISTS " + in(schema, table) + "; ";
    db.exec(sql, "Dropping the " + feature.name());
}

} // namespace wk::engine::tablefile
