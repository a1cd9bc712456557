// wikabay-admin as a user runs it: import, export and query of tables, configuration and aliases.

#include "AdminRunner.h"

#include <sys/stat.h>

#include <csignal>
#include <thread>

namespace wk::tools::test {
namespace {

// Unicode, quotes, commas, blank fields, a tab, a backslash and a multi-line field, written the
// way the tool writes CSV (quoted only where needed), so that an export must give it back as is.
const std::string kWords = "Tagalo,English,Notes\n"
                           "niña,girl,\n"
                           "Señor,\"Mr., sir\",\"Formal; \"\"po\"\" is commoner\"\n"
                           "ála,\"oh, well\",\n"
                           "café,coffee,\"Two lines:\nfirst\nsecond\"\n"
                           ",,\n"
                           "tab\there,back\\slash,\n";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class AdminTool : public AdminToolTest {
protected:
    void SetUp() override {
        AdminToolTest::SetUp();
        fs::create_directories(dir() / "tables");
        ok({"alias", "set", "Test", "tables"});
        writeBytes(dir() / "words.csv", kWords);
    }

    std::string exported(const std::string& table = "Words") const {
        return ok({"export", "--alias", "Test", table}).out;
    }
};

TEST_F(AdminTool, ImportThenExportGivesTheSameBytes) {
    const RunResult imported = ok({"import", "--alias", "Test", "Words", "words.csv"});
    EXPECT_TRUE(contains(imported.err, "6 records imported")) << imported;
    EXPECT_EQ(exported(), kWords);

    // A one-field table whose record is blank: an empty line would be lost on the next import.
    const std::string single = "Only\na\n\"\"\nb\n";
    writeBytes(dir() / "single.csv", single);
    ok({"import", "--alias", "Test", "Single", "single.csv"});
    writeBytes(dir() / "again.csv", exported("Single"));
    ok({"import", "--alias", "Test", "Again", "again.csv"});
    EXPECT_EQ(exported("Again"), single);
}

TEST_F(AdminTool, QueryPrintsEscapedTabSeparatedRecords) {
    ok({"import", "--alias", "Test", "Words", "words.csv"});
    EXPECT_EQ(ok({"query", "--alias", "Test", "SELECT * FROM Words"}).out,
              "Tagalo\tEnglish\tNotes\n"
              "niña\tgirl\t\n"
              "Señor\tMr., sir\tFormal; \"po\" is commoner\n"
              "ála\toh, well\t\n"
              "café\tcoffee\tTwo lines:\\nfirst\\nsecond\n"
              "\t\t\n"
              "tab\\there\tback\\\\slash\t\n"
              "6 records\n");
    EXPECT_EQ(
        ok({"query", "--alias", "Test", "SELECT English FROM Words WHERE English = \"x\""}).out,
        "English\n0 records\n");
}

TEST_F(AdminTool, UpperFoldsAccentedLetters) {
    ok({"import", "--alias", "Test", "Words", "words.csv"});
    EXPECT_EQ(ok({"query", "--alias", "Test",
                  "SELECT Tagalo FROM Words WHERE Upper(Tagalo) like \"%ÑA%\""})
                  .out,
              "Tagalo\nniña\n1 records\n");
    EXPECT_EQ(ok({"query", "--alias", "Test",
                  "SELECT English FROM Words WHERE Upper(Tagalo) = \"CAFÉ\" OR "
                  "Upper(Tagalo) = \"ÁLA\""})
                  .out,
              "English\noh, well\ncoffee\n2 records\n");
}

TEST_F(AdminTool, ProtectedTableNeedsItsPassword) {
    ok({"import", "--alias", "Test", "--password", "s3cret", "Words", "words.csv"});
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"export", "--alias", "Test", "Words"},
             {"export", "--alias", "Test", "--password", "wrong", "Words"},
             {"query", "--alias", "Test", "SELECT * FROM Words"},
             {"import", "--alias", "Test", "Words", "words.csv"},
             {"import", "--alias", "Test", "--password", "wrong", "Words", "words.csv"}}) {
        const RunResult r = run(args);
        SCOPED_TRACE(args[0]);
        EXPECT_TRUE(r.failed()) << r;
        EXPECT_TRUE(contains(r.err, "'Words'")) << r;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(ok({"export", "--alias", "Test", "--password", "s3cret", "Words"}).out, kWords);
    EXPECT_TRUE(contains(
        ok({"query", "--alias", "Test", "--password", "s3cret", "SELECT * FROM Words"}).out,
        "\n6 records\n"));
}

