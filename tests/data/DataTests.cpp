// The bundled sample tables (data/*.csv), imported through wikabay-admin as the first start does.

#include "common/AdminRunner.h"
#include "common/Csv.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <sstream>

namespace wk::tools::test {
namespace {

using Records = wk::testing::CsvRecords;

const char* const kTables[] = {"Tagalog", "Expressions1", "Internet", "variants"};

const char* const kTopics[] = {"General",    "Language", "Conversation", "Relationships",
                               "Travelling", "Food",     "Date/time",    "Money",
                               "Emergency",  "Numbers"};

fs::path csvFile(const std::string& table) {
    return fs::path(WIKABAY_SOURCE_DIR) / "data" / (table + ".csv");
}

// The records of the bundled table, read without the tool.
Records readCsv(const std::string& table) {
    return wk::testing::readCsvFile(csvFile(table));
}

size_t column(const Records& records, const std::string& name) {
    for (size_t c = 0; c < records.at(0).size(); ++c)
        if (records[0][c] == name)
            return c;
    ADD_FAILURE() << "no field " << name;
    return 0;
}

// The number in the last line of a query's output, "N records".
long recordCount(const std::string& out) {
    if (out.size() < 2 || out.back() != '\n') {
        ADD_FAILURE() << "no record count in '" << out << "'";
        return -1;
    }
    const size_t end = out.size() - 1;
    const size_t start = out.rfind('\n', end - 1) + 1;
    EXPECT_EQ(out.substr(out.find(' ', start)), " records\n") << out;
    return std::stol(out.substr(start));
}

// Scheme https, then a host name with a dot (letters, digits, dots and hyphens), no blanks.
bool isWellFormedHttps(const std::string& url) {
    const std::string scheme = "https://";
    if (!url.starts_with(scheme) ||
        std::any_of(url.begin(), url.end(), [](unsigned char c) { return c <= ' ' || c == 127; }))
        return false;
    const std::string host =
        url.substr(scheme.size(), url.find_first_of("/?#", scheme.size()) - scheme.size());
    return host.find('.') != std::string::npos && host.find("..") == std::string::npos &&
           host.front() != '.' && host.back() != '.' &&
           host.find_first_not_of(
               "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") ==
               std::string::npos;
}

class SampleData : public AdminToolTest {
protected:
    void SetUp() override {
        AdminToolTest::SetUp();
        aliasOverTables("WikabayTest");
        for (const char* table : kTables)
            ASSERT_EQ(ok({"import", "--alias", "WikabayTest", table, csvFile(table).string()}).code,
                      0);
    }

