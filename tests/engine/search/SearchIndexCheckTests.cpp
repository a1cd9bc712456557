// The stored search index and lookup keys compared with the records they stand for, and made
// anew from them.

#include "SearchFixture.h"

#include "common/PlainSqlite.h"

#include "engine/base/Sqlite.h"
#include "engine/search/BlockTexts.h"
#include "engine/search/PostingBlock.h"
#include "engine/search/SearchIndex.h"
#include "engine/search/SearchIndexCheck.h"
#include "engine/sql/Query.h"
#include "engine/sql/Table.h"
#include "engine/storage/Database.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFiles.h"
#include "engine/tagalog/LookupIndex.h"

#include <sqlite3.h>

#include <tuple>

namespace wk::engine::test {
namespace {

using search::IndexDifference;
using Kind = IndexDifference::Kind;

const std::vector<std::string> kWordFields = {"Tagalo", "English", "Notes"};

// The stored set of the English field's gram "SUN" in the first block, as an SQL expression.
const std::string kSunKey = "((1 << 32) | (3 << 24) | (unicode('S') << 16) | (unicode('U') << 8) | "
                            "unicode('N'))";

Rows words() {
    Rows rows = {{"araw", "sun; day", "Also a day of the week's name."},
                 {"Linggo", "Sunday; week", ""}};
    for (int i = 3; i <= 40; ++i)
        rows.push_back({"salita " + std::to_string(i), "word " + std::to_string(i),
                        i % 3 ? "" : "note " + std::to_string(i)});
    return rows;
}

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out = "X'";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out + "'";
}

class SearchIndexCheckTest : public SearchFixture {
protected:
    void SetUp() override {
        SearchFixture::SetUp();
        checked_ = "Words";
        makeTable("Words", kWordFields, words());
    }

    using SearchFixture::table;
    const FileTable& table() { return table(checked_); }

    /// Runs `sql` on a table file through a plain SQLite connection, as another program would.
    void forge(const std::string& sql, const std::string& name = "Words") const {
        wk::testing::rawExec(tables() / (name + ".db"), sql);
    }

