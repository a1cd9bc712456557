#include "engine/sql/RecordStore.h"

#include "engine/storage/ServerDatabase.h"
#include "engine/storage/TableFiles.h"

namespace wk::engine {

std::unique_ptr<RecordStore> openRecords(Database& db, const TableHandle& table,
                                         const std::string& what) {
    // The handle was made by `db`, so it is of `db`'s kind.
    struct Open : DatabaseVisitor {
        Open(const TableHandle& t, const std::string& w) : table(t), what(w) {}
        void visit(TableFiles& d) override {
            store = openFileRecords(d, dynamic_cast<const FileTable&>(table), what);
        }
        void visit(ServerDatabase& d) override {
            store = openServerRecords(d, dynamic_cast<const ServerTable&>(table), what);
        }
        const TableHandle& table;
        const std::string& what;
        std::unique_ptr<RecordStore> store;
    } open(table, what);
    db.accept(open);
    return std::move(open.store);
}

} // namespace wk::engine
