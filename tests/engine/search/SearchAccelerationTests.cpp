// The search index must never change a result: every search answered through it is compared,
// record by record, with the same statement run as written (the index switched off).

#include "SearchFixture.h"

#include "engine/base/Sqlite.h"
#include "engine/search/PostingBlock.h"
#include "engine/search/SearchGrams.h"

#include <sqlite3.h>

#include <random>

namespace wk::engine::test {
namespace {

TEST_F(SearchAccelerationTest, WindowSearchGivesTheSameRecordsAsTheStatementRunAsWritten) {
    for (const std::string& text : windowTexts(entries_)) {
        expectSameResult(windowStatement(text));
        // Only a pattern that is very long or not UTF-8 is left to SQLite.
        const bool usable = text.size() < 900 && search::validUtf8(text);
        EXPECT_EQ(indexAnswers(windowStatement(text)), usable) << text;
    }
}

TEST_F(SearchAccelerationTest, OtherShapesOfConditionAreAnsweredAlikeOrLeftToSqlite) {
    const std::vector<std::pair<std::string, bool>> statements = {
        {"SELECT * FROM Tagalog", true},
        {"select Tagalo, English from Tagalog where upper(English) LIKE 'SUN%'", true},
        {"SELECT * FROM Tagalog WHERE Upper([Examples]) like \"%ANG%\" OR Upper(Tagalo) like "
         "'%ñ%'",
         true},
        {"SELECT * FROM Tagalog WHERE Upper(Notes) like \"%BAHAY%\" OR Upper(English) like "
         "\"_A%\"",
         true},
        {"SELECT * FROM Tagalog WHERE Upper(Notes) like \"\"", true},
        // Terms the index settles beside terms with candidates to check, many or few.
        {"SELECT * FROM Tagalog WHERE Upper(English) like '%SUN%' OR Upper(Examples) like '%A_%'",
         true},
        {"SELECT * FROM Tagalog WHERE Upper(Tagalo) like '%Q%' OR Upper(Notes) like '%STRASSE%'",
         true},
        {"SELECT * FROM Tagalog WHERE Upper(English) like \"%SUN%\" ORDER BY Tagalo", false},
        {"SELECT * FROM Tagalog WHERE Upper(English) like \"%SUN%\" AND Tagalo = 'ang'", false},
        {"SELECT * FROM Tagalog WHERE English like \"%SUN%\"", false},
        {"SELECT * FROM Tagalog WHERE Lower(English) like \"%sun%\"", false},
        {"SELECT * FROM Tagalog WHERE Upper(English) like \"%SUN%\" ESCAPE '!'", false},
        {"SELECT * FROM Tagalog T WHERE Upper(T.English) like \"%SUN%\"", false},
    };
    for (const auto& [statement, answered] : statements) {
        expectSameResult(statement);
        EXPECT_EQ(indexAnswers(statement), answered) << statement;
    }
    // A field the table lacks fails as it always has.
    const EngineError e = engineErrorOf(
        [&] { run("SELECT * FROM Tagalog WHERE Upper(Kahulugan) like \"%A%\"", true); });
    EXPECT_EQ(e.code(), ErrorCode::NotFound);
}

TEST_F(SearchAccelerationTest, ChangesThroughATableKeepTheIndexInStep) {
    Table t;
    openTable(t, "Tagalog");
    t.moveTo(10);
    t.setFieldText("English", "zebra crossing");
    t.setFieldText("Examples", "");
    t.post();
    t.append();
    t.setFieldText("Tagalo", "bagong salita");
    t.setFieldText("L2Definition", "Isang ZEBRA na ñ");
    t.post();
    t.moveTo(20);
    t.deleteRecord();
    t.moveTo(0);
    t.edit();
    t.setFieldText("Tagalo", "");
    t.post();
    for (const char* text : {"ZEBRA", "ZEB", "SALITA", "Ñ", "", "A", "BAHAY", "ANG", "CROSS_NG"}) {
        expectSameResult(windowStatement(text));
        EXPECT_TRUE(indexAnswers(windowStatement(text))) << text;
    }
    EXPECT_EQ(run(windowStatement("ZEBRA"), true).size(), 2u);
    EXPECT_EQ(run("SELECT * FROM Tagalog", true).size(), entries_.size());
}

TEST_F(SearchAccelerationTest, FailedChangeLeavesRecordsAndIndexAsTheyWere) {
    Table t;
    openTable(t, "Tagalog");
    {
        // Another program holds the file for writing.
        SqliteDb other((tables() / "Tagalog.db").string(), SqliteDb::Mode::ReadWrite);
        other.exec("BEGIN IMMEDIATE", "locking");
        t.setFieldText("English", "unicorn");
        EXPECT_EQ(engineErrorOf([&] { t.post(); }).code(), ErrorCode::Locked);
        t.cancel();
        other.exec("COMMIT", "unlocking");
    }
    EXPECT_TRUE(run(windowStatement("UNICORN"), true).empty());
    EXPECT_TRUE(indexAnswers(windowStatement("UNICORN")));
    expectSameResult(windowStatement(toUpperUtf8(entries_[0][1])));
}

TEST_F(SearchAccelerationTest, ChangeByAnotherProgramRetiresTheIndex) {
    {
        SqliteDb other((tables() / "Tagalog.db").string(), SqliteDb::Mode::ReadWrite);
        other.exec("UPDATE records SET English = 'walrus' WHERE rowid = 5", "changing");
    }
    EXPECT_FALSE(indexAnswers(windowStatement("WALRUS")));
    EXPECT_EQ(run(windowStatement("WALRUS"), true).size(), 1u);
    // The engine's own later changes do not bring a retired index back.
    Table t;
    openTable(t, "Tagalog");
    t.setFieldText("English", "narwhal");
    t.post();
    EXPECT_FALSE(indexAnswers(windowStatement("NARWHAL")));
    EXPECT_EQ(run(windowStatement("NARWHAL"), true).size(), 1u);
}

TEST_F(SearchAccelerationTest, TableFileWithoutIndexIsSearchedAndChangedAsBefore) {
    {
        SqliteDb file((tables() / "Tagalog.db").string(), SqliteDb::Mode::ReadWrite);
        file.exec("DROP TABLE wk_search_postings; DROP TABLE wk_search_blocks;"
                  "DROP TRIGGER wk_search_retire_INSERT; DROP TRIGGER wk_search_retire_UPDATE;"
                  "DROP TRIGGER wk_search_retire_DELETE;"
                  "DELETE FROM wk_table_info WHERE key = 'search_index'",
                  "making an older file");
    }
    EXPECT_FALSE(indexAnswers(windowStatement("ANG")));
    Table t;
    openTable(t, "Tagalog");
    t.setFieldText("English", "walrus");
    t.post();
    t.deleteRecord();
    EXPECT_EQ(run(windowStatement("ANG"), true), run(windowStatement("ANG"), false));
    EXPECT_EQ(run("SELECT * FROM Tagalog", true).size(), entries_.size() - 1);
}

TEST_F(SearchAccelerationTest, QueryTakesItsRecordsFromTheIndexAndADamagedIndexFromTheTable) {
    // Take "BAH" out of the index behind its back: the query follows the index, which shows that
    // the index answers the window's search.
    const Rows before = run(windowStatement("BAH"), true);
    ASSERT_FALSE(before.empty());
    {
        SqliteDb file((tables() / "Tagalog.db").string(), SqliteDb::Mode::ReadWrite);
        const std::int64_t bah = search::gramOf("BAH");
        file.exec("DELETE FROM wk_search_postings WHERE key & 4294967295 = " + std::to_string(bah),
                  "thinning the index");
    }
    EXPECT_TRUE(run(windowStatement("BAH"), true).empty());
    EXPECT_EQ(run(windowStatement("BAH"), false), before);
    {
        SqliteDb file((tables() / "Tagalog.db").string(), SqliteDb::Mode::ReadWrite);
        file.exec("UPDATE wk_search_postings SET rows = x'00' WHERE key & 4294967295 = " +
                      std::to_string(search::gramOf("ANG")),
                  "damaging the index");
    }
    EXPECT_FALSE(indexAnswers(windowStatement("ANG")));
    expectSameResult(windowStatement("ANG"));
}

TEST_F(SearchAccelerationTest, RecordsBeyondTheFirstBlockAreFound) {
    Rows rows(search::kBlockRows + 40, std::vector<std::string>{"x", "y", "", "", "", "", ""});
    rows[search::kBlockRows - 2][0] = "last of the first";
    rows[search::kBlockRows - 1][0] = "lastt of the first";
    rows[search::kBlockRows + 5][1] = "in the second ñ";
    makeTable("Tagalog", kFields, rows);
    for (const char* text : {"LAST", "LAS", "T_F", "SECOND", "Ñ", "X", "", "%"}) {
        expectSameResult(windowStatement(text));
        EXPECT_TRUE(indexAnswers(windowStatement(text))) << text;
    }
    EXPECT_EQ(run(windowStatement("LAST"), true).size(), 2u);
    // Records the index settles beside a few candidates to check.
    const std::string mixed =
        "SELECT * FROM Tagalog WHERE Upper(Tagalo) like '%LAS%' OR Upper(English) like '%SECOND%'";
    expectSameResult(mixed);
    EXPECT_EQ(run(mixed, true).size(), 3u);
}

// Records whose letters have capitals longer than themselves in the full case mapping (ß is "SS"
// there, ﬁ is "FI"), for the searches the window makes of them: its edit turns "straße" into
// "STRAßE" and "ﬁsh" into "ﬁSH", one character for one.
const Rows kSharpSRows = {
    {"kalye", "Straße", "", "", "", "", ""},
    {"isda", "\uFB01sh", "", "", "", "", ""},
    {"daan", "street", "", "", "", "", "Strasse"},
    {"lamesa", "table", "", "", "", "", ""},
};

const std::pair<std::string, size_t> kSharpSSearches[] = {
    {"SELECT * FROM Tagalog WHERE Upper(English) like \"%STRAßE%\"", 1},
    {"SELECT * FROM Tagalog WHERE Upper(English) like \"%STRAß%\"", 1},
    {"SELECT * FROM Tagalog WHERE Upper(English) like \"%ß%\"", 1},
    {"SELECT * FROM Tagalog WHERE Upper(English) like \"%\uFB01SH%\"", 1},
    {"SELECT * FROM Tagalog WHERE Upper(English) like \"%\uFB01%\"", 1},
    {"SELECT * FROM Tagalog WHERE Upper(English) like \"%STRASSE%\"", 0},
    {"SELECT * FROM Tagalog WHERE Upper(English) like \"%SS%\"", 0},
    {"SELECT * FROM Tagalog WHERE Upper(English) like \"%FISH%\"", 0},
    {"SELECT * FROM Tagalog WHERE Upper(English) like \"%FI%\"", 0},
    {"SELECT * FROM Tagalog WHERE Upper(English) like \"%STRA_E%\"", 1},
    {"SELECT * FROM Tagalog WHERE Upper(English) like \"_SH\"", 1},
    {"SELECT * FROM Tagalog WHERE Upper(Notes) like \"%STRASSE%\"", 1},
};

TEST_F(SearchAccelerationTest, SharpSAndLigaturesAreFoundAsTheEditTypesThem) {
    makeTable("Tagalog", kFields, kSharpSRows);
    for (const auto& [statement, count] : kSharpSSearches) {
        EXPECT_TRUE(indexAnswers(statement)) << statement;
        EXPECT_EQ(run(statement, false).size(), count) << statement;
        EXPECT_EQ(run(statement, true).size(), count) << statement;
        expectSameResult(statement);
    }
    const Rows found = run("SELECT * FROM Tagalog WHERE Upper(English) like \"%STRAßE%\"", true);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0][1], "Straße");
    // The window's whole statement, for the text as its edit shows it.
    for (const char* text : {"STRAßE", "\uFB01SH", "STRASSE", "SS", "ß"})
        expectSameResult(windowStatement(text));
    EXPECT_EQ(run(windowStatement("STRAßE"), true).size(), 1u);
    EXPECT_EQ(run(windowStatement("\uFB01SH"), true).size(), 1u);
}

