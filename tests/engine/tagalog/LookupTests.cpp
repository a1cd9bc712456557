// The learner's lookup over real table files: ranking, roots, stress marks, spellings, the keys
// kept in the file against the keys read from the records, and odd input.

#include "EngineFixture.h"
#include "tagalog/BundledDictionary.h"

#include "engine/base/Sqlite.h"
#include "engine/sql/Table.h"
#include "engine/storage/Database.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFiles.h"
#include "engine/tagalog/Lookup.h"
#include "engine/tagalog/LookupIndex.h"
#include "engine/tagalog/SpellChecker.h"
#include "engine/tagalog/Spelling.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace wk::engine::test {
namespace {

using namespace tagalog;

const std::vector<std::string> kFields = {"Tagalo",       "ActiveVerb", "PassiveVerb", "English",
                                          "L2Definition", "Examples",   "Notes"};

// Table order matters: entries that only mention a word come before its own entry.
const Rows kWords = {
    {"alon", "", "", "wave", "", "Malamig ang tubig sa alon. — The water in the wave is cold.", ""},
    {"kainan", "", "", "eatery; feast", "", "", ""},
    {"tubigan", "", "", "watering place", "", "", ""},
    {"tubig", "", "", "water", "", "", ""},
    {"kain", "kumain", "kainin", "to eat", "Pagsubo at paglunok ng pagkain.",
     "Kumain ka na? — Have you eaten?", ""},
    {"bahay", "", "", "house, home", "", "", ""},
    {"Niño", "", "", "child (as a name)", "", "", ""},
    {"kumusta", "", "", "how are you, hello", "", "", ""},
    {"luto", "magluto", "lutuin", "to cook", "", "", ""},
    {"inom", "uminom", "inumin", "to drink", "", "Uminom ka ng tubig. — Drink water.", ""},
    {"salamat", "", "", "thank you", "", "", ""},
    {"bukas", "", "", "tomorrow", "", "", "Stress: búkas (tomorrow)."},
    {"bukas", "", "", "open", "", "", "Stress: bukás (open). Also a verb root."},
};

class LookupTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        makeTable("Tagalog", kFields, kWords);
        makeTable("Variants", {"variant", "headword"},
                  {{"kamusta", "kumusta"}, {"musta", "kumusta"}});
    }

    TableFiles& db() {
        static int n = 0;
        session_ = std::make_unique<Session>("Lookup" + std::to_string(++n));
        return requireTableFiles(session_->database(kAlias), "The test");
    }

    void buildKeys() {
        TableFiles& d = db();
        ASSERT_TRUE(buildLookupIndex(d.connection(), d.fileTable("Tagalog").schema));
    }

    // An import makes the keys; without them the lookup reads the records.
    void retireKeys() {
        TableFiles& d = db();
        retireLookupIndex(d.connection(), d.fileTable("Tagalog").schema);
    }

    // Headword and how, for each entry found.
    static std::vector<std::pair<std::string, MatchKind>>
    found(Lookup& lookup, const std::string& word, size_t limit = 10) {
        std::vector<std::pair<std::string, MatchKind>> out;
        for (const LookupEntry& e : lookup.find(word, limit))
            out.emplace_back(e.fields[0], e.match);
        return out;
    }

    std::unique_ptr<Session> session_;
};

TEST_F(LookupTest, RanksTheHeadwordFirstThenPrefixesThenOtherFieldsInTableOrder) {
    Lookup lookup(db());
    const auto tubig = found(lookup, "tubig");
    ASSERT_EQ(tubig.size(), 4u);
    EXPECT_EQ(tubig[0], std::make_pair(std::string("tubig"), MatchKind::Headword));
    EXPECT_EQ(tubig[1], std::make_pair(std::string("tubigan"), MatchKind::HeadwordPrefix));
    EXPECT_EQ(tubig[2], std::make_pair(std::string("alon"), MatchKind::OtherField));
    EXPECT_EQ(tubig[3], std::make_pair(std::string("inom"), MatchKind::OtherField));
    EXPECT_EQ(found(lookup, "TUBIG", 1),
              (std::vector{std::make_pair(std::string("tubig"), MatchKind::Headword)}));
    // A whole English word ranks above the same letters inside another word.
    const auto eat = found(lookup, "eat");
    ASSERT_GE(eat.size(), 2u);
    EXPECT_EQ(eat[0], std::make_pair(std::string("kain"), MatchKind::EnglishWord));
    EXPECT_EQ(eat[1], std::make_pair(std::string("kainan"), MatchKind::OtherField));
}

