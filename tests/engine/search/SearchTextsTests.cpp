// The searchable texts the index keeps per chunk of 1,024 records: their stored form, searches
// that check open records against them (or read the records, for a few), and their being kept in
// step with the records on edits, for an index with texts, an older one without them, and one
// that leaves fields out.

#include "SearchFixture.h"
#include "common/PlainSqlite.h"

#include "engine/base/Sqlite.h"
#include "engine/search/BlockTexts.h"
#include "engine/search/PostingBlock.h"
#include "engine/search/SearchGrams.h"
#include "engine/search/SearchIndex.h"

#include <map>

namespace wk::engine::test {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;
using search::BlockTextsWriter;
using Texts = std::vector<std::pair<std::uint16_t, std::string>>;
using Kind = search::IndexDifference::Kind;

// What forEachText reads from a stored form; none when it refuses it. Every text it gives must
// lie inside the stored bytes, at a position of the block, in ascending order.
std::optional<Texts> readTexts(std::string_view stored) {
    Texts out;
    const bool read = search::forEachText(stored, [&](std::uint16_t p, std::string_view t) {
        EXPECT_LT(p, search::kBlockRows);
        EXPECT_TRUE(out.empty() || out.back().first < p);
        EXPECT_TRUE(t.data() >= stored.data() &&
                    t.data() + t.size() <= stored.data() + stored.size())
            << "text at " << p << " lies outside the stored bytes";
        out.emplace_back(p, std::string(t));
    });
    return read ? std::optional<Texts>(out) : std::nullopt;
}

std::string encoded(const Texts& texts) {
    BlockTextsWriter w;
    for (const auto& [p, t] : texts)
        w.add(p, t);
    return w.encode();
}

// The shortcuts that check a searchable text without the general matcher (pieces between `%`
// signs, `_`-only patterns by length) must agree with it on every text, and a length that decides
// must decide as the characters do.
TEST(SearchGrams, ShortcutsAgreeWithTheGeneralMatcher) {
    const std::vector<std::string> texts = {"",     "A",   "AB",    "ABC",    "ABCD",      "—",
                                            "Ñ",    "ÑB",  "AÑ",    "A—",     "——",        "———",
                                            "😀",    "😀😀",  "😀A",    "ANG NG", "PAGKAINAN", "PAG AN",
                                            "NANG", "NAN", "KAKAK", "A—B—C",  "ΣΦ",        "ẞA"};
    const std::vector<std::string> patterns = {
        "",  "_",  "__",     "___",      "____",  "%_",      "_%",  "%__%",    "%___%", "%_%_%",
        "%", "%%", "%NANG%", "%PAG%AN%", "%KAK%", "%AK%AK%", "%—%", "%A%B%C%", "%Ñ%",   "%😀%"};
    for (const std::string& pattern : patterns) {
        const search::PatternPlan plan = search::planPattern(pattern);
        ASSERT_TRUE(plan.usable) << pattern;
        for (const std::string& text : texts) {
            const bool expected = search::likeMatches(plan.folded, text);
            EXPECT_EQ(search::textMatches(plan, text), expected) << pattern << " on " << text;
            const std::optional<bool> known =
                plan.lengthOnly ? search::matchesByLength(plan, text.size()) : std::nullopt;
            if (known) {
                EXPECT_EQ(*known, expected) << pattern << " on " << text << " by length";
            }
        }
    }
}

TEST(BlockTexts, WhatAWriterEncodesIsReadBackTextForText) {
    const Texts texts = {{0, ""},          {1, "A"},  {2, "NUL\0ANG"s},
                         {130, "BA\xFFY"}, {131, ""}, {5000, std::string(300, 'Z')},
                         {16383, "ÑAWA 😀"}};
    EXPECT_EQ(readTexts(encoded(texts)), texts);
    EXPECT_EQ(readTexts(encoded({})), Texts{});

    // Random sets; a writer cleared starts afresh.
    std::mt19937 rng(3);
    BlockTextsWriter w;
    w.add(7, "LEFT OVER");
    w.clear();
    EXPECT_TRUE(w.empty());
    Texts random;
    for (unsigned p = rng() % 4; p < search::kBlockRows; p += 1 + rng() % 700) {
        std::string t(rng() % 200, '\0');
        for (char& c : t)
            c = static_cast<char>(rng());
        random.emplace_back(static_cast<std::uint16_t>(p), t);
        w.add(static_cast<std::uint16_t>(p), t);
    }
    EXPECT_EQ(readTexts(w.encode()), random);
}

TEST(BlockTexts, ChangeTextAddsReplacesAndRemoves) {
    std::string stored;
    std::map<std::uint16_t, std::string> model;
    auto change = [&](std::uint16_t p, std::optional<std::string> t) {
        ASSERT_TRUE(search::changeText(stored, p, t));
        if (t)
            model[p] = *t;
        else
            model.erase(p);
        if (model.empty()) {
            EXPECT_EQ(stored, "") << "no texts left is the empty string";
            return;
        }
        EXPECT_EQ(readTexts(stored), Texts(model.begin(), model.end()));
    };
    change(5, "A");
    change(2, "B");    // before the others
    change(9, "C");    // after them
    change(5, "AAAA"); // replaced
    change(5, "");     // an empty text is still a text
    change(7, {});     // removing what is not there changes nothing
    change(2, {});
    change(5, {});
    change(9, {}); // the last one
    std::mt19937 rng(8);
    const std::uint16_t places[] = {0, 1, 63, 64, 1023, 1024, 8000, 16382, 16383};
    for (int i = 0; i < 3000 && !::testing::Test::HasFailure(); ++i) {
        const std::uint16_t p = places[rng() % std::size(places)];
        if (rng() % 3 == 0)
            change(p, {});
        else
            change(p, std::string(rng() % 5, static_cast<char>('A' + rng() % 26)));
    }
}

TEST(BlockTexts, DamagedStoredFormsAreRefusedAndNeverReadPast) {
    const std::string good = encoded({{0, "ANG"}, {200, ""}, {16383, "BAHAY NA ÑAWA"}});
    ASSERT_TRUE(readTexts(good));
    for (size_t n = 0; n < good.size(); ++n) {
        // A copy of its own, so that reading past it is reading past an allocation.
        const std::string cut = good.substr(0, n);
        EXPECT_FALSE(readTexts(cut)) << "cut at " << n;
        std::string changed = cut;
        if (n > 0) {
            EXPECT_FALSE(search::changeText(changed, 1, "X"sv)) << "cut at " << n;
            EXPECT_EQ(changed, cut);
        }
    }
    EXPECT_FALSE(readTexts(good + "x"));
    // Count, list size, then per text the gap and the length, then the bytes.
    const std::pair<const char*, std::string_view> damaged[] = {
        {"a count larger than the list", "\x03\x04\x00\x01\x00\x01"
                                         "AB"sv},
        {"a count smaller than the list", "\x01\x04\x00\x01\x00\x01"
                                          "AB"sv},
        {"a length past the end", "\x01\x02\x00\x05"
                                  "ABC"sv},
        {"a list size past the end", "\x01\x09\x00\x01"
                                     "A"sv},
        {"a huge count", "\xFF\xFF\xFF\xFF\x0F\x00"sv},
        {"a varint that never ends", "\x80\x80\x80\x80\x80\x80"sv},
        {"a varint beyond 32 bits", "\x01\x06\xFF\xFF\xFF\xFF\x7F\x00"sv},
        {"a position beyond the block", "\x01\x04\x80\x80\x01\x00"sv},
        {"a position beyond 16 bits", "\x02\x06\x00\x00\xFF\xFF\x03\x00"sv},
    };
    for (const auto& [what, bytes] : damaged) {
        EXPECT_FALSE(readTexts(std::string(bytes))) << what;
        // The list alone, as a search of `_` and `%` reads it, refuses what names no text of the
        // block (the lengths are not checked against bytes it does not have).
        if (std::string_view(what).starts_with("a position")) {
            EXPECT_FALSE(search::forEachListed(std::string(bytes), [](std::uint16_t p, auto) {
                EXPECT_LT(p, search::kBlockRows);
            })) << what;
        }
        std::string changed(bytes);
        EXPECT_FALSE(search::changeText(changed, 3, {})) << what;
    }
    // Any byte changed: refused or not, nothing is read outside the stored bytes.
    for (size_t at = 0; at < good.size(); ++at)
        for (int value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
            std::string bytes = good;
            bytes[at] = static_cast<char>(value);
            readTexts(bytes);
        }
}

// The same made-up entries as three kinds of table file.
enum class IndexKind { GramsAndTexts, GramsOnly, WithoutNotes };

class SearchTextsTest : public SearchFixture, public ::testing::WithParamInterface<IndexKind> {
protected:
    void SetUp() override {
        SearchFixture::SetUp();
        entries_ = madeUpEntries(2500, 31); // chunks 0, 1 and 2
        std::vector<bool> searched;
        if (GetParam() == IndexKind::WithoutNotes) {
            searched.assign(kFields.size(), true);
            searched[5] = searched[6] = false; // Examples, Notes
        }
        makeTable("Tagalog", kFields, entries_, std::nullopt, {}, searched);
        if (GetParam() == IndexKind::GramsOnly)
            tableFile().exec("DROP TABLE wk_search_texts;"
                             "DELETE FROM wk_table_info WHERE key = 'search_fields';"
                             "UPDATE wk_table_info SET value = '2' WHERE key = 'search_index'",
                             "making an index of an older engine");
    }