TEST_F(AdminTool, MalformedCsvNamesFileAndLineAndKeepsTheOldTable) {
    ok({"import", "--alias", "Test", "Words", "words.csv"});
    struct Case {
        const char* what;
        std::string csv;
        int line;
    };
    const Case cases[] = {
        {"unclosed quote", "Tagalo,English,Notes\nok,fine,\n\"open,never closed\n", 3},
        {"field count after a multi-line record",
         "Tagalo,English,Notes\na,b,c\n\"two\nlines\",b,c\nd,e\n", 5},
        {"invalid UTF-8", "Tagalo,English,Notes\na,b,c\nd,\xC3\x28,f\n", 3},
        {"overlong UTF-8", "Tagalo,English,Notes\na,b,c\n\n\xC0\xAF,e,f\n", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(dir() / "bad.csv", c.csv);
        const RunResult r = run({"import", "--alias", "Test", "Words", "bad.csv"});
        EXPECT_TRUE(r.failed()) << r;
        EXPECT_TRUE(contains(r.err, "bad.csv")) << r;
        EXPECT_TRUE(contains(r.err, "line " + std::to_string(c.line) + ":")) << r;
        EXPECT_EQ(exported(), kWords);

        // A failed import of a new table leaves no table behind.
        EXPECT_TRUE(run({"import", "--alias", "Test", "Fresh", "bad.csv"}).failed());
        const RunResult q = run({"query", "--alias", "Test", "SELECT * FROM Fresh"});
        EXPECT_TRUE(q.failed()) << q;
        EXPECT_TRUE(contains(q.err, "not found")) << q;
    }
}

TEST_F(AdminTool, QueryRefusesStatementsThatChangeData) {
    ok({"import", "--alias", "Test", "Words", "words.csv"});
    for (const char* sql :
         {"DELETE FROM Words", "UPDATE Words SET English = \"x\"",
          "INSERT INTO Words VALUES (\"a\", \"b\", \"c\")", "DROP TABLE Words",
          "SELECT * FROM Words; DELETE FROM Words", "WITH w AS (SELECT 1) DELETE FROM Words"}) {
        SCOPED_TRACE(sql);
        const RunResult r = run({"query", "--alias", "Test", sql});
        EXPECT_TRUE(r.failed()) << r;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(exported(), kWords);
    }
}

TEST_F(AdminTool, ConfigGetSetShow) {
    const std::string node = "\\DRIVERS\\PARADOX\\INIT";
    EXPECT_EQ(ok({"config", "get", node, "NET DIR"}).out, "\n");
    ok({"config", "set", node, "NET DIR", "C:\\BdeNetDir"});
    EXPECT_EQ(ok({"config", "get", node, "NET DIR"}).out, "C:\\BdeNetDir\n");
    const std::string shown = ok({"config", "show"}).out;
    EXPECT_TRUE(contains(shown, "[\\DRIVERS\\PARADOX\\INIT]\n")) << shown;
    EXPECT_TRUE(contains(shown, "\nNET DIR=C:\\BdeNetDir\n")) << shown;
    EXPECT_TRUE(contains(shown, "\nPATH=" + (dir() / "tables").string() + "\n")) << shown;
    EXPECT_TRUE(fs::exists(dir() / "config" / "wikabay-engine" / "engine.cfg"));

    const RunResult missing = run({"config", "get", node, "NO SUCH ENTRY"});
    EXPECT_TRUE(missing.failed()) << missing;
    EXPECT_TRUE(contains(missing.err, "NO SUCH ENTRY")) << missing;
}

TEST_F(AdminTool, AliasSetListRemove) {
    ok({"alias", "set", "Other", "/srv/wikabay/other"});
    const std::string testLine = "Test\t" + (dir() / "tables").string() + "\n";
    std::string listed = ok({"alias", "list"}).out;
    EXPECT_TRUE(contains(listed, testLine)) << listed;
    EXPECT_TRUE(contains(listed, "Other\t/srv/wikabay/other\n")) << listed;

    ok({"alias", "remove", "Test"});
    listed = ok({"alias", "list"}).out;
    EXPECT_FALSE(contains(listed, "Test\t")) << listed;
    EXPECT_TRUE(contains(listed, "Other\t/srv/wikabay/other\n")) << listed;

    const RunResult again = run({"alias", "remove", "Test"});
    EXPECT_TRUE(again.failed()) << again;
    EXPECT_TRUE(contains(again.err, "'Test'")) << again;
}

TEST_F(AdminTool, UnknownAliasIsNamed) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"import", "--alias", "Missing", "Words", "words.csv"},
             {"export", "--alias", "Missing", "Words"},
             {"query", "--alias", "Missing", "SELECT * FROM Words"}}) {
        SCOPED_TRACE(args[0]);
        const RunResult r = run(args);
        EXPECT_TRUE(r.failed()) << r;
        EXPECT_TRUE(contains(r.err, "'Missing'")) << r;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(fs::exists(dir() / "tables" / "Words.db"));
}

TEST_F(AdminTool, ByteOrderMarkBeforeTheHeaderIsDroppedFromAFileAndFromAPipe) {
    const std::string body = "Tagalo,English\nniña,girl\n";
    const std::string bom = "\xEF\xBB\xBF";
    // A pipe cannot go back: what only begins like the mark must still be read as text.
    const std::string wide = "\xEF\xBC\xA1"; // a fullwidth A, whose first byte is the mark's
    auto importThroughAPipe = [&](const std::string& table, const std::string& csv) {
        const fs::path pipe = dir() / "pipe.csv";
        fs::remove(pipe);
        EXPECT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        ::signal(SIGPIPE, SIG_IGN); // the tool may stop reading early
        std::thread writer([&] { std::ofstream(pipe, std::ios::binary) << csv; });
        const RunResult r = run({"import", "--alias", "Test", table, "pipe.csv"});
        // Had the tool not opened the pipe, this lets the writer finish.
        const int fd = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
        writer.join();
        if (fd >= 0)
            ::close(fd);
        return r;
    };
    writeBytes(dir() / "bom.csv", bom + body);
    ok({"import", "--alias", "Test", "FromFile", "bom.csv"});
    EXPECT_EQ(exported("FromFile"), body);
    EXPECT_EQ(importThroughAPipe("FromPipe", bom + body).code, 0);
    EXPECT_EQ(exported("FromPipe"), body);
    EXPECT_EQ(
        ok({"query", "--alias", "Test", "SELECT English FROM FromPipe WHERE Tagalo = 'niña'"}).out,
        "English\ngirl\n1 records\n");

    EXPECT_EQ(importThroughAPipe("Wide", wide + body).code, 0);
    EXPECT_EQ(exported("Wide"), wide + body);
    EXPECT_EQ(importThroughAPipe("Short", "\xEF\xBB").code, 1) << "not valid UTF-8";
}

} // namespace
} // namespace wk::tools::test
