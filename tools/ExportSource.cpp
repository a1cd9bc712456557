#include "ExportSource.h"

#include "engine/base/EngineError.h"
#include "engine/sql/Table.h"
#include "engine/storage/TableFile.h"

#include <ostream>
#include <stdexcept>

namespace wk::tools {

using engine::EngineError;
using engine::ErrorCode;
using engine::Table;

namespace {

const char* const kDictionaryFields[] = {"Tagalo",       "ActiveVerb", "PassiveVerb", "English",
                                         "L2Definition", "Examples",   "Notes"};
const char* const kPhraseBookFields[] = {"English", "Tagalog", "Group"};

std::unique_ptr<Table> openTable(const std::string& session, const std::string& alias,
                                 const std::string& name) {
    auto table = std::make_unique<Table>();
    table->setName("export");
    table->setSessionName(session);
    table->setDatabaseName(alias);
    table->setTableName(name);
    table->open();
    return table;
}

} // namespace

ExportSource::ExportSource(const std::string& session, const std::string& alias,
                           const std::string& table)
    : table_(openTable(session, alias, table)), name_(engine::tablefile::baseName(table)) {
    auto has = [&](const char* field) { return table_->fieldIndex(field) >= 0; };
    if (has("Tagalo") && has("English")) {
        kind_ = Kind::Dictionary;
        for (const char* f : kDictionaryFields)
            fields_.push_back(table_->fieldIndex(f));
    } else if (has("English") && has("Tagalog") && has("Group")) {
        kind_ = Kind::PhraseBook;
        for (const char* f : kPhraseBookFields)
            fields_.push_back(table_->fieldIndex(f));
    } else {
        throw std::runtime_error("Table '" + name_ +
                                 "' is neither a dictionary (fields Tagalo, ActiveVerb, "
                                 "PassiveVerb, English, L2Definition, Examples, Notes) nor a "
                                 "phrase book (fields English, Tagalog, Group)");
    }
}

ExportSource::~ExportSource() = default;

long long ExportSource::count() const {
    return table_->recordCount();
}

std::string ExportSource::field(long long record, int index) const {
    const int f = fields_[static_cast<size_t>(index)];
    return f < 0 ? std::string() : table_->valueAt(record, f);
}

DictionaryEntry ExportSource::entry(long long record) const {
    if (kind_ != Kind::Dictionary)
        throw std::logic_error("not a dictionary");
    return {field(record, 0), field(record, 1), field(record, 2), field(record, 3),
            field(record, 4), field(record, 5), field(record, 6)};
}

Phrase ExportSource::phrase(long long record) const {
    if (kind_ != Kind::PhraseBook)
        throw std::logic_error("not a phrase book");
    return {field(record, 0), field(record, 1), field(record, 2)};
}

std::vector<std::pair<std::string, std::string>> readVariants(const std::string& session,
                                                              const std::string& alias,
                                                              std::ostream& warnings,
                                                              const std::string& table) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::unique_ptr<Table> t;
    try {
        t = openTable(session, alias, table);
    } catch (const EngineError& e) {
        if (e.code() != ErrorCode::NotFound)
            warnings << "wikabay-admin: the spelling variants are left out: " << e.what() << '\n';
        return pairs;
    }
    const int variant = t->fieldIndex("variant");
    const int headword = t->fieldIndex("headword");
    if (variant < 0 || headword < 0) {
        warnings << "wikabay-admin: the spelling variants are left out: table '" << table
                 << "' lacks the field variant or headword\n";
        return pairs;
    }
    for (long long r = 0; r < t->recordCount(); ++r)
        pairs.emplace_back(t->valueAt(r, variant), t->valueAt(r, headword));
    return pairs;
}

} // namespace wk::tools