    /// The Tagalo of the records `where` selects.
    std::vector<std::string> found(const std::string& where) {
        Query q;
        openQuery(q, "SELECT Tagalo FROM Words WHERE " + where);
        std::vector<std::string> out;
        for (; !q.eof(); q.next())
            out.push_back(q.fieldAsText("Tagalo"));
        return out;
    }
};

TEST_F(SearchIndexCheckTest, AnIndexKeptInStepByTheEngineHasNoDifferences) {
    EXPECT_EQ(differences(), std::vector<Found>{});
    Table t;
    openTable(t, "Words");
    t.edit();
    t.setFieldText("English", "the sun");
    t.setFieldText("Notes", "");
    t.post();
    t.append();
    t.setFieldText("Tagalo", "buwan");
    t.setFieldText("English", "moon");
    t.post();
    t.next();
    t.deleteRecord();
    t.close();
    EXPECT_TRUE(inStep());
    EXPECT_EQ(differences(), std::vector<Found>{});
}

TEST_F(SearchIndexCheckTest, DifferencesAreFoundRecordByRecord) {
    std::vector<std::uint16_t> present;
    for (std::uint16_t p = 1; p <= 40; ++p)
        if (p != 5)
            present.push_back(p);
    // SUN said of row id 0, which is no record, instead of records 1 and 2; record 5 left out of
    // its block; a stored set of the Tagalo field that is no stored set at all.
    forge("UPDATE wk_search_postings SET rows = " + hex(search::encodePositions({0})) +
          " WHERE key = " + kSunKey +
          "; UPDATE wk_search_blocks SET rows = " + hex(search::encodePositions(present)) +
          " WHERE block = 0; UPDATE wk_search_postings SET rows = X'FFFFFFFF' WHERE key = "
          "(1 << 24) | (unicode('A') << 16)");
    EXPECT_TRUE(inStep());
    EXPECT_NE(found("Upper(English) like \"%SUN%\""), (std::vector<std::string>{"araw", "Linggo"}))
        << "the damage changes what a search finds";
    EXPECT_EQ(differences(), (std::vector<Found>{{Kind::Damaged, 0, 0},
                                                 {Kind::Field, 0, 1},
                                                 {Kind::Field, 1, 1},
                                                 {Kind::Field, 2, 1},
                                                 {Kind::Missing, 5, -1}}));
}

TEST_F(SearchIndexCheckTest, DamagedTextsAreFoundRecordByRecord) {
    // The stored English texts (field 1) of the first 1,024 row ids.
    std::string texts;
    {
        SqliteDb file((tables() / "Words.db").string(), SqliteDb::Mode::ReadOnly);
        SqliteStatement st(file, "SELECT texts FROM wk_search_texts WHERE key = 1", "reading");
        ASSERT_TRUE(st.step());
        texts = st.columnBlob(0);
    }
    // Linggo's text (record 2) says MOON, record 3's is gone; the Notes (field 2) are no stored
    // form at all. The records are as they were.
    ASSERT_TRUE(search::changeText(texts, 2, std::string_view("MOON")));
    ASSERT_TRUE(search::changeText(texts, 3, std::nullopt));
    forge("UPDATE wk_search_texts SET texts = " + hex(texts) +
          " WHERE key = 1; UPDATE wk_search_texts SET texts = X'0509' WHERE key = 2");
    EXPECT_TRUE(inStep());
    EXPECT_EQ(differences(), (std::vector<Found>{
                                 {Kind::Damaged, 0, 2}, {Kind::Field, 2, 1}, {Kind::Field, 3, 1}}));
}

TEST_F(SearchIndexCheckTest, RebuildMendsTheIndexInsideTheCallersTransaction) {
    forge("UPDATE wk_search_postings SET rows = " + hex(search::encodePositions({0})) +
          " WHERE key = " + kSunKey);
    const FileTable& t = table();
    SqliteDb& c = db().connection();
    c.exec("BEGIN", "test");
    EXPECT_TRUE(search::rebuildIndex(c, t.schema, t.fields.size()));
    c.exec("ROLLBACK", "test");
    EXPECT_EQ(differences().size(), 3u) << "rolled back with the caller's transaction";

    EXPECT_TRUE(search::rebuildIndex(c, t.schema, t.fields.size()));
    EXPECT_TRUE(inStep());
    EXPECT_EQ(differences(), std::vector<Found>{});
    EXPECT_EQ(found("Upper(English) like \"%SUN%\""), (std::vector<std::string>{"araw", "Linggo"}));
}

TEST_F(SearchIndexCheckTest, ADamagedListOfIndexedFieldsNeitherBlocksChangesNorRebuild) {
    forge("UPDATE wk_table_info SET value = '0,x' WHERE key = 'search_fields'");
    Table t;
    openTable(t, "Words");
    t.setFieldText("English", "the moon");
    t.post();
    t.close();
    EXPECT_FALSE(inStep()) << "the change retires the index";
    EXPECT_EQ(found("Upper(English) like \"%MOON%\""), std::vector<std::string>{"araw"});

    const FileTable& h = table();
    EXPECT_TRUE(search::rebuildIndex(db().connection(), h.schema, h.fields.size()));
    EXPECT_EQ(search::indexedFields(db().connection(), h.schema, h.fields.size()),
              std::vector<bool>(h.fields.size(), true));
    EXPECT_EQ(differences(), std::vector<Found>{});
}

TEST_F(SearchIndexCheckTest, ATableWithAnEmptyTextThatIsNotBlankGoesWithoutIndex) {
    // Another program's empty text, with the index marked in step again: the index cannot tell
    // it from a blank field, which `like "%"` does not match.
    forge("UPDATE records SET Notes = '' WHERE rowid = 2;"
          "UPDATE wk_table_info SET value = '2' WHERE key = 'search_index'");
    EXPECT_EQ(differences(), (std::vector<Found>{{Kind::Field, 2, 2}}));
    const FileTable& t = table();
    EXPECT_FALSE(search::rebuildIndex(db().connection(), t.schema, t.fields.size()));
    EXPECT_FALSE(inStep());
    EXPECT_EQ(found("Upper(Notes) like \"%\"").size(), 15u); // araw's, 13 others, the empty one
}

TEST_F(SearchIndexCheckTest, LookupKeysAreComparedKeyByKey) {
    makeTable("Tagalog", {"Tagalo", "ActiveVerb", "PassiveVerb", "English"},
              {{"araw", "", "", "sun"}, {"kain", "kumain", "kainin", "to eat"}});
    const FileTable& t = table("Tagalog");
    SqliteDb& c = db().connection();
    ASSERT_TRUE(tagalog::buildLookupIndex(c, t.schema));
    auto compare = [&] {
        std::vector<std::tuple<tagalog::KeyKind, std::string, std::int64_t, bool>> out;
        tagalog::compareLookupIndex(c, t.schema, [&](const tagalog::LookupDifference& d) {
            out.emplace_back(d.kind, d.key, d.rowId, d.missing);
        });
        return out;
    };
    EXPECT_TRUE(compare().empty());

    forge("DELETE FROM wk_lookup WHERE key = 'kain' AND kind = 0;"
          "INSERT INTO wk_lookup VALUES ('kanin', 0, 2), ('eat', 3, 1)",
          "Tagalog");
    EXPECT_TRUE(tagalog::lookupIndexInStep(c, t.schema));
    using tagalog::KeyKind;
    EXPECT_EQ(compare(), (std::vector<std::tuple<KeyKind, std::string, std::int64_t, bool>>{
                             {KeyKind::Headword, "kain", 2, true},
                             {KeyKind::Headword, "kanin", 2, false},
                             {KeyKind::EnglishWord, "eat", 1, false}}));
    tagalog::retireLookupIndex(c, t.schema);
    EXPECT_FALSE(tagalog::lookupIndexInStep(c, t.schema));

    ASSERT_TRUE(tagalog::buildLookupIndex(c, t.schema));
    EXPECT_TRUE(tagalog::lookupIndexInStep(c, t.schema));
    EXPECT_TRUE(compare().empty());
}

} // namespace
} // namespace wk::engine::test
