#include "EngineFixture.h"

#include "engine/sql/Query.h"
#include "engine/sql/Table.h"
#include "engine/storage/Session.h"

namespace wk::engine::test {
namespace {

using Words = std::vector<std::string>;

class DatasetTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        makeTable("Phrases", {"Phrase", "English", "Group"},
                  {
                      {"Kumain ka na?", "Have you eaten?", "Food"},
                      {"Magandang umaga", "Good morning", "Greetings"},
                      {"Masarap!", "Delicious!", "Food"},
                      {"Salamat", "Thank you", "Greetings"},
                      {"Ayoko ng 'bagoong'", "I don't like shrimp paste", "Food's"},
                      {"Busog na ako", "I am full", "Food"},
                  });
    }

    static void attach(Dataset& d, const std::string& name) {
        d.setName(name);
        d.setSessionName("Test");
        d.setDatabaseName(kAlias);
    }
    static void attach(Table& t, const std::string& name, const std::string& table) {
        attach(t, name);
        t.setTableName(table);
    }

    /// The field of every record, walking the dataset the usual way.
    static Words walk(Dataset& d, const std::string& field) {
        Words out;
        for (d.first(); !d.eof(); d.next())
            out.push_back(d.fieldAsText(field));
        return out;
    }

    /// What the table file holds now, read through a fresh query.
    static Words stored(const std::string& field,
                        const std::string& sql = "SELECT * FROM Phrases") {
        Query q;
        attach(q, "Check");
        q.addSql(sql);
        q.open();
        return walk(q, field);
    }

    Session session_{"Test"};
};

TEST_F(DatasetTest, QueryHeldAsLinesAndNavigated) {
    Query q;
    attach(q, "Query1");
    q.addSql("SELECT Phrase, English");
    q.addSql("FROM Phrases");
    q.addSql("WHERE [Group] = \"Food\"");
    EXPECT_EQ(q.sqlText(), "SELECT Phrase, English\nFROM Phrases\nWHERE [Group] = \"Food\"");
    q.open();
    q.open();
    ASSERT_TRUE(q.active());
    EXPECT_EQ(q.recordCount(), 3);
    EXPECT_EQ(q.recNo(), 0);
    EXPECT_TRUE(q.bof());
    EXPECT_FALSE(q.eof());
    EXPECT_EQ(q.fieldAsText("phrase"), "Kumain ka na?");
    q.next();
    EXPECT_EQ(q.fieldAsText("Phrase"), "Masarap!");
    EXPECT_FALSE(q.bof());
    q.last();
    EXPECT_EQ(q.fieldAsText("Phrase"), "Busog na ako");
    EXPECT_TRUE(q.eof());
    q.next();
    EXPECT_EQ(q.recNo(), 2);
    q.prior();
    EXPECT_EQ(q.fieldAsText("English"), "Delicious!");
    EXPECT_FALSE(q.eof());
    q.first();
    q.prior();
    EXPECT_EQ(q.recNo(), 0);
    EXPECT_TRUE(q.bof());
    EXPECT_EQ(walk(q, "Phrase"), (Words{"Kumain ka na?", "Masarap!", "Busog na ako"}));

    q.clearSql();
    EXPECT_FALSE(q.active());
    EXPECT_TRUE(q.sql().empty());
    q.close();
    EXPECT_EQ(q.recordCount(), 0);

    q.addSql("SELECT * FROM Phrases WHERE English = \"nothing\"");
    q.open();
    EXPECT_EQ(q.recordCount(), 0);
    EXPECT_EQ(q.recNo(), -1);
    EXPECT_TRUE(q.eof() && q.bof());
    EXPECT_EQ(q.fieldAsText("Phrase"), "");
}

TEST_F(DatasetTest, UnknownFieldIsNamedWithTheDataset) {
    Table t;
    attach(t, "Table1", "Phrases");
    for (bool open : {false, true, false}) {
        if (open)
            t.open();
        else
            t.close();
        const EngineError e = engineErrorOf([&] { t.fieldAsText("URL"); });
        EXPECT_EQ(e.code(), ErrorCode::NotFound);
        EXPECT_EQ(std::string(e.what()), "Table1: Field 'URL' not found");
    }
    EXPECT_THROW(t.fieldAsText("Phrase"), EngineError) << "a closed table has no fields";
    t.open();
    EXPECT_THROW(t.setFieldText("URL", "x"), EngineError);
    EXPECT_EQ(t.state(), DatasetState::Browse);
}

TEST_F(DatasetTest, FilterOnAFieldNamedLikeAKeyword) {
    Table t;
    attach(t, "Table1", "Phrases");
    t.setFilter("Group='Food'");
    t.setFiltered(true);
    t.open();
    EXPECT_EQ(walk(t, "Phrase"), (Words{"Kumain ka na?", "Masarap!", "Busog na ako"}));
    t.setFilter("  Group = 'Greetings' ");
    EXPECT_EQ(walk(t, "Phrase"), (Words{"Magandang umaga", "Salamat"}));
    t.setFilter("Group='Food''s'");
    EXPECT_EQ(walk(t, "Phrase"), Words{"Ayoko ng 'bagoong'"});
    t.setFilter("Phrase='Ayoko ng ''bagoong'''");
    EXPECT_EQ(t.recordCount(), 1);
    t.setFiltered(false);
    EXPECT_EQ(t.recordCount(), 6);
}

