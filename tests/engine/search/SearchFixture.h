#pragma once

// Shared ground of the search tests: made-up dictionary entries, the search texts a window test
// tries (search/WindowStatement.h builds the window's statement for them), and a fixture that runs
// a statement with the search index used or not and compares the two answers record by record.

#include "EngineFixture.h"
#include "search/WindowStatement.h"

#include "engine/base/Sqlite.h"
#include "engine/base/UnicodeText.h"
#include "engine/search/IndexedSearch.h"
#include "engine/search/SearchGrams.h"
#include "engine/search/SearchIndex.h"
#include "engine/search/SearchIndexCheck.h"
#include "engine/sql/LocalSql.h"
#include "engine/sql/Query.h"
#include "engine/sql/Table.h"
#include "engine/storage/Database.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFiles.h"

#include <algorithm>
#include <random>
#include <tuple>

namespace wk::engine::test {

inline const std::vector<std::string> kFields = {
    "Tagalo", "English", "ActiveVerb", "PassiveVerb", "L2Definition", "Examples", "Notes"};

// Words of the made-up entries: plain, accented, with letters whose capitals differ in length
// (ß, ﬁ, ŉ), Greek, Turkish dotless and dotted i, a combining accent, an em dash, a character
// beyond U+FFFF, the characters that mean something in a pattern or a statement, a NUL character
// (like reads no further) and a byte that is not UTF-8.
inline const std::vector<std::string> kWords = {
    "ang",        "ng",         "bahay",   "Bahay",  "maganda", "araw",
    "gabi",       "kaibigan",   "tubig",   "niño",   "PIÑA",    "bayán",
    "Malacañang", "straße",     "ﬁesta",   "ŉ",      "σοφία",   "ΣΟΦΌΣ",
    "ıi",         "İstanbul",   "e\u0301", "—",      "😀ok",     "50%",
    "a_b",        "\"quoted\"", "it's",    "ANG_GA", "100%%",   "sun",
    "SUN",        "day",        "ß",       "x",      "Q",       std::string("nul\0ang", 7),
    "ba\xFFy"};

// Character boundaries of UTF-8 text.
inline std::vector<size_t> boundaries(const std::string& s) {
    std::vector<size_t> b;
    for (size_t i = 0; i <= s.size(); ++i)
        if (i == s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80)
            b.push_back(i);
    return b;
}

inline Rows madeUpEntries(size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&] { return kWords[rng() % kWords.size()]; };
    Rows rows;
    for (size_t r = 0; r < count; ++r) {
        std::vector<std::string> row;
        for (size_t f = 0; f < kFields.size(); ++f) {
            std::string value;
            const unsigned words = rng() % 4 == 0 ? 0 : 1 + rng() % (f >= 4 ? 8 : 2);
            for (unsigned w = 0; w < words; ++w) {
                if (w)
                    value += ' ';
                value += pick();
            }
            row.push_back(value);
        }
        rows.push_back(row);
    }
    return rows;
}

