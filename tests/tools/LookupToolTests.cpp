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
    // `%` and `_` are characters of the word, not a pattern that every entry matches.
    for (const std::string word : {"%", "_", "k%n", "ka_n"}) {
        const RunResult wild = lookup({"--json", word});
        EXPECT_EQ(wild.code, 1) << wild;
        EXPECT_FALSE(contains(wild.out, "\"Tagalo\"")) << wild;
    }
}

TEST_F(LookupTool, AWordThatIsNotUtf8IsAUsageErrorNamingItsPlace) {
    // Arguments 1 to 4 are the alias and the password.
    for (const auto& [args, place] :
         {std::pair{std::vector<std::string>{"--json", "kain", "ka\xffin"}, "argument 7 "},
          {{"--", "\xc3"}, "argument 6 "},
          {{"--html", "\xed\xa0\x80", "kain"}, "argument 6 "}}) {
        const RunResult r = lookup(args);
        EXPECT_EQ(r.code, 2) << r;
        EXPECT_EQ(r.out, "") << r;
        EXPECT_TRUE(
            r.err.starts_with(std::string("wikabay-lookup: ") + place + "is not valid UTF-8"))
            << r;
    }
    EXPECT_EQ(lookup({"salámat"}).code, 0);
}

TEST_F(LookupTool, OptionsTakeAttachedValuesAndEndAtTwoDashes) {
    const RunResult attached = runProgram(
        WIKABAY_LOOKUP, {"--alias=Test", "--password=secret", "--limit=1", "--json", "kain"});
    EXPECT_EQ(attached.code, 0) << attached;
    EXPECT_TRUE(attached.out.starts_with("{\"query\":\"kain\",\"entries\":[{\"Tagalo\":\"kain\","))
        << attached;
    EXPECT_FALSE(contains(attached.out, "kainan")) << attached; // the limit

    const RunResult ended = lookup({"--json", "--", "-kain", "--html", "--"});
    EXPECT_NE(ended.code, 2) << ended;
    EXPECT_TRUE(ended.out.starts_with("{\"query\":\"-kain\",")) << ended;
    EXPECT_TRUE(contains(ended.out, "\n{\"query\":\"--html\",")) << ended;
    EXPECT_TRUE(contains(ended.out, "\n{\"query\":\"--\",")) << ended;

    for (const char* help : {"-h", "--help"}) {
        const RunResult r = lookup({help, "kain"});
        EXPECT_EQ(r.code, 0) << r;
        EXPECT_TRUE(r.out.starts_with("usage: wikabay-lookup ")) << r;
        EXPECT_EQ(r.err, "") << r;
    }
    const RunResult version = runProgram(WIKABAY_LOOKUP, {"--version"});
    EXPECT_EQ(version.code, 0) << version;
    EXPECT_EQ(version.out, "wikabay-lookup " WIKABAY_VERSION "\n") << version;
}

TEST_F(LookupTool, HtmlPrintsNothingForAMissAndStillSucceeds) {
    const RunResult miss = lookup({"--html", "xyzzyq"});
    EXPECT_EQ(miss.code, 0) << miss;
    EXPECT_EQ(miss.out, "") << miss;
    const RunResult some = lookup({"--html", "xyzzyq", "salamat", "qqqq"});
    EXPECT_EQ(some.code, 0) << some;
    EXPECT_TRUE(some.out.starts_with("<div class=\"wikabay\">\n<div class=\"entry\"><h3>salamat "))
        << some;
    EXPECT_TRUE(some.out.ends_with("</div>\n</div>\n")) << some;
    EXPECT_FALSE(contains(some.out, "xyzzyq")) << some;
    // Scripts still learn of a miss from the text and JSON forms.
    EXPECT_EQ(lookup({"xyzzyq"}).code, 1);
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
                                                 {"--limit"},
                                                 {"--limit=", "kain"},
                                                 {"--limit=0", "kain"},
                                                 {"--json=yes", "kain"},
                                                 {"-j", "kain"},
                                                 {"--"}}) {
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