    std::string info(const std::string& key) const {
        SqliteDb f = tableFile();
        SqliteStatement st(f, "SELECT value FROM wk_table_info WHERE key = ?1", "reading");
        st.bindTextOrNull(1, key);
        return st.step() ? st.columnText(0) : "<none>";
    }

    // The marks of the index, as the kind of file has them.
    void expectMarks() const {
        const IndexKind kind = GetParam();
        EXPECT_EQ(info("search_index"), kind == IndexKind::GramsOnly ? "2" : "3");
        EXPECT_EQ(info("search_fields"), kind == IndexKind::GramsOnly      ? "<none>"
                                         : kind == IndexKind::WithoutNotes ? "0,1,2,3,4"
                                                                           : "0,1,2,3,4,5,6");
        SqliteDb f = tableFile();
        SqliteStatement st(f, "SELECT count(*) FROM sqlite_master WHERE name = 'wk_search_texts'",
                           "reading");
        st.step();
        EXPECT_EQ(st.columnInt(0), kind == IndexKind::GramsOnly ? 0 : 1);
    }

    void expectWindowSearchesAlike(const std::vector<std::string>& texts) {
        for (const std::string& text : texts) {
            expectSameResult(windowStatement(text));
            if (HasFatalFailure())
                return;
            // The window's statement names Examples, which an index without it cannot answer.
            const bool usable = text.size() < 900 && search::validUtf8(text);
            EXPECT_EQ(indexAnswers(windowStatement(text)),
                      usable && GetParam() != IndexKind::WithoutNotes)
                << text;
        }
        const std::string onIndexed = "SELECT * FROM Tagalog WHERE Upper(Tagalo) like '%BAHAY%' "
                                      "OR Upper(L2Definition) like '%A_A%'";
        expectSameResult(onIndexed);
        EXPECT_TRUE(indexAnswers(onIndexed));
        const std::string onNotes = "SELECT * FROM Tagalog WHERE Upper(Notes) like '%BAHAY%'";
        expectSameResult(onNotes);
        EXPECT_EQ(indexAnswers(onNotes), GetParam() != IndexKind::WithoutNotes);
    }
};

TEST_P(SearchTextsTest, SearchesAgreeWithTheStatementBeforeAndAfterEdits) {
    expectMarks();
    std::vector<std::string> texts = windowTexts(entries_);
    expectWindowSearchesAlike(texts);

    Table t;
    openTable(t, "Tagalog");
    t.moveTo(3);
    t.setFieldText("English", "zebra na bahay");
    t.setFieldText("Examples", "maganda ang bahay ng zebra");
    t.setFieldText("Notes", "zebra sa gabi");
    t.post();
    t.moveTo(7);
    t.setFieldText("Tagalo", "");
    t.setFieldText("L2Definition", "");
    t.post();
    t.moveTo(1500);
    t.setFieldText("L2Definition", "Bahay na ZEBRA ñ");
    t.post();
    t.moveTo(2400);
    t.deleteRecord();
    t.moveTo(1100);
    t.deleteRecord();
    t.append();
    t.setFieldText("Tagalo", "bagong bahay");
    t.setFieldText("Examples", "zebra araw");
    t.post();
    t.close();
    {
        SqliteDb f = tableFile();
        SqliteStatement st(f, "SELECT rowid FROM records WHERE L2Definition like 'Bahay na%'",
                           "reading");
        ASSERT_TRUE(st.step());
        EXPECT_GE(st.columnInt(0), 1024) << "an edit in a chunk beyond the first";
    }
    for (const char* text : {"ZEBRA", "BAHAY NA", "ZEBRA_", "BAGONG", "A ZEB", "Ñ"})
        texts.emplace_back(text);
    expectWindowSearchesAlike(texts);
    EXPECT_EQ(run(windowStatement("ZEBRA"), true).size(), 3u);
    EXPECT_EQ(run("SELECT * FROM Tagalog", true).size(), entries_.size() - 1);
    EXPECT_EQ(differences(), std::vector<Found>{});
    expectMarks();
}

INSTANTIATE_TEST_SUITE_P(Kinds, SearchTextsTest,
                         ::testing::Values(IndexKind::GramsAndTexts, IndexKind::GramsOnly,
                                           IndexKind::WithoutNotes),
                         [](const ::testing::TestParamInfo<IndexKind>& kind) {
                             return kind.param == IndexKind::GramsAndTexts ? "GramsAndTexts"s
                                    : kind.param == IndexKind::GramsOnly   ? "GramsOnly"s
                                                                           : "WithoutNotes"s;
                         });

// English holds the grams of BAHAY, but not the word, in 20 records of the second chunk and 3 of
// the third.
class ChunkTextsTest : public SearchFixture {
protected:
    static constexpr const char* kBahay =
        "SELECT Tagalo FROM Tagalog WHERE Upper(English) like '%BAHAY%'";

