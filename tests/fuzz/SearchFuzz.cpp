// A search through the table's search index gives the very records, in the very order, that the
// same statement run as written gives. Once per process a small dictionary table is made in a
// temporary folder (under $TMPDIR); each input is a search: its first byte chooses the shape of
// the statement, the rest is the search text.
//
//   first byte & 1:  0 = the text between % and % (as the dictionary window searches),
//                    1 = the text is the whole pattern (its own % and _ anchor it or not)
//   first byte & 2:  0 = every field the window searches, joined by OR,
//                    2 = one field, chosen by (first byte >> 2)

#include "FuzzCheck.h"

#include "engine/base/EngineError.h"
#include "engine/config/Aliases.h"
#include "engine/config/ConfigStore.h"
#include "engine/sql/Query.h"
#include "engine/storage/Database.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFile.h"

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace wk::engine;
using Rows = std::vector<std::vector<std::string>>;

constexpr const char* kAlias = "FuzzSearch";

const std::vector<std::string> kFields = {"Tagalo",       "English",  "ActiveVerb", "PassiveVerb",
                                          "L2Definition", "Examples", "Notes"};
// The fields the dictionary window searches; Notes is never searched, so no index serves it.
const std::vector<std::string> kSearched = {"Tagalo",      "English",      "ActiveVerb",
                                            "PassiveVerb", "L2Definition", "Examples"};

// Words of the made-up entries: plain and accented, letters whose capitals are longer (ß, ﬁ, ŉ),
// Greek, dotted and dotless i, a combining accent, a character beyond U+FFFF, the characters that
// mean something in a pattern or a statement, a NUL character and a byte that is not UTF-8.
const std::vector<std::string> kWords = {"ang",     "ng",       "bahay",
                                         "Bahay",   "maganda",  "araw",
                                         "gabi",    "kaibigan", "tubig",
                                         "niño",    "PIÑA",     "bayán",
                                         "straße",  "ﬁesta",    "ŉ",
                                         "σοφία",   "ΣΟΦΌΣ",    "ıi",
                                         "İyi",     "e\u0301",  "—",
                                         "😀ok",     "50%",      "a_b",
                                         "\"q\"",   "it's",     "ANG_GA",
                                         "100%%",   "sun",      "SUN",
                                         "ß",       "x",        std::string("nul\0ang", 7),
                                         "ba\xFFy", "kain",     "kumain",
                                         "kainin",  "pag-ibig", "mag-aral"};

fs::path gRoot;

void removeRoot() {
    std::error_code ec;
    fs::remove_all(gRoot, ec);
}

void makeDictionary() {
    std::string pattern = (fs::temp_directory_path() / "wikabay-fuzz-search-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        wk::fuzz::failure("cannot make a temporary folder under " +
                          fs::temp_directory_path().string());
    gRoot = pattern;
    std::atexit(removeRoot);
    ::setenv("XDG_CONFIG_HOME", (gRoot / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (gRoot / "data").c_str(), 1);
    const fs::path tables = gRoot / "tables";
    fs::create_directories(tables);
    ConfigStore().update([&](ConfigTree& t) { aliases::set(t, kAlias, tables.string()); });

    std::mt19937 rng(4242);
    int made = 0;
    tablefile::replace(
        tables, "Tagalog", kFields,
        [&](std::vector<std::string>& row) {
            if (made++ == 400)
                return false;
            row.clear();
            for (size_t f = 0; f < kFields.size(); ++f) {
                std::string value;
                const unsigned words = rng() % 4 == 0 ? 0 : 1 + rng() % (f >= 4 ? 6 : 2);
                for (unsigned w = 0; w < words; ++w)
                    value += (w ? " " : "") + kWords[rng() % kWords.size()];
                row.push_back(value);
            }
            return true;
        },
        std::nullopt);
}

Session& session() {
    static Session s("FuzzSearch");
    return s;
}

std::string statementFor(unsigned char shape, const std::string& text) {
    std::string quoted;
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    const std::string pattern = (shape & 1) ? "\"" + quoted + "\"" : "\"%" + quoted + "%\"";
    std::vector<std::string> fields = kSearched;
    if (shape & 2)
        fields = {kFields[(shape >> 2) % kFields.size()]};
    std::string sql = "SELECT * FROM Tagalog WHERE ";
    for (size_t i = 0; i < fields.size(); ++i)
        sql += (i ? " OR Upper(" : "Upper(") + fields[i] + ") like " + pattern;
    return sql;
}

struct Answer {
    bool failed = false;
    std::string error;
    Rows rows;
};

Answer run(const std::string& statement, bool indexed) {
    session().database(kAlias).setSearchIndexEnabled(indexed);
    Answer a;
    try {
        Query q;
        q.setSessionName(session().name());
        q.setDatabaseName(kAlias);
        q.addSql(statement);
        q.open();
        for (long long r = 0; r < q.recordCount(); ++r) {
            std::vector<std::string> row;
            for (int f = 0; f < static_cast<int>(q.fieldNames().size()); ++f)
                row.push_back(q.valueAt(r, f));
            a.rows.push_back(std::move(row));
        }
    } catch (const EngineError& e) {
        a.failed = true;
        a.error = e.what();
    }
    return a;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    try {
        makeDictionary();
        session().database(kAlias);
    } catch (const EngineError& e) {
        wk::fuzz::failure(std::string("cannot make the dictionary: ") + e.what());
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string statement = statementFor(data[0], wk::fuzz::text(data + 1, size - 1));
    const Answer plain = run(statement, false);
    const Answer indexed = run(statement, true);
    const auto story = [&] { return "\nstatement: " + wk::fuzz::shown(statement); };
    if (plain.failed != indexed.failed)
        wk::fuzz::failure("only one way fails: " + (plain.failed ? plain.error : indexed.error) +
                          (plain.failed ? " (as written)" : " (through the index)") + story());
    if (indexed.rows.size() != plain.rows.size())
        wk::fuzz::failure("the index gives " + std::to_string(indexed.rows.size()) +
                          " records, the statement as written " +
                          std::to_string(plain.rows.size()) + story());
    for (size_t r = 0; r < plain.rows.size(); ++r)
        if (indexed.rows[r] != plain.rows[r])
            wk::fuzz::failure("record " + std::to_string(r) + " differs through the index" +
                              story());
    return 0;
}