TEST_F(LookupTest, InflectedVerbsFindTheirRootAndStressMarksAreIgnored) {
    Lookup lookup(db());
    for (const char* word : {"kinain", "kumakain", "kakain", "kinakain"}) {
        const std::vector<LookupEntry> e = lookup.find(word, 3);
        ASSERT_FALSE(e.empty()) << word;
        EXPECT_EQ(e[0].fields[0], "kain") << word;
        EXPECT_EQ(e[0].match, MatchKind::Root) << word;
    }
    EXPECT_EQ(lookup.find("kinain", 1)[0].how, "root of KINAIN");
    EXPECT_EQ(found(lookup, "nagluto", 1)[0].first, "luto");
    EXPECT_EQ(found(lookup, "inumin", 1)[0].first, "inom");
    for (const char* word : {"báhay", "BÁHAY", "salámat", "Salâmat"})
        EXPECT_EQ(found(lookup, word, 1),
                  (std::vector{std::make_pair(plainSpelling(word), MatchKind::Headword)}))
            << word;
    EXPECT_EQ(found(lookup, "kumáin", 1)[0].first, "kain");

    // Of two homographs, the stressed spelling typed picks its own entry first.
    EXPECT_EQ(lookup.find("bukás", 1)[0].fields[3], "open");
    EXPECT_EQ(lookup.find("BÚKAS", 1)[0].fields[3], "tomorrow");
    EXPECT_EQ(lookup.find("bukas", 2)[1].fields[3], "open");
}

TEST_F(LookupTest, VariantsAndTheTildeFindTheirEntries) {
    Lookup lookup(db());
    EXPECT_EQ(found(lookup, "kamusta", 1),
              (std::vector{std::make_pair(std::string("kumusta"), MatchKind::Variant)}));
    EXPECT_EQ(found(lookup, "nino", 1),
              (std::vector{std::make_pair(std::string("Niño"), MatchKind::AccentFree)}));
    EXPECT_EQ(found(lookup, "NIÑO", 1),
              (std::vector{std::make_pair(std::string("Niño"), MatchKind::Headword)}));

    // Without a table of variants the lookup still works, and finds no variant.
    std::filesystem::remove(tables() / "Variants.db");
    Lookup without(db());
    EXPECT_TRUE(found(without, "kamusta").empty());
    EXPECT_EQ(found(without, "kumusta", 1)[0].first, "kumusta");
}

TEST_F(LookupTest, KeysInTheFileAnswerAsTheRecordsDoAndAChangeRetiresThem) {
    const std::vector<std::string> words = {"tubig", "kinain", "báhay",  "kamusta", "nino", "eat",
                                            "ka",    "water",  "uminom", "xyz",     "%",    ""};
    std::vector<std::vector<std::pair<std::string, MatchKind>>> fromRecords;
    retireKeys();
    {
        Lookup lookup(db());
        ASSERT_FALSE(lookup.keys().fromIndex());
        for (const std::string& w : words)
            fromRecords.push_back(found(lookup, w));
    }
    buildKeys();
    {
        Lookup lookup(db());
        ASSERT_TRUE(lookup.keys().fromIndex());
        for (size_t i = 0; i < words.size(); ++i)
            EXPECT_EQ(found(lookup, words[i]), fromRecords[i]) << words[i];
    }
    // A change by any program retires the keys; the lookup then reads the records.
    {
        SqliteDb raw((tables() / "Tagalog.db").string(), SqliteDb::Mode::ReadWrite);
        raw.exec("UPDATE records SET Tagalo = 'tubigin' WHERE Tagalo = 'tubig'", "test");
    }
    Lookup lookup(db());
    EXPECT_FALSE(lookup.keys().fromIndex());
    EXPECT_EQ(found(lookup, "tubigin", 1)[0],
              std::make_pair(std::string("tubigin"), MatchKind::Headword));
}