TEST_F(SearchAccelerationTest, AnIndexOfTheOldFormatIsNotTrusted) {
    // An index made by an engine that upper-cased with the full case mapping: "Straße" went in as
    // the grams of "STRASSE", "ﬁsh" as those of "FISH". Such an index is made here by writing the
    // records with those texts, putting the real texts in behind the index's back, and marking
    // the index with the old format's "1".
    Rows asOldCodeSawThem = kSharpSRows;
    asOldCodeSawThem[0][1] = "STRASSE";
    asOldCodeSawThem[1][1] = "FISH";
    makeTable("Tagalog", kFields, asOldCodeSawThem);
    {
        SqliteDb file((tables() / "Tagalog.db").string(), SqliteDb::Mode::ReadWrite);
        file.exec("UPDATE records SET English = 'Straße' WHERE rowid = 1;"
                  "UPDATE records SET English = '\uFB01sh' WHERE rowid = 2;"
                  "UPDATE wk_table_info SET value = '1' WHERE key = 'search_index'",
                  "making an index of the old format");
    }
    for (const auto& [statement, count] : kSharpSSearches) {
        EXPECT_FALSE(indexAnswers(statement)) << statement;
        EXPECT_EQ(run(statement, true).size(), count) << statement;
        expectSameResult(statement);
    }
    // The engine's changes to the records leave it retired ...
    Table t;
    openTable(t, "Tagalog");
    t.moveTo(3);
    t.setFieldText("English", "Fußweg");
    t.post();
    EXPECT_FALSE(indexAnswers(windowStatement("FUßWEG")));
    EXPECT_EQ(run(windowStatement("FUßWEG"), true).size(), 1u);
    EXPECT_EQ(run(windowStatement("ß"), true).size(), 2u);
    t.close();
    // ... and writing the table again makes a new one that is trusted.
    makeTable("Tagalog", kFields, kSharpSRows);
    for (const auto& [statement, count] : kSharpSSearches) {
        EXPECT_TRUE(indexAnswers(statement)) << statement;
        EXPECT_EQ(run(statement, true).size(), count) << statement;
    }
}

