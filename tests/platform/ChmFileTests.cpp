// The help file reader: the help file the build compiles, damaged files, and where it finds the
// table of contents and the index in files compiled here for the purpose.

#include "HelpCompiler.h"
#include "platform/ChmFile.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <regex>

using namespace wk::platform;
using wk::testing::compileHelp;

namespace {

std::vector<std::string> titles(const std::vector<ChmTopic>& topics) {
    std::vector<std::string> out;
    for (const ChmTopic& t : topics)
        out.push_back(t.title);
    return out;
}

void flatten(const std::vector<ChmTopic>& topics, std::vector<ChmTopic>& out) {
    for (const ChmTopic& t : topics) {
        out.push_back(t);
        flatten(t.children, out);
    }
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void expectErrorNaming(const std::string& file) {
    try {
        ChmFile chm(file);
        ADD_FAILURE() << "opened " << file;
    } catch (const ChmError& e) {
        EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    }
}

const std::string kPage = "<html><head><title>P</title></head><body>P</body></html>";
const std::string kToc = R"(<ul><li><object type="text/sitemap">
<param name="Name" value="Page"><param name="Local" value="p.htm"></object></ul>)";
const std::string kIndex = R"(<ul><li><object type="text/sitemap">
<param name="Name" value="Keyword"><param name="Local" value="p.htm"></object></ul>)";

std::vector<std::string> names(const std::vector<ChmKeyword>& keywords) {
    std::vector<std::string> out;
    for (const ChmKeyword& k : keywords)
        out.push_back(k.name);
    return out;
}

// The text of a help page as a reader sees it, roughly: blocks and cells apart, other tags left
// out, runs of white space and non-breaking spaces as one space.
std::string pageText(const ChmFile& chm, const std::string& page) {
    const std::string html = chm.read(page).value();
    const std::regex block("</?(p|br|li|ul|h[1-6]|table|tr|td|th)\\b[^>]*>", std::regex::icase);
    std::string text = std::regex_replace(html, block, " ");
    text = std::regex_replace(text, std::regex("<[^>]*>"), "");
    return std::regex_replace(text, std::regex("(&nbsp;|\\s)+"), " ");
}

} // namespace

TEST(HelpFile, ContentsListTheTopicsAndEachPageCarriesItsTopicTitle) {
    ChmFile chm(WIKABAY_HELP_FILE);
    EXPECT_EQ(chm.title(), "Wikabay Help");
    EXPECT_EQ(chm.defaultTopic(), "/welcome.htm");
    const std::vector<ChmTopic> toc = chm.contents();
    ASSERT_EQ(titles(toc), (std::vector<std::string>{"Welcome to Wikabay", "The main menu",
                                                     "Keyboard shortcuts"}));
    EXPECT_EQ(titles(toc[1].children),
              (std::vector<std::string>{"The dictionary", "The phrase book", "Internet links",
                                        "About Wikabay"}));
    std::vector<ChmTopic> all;
    flatten(toc, all);
    for (const ChmTopic& topic : all) {
        const std::optional<std::string> page = chm.read(topic.path);
        ASSERT_TRUE(page) << topic.path;
        EXPECT_NE(page->find("<title>" + topic.title + "</title>"), std::string::npos)
            << topic.path;
    }
}