TEST_F(LookupTest, SuggestsRootsVariantsAndSpellingsButNeverTheWordItself) {
    Lookup lookup(db());
    const std::vector<Suggestion> kinain = lookup.suggest("KINAIN", 3);
    ASSERT_FALSE(kinain.empty());
    EXPECT_EQ(kinain[0].headword, "kain");
    EXPECT_EQ(kinain[0].why, "root of KINAIN");
    EXPECT_EQ(lookup.suggest("kamusta", 3)[0].headword, "kumusta");
    EXPECT_EQ(lookup.suggest("nino", 3)[0].headword, "Niño");
    EXPECT_TRUE(lookup.suggest("tubig", 3).empty());
    EXPECT_LE(lookup.suggest("kakainin", 1).size(), 1u);
    if (!SpellChecker().available())
        GTEST_SKIP() << "the Tagalog Hunspell dictionary is not installed";
    const std::vector<Suggestion> typo = lookup.suggest("salamt", 3);
    ASSERT_FALSE(typo.empty());
    EXPECT_EQ(typo[0].headword, "salamat");
    EXPECT_EQ(typo[0].why, "spelling");
}

TEST_F(LookupTest, AStressMarkedSpellingIsAnsweredByItsHeadword) {
    Lookup lookup(db());
    // The headword differs from the word typed by its stress marks only: it is the first thing
    // the learner meant, not the word itself.
    for (const char* typed : {"salámat", "SALÁMAT", "báhay"}) {
        const std::vector<Suggestion> s = lookup.suggest(typed, 3);
        ASSERT_FALSE(s.empty()) << typed;
        EXPECT_EQ(s[0].why, "without stress marks") << typed;
    }
    EXPECT_EQ(lookup.suggest("salámat", 3)[0].headword, "salamat");
    EXPECT_EQ(lookup.suggest("báhay", 3)[0].headword, "bahay");
}

TEST_F(LookupTest, TheLearnersAnswerIsGivenOnlyForAWordThatIsNotAHeadword) {
    Lookup lookup(db());
    const std::optional<Suggestion> kinain = lookup.answer("KINAIN");
    ASSERT_TRUE(kinain);
    EXPECT_EQ(kinain->headword, "kain");
    EXPECT_EQ(kinain->why, "root of KINAIN");
    ASSERT_TRUE(lookup.answer("salámat"));
    EXPECT_EQ(lookup.answer("salámat")->headword, "salamat");
    EXPECT_EQ(lookup.answer("kamusta")->headword, "kumusta");
    // A headword has no other answer, although it may be taken as a form of another ("kainan").
    EXPECT_FALSE(lookup.answer("kain"));
    EXPECT_FALSE(lookup.answer("kainan"));
    EXPECT_FALSE(lookup.answer("Bahay"));
    // The spelling checker's guesses are not answers.
    EXPECT_FALSE(lookup.answer("salamt"));
    EXPECT_FALSE(lookup.answer(""));
}

