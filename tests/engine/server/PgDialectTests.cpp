// Local SQL run on a server: the same records locally and on the throw-away cluster, and every
// statement must give the same rows, in the same order where it orders them.

#include "search/WindowStatement.h"
#include "server/PgDialectFixture.h"

#include <random>

namespace wk::engine::test {
namespace {

const std::vector<std::string> kFields = {"Nr",      "Tagalo",       "ActiveVerb", "PassiveVerb",
                                          "English", "L2Definition", "Examples",   "Notes"};

const std::vector<std::string> kWords = {
    "ang",         "ng",         "bahay",   "Bahay",   "maganda", "araw",  "niño",  "PIÑA",
    "bayán",       "Malacañang", "straße",  "STRASSE", "ﬁesta",   "σοφία", "ΣΟΦΌΣ", "ΣΑΣ",
    "ıi",          "İstanbul",   "e\u0301", "—",       "😀ok",     "50%",   "a_b",   "\"quoted\"",
    "it's",        "ANG_GA",     "100%%",   "sun",     "SUN",     "ß",     "x",     "Q",
    "back\\slash", "\\%",        "ǆ",       "ſ",       "K",       "ŉ",     "ﬀ",     "Ǳ"};

// Records of made-up words, numbered in Nr so that an order can be total.
Rows entries(size_t count) {
    std::mt19937 rng(7);
    Rows rows;
    for (size_t r = 0; r < count; ++r) {
        char nr[8];
        std::snprintf(nr, sizeof nr, "%04zu", r);
        std::vector<std::string> row = {nr};
        for (size_t f = 1; f < kFields.size(); ++f) {
            std::string value;
            const unsigned words = rng() % 4 == 0 ? 0 : 1 + rng() % 3;
            for (unsigned w = 0; w < words; ++w)
                value += (w ? " " : "") + kWords[rng() % kWords.size()];
            row.push_back(value);
        }
        rows.push_back(row);
    }
    return rows;
}

class PgDialectRowsTest : public PgDialectTest {
protected:
    void SetUp() override {
        PgDialectTest::SetUp();
        rows_ = entries(400);
        makeBoth("Tagalog", kFields, rows_);
    }
    Rows rows_;
};

TEST_F(PgDialectRowsTest, WindowSearchesFindTheSameRecords) {
    std::vector<std::string> texts = {
        "",    "A",    "Ñ",   "ñ",      "%",     "_",       "__",     "%%",  "SS",  "ẞ",
        "FI",  "ﬁ",    "Σ",   "ΣΟΦ",    "'",     "\"",      "\"\"",   "ANG", "ang", "NG",
        "—",   "NIÑO", "İ",   "I",      "ı",     "E\u0301", "\u0301", "😀",   "50%", "A_B",
        "_NG", "ANG_", "A%G", "%ANG",   "\\",    "\\%",     "K",      "S",   "ǅ",   "Ǆ",
        "Ǳ",   "ʼN",   "ST",  "STRA_E", "BA_AY", "Ñ_A",     "PI_A",   "Σ_Φ", "X%Q", "😀_K"};
    std::mt19937 rng(11);
    while (texts.size() < 100) {
        const std::string& value = rows_[rng() % rows_.size()][1 + rng() % 7];
        if (value.empty())
            continue;
        // Whole words of the values, in capitals most of the time, as the window's edit gives.
        const size_t cut = value.find(' ');
        std::string text = value.substr(0, cut);
        texts.push_back(rng() % 4 ? toUpperUtf8(text) : text);
    }
    for (const std::string& text : texts)
        expectSameRows(windowStatement(text), false);
}

TEST_F(PgDialectRowsTest, OtherConditionsNamesAndOrdersGiveTheSameRows) {
    const std::vector<std::pair<std::string, bool>> statements = {
        {"SELECT * FROM Tagalog", false},
        {"select tagalo, ENGLISH from tagalog where english like 'sun%'", false},
        {"SELECT * FROM Tagalog WHERE English like \"%S_N%\" OR Notes like '%ñ%'", false},
        {"SELECT * FROM Tagalog WHERE Examples NOT LIKE \"%a%\"", false},
        {"SELECT * FROM Tagalog WHERE Lower(Tagalo) like \"%σοφ%\"", false},
        {"SELECT Nr, Lower(Tagalo), Lower(English), Upper(Notes) FROM Tagalog", false},
        {"SELECT [Nr], [Tagalo] FROM Tagalog WHERE Upper([L2Definition]) like \"%\\%\"", false},
        {"SELECT * FROM Tagalog WHERE Upper(English) like \"%'%\" AND Tagalo like '%a%'", false},
        {"SELECT * FROM Tagalog WHERE Tagalo || English like '%BAHAY%'", false},
        {"SELECT * FROM Tagalog WHERE (Tagalo like '%niño%') = (English like '%ang%')", false},
        {"SELECT Nr FROM Tagalog WHERE Upper(Tagalo) == \"ΣΑΣ\" OR Tagalo = 'it''s'", false},
        {"SELECT T.Nr, T.English FROM Tagalog AS \"T\" WHERE Upper(t.English) like \"%Ñ%\"", false},
        {"SELECT x.Nr FROM Tagalog x WHERE Upper(X.Notes) like \"%ẞ%\" or x.notes like '%ß%'",
         false},
        {"SELECT [T].[Nr] FROM Tagalog [T] WHERE [t].[Examples] like '%_\"%'", false},
        {"SELECT * FROM Tagalog ORDER BY Tagalo, Nr", true},
        {"SELECT * FROM Tagalog ORDER BY Tagalo DESC, Nr DESC", true},
        {"SELECT Nr, English FROM Tagalog ORDER BY 2, 1", true},
        {"SELECT Nr, English FROM Tagalog ORDER BY 2 DESC, 1 ASC", true},
        {"SELECT * FROM Tagalog WHERE Upper(English) like '%A%' ORDER BY Upper(English), Nr", true},
        {"SELECT Nr, Lower(Notes) FROM Tagalog ORDER BY Lower(Notes) DESC, Nr", true},
        {"SELECT * FROM Tagalog T ORDER BY T.Examples, T.Nr;", true},
        {"SELECT count(*), min(Tagalo), max(English) FROM Tagalog", true},
        {"SELECT Tagalo, count(*) FROM Tagalog GROUP BY Tagalo ORDER BY Tagalo", true},
        {"SELECT Nr FROM Tagalog WHERE Nr IN (SELECT Nr FROM Tagalog WHERE English like "
         "'%sun%') ORDER BY Nr",
         true},
    };
    for (const auto& [statement, ordered] : statements)
        expectSameRows(statement, ordered);
}

TEST_F(PgDialectRowsTest, RefusesWhatTheLocalEngineRefusesAndTextsWithNul) {
    for (const char* bad : {"", "UPDATE Tagalog SET Nr = 1", "SELECT * FROM Tagalog; SELECT 1",
                            "SELECT * FROM Tagalog WHERE Tagalo like \"%a", "SELECT (1",
                            "SELECT 1)", "SELECT * FROM Tagalog WHERE Tagalo like 50%"}) {
        const EngineError local = engineErrorOf([&] { queryRows(bad); });
        const EngineError server = engineErrorOf([&] { translate(bad); });
        EXPECT_EQ(server.code(), ErrorCode::InvalidSql) << bad;
        EXPECT_STREQ(server.what(), local.what()) << bad;
    }
    EXPECT_EQ(engineErrorOf([&] { translate("SELECT * FROM Nowhere"); }).code(),
              ErrorCode::NotFound);
    const EngineError nul = engineErrorOf(
        [&] { translate(std::string("SELECT * FROM Tagalog WHERE Tagalo like \"a\0b\"", 46)); });
    EXPECT_EQ(nul.code(), ErrorCode::InvalidSql);
    EXPECT_TRUE(mentions(nul, "NUL")) << nul.what();
}

} // namespace
} // namespace wk::engine::test
