// wikabay-lookup as a user or a script runs it, on a dictionary imported with wikabay-admin.

#include "common/AdminRunner.h"

namespace wk::tools::test {
namespace {

const std::string kDictionary =
    "Tagalo,ActiveVerb,PassiveVerb,English,L2Definition,Examples,Notes\n"
    "kainan,,,\"eatery; feast\",,,\n"
    "kain,kumain,kainin,to eat,Pagsubo at paglunok ng pagkain.,\"Kumain ka na? — Have you "
    "eaten?\nKakain tayo. — We will eat.\",\"Say \"\"<b>po</b>\"\" & smile\"\n"
    "salamat,,,thank you,,,\n";

class LookupTool : public AdminToolTest {
protected:
    void SetUp() override {
        AdminToolTest::SetUp();
        aliasOverTables("Test");
        writeBytes(dir() / "dict.csv", kDictionary);
        ok({"import", "--alias", "Test", "--password", "secret", "Tagalog", "dict.csv"});
    }

    RunResult lookup(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--alias", "Test", "--password", "secret"});
        return runProgram(WIKABAY_LOOKUP, args);
    }
};

TEST_F(LookupTool, JsonGivesOneLinePerWordWithEntriesInRankOrder) {
    const RunResult r = lookup({"--json", "kinain", "xyzzyq"});
    EXPECT_EQ(r.code, 1) << r; // the second word found nothing
    const std::string first = r.out.substr(0, r.out.find('\n') + 1);
    const std::string second = r.out.substr(first.size());
    EXPECT_TRUE(first.starts_with("{\"query\":\"kinain\",\"entries\":[{\"Tagalo\":\"kain\",")) << r;
    EXPECT_TRUE(contains(first, "\"match\":\"root of KINAIN\"")) << r;
    EXPECT_TRUE(contains(first, "\"Examples\":\"Kumain ka na? — Have you eaten?\\nKakain tayo. — "
                                "We will eat.\""))
        << r;
    EXPECT_TRUE(contains(first, "\"Notes\":\"Say \\\"<b>po</b>\\\" & smile\"")) << r;
    EXPECT_EQ(second, "{\"query\":\"xyzzyq\",\"entries\":[],\"suggestions\":[]}\n") << r;
    EXPECT_EQ(lookup({"--json", "kain", "salamat"}).code, 0);
}

TEST_F(LookupTool, TextAndHtmlShowTheEntryAndHowItMatched) {
    const RunResult text = lookup({"--limit", "1", "KAIN"});
    EXPECT_EQ(text.code, 0) << text;
    EXPECT_TRUE(contains(text.out, "kain  [headword]\n  Verb: kumain, kainin\n  English: to eat"))
        << text;
    EXPECT_FALSE(contains(text.out, "kainan")) << text; // the limit
    const RunResult html = lookup({"--html", "kain"});
    EXPECT_TRUE(contains(html.out, "<h3>kain <small>(headword)</small></h3>")) << html;
    EXPECT_TRUE(contains(html.out, "Say &quot;&lt;b&gt;po&lt;/b&gt;&quot; &amp; smile")) << html;
    EXPECT_TRUE(contains(html.out, "Have you eaten?<br>Kakain")) << html;
}

TEST_F(LookupTool, BadUsageAndAMissingDictionaryAreErrors) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {"--limit", "0", "kain"},
                                                 {"--limit", "x", "kain"},
                                                 {"--bogus", "kain"},
                                                 {"--limit"}}) {
        const RunResult r = lookup(args);
        EXPECT_EQ(r.code, 2) << r;
        EXPECT_TRUE(r.err.starts_with("wikabay-lookup: ")) << r;
    }
    const RunResult wrongPassword =
        runProgram(WIKABAY_LOOKUP, {"--alias", "Test", "--password", "nope", "kain"});
    EXPECT_EQ(wrongPassword.code, 2) << wrongPassword;
    const RunResult noAlias = runProgram(WIKABAY_LOOKUP, {"--alias", "Nowhere", "kain"});
    EXPECT_EQ(noAlias.code, 2) << noAlias;
    EXPECT_TRUE(contains(noAlias.err, "Nowhere")) << noAlias;
}

} // namespace
} // namespace wk::tools::test
