// The bundled sample tables (data/*.csv), imported through wikabay-admin as the first start does.

#include "AdminRunner.h"

#include <unicode/unistr.h>

#include <algorithm>
#include <cctype>
#include <map>

namespace wk::tools::test {
namespace {

using Records = std::vector<std::vector<std::string>>;

const char* const kTables[] = {"Tagalog", "Expressions1", "Internet"};

const char* const kTopics[] = {"General",    "Language", "Conversation", "Relationships",
                               "Travelling", "Food",     "Date/time",    "Money",
                               "Emergency",  "Numbers"};

fs::path csvFile(const std::string& table) {
    return fs::path(WIKABAY_SOURCE_DIR) / "data" / (table + ".csv");
}

// Reads RFC 4180 CSV without the tool: quoted fields may hold commas, doubled quotes and line
// breaks. Anything malformed fails the test.
Records readCsv(const std::string& table) {
    const std::string text = readBytes(csvFile(table));
    Records records;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        std::vector<std::string> record;
        for (;;) {
            std::string field;
            if (i < n && text[i] == '"') {
                for (++i;; ++i) {
                    if (i >= n) {
                        ADD_FAILURE() << table << ": a quoted field is not closed";
                        return records;
                    }
                    if (text[i] == '"' && (i + 1 >= n || text[i + 1] != '"'))
                        break;
                    if (text[i] == '"')
                        ++i;
                    field += text[i];
                }
                ++i;
            } else {
                for (; i < n && text[i] != ',' && text[i] != '\n' && text[i] != '\r'; ++i)
                    field += text[i];
            }
            record.push_back(std::move(field));
            if (i < n && text[i] == ',') {
                ++i;
                continue;
            }
            if (i + 1 < n && text[i] == '\r' && text[i + 1] == '\n')
                ++i;
            if (i < n && text[i] != '\n') {
                ADD_FAILURE() << table << ", record " << records.size() + 1
                              << ": unexpected text after a field";
                return records;
            }
            ++i;
            break;
        }
        records.push_back(std::move(record));
    }
    return records;
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
        fs::create_directories(dir() / "tables");
        ok({"alias", "set", "WikabayTest", "tables"});
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
    EXPECT_GE(readCsv("Tagalog").size() - 1, 600u);
}

TEST_F(SampleData, EveryTopicHasPhrasesAndEveryPhraseATopic) {
    long filed = 0;
    for (const char* topic : kTopics) {
        const long n = recordCount(
            query(std::string("SELECT * FROM Expressions1 WHERE [Group] = \"") + topic + "\""));
        EXPECT_GT(n, 0) << topic;
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

TEST_F(SampleData, HeadwordsAreUniqueIgnoringCase) {
    const Records records = readCsv("Tagalog");
    const size_t head = column(records, "Tagalo");
    std::map<std::string, size_t> seen;
    for (size_t r = 1; r < records.size(); ++r) {
        const std::string& word = records[r][head];
        EXPECT_TRUE(!word.empty() && !std::isspace(static_cast<unsigned char>(word.front())) &&
                    !std::isspace(static_cast<unsigned char>(word.back())))
            << "'" << word << "'";
        std::string folded;
        icu::UnicodeString::fromUTF8(word).foldCase().toUTF8String(folded);
        const auto [it, added] = seen.emplace(folded, r);
        EXPECT_TRUE(added) << word << " in records " << it->second << " and " << r;
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