TEST_F(LookupTest, AVerbFormMeansTheHomographThatIsAVerb) {
    // Homographs in the order a dictionary may have them: the word that is not a verb first.
    makeTable("Tagalog", kFields,
              {{"tayo", "", "", "we (you and I)", "", "", ""},
               {"tayo", "tumayo", "itayo", "to stand", "", "", ""},
               {"bukas", "", "", "tomorrow", "", "", ""},
               {"bukas", "magbukas", "buksan", "to open", "", "", ""},
               {"mula", "", "", "from", "", "", ""},
               {"simula", "magsimula", "simulan", "to begin", "", "", ""},
               {"ulat", "mag-ulat", "iulat", "to report", "", "", ""},
               {"gulat", "magulat", "gulatin", "to startle", "", "", ""}});
    Lookup lookup(db());
    const auto english = [&](const std::string& word) {
        const std::vector<LookupEntry> e = lookup.find(word, 3);
        return e.empty() ? std::string() : e[0].fields[3];
    };
    // Read as a form of a root with homographs: the one with verb forms comes first.
    EXPECT_EQ(english("tumatayo"), "to stand");
    EXPECT_EQ(english("tinayo"), "to stand");
    // A form the entry itself lists is that entry's, before any root the rules may guess.
    EXPECT_EQ(english("buksan"), "to open");
    EXPECT_EQ(english("magsimula"), "to begin");
    EXPECT_EQ(lookup.find("magsimula", 3)[0].match, MatchKind::VerbForm);
    EXPECT_EQ(english("tumayo"), "to stand");
    // A headword is still itself first, whatever else it may be a form of.
    EXPECT_EQ(english("tayo"), "we (you and I)");
}

TEST_F(LookupTest, OddInputNeverFails) {
    buildKeys();
    Lookup lookup(db());
    for (const std::string& word :
         {std::string(), std::string("   "), std::string("\""), std::string("'; DROP TABLE x"),
          std::string("%"), std::string("_"), std::string("-"), std::string("\xff\xfe"),
          std::string(5000, 'a'), std::string("ka-") + std::string(300, '-')}) {
        EXPECT_NO_THROW(lookup.find(word, 5)) << word.size();
        EXPECT_NO_THROW(lookup.suggest(word, 3)) << word.size();
    }
    EXPECT_TRUE(lookup.find("", 5).empty());
    EXPECT_EQ(found(lookup, " tubig ", 1)[0].first, "tubig");
}

// `%` and `_` are characters of the word, with the search index and without it; so is `\`, which
// the statement takes as its escape character.
TEST_F(LookupTest, PercentUnderscoreAndBackslashMatchOnlyThemselves) {
    makeTable("Tagalog", kFields,
              {{"bahay", "", "", "house, home", "", "", ""},
               {"porsiyento", "", "", "per cent (%)", "", "", ""},
               {"salungguhit", "", "", "underscore (_)", "", "", ""},
               {"pahilis", "", "", "backslash (\\)", "", "", ""}});
    const auto other = [](const char* headword) {
        return std::vector{std::make_pair(std::string(headword), MatchKind::OtherField)};
    };
    for (const bool indexed : {true, false}) {
        TableFiles& d = db();
        d.setSearchIndexEnabled(indexed);
        Lookup lookup(d);
        EXPECT_EQ(found(lookup, "%"), other("porsiyento")) << indexed;
        EXPECT_EQ(found(lookup, "(%)"), other("porsiyento")) << indexed;
        EXPECT_EQ(found(lookup, "_"), other("salungguhit")) << indexed;
        EXPECT_EQ(found(lookup, "\\"), other("pahilis")) << indexed;
        EXPECT_EQ(found(lookup, "(\\)"), other("pahilis")) << indexed;
        for (const char* word : {"b_hay", "%ahay", "ho%e", "(_)%", "\\%", "%\\"})
            EXPECT_TRUE(found(lookup, word).empty()) << word << ' ' << indexed;
        // A word without them finds its entries as before.
        EXPECT_EQ(found(lookup, "ous"), other("bahay")) << indexed;
    }
}

