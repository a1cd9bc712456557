#include "EngineFixture.h"

#include "engine/sql/LocalSql.h"
#include "engine/sql/Query.h"
#include "engine/storage/Session.h"

namespace wk::engine::test {
namespace {

const std::vector<std::string> kFields = {"Tagalo",       "English",  "ActiveVerb", "PassiveVerb",
                                          "L2Definition", "Examples", "Notes"};

class LocalSqlTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        // Insertion order differs from alphabetical order on purpose.
        makeTable("Tagalog", kFields,
                  {
                      {"kaarawan", "birthday", "", "", "", "", ""},
                      {"araw", "sun; day", "", "", "", "Mainit ang araw.", ""},
                      {"buwan", "moon", "", "", "", "", "rhymes with araw"},
                      {"Parañaque", "a city", "", "", "", "", ""},
                      {"bayán", "town", "", "", "", "", ""},
                      {"", "", "", "", "", "", "a note and nothing else"},
                      {"tanghali", "noon", "", "", "katanghalian", "araw-araw", ""},
                      {"sabi", "he said \"yes\", don't", "magsabi", "sabihin", "", "", ""},
                      {"", "", "", "", "", "walang salita", ""},
                  });
    }

    /// The statement the dictionary window builds for a search text, as its lines.
    static std::vector<std::string> searchLines(const std::string& text) {
        const std::string pattern = "\"%" + text + "%\"";
        std::vector<std::string> lines = {"SELECT * FROM Tagalog"};
        for (size_t i = 0; i < 6; ++i)
            lines.push_back((i == 0 ? "WHERE Upper(" : "OR Upper(") + kFields[i] + ") like " +
                            pattern);
        return lines;
    }

    /// Opens `q` on the statement and returns the first field of every record, in order.
    std::vector<std::string> run(Query& q, const std::vector<std::string>& lines) {
        q.close();
        q.clearSql();
        q.setSessionName("Test");
        q.setDatabaseName(kAlias);
        for (const std::string& line : lines)
            q.addSql(line);
        q.open();
        std::vector<std::string> out;
        for (long long r = 0; r < q.recordCount(); ++r)
            out.push_back(q.valueAt(r, 0));
        return out;
    }

    std::vector<std::string> search(const std::string& text) {
        Query q;
        return run(q, searchLines(text));
    }

    std::vector<std::string> select(const std::string& statement) {
        Query q;
        return run(q, {statement});
    }

    Session session_{"Test"};
};

using Words = std::vector<std::string>;

TEST_F(LocalSqlTest, SearchFindsTheTextInAnyOfTheSixFieldsInTableOrder) {
    EXPECT_EQ(search("ARAW"), (Words{"kaarawan", "araw", "tanghali"}));
    EXPECT_EQ(search("MAGSABI"), Words{"sabi"});
    EXPECT_EQ(search("KATANGHALIAN"), Words{"tanghali"});
    EXPECT_EQ(search("NOTE"), Words{}) << "Notes is not searched";
    EXPECT_EQ(search("RHYMES"), Words{});
}

TEST_F(LocalSqlTest, UpperHandlesLettersBeyondAscii) {
    EXPECT_EQ(search("PARAÑAQUE"), Words{"Parañaque"});
    EXPECT_EQ(search("BAYÁN"), Words{"bayán"});
    EXPECT_EQ(search("BAYAN"), Words{});
    EXPECT_EQ(select("SELECT Upper(Tagalo), Upper(English) FROM Tagalog WHERE English = \"town\""),
              Words{"BAYÁN"});
}

TEST_F(LocalSqlTest, WildcardsMatchPerCharacter) {
    EXPECT_EQ(search("PARA_AQUE"), Words{"Parañaque"}) << "one _ stands for the one letter ñ";
    EXPECT_EQ(search("PARA__AQUE"), Words{});
    EXPECT_EQ(search("BAY_N"), Words{"bayán"});
    EXPECT_EQ(search("K%N"), (Words{"kaarawan", "tanghali"}));
    EXPECT_EQ(search(""),
              (Words{"kaarawan", "araw", "buwan", "Parañaque", "bayán", "tanghali", "sabi", ""}))
        << "an empty search lists every record with text in one of the six fields";
}