TEST(SearchGrams, LikeMatchingAgreesWithSqlite) {
    // valueMatches(pattern, value) stands for `Upper(value) like pattern`.
    SqliteDb db("", SqliteDb::Mode::Memory);
    SqliteStatement like(db, "SELECT ?1 LIKE ?2", "like");
    std::mt19937 rng(5);
    const std::vector<std::string> pieces = {
        "A", "a", "b", "Ñ", "ñ", "%", "_", "—", "😀", "ß", "SS", "ab", std::string(1, '\0')};
    auto make = [&](size_t most) {
        std::string s;
        for (size_t n = rng() % (most + 1); n > 0; --n)
            s += pieces[rng() % pieces.size()];
        return s;
    };
    auto bind = [&](int index, const std::string& text) {
        sqlite3_bind_text(like.handle(), index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string pattern = make(5), value = make(7);
        const search::PatternPlan plan = search::planPattern(pattern);
        if (!plan.usable)
            continue; // a NUL in the pattern
        like.reset();
        bind(1, toUpperUtf8(value));
        bind(2, pattern);
        ASSERT_TRUE(like.step());
        ASSERT_EQ(search::valueMatches(plan, value), like.columnInt(0) == 1)
            << "Upper('" << value << "') like '" << pattern << "'";
    }
}

TEST(SearchGrams, LikeMatchingSkipsAheadToWhatFollowsAPercentSign) {
    // Long values in which what follows a `%` occurs often, in either case, or shares its first
    // byte with other characters (Ñ, Á and É all start with 0xC3), so that the matcher must look
    // past many near matches after each `%`.
    SqliteDb db("", SqliteDb::Mode::Memory);
    SqliteStatement like(db, "SELECT ?1 LIKE ?2", "like");
    std::mt19937 rng(11);
    const std::vector<std::string> valuePieces = {"a", "A", "b", "B", "n",  " ", "ñ",
                                                  "Ñ", "á", "É", "—", "ab", "Ab"};
    const std::vector<std::string> patternPieces = {"A", "a", "B", "Ñ", "ñ",
                                                    "Á", "_", "%", "%", "%"};
    auto make = [&](const std::vector<std::string>& pieces, size_t least, size_t most) {
        std::string s;
        for (size_t n = least + rng() % (most - least + 1); n > 0; --n)
            s += pieces[rng() % pieces.size()];
        return s;
    };
    auto bind = [&](int index, const std::string& text) {
        sqlite3_bind_text(like.handle(), index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    };
    size_t matched = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::string pattern = make(patternPieces, 1, 6);
        const std::string value = make(valuePieces, 0, 40);
        const search::PatternPlan plan = search::planPattern(pattern);
        ASSERT_TRUE(plan.usable);
        like.reset();
        bind(1, toUpperUtf8(value));
        bind(2, pattern);
        ASSERT_TRUE(like.step());
        const bool expected = like.columnInt(0) == 1;
        matched += expected;
        ASSERT_EQ(search::valueMatches(plan, value), expected)
            << "Upper('" << value << "') like '" << pattern << "'";
        ASSERT_EQ(search::likeMatches(plan.folded, toUpperUtf8(value)), expected)
            << "'" << toUpperUtf8(value) << "' like '" << pattern << "'";
    }
    // Both answers are well represented.
    EXPECT_GT(matched, 2000u);
    EXPECT_LT(matched, 18000u);
}

TEST(SearchGrams, OnlyShortRunsBetweenPercentSignsAreSettledByTheIndexAlone) {
    using search::planPattern;
    for (const char* exact : {"%ANG%", "%a%", "%%Ñ%%", "%", "%%"})
        EXPECT_TRUE(planPattern(exact).exact) << exact;
    for (const char* checked : {"%ANGA%", "%NIÑO%", "ANG%", "%ANG", "%A_G%", "%A%G%", "", "_"})
        EXPECT_FALSE(planPattern(checked).exact) << checked;
    EXPECT_FALSE(planPattern("%\xFF%").usable);
    EXPECT_FALSE(planPattern(std::string("%A\0B%", 5)).usable);
    EXPECT_EQ(planPattern("%ang%").grams, std::vector<search::Gram>{search::gramOf("ANG")});
}

TEST(PostingBlock, StoredSetsRoundTripAndKeepTheirShorterForm) {
    using namespace search;
    std::mt19937 rng(9);
    for (size_t size : {size_t{1}, size_t{50}, size_t{1500}, size_t{9000}, size_t{16384}}) {
        std::vector<std::uint16_t> set;
        for (unsigned p = 0; p < kBlockRows; ++p)
            if (rng() % static_cast<unsigned>(kBlockRows) < size)
                set.push_back(static_cast<std::uint16_t>(p));
        const std::string stored = encodePositions(set);
        EXPECT_LE(stored.size(), BlockBits::kBytes);
        std::vector<std::uint16_t> back;
        ASSERT_TRUE(decodePositions(stored, back));
        EXPECT_EQ(back, set);
        BlockBits bits;
        ASSERT_TRUE(decodePositions(stored, bits));
        EXPECT_EQ(bits.count(), set.size());
    }
    // Growing one position at a time turns a list into a bitmap, and shrinking turns it back.
    std::string stored;
    for (unsigned p = 0; p < kBlockRows; p += 2)
        ASSERT_TRUE(changePosition(stored, static_cast<std::uint16_t>(p), true));
    EXPECT_EQ(stored.size(), BlockBits::kBytes);
    for (unsigned p = 0; p < kBlockRows; p += 2)
        ASSERT_TRUE(changePosition(stored, static_cast<std::uint16_t>(p), p < 40));
    std::vector<std::uint16_t> left;
    ASSERT_TRUE(decodePositions(stored, left));
    EXPECT_EQ(left.size(), 20u);
    EXPECT_LT(stored.size(), 40u);
    // Damaged bytes are refused, never read past.
    std::vector<std::uint16_t> out;
    for (const std::string& bad :
         {std::string("\x80"), std::string("\x01\x00", 2), std::string("\xFF\xFF\x7F"),
          std::string(BlockBits::kBytes + 1, 'x')})
        EXPECT_FALSE(decodePositions(bad, out));
    std::string damaged = "\x80";
    EXPECT_FALSE(changePosition(damaged, 3, true));
}

} // namespace
} // namespace wk::engine::test
