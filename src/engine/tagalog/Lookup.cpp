#include "engine/tagalog/Lookup.h"

#include "engine/base/AsciiText.h"
#include "engine/base/EngineError.h"
#include "engine/base/Sqlite.h"
#include "engine/base/UnicodeText.h"
#include "engine/search/IndexedSearch.h"
#include "engine/storage/TableFiles.h"
#include "engine/tagalog/Morphology.h"
#include "engine/tagalog/SpellChecker.h"
#include "engine/tagalog/Spelling.h"

#include <algorithm>
#include <set>

namespace wk::engine::tagalog {
namespace {

// The fields the dictionary window searches, in the order its statement names them.
constexpr const char* kSearchedFields[] = {"Tagalo",      "English",      "ActiveVerb",
                                           "PassiveVerb", "L2Definition", "Examples"};

std::string trimmed(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

int fieldIndex(const std::vector<std::string>& fields, std::string_view name) {
    for (size_t i = 0; i < fields.size(); ++i)
        if (equalsIgnoreCase(fields[i], std::string(name)))
            return static_cast<int>(i);
    return -1;
}

// A like pattern (with `\` as its escape character) that matches `text` anywhere in a field,
// each of its characters taken as itself.
std::string containingPattern(std::string_view text) {
    std::string out = "%";
    for (char c : text) {
        if (c == '%' || c == '_' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "%";
}

} // namespace

// More homographs of one spelling than a dictionary has are left in table order.
constexpr size_t kMostHomographs = 16;

struct Lookup::Found {
    std::vector<LookupEntry> entries;
    std::set<std::int64_t> rows;
};

Lookup::Lookup(Database& db, const std::string& table, const std::string& variantsTable)
    // The lookup reads its keys from table files; a server keeps none.
    : db_(requireTableFiles(db, "The learner's lookup")), table_(db_.fileTable(table)),
      variantsTable_(variantsTable), keys_(std::make_unique<LookupKeys>(db_, table_)) {
    // The spelling checker's dictionary is read when suggest first needs it.
}

Lookup::~Lookup() = default;

void Lookup::addRows(Found& found, const std::vector<std::int64_t>& rows, MatchKind kind,
                     const std::string& how, size_t limit) const {
    for (std::int64_t row : rows) {
        if (found.entries.size() >= limit)
            return;
        if (!found.rows.insert(row).second)
            continue;
        found.entries.push_back({row, {}, kind, how});
    }
}

std::vector<std::pair<std::string, std::string>> Lookup::rootsOf(const std::string& plain) const {
    std::vector<std::pair<std::string, std::string>> out;
    for (const RootCandidate& c : rootsAmong(plain, [this](std::string_view root) {
             return keys_->has(KeyKind::Headword, std::string(root));
         }))
        out.emplace_back(c.root, c.how);
    return out;
}

std::vector<std::int64_t> Lookup::verbsFirst(std::vector<std::int64_t> rows) {
    // A word read as an inflected verb means the homograph that is a verb: "tumayo" is tayo
    // "to stand", not tayo "we". A root has a few homographs; more are left in table order.
    if (rows.size() > 1 && rows.size() <= kMostHomographs)
        std::stable_partition(rows.begin(), rows.end(), [&](std::int64_t row) {
            const std::vector<std::string> f = fetch(row);
            return !f[1].empty() || !f[2].empty();
        });
    return rows;
}

std::vector<LookupEntry> Lookup::find(std::string_view word, size_t limit) {
    const std::string typed = trimmed(word);
    const std::string plain = plainSpelling(typed);
    if (plain.empty() || limit == 0)
        return {};
    const std::string shown = toUpperUtf8(typed);
    Found found;
    const auto full = [&] { return found.entries.size() >= limit; };

    std::vector<std::int64_t> heads = keys_->rows(KeyKind::Headword, plain);
    // Homographs: the one whose stressed spelling ("Stress: bukás (open)." in its notes) is the
    // one typed comes first. A dictionary has a few of each; more are left in table order.
    if (hasStressMarks(typed) && heads.size() > 1 && heads.size() <= kMostHomographs) {
        const std::string marked = "stress: " + markedSpelling(typed);
        std::stable_partition(heads.begin(), heads.end(), [&](std::int64_t row) {
            const std::string notes = markedSpelling(fetch(row)[6]);
            return notes.compare(0, marked.size(), marked) == 0 &&
                   (notes.size() == marked.size() || notes[marked.size()] == ' ' ||
                    notes[marked.size()] == '.');
        });
    }
    addRows(found, heads, MatchKind::Headword,
            hasStressMarks(typed) ? "headword, stress marks aside" : "headword", limit);
    // A listed variant is a known spelling of its headword, so it comes before the roots, which
    // the rules only guess: "pagibig" is pag-ibig, not a form of ibig.
    if (!full()) {
        const auto& known = variants();
        if (const auto it = known.find(plain); it != known.end())
            for (const std::string& head : it->second)
                addRows(found, keys_->rows(KeyKind::Headword, head), MatchKind::Variant,
                        "variant spelling " + shown, limit);
    }
    // The entry that lists the word among its own verb forms is the surest root of all
    // ("buksan" is the passive verb of bukas "open", not of bukas "tomorrow").
    if (!full())
        addRows(found, keys_->rows(KeyKind::VerbForm, plain), MatchKind::VerbForm, "verb form",
                limit);
    for (const auto& [root, how] : rootsOf(plain)) {
        if (full())
            break;
        addRows(found, verbsFirst(keys_->rows(KeyKind::Headword, root)), MatchKind::Root,
                "root of " + shown, limit);
    }
    if (!full()) {
        const std::string loose = looseSpelling(plain);
        std::vector<std::int64_t> rows = keys_->rows(KeyKind::LooseHeadword, loose);
        if (loose != plain) {
            const std::vector<std::int64_t> more = keys_->rows(KeyKind::Headword, loose);
            rows.insert(rows.end(), more.begin(), more.end());
            std::sort(rows.begin(), rows.end());
        }
        addRows(found, rows, MatchKind::AccentFree, "same letters without the tilde of ñ", limit);
    }
    if (!full() && utf8Length(plain) >= 2)
        addRows(found, keys_->rowsWithPrefix(KeyKind::Headword, plain, limit + found.rows.size()),
                MatchKind::HeadwordPrefix, "headword beginning with " + shown, limit);
    if (!full()) {
        std::vector<std::int64_t> rows;
        bool first = true;
        for (const std::string& w : englishWords(typed)) {
            const std::vector<std::int64_t> these = keys_->rows(KeyKind::EnglishWord, w);
            if (first) {
                rows = these;
                first = false;
            } else {
                std::vector<std::int64_t> both;
                std::set_intersection(rows.begin(), rows.end(), these.begin(), these.end(),
                                      std::back_inserter(both));
                rows.swap(both);
            }
        }
        addRows(found, rows, MatchKind::EnglishWord, "English word", limit);
    }
    if (!full())
        addRows(found, otherFieldRows(shown, limit + found.rows.size()), MatchKind::OtherField,
                "text in another field", limit);

    for (LookupEntry& e : found.entries)
        e.fields = fetch(e.row);
    return found.entries;
}

std::vector<Suggestion> Lookup::suggest(std::string_view word, size_t limit, Guesses guesses) {
    const std::string typed = trimmed(word);
    const std::string plain = plainSpelling(typed);
    std::vector<Suggestion> out;
    if (plain.empty() || limit == 0)
        return out;
    const std::string shown = toUpperUtf8(typed);
    // The word itself is never offered; the same headword without (or with) its stress marks is.
    const std::string asTyped = markedSpelling(typed);
    std::set<std::string> seen;
    const auto offer = [&](const std::string& headKey, const std::string& why) {
        if (out.size() >= limit || !seen.insert(headKey).second)
            return;
        for (std::int64_t row : keys_->rows(KeyKind::Headword, headKey)) {
            std::string head = fetch(row)[0];
            if (markedSpelling(head) != asTyped) {
                out.push_back({std::move(head), why});
                return;
            }
        }
    };
    offer(plain, hasStressMarks(typed) ? "without stress marks" : "with stress marks");
    const auto& known = variants();
    if (const auto it = known.find(plain); it != known.end())
        for (const std::string& head : it->second)
            offer(head, "variant spelling " + shown);
    for (const auto& [root, how] : rootsOf(plain))
        offer(root, "root of " + shown);
    const std::string loose = looseSpelling(plain);
    for (std::int64_t row : keys_->rows(KeyKind::LooseHeadword, loose))
        offer(plainSpelling(fetch(row)[0]), "with ñ");
    if (loose != plain)
        offer(loose, "without the tilde of ñ");
    if (guesses == Guesses::Left || out.size() >= limit)
        return out;
    if (!spelling_)
        spelling_ = std::make_unique<SpellChecker>(); // read when first needed
    for (const std::string& s : spelling_->suggest(plain))
        offer(plainSpelling(s), "spelling");
    return out;
}

std::optional<Suggestion> Lookup::answer(std::string_view word) {
    const std::string asTyped = markedSpelling(trimmed(word));
    for (std::int64_t row : keys_->rows(KeyKind::Headword, plainSpelling(trimmed(word))))
        if (markedSpelling(fetch(row)[0]) == asTyped)
            return std::nullopt;
    std::vector<Suggestion> found = suggest(word, 1, Guesses::Left);
    if (found.empty())
        return std::nullopt;
    return std::move(found.front());
}

std::vector<std::int64_t> Lookup::otherFieldRows(const std::string& text, size_t limit) {
    std::vector<std::string> fields;
    for (const char* f : kSearchedFields)
        if (const int i = fieldIndex(table_.fields, f); i >= 0)
            fields.push_back(table_.fields[i]);
    if (fields.empty())
        return {};
    // `%` and `_` in a word are characters of it. The search index reads its like patterns
    // without an escape character, so it answers only a word that holds neither; the statement
    // escapes them, and a word with either (rare in a lookup) is read from the records.
    std::optional<std::vector<std::int64_t>> rows;
    if (text.find_first_of("%_") == std::string::npos) {
        IndexableCondition condition;
        for (const std::string& f : fields)
            condition.likeTerms.push_back({f, "%" + text + "%"});
        rows = indexedRowIds(db_, table_, condition);
    }
    if (!rows) {
        rows.emplace();
        std::string sql = "SELECT rowid FROM " + table_.qualified + " WHERE ";
        for (size_t i = 0; i < fields.size(); ++i)
            sql += (i ? " OR Upper(" : "Upper(") + quoteIdentifier(fields[i]) +
                   ") like ?1 escape '\\'";
        SqliteStatement st(db_.connection(), sql + " ORDER BY rowid",
                           "Searching table '" + table_.name + "'");
        st.bindTextOrNull(1, containingPattern(text));
        while (st.step() && rows->size() < limit)
            rows->push_back(st.columnInt(0));
    }
    if (rows->size() > limit)
        rows->resize(limit);
    return std::move(*rows);
}

std::vector<std::string> Lookup::fetch(std::int64_t row) {
    SqliteStatement st(db_.connection(), "SELECT * FROM " + table_.qualified + " WHERE rowid = ?1",
                       "Reading table '" + table_.name + "'");
    st.bind(1, row);
    std::vector<std::string> fields(std::size(kDictionaryFields));
    if (!st.step())
        return fields;
    for (size_t f = 0; f < fields.size(); ++f)
        if (const int c = fieldIndex(table_.fields, kDictionaryFields[f]);
            c >= 0 && c < st.columnCount())
            fields[f] = st.columnText(c);
    return fields;
}

const std::map<std::string, std::vector<std::string>>& Lookup::variants() {
    if (variants_)
        return *variants_;
    variants_.emplace();
    const TableHandle* table = nullptr;
    try {
        table = &db_.table(variantsTable_);
    } catch (const EngineError&) {
        return *variants_; // no table of variants: none are known
    }
    const int variant = fieldIndex(table->fields, "variant");
    const int head = fieldIndex(table->fields, "headword");
    if (variant < 0 || head < 0)
        return *variants_;
    SqliteStatement st(db_.connection(), "SELECT * FROM " + table->qualified,
                       "Reading table '" + table->name + "'");
    while (st.step()) {
        const std::string v = plainSpelling(st.columnTextView(variant));
        const std::string h = plainSpelling(st.columnTextView(head));
        if (!v.empty() && !h.empty() && v != h) {
            std::vector<std::string>& heads = (*variants_)[v];
            if (std::find(heads.begin(), heads.end(), h) == heads.end())
                heads.push_back(h);
        }
    }
    return *variants_;
}

} // namespace wk::engine::tagalog