TEST_F(LocalSqlTest, QuotesInsideTexts) {
    EXPECT_EQ(search("\"\"YES\"\""), Words{"sabi"}) << "a doubled quote stands for one";
    EXPECT_EQ(search("DON'T"), Words{"sabi"});
    EXPECT_EQ(select("SELECT Tagalo FROM Tagalog WHERE English = 'he said \"yes\", don''t'"),
              Words{"sabi"});
    for (const std::string text : {"\"", "A\"B", "ARAW\""}) {
        const EngineError e = engineErrorOf([&] { search(text); });
        EXPECT_EQ(e.code(), ErrorCode::InvalidSql) << "search text " << text << ": " << e.what();
    }
}

TEST_F(LocalSqlTest, OnlyReadingStatementsAreRun) {
    const fs::path file = tables() / "Tagalog.db";
    const std::string before = readBytes(file);
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"DELETE FROM Tagalog", "only SELECT"},
        {"DROP TABLE Tagalog", "only SELECT"},
        {"UPDATE Tagalog SET English = \"x\"", "only SELECT"},
        {"PRAGMA writable_schema = 1", "only SELECT"},
        {"ATTACH \"" + file.string() + "\" AS other", "only SELECT"},
        {"SELECT 1; DELETE FROM Tagalog", "one statement"},
        {"SELECT * FROM Tagalog; DROP TABLE Tagalog;", "one statement"},
        {"   ", "empty"},
    };
    for (const auto& [statement, why] : refused) {
        const EngineError e = engineErrorOf([&] { select(statement); });
        EXPECT_EQ(e.code(), ErrorCode::InvalidSql) << statement;
        EXPECT_NE(std::string(e.what()).find(why), std::string::npos)
            << statement << ": " << e.what();
    }
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(select("SELECT count(*) FROM Tagalog;"), Words{"9"});
}

TEST_F(LocalSqlTest, UnknownFieldOrTableIsNamed) {
    const EngineError field =
        engineErrorOf([&] { select("SELECT * FROM Tagalog WHERE Upper(Tagalogg) like \"%A%\""); });
    EXPECT_EQ(field.code(), ErrorCode::NotFound);
    EXPECT_NE(std::string(field.what()).find("Tagalogg"), std::string::npos) << field.what();

    const EngineError table = engineErrorOf([&] { select("SELECT * FROM Ingles"); });
    EXPECT_EQ(table.code(), ErrorCode::NotFound);
    EXPECT_NE(std::string(table.what()).find("Ingles"), std::string::npos) << table.what();
}

TEST_F(LocalSqlTest, QuotedTableNameWithExtension) {
    makeTable("Internet.db", {"Name", "URL"},
              {{"Diksiyonaryo", "https://example.org/d"}, {"Balita", "https://example.org/b"}});
    Query q;
    EXPECT_EQ(run(q, {"SELECT URL, Name FROM \"Internet.db\""}),
              (Words{"https://example.org/d", "https://example.org/b"}));
    EXPECT_EQ(q.fieldNames(), (Words{"URL", "Name"}));
    EXPECT_EQ(select("SELECT Name FROM \"Internet.db\" WHERE URL like \"%/b\""), Words{"Balita"});
}