TEST(HelpFile, EveryLinkAndPictureInThePagesIsInTheFile) {
    ChmFile chm(WIKABAY_HELP_FILE);
    const std::regex attribute(R"re((?:href|src)\s*=\s*"([^"]*)")re", std::regex::icase);
    int pictures = 0;
    for (const std::string& entry : chm.entries()) {
        if (!entry.ends_with(".htm"))
            continue;
        const std::string html = chm.read(entry).value();
        for (std::sregex_iterator m(html.begin(), html.end(), attribute), end; m != end; ++m) {
            const std::string link = (*m)[1];
            if (link.starts_with("http:") || link.starts_with("https:") ||
                link.starts_with("mailto:"))
                continue;
            const std::string target = resolveEntryPath(entry, link);
            ASSERT_TRUE(chm.contains(target)) << entry << " links to " << link;
            if (target.ends_with(".png")) {
                ++pictures;
                EXPECT_TRUE(chm.read(target)->starts_with("\x89PNG\r\n")) << target;
            }
        }
    }
    EXPECT_GT(pictures, 0);
    EXPECT_FALSE(chm.read("/no-such-page.htm"));
}

TEST(HelpFile, IndexLeadsFromKeywordsToEveryPage) {
    ChmFile chm(WIKABAY_HELP_FILE);
    EXPECT_EQ(chm.indexPath(), "/wikabay_help.hhk");
    const std::vector<ChmKeyword> index = chm.index();
    const std::vector<std::string> keywords = names(index);
    for (const char* k : {"Dictionary", "Search", "Wildcards", "Phrase book", "Topics", "Websites",
                          "Description of a site", "Delete", "Keyboard shortcuts", "About window",
                          "Donate", "Welcome", "Help window"})
        EXPECT_NE(std::find(keywords.begin(), keywords.end(), k), keywords.end()) << k;

    std::vector<std::string> reached;
    std::vector<const ChmKeyword*> pending;
    for (const ChmKeyword& k : index)
        pending.push_back(&k);
    while (!pending.empty()) {
        const ChmKeyword* k = pending.back();
        pending.pop_back();
        EXPECT_FALSE(k->topics.empty()) << k->name;
        for (const ChmTopic& topic : k->topics) {
            EXPECT_TRUE(chm.contains(topic.path)) << k->name << " leads to " << topic.path;
            reached.push_back(topic.path);
        }
        for (const ChmKeyword& child : k->children)
            pending.push_back(&child);
    }
    for (const std::string& entry : chm.entries()) {
        if (entry.ends_with(".htm")) {
            EXPECT_NE(std::find(reached.begin(), reached.end(), entry), reached.end()) << entry;
        }
    }

    // A keyword of several pages names each; the help viewer's parts are sub-keywords.
    const auto del = std::find(keywords.begin(), keywords.end(), "Delete") - keywords.begin();
    ASSERT_EQ(index[del].topics.size(), 2u);
    EXPECT_EQ(index[del].topics[0].title, "The phrase book");
    EXPECT_EQ(index[del].topics[1].path, "/internet.htm");
    const auto help = std::find(keywords.begin(), keywords.end(), "Help window") - keywords.begin();
    EXPECT_EQ(names(index[help].children),
              (std::vector<std::string>{"Back", "Contents", "Forward", "Home", "Index", "Search"}));
}

TEST(HelpFile, PagesSayWhatTheProgramDoes) {
    ChmFile chm(WIKABAY_HELP_FILE);
    // Go to opens ftp:// and www. addresses too, besides web and mail addresses.
    const std::string internet = pageText(chm, "/internet.htm");
    for (const char* scheme : {"http://", "https://", "ftp://", "www.", "mailto:"})
        EXPECT_NE(internet.find(scheme), std::string::npos) << scheme;
    // Ctrl+Delete deletes a website as well as an expression.
    EXPECT_NE(internet.find("Ctrl+Delete"), std::string::npos);
    EXPECT_NE(internet.find("Deleting a website"), std::string::npos);
    const std::string shortcuts = pageText(chm, "/shortcuts.htm");
    EXPECT_NE(shortcuts.find("Ctrl+Delete Delete the selected website"), std::string::npos);
    EXPECT_NE(shortcuts.find("Ctrl+Delete Delete the selected expression"), std::string::npos);
    // The phrase book's topics need the mouse, so no page claims it all works from the keyboard.
    for (const std::string& entry : chm.entries()) {
        if (!entry.ends_with(".htm"))
            continue;
        std::string text = pageText(chm, entry);
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_EQ(text.find("entirely from the keyboard"), std::string::npos) << entry;
    }
    EXPECT_NE(pageText(chm, "/phrasebook.htm").find("with the mouse only"), std::string::npos);
    EXPECT_NE(shortcuts.find("need the mouse: the topics of the phrase book"), std::string::npos);
}

TEST(ChmFileErrors, MissingForeignAndDamagedFilesGiveErrorsNamingTheFile) {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    expectErrorNaming(base + "/nowhere.chm");

    std::mt19937 random(7);
    std::string noise(65536, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    writeFile(base + "/random.chm", noise);
    expectErrorNaming(base + "/random.chm");
    writeFile(base + "/empty.chm", "");
    expectErrorNaming(base + "/empty.chm");

    // A help file cut short either fails to open or fails entry by entry, naming the file.
    std::ifstream in(WIKABAY_HELP_FILE, std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), {});
    const std::string cut = base + "/cut.chm";
    writeFile(cut, whole.substr(0, whole.size() / 2));
    for (const std::string& entry : ChmFile(WIKABAY_HELP_FILE).entries()) {
        try {
            ChmFile(cut).read(entry);
        } catch (const ChmError& e) {
            EXPECT_NE(std::string(e.what()).find(cut), std::string::npos) << e.what();
        }
    }
}

TEST(ChmFileErrors, CorruptedBytesNeverCrashTheReader) {
    // chmlib's own decompressor crashes on some damaged files; opening one must fail with an
    // error instead. A few hundred copies of the help file with bytes changed at random: each
    // either opens and reads, or is refused naming the file. A crash ends the test program.
    QTemporaryDir dir;
    std::ifstream in(WIKABAY_HELP_FILE, std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), {});
    const std::string file = dir.path().toStdString() + "/changed.chm";
    std::mt19937 random(2026);
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        std::string bytes = whole;
        for (int k = 0; k < 8; ++k)
            bytes[random() % bytes.size()] = static_cast<char>(random());
        writeFile(file, bytes);
        try {
            ChmFile chm(file);
            for (const std::string& entry : chm.entries())
                chm.read(entry);
            chm.contents();
        } catch (const ChmError& e) {
            ++refused;
            EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
        }
    }
    EXPECT_GT(refused, 0);
}