    void SetUp() override {
        SearchFixture::SetUp();
        for (int r = 1; r <= 2100; ++r) {
            const bool near = (r >= 1100 && r < 1120) || (r >= 2050 && r < 2053);
            entries_.push_back(
                {"salita " + std::to_string(r), near ? "bah aha hay" : "word", "", "", "", "", ""});
        }
        makeTable("Tagalog", kFields, entries_);
        expectSameResult(kBahay);
        EXPECT_TRUE(run(kBahay, true).empty());
    }

    // The stored English texts (field 1) of a chunk of 1,024 row ids, read and written behind
    // the engine's back.
    std::string storedTexts(std::int64_t chunk) const {
        SqliteDb f = tableFile();
        SqliteStatement st(f, "SELECT texts FROM wk_search_texts WHERE key = ?1", "reading");
        st.bind(1, chunk << 8 | 1);
        return st.step() ? std::string(st.columnBlob(0)) : std::string();
    }
    void store(std::int64_t chunk, const std::string& texts) const {
        SqliteDb f = tableFile();
        SqliteStatement st(f, "INSERT OR REPLACE INTO wk_search_texts VALUES (?1, ?2)", "forging");
        st.bind(1, chunk << 8 | 1);
        st.bindBlob(2, texts);
        st.run();
    }
};

TEST_F(ChunkTextsTest, ManyCandidatesAreCheckedAgainstTheStoredTextsAndFewByReadingTheRecords) {
    // One candidate of each chunk made to say BAHAY in the stored texts only.
    for (const std::int64_t rowId : {1105, 2051}) {
        std::string texts = storedTexts(rowId >> 10);
        ASSERT_TRUE(search::changeText(texts, search::positionOf(rowId), "BAHAY"sv));
        store(rowId >> 10, texts);
    }
    // The second chunk's 20 candidates are checked against its texts, which the search then
    // follows; the third chunk's three are read from the table.
    EXPECT_TRUE(indexAnswers(kBahay));
    EXPECT_EQ(run(kBahay, true), Rows{{"salita 1105"}});
    EXPECT_TRUE(run(kBahay, false).empty());
    EXPECT_EQ(differences(), (std::vector<Found>{{Kind::Field, 1105, 1}, {Kind::Field, 2051, 1}}));
}

TEST_F(ChunkTextsTest, StoredTextsAtAPositionBeyondTheBlockAreDamage) {
    BlockTextsWriter w;
    ASSERT_TRUE(search::forEachText(storedTexts(1),
                                    [&](std::uint16_t p, std::string_view t) { w.add(p, t); }));
    w.add(static_cast<std::uint16_t>(search::kBlockRows), "BAHAY");
    store(1, w.encode());
    EXPECT_FALSE(indexAnswers(kBahay));
    expectSameResult(kBahay);
    EXPECT_EQ(differences(), (std::vector<Found>{{Kind::Damaged, 0, 1}}));
}

TEST_F(ChunkTextsTest, MissingOrUnreadableStoredTextsAreDamageNotAnAnswer) {
    // The second chunk's texts gone: its 20 candidates hold the field, so the index is damaged,
    // and the statement as written answers.
    wk::testing::rawExec(tables() / "Tagalog.db",
                         "DELETE FROM wk_search_texts WHERE key = " + std::to_string(1 << 8 | 1));
    const std::string found =
        "SELECT Tagalo FROM Tagalog WHERE Upper(English) like '%BAH AHA HAY%'";
    EXPECT_FALSE(indexAnswers(found));
    EXPECT_EQ(run(found, true).size(), 23u);
    expectSameResult(found);

    // Texts that lack a candidate the grams have.
    makeTable("Tagalog", kFields, entries_);
    BlockTextsWriter w;
    ASSERT_TRUE(search::forEachText(storedTexts(1), [&](std::uint16_t p, std::string_view t) {
        if (p != search::positionOf(1105))
            w.add(p, t);
    }));
    store(1, w.encode());
    EXPECT_FALSE(indexAnswers(found));
    EXPECT_EQ(run(found, true).size(), 23u);

    // Texts that claim a record of another chunk.
    makeTable("Tagalog", kFields, entries_);
    BlockTextsWriter claiming;
    claiming.add(5, "BAH AHA HAY");
    ASSERT_TRUE(search::forEachText(
        storedTexts(1), [&](std::uint16_t p, std::string_view t) { claiming.add(p, t); }));
    store(1, claiming.encode());
    EXPECT_FALSE(indexAnswers(found));
    EXPECT_EQ(run(found, true).size(), 23u);
}

TEST_F(ChunkTextsTest, ABlockBeyondWhatTheIndexHoldsIsDamageInSearchesAndChecks) {
    const std::string found =
        "SELECT Tagalo FROM Tagalog WHERE Upper(English) like '%BAH AHA HAY%'";
    wk::testing::rawExec(tables() / "Tagalog.db",
                         "INSERT INTO wk_search_blocks VALUES (9223372036854775807, x'00');"
                         "INSERT INTO wk_search_postings VALUES (-1, x'00');"
                         "INSERT INTO wk_search_texts VALUES (9223372036854775807, x'00')");
    EXPECT_FALSE(indexAnswers(found));
    expectSameResult(found);
    // Reported without a row id (computing one would overflow), once per table of the index.
    const std::vector<Found> reported = differences();
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(std::get<0>(reported.front()), Kind::Damaged);
    EXPECT_EQ(std::get<1>(reported.front()), -1);
}

} // namespace
} // namespace wk::engine::test
