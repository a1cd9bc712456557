// The help file reader: the help file the build compiles, damaged files, and where it finds the
// table of contents in files compiled here for the purpose.

#include "platform/ChmFile.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <regex>

using namespace wk::platform;

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

// Compiles `files` (name, text) with the help compiler in `dir`; returns the .chm's path.
std::string compile(const QTemporaryDir& dir,
                    const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, text] : files)
        writeFile(QDir(dir.path()).filePath(QString::fromStdString(name)).toStdString(), text);
    QProcess chmcmd;
    chmcmd.setWorkingDirectory(dir.path());
    chmcmd.start(QStringLiteral(WIKABAY_CHMCMD), {QStringLiteral("t.hhp")});
    EXPECT_TRUE(chmcmd.waitForFinished(30000));
    EXPECT_EQ(chmcmd.exitCode(), 0) << chmcmd.readAllStandardError().toStdString();
    return QDir(dir.path()).filePath(QStringLiteral("t.chm")).toStdString();
}

const std::string kPage = "<html><head><title>P</title></head><body>P</body></html>";
const std::string kToc = R"(<ul><li><object type="text/sitemap">
<param name="Name" value="Page"><param name="Local" value="p.htm"></object></ul>)";

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
    ChmFile named(compile(
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
    ChmFile only(compile(single, {{"t.hhp", "[OPTIONS]\nCompiled file=t.chm\n\n[FILES]\np.htm\n"
                                            "only.hhc\n"},
                                  {"p.htm", kPage},
                                  {"only.hhc", kToc}}));
    EXPECT_EQ(only.contentsPath(), "/only.hhc");
    ASSERT_EQ(only.contents().size(), 1u);
    EXPECT_EQ(only.contents()[0].path, "/p.htm");
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