TEST(ChmFileContents, FoundThroughTheWindowOrAsTheOnlyContentsFile) {
    // No contents in the system data, two candidates: only the window says which.
    QTemporaryDir byWindow;
    ChmFile named(compileHelp(
        byWindow, {{"t.hhp", "[OPTIONS]\nCompiled file=t.chm\n\n[WINDOWS]\nmain=\"Window title\","
                             "\"toc.hhc\",,\"p.htm\",\"p.htm\",,,,,0x2520,,0x3006,[0,0,600,400],"
                             ",,,,,,0\n\n[FILES]\np.htm\ntoc.hhc\nold.hhc\n"},
                   {"p.htm", kPage},
                   {"toc.hhc", kToc},
                   {"old.hhc", "<ul></ul>"}}));
    EXPECT_EQ(named.contentsPath(), "/toc.hhc");
    EXPECT_EQ(named.title(), "Window title");
    EXPECT_EQ(titles(named.contents()), std::vector<std::string>{"Page"});

    QTemporaryDir single;
    ChmFile only(compileHelp(single, {{"t.hhp", "[OPTIONS]\nCompiled file=t.chm\n\n[FILES]\np.htm\n"
                                                "only.hhc\n"},
                                      {"p.htm", kPage},
                                      {"only.hhc", kToc}}));
    EXPECT_EQ(only.contentsPath(), "/only.hhc");
    ASSERT_EQ(only.contents().size(), 1u);
    EXPECT_EQ(only.contents()[0].path, "/p.htm");
}

TEST(ChmFileIndex, FoundThroughTheSystemDataTheWindowOrAsTheOnlyIndexFile) {
    // Named in the project's options, beside another index file.
    QTemporaryDir bySystem;
    ChmFile system(compileHelp(
        bySystem, {{"t.hhp", "[OPTIONS]\nCompiled file=t.chm\nIndex file=keys.hhk\nBinary Index=No"
                             "\n\n[FILES]\np.htm\nkeys.hhk\nold.hhk\n"},
                   {"p.htm", kPage},
                   {"keys.hhk", kIndex},
                   {"old.hhk", "<ul></ul>"}}));
    EXPECT_EQ(system.indexPath(), "/keys.hhk");
    const std::vector<ChmKeyword> keys = system.index();
    ASSERT_EQ(names(keys), std::vector<std::string>{"Keyword"});
    ASSERT_EQ(keys[0].topics.size(), 1u);
    EXPECT_EQ(keys[0].topics[0].path, "/p.htm");
    EXPECT_EQ(keys[0].topics[0].title, "");

    // Named by the window only.
    QTemporaryDir byWindow;
    ChmFile named(compileHelp(
        byWindow,
        {{"t.hhp", "[OPTIONS]\nCompiled file=t.chm\n\n[WINDOWS]\nmain=\"Window title\","
                   "\"toc.hhc\",\"idx.hhk\",\"p.htm\",\"p.htm\",,,,,0x2520,,0x3006,"
                   "[0,0,600,400],,,,,,,0\n\n[FILES]\np.htm\ntoc.hhc\nidx.hhk\nold.hhk\n"},
         {"p.htm", kPage},
         {"toc.hhc", kToc},
         {"idx.hhk", kIndex},
         {"old.hhk", "<ul></ul>"}}));
    EXPECT_EQ(named.indexPath(), "/idx.hhk");
    EXPECT_EQ(names(named.index()), std::vector<std::string>{"Keyword"});

    // Named nowhere, the only one there is.
    QTemporaryDir single;
    ChmFile only(compileHelp(single, {{"t.hhp", "[OPTIONS]\nCompiled file=t.chm\n\n[FILES]\n"
                                                "p.htm\nonly.hhk\n"},
                                      {"p.htm", kPage},
                                      {"only.hhk", kIndex}}));
    EXPECT_EQ(only.indexPath(), "/only.hhk");
    EXPECT_EQ(names(only.index()), std::vector<std::string>{"Keyword"});

    // None at all: an empty index.
    QTemporaryDir none;
    ChmFile without(compileHelp(none, {{"t.hhp", "[OPTIONS]\nCompiled file=t.chm\n\n[FILES]\n"
                                                 "p.htm\n"},
                                       {"p.htm", kPage}}));
    EXPECT_EQ(without.indexPath(), "");
    EXPECT_TRUE(without.index().empty());
}