// About 320 texts to search for as the window's edit gives them: chosen ones, then random pieces
// of the entries.
inline std::vector<std::string> windowTexts(const Rows& entries) {
    std::mt19937 rng(2024);
    std::vector<std::string> texts = {
        "", "A", "Ñ", "ñ", "%", "_", "__", "%%", "SS", "ẞ", "FI", "Σ", "'", "\"", "\"\"", "QQQQZ",
        "ANG", "NG", "—", "NIÑO", "İ", "I", "ʼN", "E\u0301", "😀", "50%", "A_B", "_NG", "ANG_",
        "A%G", "%ANG", "ang", "Bahay", std::string(1200, 'A'),
        // One character left open between two pieces, ASCII or
        // not on either side or in the middle.
        "A_A", "N_O", "I_A", "G_B", "S_N", " _A", "NI_O", "BA_AY", "BAH_Y", "Ñ_A", "A_Ñ", "PI_A",
        "A_A_A", "G_B%Y", "STRA_E", "Σ_Φ"};
    // Random pieces of the entries, mostly in capitals as the window's edit gives them, some with a
    // wildcard or a quote put in.
    while (texts.size() < 320) {
        const std::string& value = entries[rng() % entries.size()][rng() % 6];
        if (value.empty())
            continue;
        const std::vector<size_t> b = boundaries(value);
        const size_t from = rng() % (b.size() - 1);
        const size_t to = std::min(b.size() - 1, from + 1 + rng() % 7);
        std::string text = value.substr(b[from], b[to] - b[from]);
        if (rng() % 5)
            text = toUpperUtf8(text);
        const std::vector<size_t> at = boundaries(text);
        const size_t cut = at[rng() % at.size()];
        switch (rng() % 8) {
        case 0:
            text.insert(cut, "_");
            break;
        case 1:
            text.insert(cut, "%");
            break;
        case 2:
            text.insert(cut, "\"");
            break;
        default:
            break;
        }
        if (text.find('\0') == std::string::npos) // a statement ends at a NUL character
            texts.push_back(text);
    }
    return texts;
}

/// Runs statements on the table "Tagalog" of the alias with the search index used or not, and
/// compares the search index of the table `checked_` ("Tagalog" unless a test sets another) with
/// its records.
class SearchFixture : public EngineTest {
protected:
    TableFiles& db() { return requireTableFiles(session_.database(kAlias), "The test"); }
    const FileTable& table(const std::string& name) { return db().fileTable(name); }

    /// Every field of every record the statement gives, with the index used or not.
    Rows run(const std::string& statement, bool indexed) {
        db().setSearchIndexEnabled(indexed);
        Rows out = queryRows(statement);
        db().setSearchIndexEnabled(true);
        return out;
    }

    /// Whether the index answers the statement by itself (no statement run as written).
    bool indexAnswers(const std::string& statement) {
        const TranslatedSelect sel = translateSelect(
            statement, [&](const std::string& t) { return db().table(t).qualified; });
        return sel.singleTable &&
               indexedRowIds(db(), db().fileTable("Tagalog"), sel.indexable).has_value();
    }

    void expectSameResult(const std::string& statement) {
        const Rows plain = run(statement, false);
        const Rows indexed = run(statement, true);
        ASSERT_EQ(indexed.size(), plain.size()) << statement;
        for (size_t r = 0; r < plain.size(); ++r)
            ASSERT_EQ(indexed[r], plain[r]) << statement << " (record " << r << ")";
    }

    /// The file of `checked_` through a connection of its own, as another program opens it.
    SqliteDb tableFile() const {
        return SqliteDb((tables() / (checked_ + ".db")).string(), SqliteDb::Mode::ReadWrite);
    }

    /// What search::compareIndex finds between the index of `checked_` and its records: kind,
    /// row id, field.
    using Found = std::tuple<search::IndexDifference::Kind, std::int64_t, int>;
    std::vector<Found> differences() {
        const FileTable& t = table(checked_);
        std::vector<Found> out;
        const size_t n = search::compareIndex(
            db().connection(), t.schema, t.fields.size(),
            [&](const search::IndexDifference& d) { out.emplace_back(d.kind, d.rowId, d.field); });
        EXPECT_EQ(n, out.size());
        return out;
    }

    /// Whether the index of `checked_` is marked in step with its records.
    bool inStep() { return search::indexInStep(db().connection(), table(checked_).schema); }

    Session session_{"Test"};
    Rows entries_;
    std::string checked_ = "Tagalog";
};

/// 1,500 made-up entries in the table "Tagalog", with an index of every field.
class SearchAccelerationTest : public SearchFixture {
protected:
    void SetUp() override {
        SearchFixture::SetUp();
        entries_ = madeUpEntries(1500, 17);
        makeTable("Tagalog", kFields, entries_);
    }
};

} // namespace wk::engine::test
