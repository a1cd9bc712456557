#include "engine/sql/Query.h"

#include "engine/base/EngineError.h"
#include "engine/search/IndexedSearch.h"
#include "engine/sql/LocalSql.h"
#include "engine/sql/RowSource.h"
#include "engine/storage/TableFiles.h"

#include <optional>

namespace wk::engine {

void Query::clearSql() {
    close();
    sql_.clear();
}

void Query::addSql(const std::string& line) {
    sql_.push_back(line);
}

std::string Query::sqlText() const {
    std::string text;
    for (size_t i = 0; i < sql_.size(); ++i)
        text += (i ? "\n" : "") + sql_[i];
    return text;
}

void Query::openRows(Database& db) {
    struct Open : DatabaseVisitor {
        explicit Open(Query& q) : query(q) {}
        void visit(TableFiles& d) override { query.openFileRows(d); }
        void visit(ServerDatabase& d) override { query.openServerRows(d); }
        Query& query;
    } open(*this);
    db.accept(open);
}

void Query::openFileRows(TableFiles& db) {
    std::vector<const FileTable*> tables;
    const TranslatedSelect sel = translateSelect(sqlText(), [&](const std::string& table) {
        const FileTable& handle = db.fileTable(table);
        tables.push_back(&handle);
        return handle.qualified;
    });
    for (const FileTable* t : tables)
        noteTable(db, *t);
    if (sel.singleTable) {
        // Prepared in any case, so that a faulty statement fails as it always has.
        auto ids = db.prepareReadOnly(sel.rowIdSql);
        std::optional<std::vector<std::int64_t>> found;
        if (tables.size() == 1)
            found = indexedRowIds(db, *tables.front(), sel.indexable);
        std::vector<std::int64_t> rowIds;
        if (found)
            rowIds = std::move(*found);
        else
            while (ids->step())
                rowIds.push_back(ids->columnInt(ids->columnCount() - 1));
        auto fetch = db.prepareReadOnly(sel.fetchSql);
        std::vector<std::string> fields;
        for (int c = 0; c < fetch->columnCount(); ++c)
            fields.push_back(fetch->columnName(c));
        setRows(std::make_unique<RowIdRows>(std::move(rowIds), std::move(fetch)),
                std::move(fields));
        return;
    }
    auto st = db.prepareReadOnly(sel.sql);
    std::vector<std::string> fields;
    for (int c = 0; c < st->columnCount(); ++c)
        fields.push_back(st->columnName(c));
    std::vector<std::vector<std::string>> rows;
    while (st->step()) {
        std::vector<std::string> row;
        for (int c = 0; c < st->columnCount(); ++c)
            row.push_back(st->columnText(c));
        rows.push_back(std::move(row));
    }
    setRows(std::make_unique<MaterializedRows>(std::move(rows)), std::move(fields));
}

} // namespace wk::engine