TEST_F(DatasetTest, MalformedFilterIsRefused) {
    Table t;
    attach(t, "Table1", "Phrases");
    t.setFiltered(true);
    for (const std::string filter : {"Group=Food", "Group='Food", "='Food'", "Group='Food' x"}) {
        t.setFilter(filter);
        const EngineError e = engineErrorOf([&] { t.open(); });
        EXPECT_EQ(e.code(), ErrorCode::InvalidFilter) << filter << ": " << e.what();
        EXPECT_FALSE(t.active());
    }
    t.setFilter("Topic='Food'");
    const EngineError e = engineErrorOf([&] { t.open(); });
    EXPECT_EQ(e.code(), ErrorCode::NotFound);
    EXPECT_EQ(std::string(e.what()), "Table1: Field 'Topic' not found");
}

TEST_F(DatasetTest, ChangeIsPostedWhenTheRecordMovesAndDroppedWhenTheTableCloses) {
    Table t;
    attach(t, "Table1", "Phrases");
    t.open();
    t.setFieldText("English", "Have you eaten yet?");
    EXPECT_EQ(t.state(), DatasetState::Edit);
    EXPECT_EQ(t.fieldAsText("English"), "Have you eaten yet?");
    EXPECT_EQ(stored("English")[0], "Have you eaten?") << "not written before it is posted";
    t.next();
    EXPECT_EQ(t.state(), DatasetState::Browse);
    EXPECT_EQ(t.fieldAsText("English"), "Good morning");
    EXPECT_EQ(stored("English")[0], "Have you eaten yet?");

    t.setFieldText("Phrase", "Magandang gabi");
    t.close();
    EXPECT_EQ(stored("Phrase")[1], "Magandang umaga");
    t.open();
    EXPECT_EQ(t.state(), DatasetState::Browse);
    t.setFieldText("Phrase", "Paalam");
    t.cancel();
    EXPECT_EQ(t.fieldAsText("Phrase"), "Kumain ka na?");
    t.next();
    EXPECT_EQ(stored("Phrase")[0], "Kumain ka na?");
}

TEST_F(DatasetTest, AppendPostAndDelete) {
    makeTable("Empty", {"Phrase", "English"}, {});
    Table t;
    attach(t, "Table1", "Empty");
    t.open();
    t.append();
    EXPECT_EQ(t.recordCount(), 1);
    t.setFieldText("Phrase", "Oo");
    t.setFieldText("English", "");
    t.post();
    t.append();
    t.setFieldText("Phrase", "Hindi");
    t.setFieldText("English", "No");
    t.post();
    t.append();
    t.setFieldText("Phrase", "never posted");
    t.cancel();
    EXPECT_EQ(t.recordCount(), 2);
    t.close();
    EXPECT_EQ(stored("Phrase", "SELECT * FROM Empty"), (Words{"Oo", "Hindi"}));
    EXPECT_EQ(stored("Phrase", "SELECT * FROM Empty WHERE English IS NULL"), Words{"Oo"})
        << "an empty text is stored as NULL";

    t.open();
    t.deleteRecord();
    EXPECT_EQ(t.fieldAsText("Phrase"), "Hindi");
    t.deleteRecord();
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_TRUE(t.eof() && t.bof()) << "no records left";
    EXPECT_THROW(t.deleteRecord(), EngineError);
    EXPECT_EQ(stored("Phrase", "SELECT * FROM Empty"), Words{});

    Table p;
    attach(p, "Table2", "Phrases");
    p.open();
    p.moveTo(2);
    p.deleteRecord();
    EXPECT_EQ(p.fieldAsText("Phrase"), "Salamat");
    EXPECT_EQ(stored("Phrase"), (Words{"Kumain ka na?", "Magandang umaga", "Salamat",
                                       "Ayoko ng 'bagoong'", "Busog na ako"}));
}

struct Recorder : DatasetObserver {
    std::vector<DatasetEvent> events;
    void datasetEvent(Dataset&, DatasetEvent event) override { events.push_back(event); }
    void datasetDestroyed(Dataset&) override {}
};

TEST_F(DatasetTest, ObserversFollowTheDataset) {
    using E = DatasetEvent;
    Query q;
    attach(q, "Query1");
    q.addSql("SELECT * FROM Phrases");
    Recorder r;
    q.addObserver(&r);
    q.addObserver(&r);
    q.open();
    q.open();
    q.next();
    q.last();
    q.next(); // already at the last record: nothing moves
    q.close();
    q.close();
    EXPECT_EQ(r.events, (std::vector<E>{E::Opened, E::RecordMoved, E::RecordMoved, E::Closed}));
    q.removeObserver(&r);
    q.open();
    EXPECT_EQ(r.events.size(), 4u);

    r.events.clear();
    Table t;
    attach(t, "Table1", "Phrases");
    t.open();
    t.addObserver(&r);
    t.setFieldText("English", "x");
    t.post();
    EXPECT_EQ(r.events,
              (std::vector<E>{E::StateChanged, E::FieldChanged, E::StateChanged, E::DataChanged}));
}

TEST_F(DatasetTest, LargeTableOpensAsAQuery) {
    constexpr long long kRows = 200000;
    Rows rows;
    for (long long i = 0; i < kRows; ++i)
        rows.push_back({"salita" + std::to_string(i), std::to_string(i * 7)});
    makeTable("Big", {"Word", "Number"}, rows);
    Query q;
    attach(q, "Query1");
    q.addSql("SELECT * FROM Big");
    q.open();
    EXPECT_EQ(q.recordCount(), kRows);
    EXPECT_EQ(q.valueAt(kRows - 1, 0), "salita199999");
    EXPECT_EQ(q.valueAt(kRows - 1, 1), std::to_string((kRows - 1) * 7));
    q.moveTo(123456);
    EXPECT_EQ(q.fieldAsText("Number"), std::to_string(123456 * 7));
}

} // namespace
} // namespace wk::engine::test