TEST_F(LocalSqlTest, OrderingGroupingAndJoins) {
    makeTable("Groups", {"Tagalo", "Kind"}, {{"araw", "noun"}, {"sabi", "verb"}});
    EXPECT_EQ(select("SELECT g.Kind, t.English FROM Tagalog t JOIN Groups g ON g.Tagalo = "
                     "t.Tagalo ORDER BY g.Kind DESC"),
              (Words{"verb", "noun"}));
    EXPECT_EQ(select("SELECT DISTINCT Notes FROM Tagalog WHERE Notes IS NOT NULL ORDER BY Notes"),
              (Words{"a note and nothing else", "rhymes with araw"}));
    EXPECT_EQ(
        select("SELECT English, Tagalo FROM Tagalog WHERE Notes IS NULL ORDER BY 2"),
        (Words{"", "a city", "sun; day", "town", "birthday", "he said \"yes\", don't", "noon"}));
    EXPECT_EQ(
        select("SELECT English FROM Tagalog WHERE Notes IS NULL ORDER BY 1 DESC"),
        (Words{"town", "sun; day", "noon", "he said \"yes\", don't", "birthday", "a city", ""}));
    EXPECT_EQ(select("SELECT Tagalo FROM Tagalog WHERE Tagalo <> \"\" ORDER BY Tagalo DESC"),
              (Words{"tanghali", "sabi", "kaarawan", "buwan", "bayán", "araw", "Parañaque"}));
}

TEST_F(LocalSqlTest, TableAliasesQuotedOrNotAndWithOrWithoutAs) {
    for (const std::string from : {"Tagalog AS \"T\"", "Tagalog AS 'T'", "Tagalog AS T",
                                   "Tagalog T", "Tagalog \"T\"", "Tagalog as [T]"}) {
        SCOPED_TRACE(from);
        EXPECT_EQ(select("SELECT T.Tagalo FROM " + from + " WHERE T.English = \"moon\""),
                  Words{"buwan"});
        EXPECT_EQ(select("SELECT Tagalo, T.English FROM " + from +
                         " WHERE Upper(T.Notes) like \"%ARAW%\" OR Tagalo = \"sabi\""),
                  (Words{"buwan", "sabi"}));
        EXPECT_EQ(select("SELECT T.Tagalo FROM " + from +
                         " WHERE T.Tagalo like \"%a_a%\" ORDER BY T.Tagalo DESC"),
                  (Words{"kaarawan", "araw", "Parañaque"}));
    }
    EXPECT_EQ(select("SELECT [The words].Tagalo FROM Tagalog AS \"The words\" WHERE "
                     "[The words].English = 'town'"),
              Words{"bayán"});
    makeTable("Groups", {"Tagalo", "Kind"}, {{"araw", "noun"}, {"sabi", "verb"}});
    EXPECT_EQ(select("SELECT g.Kind FROM Tagalog AS \"t\" JOIN Groups \"g\" ON g.Tagalo = "
                     "t.Tagalo WHERE t.English <> \"x\" ORDER BY 1"),
              (Words{"noun", "verb"}));
    // A double-quoted text elsewhere is still a text, even when it looks like the alias.
    EXPECT_EQ(select("SELECT \"T\" FROM Tagalog AS \"T\" WHERE English = \"moon\""), Words{"T"});
}

TEST_F(LocalSqlTest, DictionarySearchIsLeftToTheIndexWithOrWithoutAnAlias) {
    const auto translated = [](const std::string& statement) {
        return translateSelect(statement, [](const std::string&) { return "\"t1\".records"; });
    };
    std::string search;
    for (const std::string& line : searchLines("ARAW"))
        search += line + "\n";
    const size_t fromAt = search.find("FROM Tagalog") + 12;
    for (const std::string alias : {"", " AS \"T\"", " T"}) {
        SCOPED_TRACE(alias);
        const std::string statement = search.substr(0, fromAt) + alias + search.substr(fromAt);
        const TranslatedSelect sel = translated(statement);
        EXPECT_TRUE(sel.singleTable);
        ASSERT_EQ(sel.indexable.likeTerms.size(), 6u);
        EXPECT_EQ(sel.indexable.likeTerms[1].field, "English");
        EXPECT_EQ(sel.indexable.likeTerms[1].pattern, "%ARAW%");
        EXPECT_EQ(select(statement), (Words{"kaarawan", "araw", "tanghali"}));
    }
}

} // namespace
} // namespace wk::engine::test