    std::string query(const std::string& sql) const {
        return ok({"query", "--alias", "WikabayTest", sql}).out;
    }
};

TEST_F(SampleData, EveryRowIsImported) {
    for (const char* table : kTables) {
        SCOPED_TRACE(table);
        const Records records = readCsv(table);
        ASSERT_GE(records.size(), 2u);
        for (size_t r = 1; r < records.size(); ++r)
            EXPECT_EQ(records[r].size(), records[0].size()) << "record " << r;
        EXPECT_EQ(recordCount(query(std::string("SELECT * FROM ") + table)),
                  static_cast<long>(records.size() - 1));
    }
    EXPECT_GE(readCsv("Tagalog").size() - 1, 3000u);
    EXPECT_GE(readCsv("Expressions1").size() - 1, 400u);
}

TEST_F(SampleData, EveryTopicHasPhrasesAndEveryPhraseATopic) {
    long filed = 0;
    for (const char* topic : kTopics) {
        const long n = recordCount(
            query(std::string("SELECT * FROM Expressions1 WHERE [Group] = \"") + topic + "\""));
        EXPECT_GE(n, 35) << topic;
        filed += n;
    }
    EXPECT_EQ(filed, static_cast<long>(readCsv("Expressions1").size() - 1));
}

TEST_F(SampleData, EntriesHaveAHeadwordAMeaningAndBothVerbFormsOrNone) {
    const Records records = readCsv("Tagalog");
    const size_t head = column(records, "Tagalo"), active = column(records, "ActiveVerb"),
                 passive = column(records, "PassiveVerb"), english = column(records, "English");
    for (size_t r = 1; r < records.size(); ++r) {
        const auto& e = records[r];
        EXPECT_FALSE(e[head].empty()) << "record " << r;
        EXPECT_FALSE(e[english].empty()) << e[head];
        EXPECT_EQ(e[active].empty(), e[passive].empty()) << e[head];
    }
    // The same through the imported table, where a blank field is read back as empty or NULL.
    const std::string mixed =
        query("SELECT Tagalo FROM Tagalog WHERE (Coalesce(ActiveVerb, \"\") = "
              "\"\") <> (Coalesce(PassiveVerb, \"\") = \"\")");
    EXPECT_EQ(recordCount(mixed), 0) << mixed;
}

// Lower case without acute, grave and circumflex accents (the tilde of ñ stays).
std::string withoutStressMarks(const std::string& text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    icu::UnicodeString decomposed = nfd->normalize(icu::UnicodeString::fromUTF8(text), status);
    icu::UnicodeString kept;
    for (int32_t i = 0; i < decomposed.length(); ++i)
        if (decomposed[i] < 0x0300 || decomposed[i] > 0x0302)
            kept.append(decomposed[i]);
    std::string out;
    icu::Normalizer2::getNFCInstance(status)->normalize(kept.foldCase(), status).toUTF8String(out);
    return out;
}

// A headword is one word or a fixed phrase, without commas; two entries share one only as
// homographs, each naming its stressed spelling first in Notes ("Stress: búkas (tomorrow).").
TEST_F(SampleData, HeadwordsAreUniqueIgnoringCaseButForMarkedHomographs) {
    const Records records = readCsv("Tagalog");
    const size_t head = column(records, "Tagalo"), notes = column(records, "Notes");
    std::map<std::string, std::vector<size_t>> seen;
    for (size_t r = 1; r < records.size(); ++r) {
        const std::string& word = records[r][head];
        EXPECT_TRUE(!word.empty() && !std::isspace(static_cast<unsigned char>(word.front())) &&
                    !std::isspace(static_cast<unsigned char>(word.back())) &&
                    word.find_first_of(",;\t\n") == std::string::npos &&
                    word.find("  ") == std::string::npos)
            << "'" << word << "'";
        std::string folded;
        icu::UnicodeString::fromUTF8(word).foldCase().toUTF8String(folded);
        seen[folded].push_back(r);
    }
    // A stressed spelling is the headword's own letters with marks: "Stress: búkas", not another
    // word's.
    for (size_t r = 1; r < records.size(); ++r) {
        const std::string& note = records[r][notes];
        if (!note.starts_with("Stress: "))
            continue;
        const std::string stressed = note.substr(8, note.find_first_of(" .", 8) - 8);
        EXPECT_EQ(withoutStressMarks(stressed), withoutStressMarks(records[r][head]))
            << records[r][head] << ": " << note.substr(0, 40);
    }
    for (const auto& [word, rows] : seen) {
        if (rows.size() < 2)
            continue;
        std::set<std::string> stresses;
        for (size_t r : rows) {
            const std::string& note = records[r][notes];
            EXPECT_TRUE(note.starts_with("Stress: ")) << word << " in record " << r;
            stresses.insert(note.substr(0, note.find_first_of(".\n")));
        }
        EXPECT_EQ(stresses.size(), rows.size()) << word << ": homographs need distinct notes";
    }
}

// Every example is a Tagalog sentence and its translation, "Tagalog — English", a line each.
TEST_F(SampleData, EveryExampleHasItsTranslation) {
    const Records records = readCsv("Tagalog");
    const size_t head = column(records, "Tagalo"), examples = column(records, "Examples");
    const std::string dash = " \u2014 ";
    for (size_t r = 1; r < records.size(); ++r) {
        std::istringstream lines(records[r][examples]);
        for (std::string line; std::getline(lines, line);) {
            const size_t at = line.find(dash);
            EXPECT_TRUE(at != std::string::npos && at > 0 && at + dash.size() < line.size())
                << records[r][head] << ": '" << line << "'";
        }
    }
}

// Each spelling variant leads to a headword of the dictionary, and is not one itself.
TEST_F(SampleData, EveryVariantNamesAHeadword) {
    const Records words = readCsv("Tagalog");
    const Records variants = readCsv("variants");
    const size_t head = column(words, "Tagalo");
    const size_t variant = column(variants, "variant"), to = column(variants, "headword");
    std::set<std::string> headwords;
    for (size_t r = 1; r < words.size(); ++r) {
        std::string folded;
        icu::UnicodeString::fromUTF8(words[r][head]).foldCase().toUTF8String(folded);
        headwords.insert(folded);
    }
    const auto fold = [](const std::string& s) {
        std::string out;
        icu::UnicodeString::fromUTF8(s).foldCase().toUTF8String(out);
        return out;
    };
    EXPECT_GE(variants.size() - 1, 100u);
    std::set<std::string> seen;
    for (size_t r = 1; r < variants.size(); ++r) {
        const std::string& v = variants[r][variant];
        EXPECT_TRUE(headwords.count(fold(variants[r][to]))) << v << " -> " << variants[r][to];
        EXPECT_FALSE(headwords.count(fold(v))) << v << " is a headword itself";
        EXPECT_TRUE(seen.insert(fold(v)).second) << v << " twice";
    }
}

TEST_F(SampleData, EveryUrlIsWellFormedHttps) {
    const Records records = readCsv("Internet");
    const size_t url = column(records, "URL");
    for (size_t r = 1; r < records.size(); ++r)
        EXPECT_TRUE(isWellFormedHttps(records[r][url])) << "'" << records[r][url] << "'";
    EXPECT_FALSE(isWellFormedHttps("http://example.org/"));
    EXPECT_FALSE(isWellFormedHttps("https://localhost/"));
    EXPECT_FALSE(isWellFormedHttps("https://example.org/a page"));
    EXPECT_FALSE(isWellFormedHttps("https://user@example.org/"));
    EXPECT_TRUE(isWellFormedHttps("https://example.org/a?b=c#d"));
}

} // namespace
} // namespace wk::tools::test