// The bundled dictionary and its variants, looked up as a learner would: every regular form of
// its verbs, every stressed spelling its notes give and every variant spelling.
class BundledLookupTest : public LookupTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        const fs::path data = fs::path(WIKABAY_SOURCE_DIR) / "data";
        auto words = tagalog::test::readCsvFile(data / "Tagalog.csv");
        auto variants = tagalog::test::readCsvFile(data / "variants.csv");
        ASSERT_GT(words.size(), 1u);
        ASSERT_GT(variants.size(), 1u);
        const std::vector<std::string> header = words.front(), variantHeader = variants.front();
        words.erase(words.begin());
        variants.erase(variants.begin());
        rows_ = words;
        makeTable("Tagalog", header, words);
        makeTable("Variants", variantHeader, variants);
        variants_ = variants;
        buildKeys();
    }
    Rows rows_, variants_;
};

TEST_F(BundledLookupTest, FormsStressedSpellingsAndVariantsRankTheirEntryFirst) {
    Lookup lookup(db());
    const tagalog::test::Dictionary d = tagalog::test::loadDictionary();
    size_t forms = 0, first = 0;
    std::string misses;
    for (const auto& verb : d.verbs)
        for (const std::string& form : tagalog::test::conjugations(verb)) {
            ++forms;
            const auto e = lookup.find(form, 1);
            if (!e.empty() && plainSpelling(e[0].fields[0]) == verb.root)
                ++first;
            else
                misses += " " + form + "->" + (e.empty() ? "?" : e[0].fields[0]);
        }
    const double share = 100.0 * static_cast<double>(first) / static_cast<double>(forms);
    std::printf("Root first for %zu of %zu verb forms (%.1f %%):%s\n", first, forms, share,
                misses.c_str());
    EXPECT_GE(share, 90.0);

    // "Stress: búkas (tomorrow)." in an entry's notes: that spelling finds that entry first, or
    // one of the entries that share it ("daán" is both road and hundred).
    std::map<std::string, std::set<std::int64_t>> spelled;
    for (size_t r = 0; r < rows_.size(); ++r) {
        const std::string& notes = rows_[r][6];
        if (notes.starts_with("Stress: "))
            spelled[markedSpelling(notes.substr(8, notes.find_first_of(" .", 8) - 8))].insert(
                static_cast<std::int64_t>(r + 1));
    }
    ASSERT_FALSE(spelled.empty());
    for (const auto& [stressed, rows] : spelled) {
        const auto e = lookup.find(stressed, 1);
        ASSERT_FALSE(e.empty()) << stressed;
        EXPECT_TRUE(rows.count(e[0].row))
            << stressed << " finds " << e[0].fields[0] << " (" << e[0].fields[3] << ")";
    }
    // A headword looked up as itself comes first, whatever roots the rules see in it.
    for (size_t r = 0; r < rows_.size(); ++r) {
        const auto e = lookup.find(rows_[r][0], 1);
        ASSERT_FALSE(e.empty()) << rows_[r][0];
        EXPECT_EQ(plainSpelling(e[0].fields[0]), plainSpelling(rows_[r][0]));
        EXPECT_EQ(e[0].match, MatchKind::Headword) << rows_[r][0];
    }
    for (const auto& v : variants_) {
        const auto e = lookup.find(v[0], 1);
        ASSERT_FALSE(e.empty()) << v[0];
        EXPECT_EQ(plainSpelling(e[0].fields[0]), plainSpelling(v[1])) << v[0];
    }
}

TEST(Spelling, StressMarksGoAndTheTildeStaysUnlessLoose) {
    EXPECT_EQ(plainSpelling("Báhay"), "bahay");
    EXPECT_EQ(plainSpelling("BATÀ TAYÔ"), "bata tayo");
    EXPECT_EQ(plainSpelling("NIÑO"), "niño");
    EXPECT_EQ(looseSpelling("Niño"), "nino");
    EXPECT_TRUE(hasStressMarks("salámat"));
    EXPECT_FALSE(hasStressMarks("Niño"));
    EXPECT_EQ(englishWords("to eat; to dine (formal), don't"),
              (std::vector<std::string>{"to", "eat", "dine", "formal", "don't"}));
}

} // namespace
} // namespace wk::engine::test