TEST(ParseIndex, KeywordsWithTheirPagesSeeAlsoAndSubKeywords) {
    const std::vector<ChmKeyword> index = parseIndex(R"(
        <UL><LI><OBJECT type="text/sitemap"><param name="Name" value="Delete &amp; undo">
                <param name="Name" value="Phrases"><param name="Local" value="sub/a.htm#del">
                <param name="Name" value="Sites"><param name="Local" value="..\b.htm">
                <param name="Local" value="c.htm"></OBJECT>
          <UL><LI><object type="text/sitemap"><param name="Name" value="expression">
                  <param name="Local" value="a.htm"></object>
            <!-- <li><object type="text/sitemap"><param name="Name" value="hidden"></object> -->
          </UL>
          <LI><object type="text/sitemap"><param name="Local" value="nameless.htm"></object>
          <LI><object type="text/sitemap"><param name="Name" value="Remove">
              <param name="See Also" value="Delete &amp; undo"></object>
          <LI><object type="text/site properties"><param name="Name" value="not a keyword"></object>
        </UL>)",
                                                     "/help/keys.hhk");
    ASSERT_EQ(names(index), (std::vector<std::string>{"Delete & undo", "Remove"}));
    ASSERT_EQ(index[0].topics.size(), 3u);
    EXPECT_EQ(index[0].topics[0].title, "Phrases");
    EXPECT_EQ(index[0].topics[0].path, "/help/sub/a.htm#del");
    EXPECT_EQ(index[0].topics[1].title, "Sites");
    EXPECT_EQ(index[0].topics[1].path, "/b.htm");
    EXPECT_EQ(index[0].topics[2].title, "");
    EXPECT_EQ(index[0].topics[2].path, "/help/c.htm");
    EXPECT_EQ(index[0].seeAlso, "");
    ASSERT_EQ(names(index[0].children), std::vector<std::string>{"expression"});
    EXPECT_EQ(index[0].children[0].topics[0].path, "/help/a.htm");
    EXPECT_TRUE(index[1].topics.empty());
    EXPECT_EQ(index[1].seeAlso, "Delete & undo");

    EXPECT_TRUE(parseIndex("").empty());
    EXPECT_TRUE(parseIndex("\x89PNG\r\n\x1a\n<<<ul><li><object").empty());
}

TEST(ParseContents, NestsListsResolvesPathsAndDecodesNames) {
    const std::vector<ChmTopic> toc = parseContents(R"(
        <OBJECT type="text/site properties"><param name="Name" value="not a topic"></OBJECT>
        <UL><LI><OBJECT TYPE="text/sitemap"><PARAM NAME="name" VALUE="Caf&eacute; &amp; more">
                <param name="Local" value='sub/a.htm#top'><param name="Local" value="b.htm"></OBJECT>
          <UL><LI><object type="text/sitemap"><param name="Name" value="&#201;lan"></object>
            <!-- <li><object type="text/sitemap"><param name="Name" value="hidden"></object> -->
            <UL><LI><object type="text/sitemap"><param name="Local" value="..\up.htm"></object>
          </UL></UL>
          <LI><object type="text/sitemap"><param name="Name" value="Last">
              <param name="Local" value="ms-its:x.chm::/last.htm"></object>
          <UL>)",
                                                    "/help/toc.hhc");
    ASSERT_EQ(titles(toc), (std::vector<std::string>{"Caf&eacute; & more", "Last"}));
    EXPECT_EQ(toc[0].path, "/help/sub/a.htm#top");
    EXPECT_EQ(toc[1].path, "/last.htm");
    ASSERT_EQ(titles(toc[0].children), std::vector<std::string>{"\xc3\x89lan"});
    EXPECT_EQ(toc[0].children[0].path, "");
    ASSERT_EQ(toc[0].children[0].children.size(), 1u);
    EXPECT_EQ(toc[0].children[0].children[0].title, "/up.htm");

    EXPECT_EQ(resolveEntryPath("/a/b.htm", "#x"), "/a/b.htm#x");
    EXPECT_EQ(resolveEntryPath("/a/b.htm", "./c/../../../d.htm"), "/d.htm");
    EXPECT_EQ(resolveEntryPath("/a/b.htm", "/images/p.png"), "/images/p.png");
}
