// wikabay-admin's exports for other programs: StarDict dictionaries, read back by sdcv and by a
// reader of the format written here, and Anki note files.

#include "common/AdminRunner.h"

#include <zlib.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace wk::tools::test {
namespace {

const std::string kDictionary =
    "Tagalo,ActiveVerb,PassiveVerb,English,L2Definition,Examples,Notes\n"
    "kain,kumain,kainin,to eat,Pagsubo at paglunok ng pagkain.,\"Kumain ka na? — Have you "
    "eaten?\nKakain tayo. — We will eat.\",\"Say \"\"<b>po</b>\"\" & smile\"\n"
    "aral,mag-aral,pag-aralan,to study; a lesson,,,\n"
    "Bahay,,,house,,,\n"
    "salámat,,,thank you,,,\n"
    "niño,,,the Holy Child,,,\n"
    "kumusta,,,how are you?,,,\n"
    "bangko,,,bank,,,\n"
    "bangko,,,bench,,,\n"
    "wala,,,,,,\n"
    ",,,a record without a headword,,,\n";

const std::string kPhraseBook = "English,Tagalog,Group\n"
                                "Good morning.,Magandang umaga po.,General\n"
                                "What time is it?,Anong oras na?,Date/time\n"
                                "\"He said \"\"hi\"\"\",Sabi niya “hi”,Conversation\n"
                                "\"Two\nlines\",Dalawang linya,Small talk\n"
                                ",Walang Ingles,General\n"
                                "#1 fan,Numero unong tagahanga,Numbers\n";

std::uint32_t bigEndian32(const std::string& s, size_t at) {
    std::uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

unsigned littleEndian16(const std::string& s, size_t at) {
    return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8;
}

// The order the format demands: ASCII letters compared without case, then plain bytes.
int stardictOrder(const std::string& a, const std::string& b) {
    auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : int(c); };
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return fold(a[i]) - fold(b[i]);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

// Unpacks a whole gzip file, checking its CRC and length.
std::optional<std::string> gunzip(const std::string& file) {
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK)
        return std::nullopt;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(file.data()));
    z.avail_in = static_cast<uInt>(file.size());
    std::string out;
    int rc = Z_OK;
    while (rc == Z_OK) {
        char buffer[65536];
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    }
    const bool whole = rc == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return whole ? std::optional(out) : std::nullopt;
}

// Unpacks a dictzip file chunk by chunk, each from a fresh start as a reader that jumps to it
// does, after checking the random-access table of the gzip header against the chunks.
std::string unpackChunks(const std::string& dz) {
    EXPECT_GE(dz.size(), 18u);
    if (dz.size() < 18)
        return {};
    EXPECT_EQ(dz.substr(0, 3), "\x1f\x8b\x08");
    const unsigned flags = static_cast<unsigned char>(dz[3]);
    EXPECT_TRUE(flags & 4) << "no extra field";
    const unsigned xlen = littleEndian16(dz, 10);
    EXPECT_EQ(dz.substr(12, 2), "RA");
    const unsigned len = littleEndian16(dz, 14);
    EXPECT_EQ(littleEndian16(dz, 16), 1u) << "version";
    const unsigned chunkLength = littleEndian16(dz, 18);
    const unsigned count = littleEndian16(dz, 20);
    EXPECT_GT(chunkLength, 0u);
    EXPECT_LE(chunkLength, 58315u);
    EXPECT_EQ(len, 6 + 2 * count);
    EXPECT_EQ(xlen, 4 + len);
    size_t at = 12 + xlen;
    for (unsigned bit : {8u, 16u}) // a file name, a comment
        if (flags & bit)
            at = dz.find('\0', at) + 1;
    if (flags & 2)
        at += 2;
    size_t total = 0;
    for (unsigned i = 0; i < count; ++i)
        total += littleEndian16(dz, 22 + 2 * i);
    const bool filled = at + total + 8 == dz.size();
    EXPECT_TRUE(filled) << "the chunks do not fill the file";
    std::string out;
    for (unsigned i = 0; i < count && filled; ++i) {
        const unsigned size = littleEndian16(dz, 22 + 2 * i);
        z_stream z{};
        inflateInit2(&z, -MAX_WBITS);
        std::string chunk(chunkLength + 1, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(dz.data() + at));
        z.avail_in = size;
        z.next_out = reinterpret_cast<Bytef*>(chunk.data());
        z.avail_out = static_cast<uInt>(chunk.size());
        const int rc = inflate(&z, Z_SYNC_FLUSH);
        chunk.resize(chunk.size() - z.avail_out);
        EXPECT_EQ(z.avail_in, 0u) << "chunk " << i;
        inflateEnd(&z);
        const bool last = i + 1 == count;
        EXPECT_EQ(rc, last ? Z_STREAM_END : Z_OK) << "chunk " << i;
        if (!last) {
            EXPECT_EQ(chunk.size(), chunkLength) << "chunk " << i;
        }
        out += chunk;
        at += size;
    }
    return out;
}

struct IdxEntry {
    std::string word;
    std::uint32_t offset;
    std::uint32_t size;
};

// A dictionary as read from its files, with the format's rules checked on the way.
struct StarDict {
    std::map<std::string, std::string> ifo;
    std::vector<IdxEntry> idx;
    std::vector<std::pair<std::string, std::uint32_t>> syn;
    std::string dict;

    std::string article(size_t i) const { return dict.substr(idx[i].offset, idx[i].size); }

    // The entries that `word` leads to through the synonyms.
    std::set<size_t> synonymsOf(const std::string& word) const {
        std::set<size_t> found;
        for (const auto& [w, index] : syn)
            if (w == word)
                found.insert(index);
        return found;
    }

    std::set<std::string> headwordsFor(const std::string& word) const {
        std::set<std::string> found;
        for (size_t i : synonymsOf(word))
            found.insert(idx[i].word);
        return found;
    }
};

StarDict readStarDict(const fs::path& folder, const std::string& name) {
    StarDict sd;
    std::istringstream ifo(readBytes(folder / (name + ".ifo")));
    std::string line;
    std::getline(ifo, line);
    EXPECT_EQ(line, "StarDict's dict ifo file");
    while (std::getline(ifo, line))
        sd.ifo[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    EXPECT_EQ(sd.ifo["version"], "2.4.2");
    EXPECT_EQ(sd.ifo["sametypesequence"], "h");
    EXPECT_FALSE(sd.ifo["bookname"].empty());
    EXPECT_FALSE(sd.ifo["description"].empty());

    const std::string dz = readBytes(folder / (name + ".dict.dz"));
    sd.dict = unpackChunks(dz);
    EXPECT_EQ(gunzip(dz), std::optional(sd.dict)) << "the chunks unpack to other data";

    const std::string idx = readBytes(folder / (name + ".idx"));
    EXPECT_EQ(sd.ifo["idxfilesize"], std::to_string(idx.size()));
    for (size_t at = 0; at < idx.size();) {
        const size_t end = idx.find('\0', at);
        if (end == std::string::npos || end + 9 > idx.size()) {
            ADD_FAILURE() << "the index ends inside an entry";
            break;
        }
        sd.idx.push_back(
            {idx.substr(at, end - at), bigEndian32(idx, end + 1), bigEndian32(idx, end + 5)});
        at = end + 9;
    }
    EXPECT_EQ(sd.ifo["wordcount"], std::to_string(sd.idx.size()));
    std::vector<std::pair<std::uint32_t, std::uint32_t>> spans;
    for (size_t i = 0; i < sd.idx.size(); ++i) {
        const IdxEntry& e = sd.idx[i];
        EXPECT_FALSE(e.word.empty());
        EXPECT_LT(e.word.size(), 256u);
        EXPECT_EQ(e.word.find_first_of("\t\n\r"), std::string::npos) << e.word;
        if (i > 0) {
            EXPECT_LE(stardictOrder(sd.idx[i - 1].word, e.word), 0)
                << sd.idx[i - 1].word << " before " << e.word;
        }
        EXPECT_LE(std::uint64_t(e.offset) + e.size, sd.dict.size()) << e.word;
        spans.emplace_back(e.offset, e.size);
    }
    // The articles fill the data, one after another.
    std::sort(spans.begin(), spans.end());
    std::uint64_t next = 0;
    for (const auto& [offset, size] : spans) {
        EXPECT_EQ(offset, next);
        next = std::uint64_t(offset) + size;
    }
    EXPECT_EQ(next, sd.dict.size());

    const fs::path synFile = folder / (name + ".syn");
    EXPECT_EQ(fs::exists(synFile), sd.ifo.count("synwordcount") == 1);
    const std::string syn = readBytes(synFile);
    for (size_t at = 0; at < syn.size();) {
        const size_t end = syn.find('\0', at);
        if (end == std::string::npos || end + 5 > syn.size()) {
            ADD_FAILURE() << "the synonyms end inside an entry";
            break;
        }
        sd.syn.emplace_back(syn.substr(at, end - at), bigEndian32(syn, end + 1));
        EXPECT_LT(sd.syn.back().second, sd.idx.size());
        if (sd.syn.size() > 1) {
            EXPECT_LE(stardictOrder(sd.syn[sd.syn.size() - 2].first, sd.syn.back().first), 0);
        }
        at = end + 5;
    }
    if (!sd.syn.empty()) {
        EXPECT_EQ(sd.ifo["synwordcount"], std::to_string(sd.syn.size()));
    }
    return sd;
}

class Export : public AdminToolTest {
protected:
    void SetUp() override {
        AdminToolTest::SetUp();
        // sdcv keeps its history and caches under HOME and reads its arguments in the locale.
        for (const char* v : {"HOME", "LC_ALL"})
            if (const char* old = std::getenv(v))
                saved_[v] = old;
        ::setenv("HOME", dir().c_str(), 1);
        ::setenv("LC_ALL", "C.UTF-8", 1);
        aliasOverTables("Test");
        importCsv("Tagalog", kDictionary);
        importCsv("Variants", "variant,headword\nkamusta,kumusta\n");
        importCsv("Expressions1", kPhraseBook);
    }

    void TearDown() override {
        for (const char* v : {"HOME", "LC_ALL"}) {
            if (saved_.count(v))
                ::setenv(v, saved_[v].c_str(), 1);
            else
                ::unsetenv(v);
        }
        AdminToolTest::TearDown();
    }

    void importCsv(const std::string& table, const std::string& csv) const {
        writeBytes(dir() / (table + ".csv"), csv);
        ok({"import", "--alias", "Test", "--password", "pw", table, table + ".csv"});
    }

    RunResult exportAs(const std::string& format, const std::string& table,
                       const std::string& to) const {
        return run(
            {"export", "--alias", "Test", "--password", "pw", "--format", format, table, to});
    }

    // Looks `word` up exactly with sdcv in `folder`.
    RunResult sdcv(const std::string& folder, const std::string& word) const {
        const std::string program = "/usr/bin/sdcv";
        EXPECT_TRUE(fs::exists(program)) << "sdcv is missing: scripts/deps.sh installs it";
        return runProgram(program, {"--data-dir", (dir() / folder).string(), "-n", "-e", word});
    }

private:
    std::map<std::string, std::string> saved_;
};

TEST_F(Export, SdcvFindsAnEntryByHeadwordVerbFormEnglishWordAndVariant) {
    const RunResult r = exportAs("stardict", "Tagalog", "dict");
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_TRUE(contains(r.err, "9 entries")) << r;
    EXPECT_TRUE(contains(r.err, "1 record without a headword left out")) << r;

    const RunResult kain = sdcv("dict", "kain");
    EXPECT_TRUE(contains(kain.out, "<b>kain</b>")) << kain;
    EXPECT_TRUE(contains(kain.out, "kumain")) << kain;
    EXPECT_TRUE(contains(kain.out, "to eat")) << kain;
    EXPECT_TRUE(contains(kain.out, "Pagsubo at paglunok ng pagkain.")) << kain;
    EXPECT_TRUE(contains(kain.out, "Have you eaten?<br>Kakain tayo. — We will eat.")) << kain;
    EXPECT_TRUE(contains(kain.out, "Say &quot;&lt;b&gt;po&lt;/b&gt;&quot; &amp; smile")) << kain;
    for (const char* word : {"kumain", "kainin", "eat", "EAT"}) {
        const RunResult found = sdcv("dict", word);
        EXPECT_TRUE(contains(found.out, "-->kain\n") && contains(found.out, "to eat")) << found;
    }
    const std::map<std::string, std::string> elsewhere = {
        {"pag-aralan", "aral"}, {"lesson", "aral"}, {"kamusta", "kumusta"}, {"salamat", "salámat"},
        {"salámat", "salámat"}, {"nino", "niño"},   {"niño", "niño"},       {"bahay", "Bahay"}};
    for (const auto& [word, headword] : elsewhere) {
        const RunResult found = sdcv("dict", word);
        EXPECT_TRUE(contains(found.out, "-->" + headword + "\n")) << word << '\n' << found;
    }
    EXPECT_FALSE(contains(sdcv("dict", "to").out, "-->kain")) << "a common word leads nowhere";
}

TEST_F(Export, DictionaryFilesKeepTheFormatsRules) {
    ASSERT_EQ(exportAs("stardict", "Tagalog", "dict").code, 0);
    const StarDict sd = readStarDict(dir() / "dict", "wikabay-tagalog");
    std::vector<std::string> words;
    for (const IdxEntry& e : sd.idx)
        words.push_back(e.word);
    // Letter case aside for ASCII, so "Bahay" between "aral" and "bangko"; ñ and á as bytes.
    EXPECT_EQ(words, (std::vector<std::string>{"aral", "Bahay", "bangko", "bangko", "kain",
                                               "kumusta", "niño", "salámat", "wala"}));
    for (size_t i = 0; i < sd.idx.size(); ++i)
        EXPECT_TRUE(sd.article(i).starts_with("<b>" + sd.idx[i].word + "</b>")) << sd.article(i);
    // Homographs keep their order; empty fields leave nothing behind.
    EXPECT_TRUE(contains(sd.article(2), "bank") && contains(sd.article(3), "bench"));
    EXPECT_EQ(sd.article(8), "<b>wala</b>");
    EXPECT_EQ(sd.article(1), "<b>Bahay</b><br>\nhouse");

    using Set = std::set<std::string>;
    EXPECT_EQ(sd.headwordsFor("eat"), Set{"kain"});
    EXPECT_EQ(sd.headwordsFor("kumain"), Set{"kain"});
    EXPECT_EQ(sd.headwordsFor("mag-aral"), Set{"aral"});
    EXPECT_EQ(sd.headwordsFor("study"), Set{"aral"});
    EXPECT_EQ(sd.headwordsFor("kamusta"), Set{"kumusta"});
    EXPECT_EQ(sd.headwordsFor("nino"), Set{"niño"});
    EXPECT_EQ(sd.synonymsOf("bench"), std::set<size_t>{3});
    EXPECT_EQ(sd.synonymsOf("bank"), std::set<size_t>{2});
    for (const char* common : {"to", "the", "a", "are"})
        EXPECT_TRUE(sd.synonymsOf(common).empty()) << common;
    EXPECT_TRUE(sd.synonymsOf("kain").empty()) << "a headword is not its own synonym";
}

TEST_F(Export, ArticlesSpanManyChunksAndEachUnpacksAlone) {
    // Enough text that compresses badly for several chunks of the compressed data.
    std::string csv = "Tagalo,ActiveVerb,PassiveVerb,English,L2Definition,Examples,Notes\n";
    std::uint32_t seed = 12345;
    for (int i = 0; i < 600; ++i) {
        std::string text;
        for (int j = 0; j < 700; ++j) {
            seed = seed * 1103515245u + 12345u;
            text += static_cast<char>((seed >> 16) % 27 == 0 ? ' ' : 'a' + (seed >> 16) % 26);
        }
        csv += "salita" + std::to_string(i) + ",,,word number " + std::to_string(i) + ",,\"" +
               text + "\",\n";
    }
    importCsv("Tagalog", csv);
    ASSERT_EQ(exportAs("stardict", "Tagalog", "big").code, 0);
    const std::string dz = readBytes(dir() / "big" / "wikabay-tagalog.dict.dz");
    EXPECT_GE(littleEndian16(dz, 20), 7u) << "chunk count";
    const StarDict sd = readStarDict(dir() / "big", "wikabay-tagalog");
    EXPECT_EQ(sd.idx.size(), 600u);
    EXPECT_GT(sd.dict.size(), 6 * 58315u);
    // The last records lie in the last chunks.
    const RunResult last = sdcv("big", "salita599");
    EXPECT_TRUE(contains(last.out, "word number 599")) << last;
}

TEST_F(Export, TabsAndLineBreaksInHeadwordsAreReplacedAndCounted) {
    importCsv("Tagalog", "Tagalo,English\n\"tab\there\",a tab\n\"line\nbreak\",a line break\n"
                         "plain,plain\n");
    const RunResult r = exportAs("stardict", "Tagalog", "dict");
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_TRUE(contains(r.err, "2 headwords held a tab or line break")) << r;
    const StarDict sd = readStarDict(dir() / "dict", "wikabay-tagalog");
    ASSERT_EQ(sd.idx.size(), 3u);
    EXPECT_EQ(sd.idx[0].word, "line break");
    EXPECT_EQ(sd.idx[2].word, "tab here");
    EXPECT_TRUE(contains(sdcv("dict", "tab here").out, "a tab"));

    const RunResult clean = exportAs("stardict", "Expressions1", "phrases");
    EXPECT_TRUE(contains(clean.err, "1 headword held a tab or line break")) << clean;
}

TEST_F(Export, EmptyTableGivesAnEmptyDictionaryAndNoStaleFiles) {
    ASSERT_EQ(exportAs("stardict", "Tagalog", "dict").code, 0);
    ASSERT_TRUE(fs::exists(dir() / "dict" / "wikabay-tagalog.syn"));
    EXPECT_TRUE(contains(sdcv("dict", "eat").out, "-->kain")); // leaves sdcv's offset cache
    importCsv("Tagalog", "Tagalo,ActiveVerb,PassiveVerb,English,L2Definition,Examples,Notes\n");
    const RunResult r = exportAs("stardict", "Tagalog", "dict");
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_TRUE(contains(r.err, "0 entries")) << r;
    const StarDict sd = readStarDict(dir() / "dict", "wikabay-tagalog");
    EXPECT_EQ(sd.ifo.at("wordcount"), "0");
    EXPECT_EQ(sd.ifo.at("idxfilesize"), "0");
    EXPECT_EQ(sd.ifo.count("synwordcount"), 0u);
    EXPECT_EQ(sd.dict, "");
    for (const auto& f : fs::directory_iterator(dir() / "dict"))
        EXPECT_TRUE(f.path().extension() == ".ifo" || f.path().extension() == ".idx" ||
                    f.path().extension() == ".dz")
            << f.path();
    const RunResult none = sdcv("dict", "eat");
    EXPECT_EQ(none.code, 0) << none;
    EXPECT_FALSE(contains(none.out, "-->")) << none;
}

TEST_F(Export, PhraseBookBecomesAnEnglishTagalogDictionary) {
    const RunResult r = exportAs("stardict", "Expressions1", "phrases");
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_TRUE(contains(r.err, "1 record without an English text left out")) << r;
    const StarDict sd = readStarDict(dir() / "phrases", "wikabay-expressions1");
    EXPECT_EQ(sd.idx.size(), 5u);
    EXPECT_TRUE(contains(sd.ifo.at("bookname"), "phrase book")) << sd.ifo.at("bookname");

    for (const char* word : {"Good morning.", "good morning"}) {
        const RunResult found = sdcv("phrases", word);
        EXPECT_TRUE(contains(found.out, "-->Good morning.\n")) << found;
        EXPECT_TRUE(contains(found.out, "<b>Magandang umaga po.</b>")) << found;
        EXPECT_TRUE(contains(found.out, "General")) << found;
    }
    const RunResult tagalog = sdcv("phrases", "Anong oras na");
    EXPECT_TRUE(contains(tagalog.out, "-->What time is it?\n")) << tagalog;
    EXPECT_TRUE(contains(tagalog.out, "Date/time")) << tagalog;
    EXPECT_TRUE(contains(sdcv("phrases", "He said \"hi\"").out, "Sabi niya “hi”"));
}

TEST_F(Export, AnkiFilesForThePhraseBookAndTheDictionary) {
    const RunResult phrases = exportAs("anki", "Expressions1", "phrases.txt");
    ASSERT_EQ(phrases.code, 0) << phrases;
    EXPECT_TRUE(contains(phrases.err, "5 notes")) << phrases;
    EXPECT_TRUE(contains(phrases.err, "1 record without an English text left out")) << phrases;
    EXPECT_EQ(readBytes(dir() / "phrases.txt"),
              "#separator:tab\n#html:false\n#tags column:3\n"
              "Good morning.\tMagandang umaga po.\tGeneral\n"
              "What time is it?\tAnong oras na?\tDate_time\n"
              "\"He said \"\"hi\"\"\"\tSabi niya “hi”\tConversation\n"
              "Two / lines\tDalawang linya\tSmall_talk\n"
              "\"#1 fan\"\tNumero unong tagahanga\tNumbers\n");

    importCsv("Tagalog", "Tagalo,ActiveVerb,PassiveVerb,English,L2Definition,Examples,Notes\n"
                         "kain,kumain,kainin,to eat,,\"Kumain ka na? — Have you eaten?\r\n\r\n"
                         "Kakain tayo. — We will eat.\n\",\n"
                         "\"tab\there\",,,\"a\ttab\",,,\n"
                         "wala,,,,,,\n"
                         ",,,no headword,,,\n");
    const RunResult words = exportAs("anki", "Tagalog", "words.txt");
    ASSERT_EQ(words.code, 0) << words;
    EXPECT_EQ(readBytes(dir() / "words.txt"),
              "#separator:tab\n#html:false\n"
              "kain\tto eat\tKumain ka na? — Have you eaten? / Kakain tayo. — We will eat.\n"
              "tab here\ta tab\t\n"
              "wala\t\t\n");
}

// Another user's links in a shared folder, at the names an export writes to or once wrote to.
TEST_F(Export, LinksPlantedAtTheNamesWrittenAreReplacedNeverWrittenThrough) {
    const fs::path victim = dir() / "victim.txt";
    writeBytes(victim, "precious");
    const fs::path madeThroughALink = dir() / "made-through-a-link";
    const fs::path dict = dir() / "dict";
    fs::create_directories(dict);
    std::vector<fs::path> planted = {dir() / "phrases.txt.part", dir() / "words.txt.part",
                                     dir() / "words.txt", dict / "wikabay-tagalog.ifo"};
    for (const char* file : {".ifo", ".idx", ".dict.dz", ".syn"})
        planted.push_back(dict / ("wikabay-tagalog" + std::string(file) + ".part"));
    for (const fs::path& link : planted)
        fs::create_symlink(victim, link);
    fs::create_symlink(madeThroughALink, dir() / "dangling.txt.part");

    for (const auto& [format, table, to] : {std::tuple("anki", "Expressions1", "phrases.txt"),
                                            std::tuple("anki", "Tagalog", "words.txt"),
                                            std::tuple("anki", "Expressions1", "dangling.txt"),
                                            std::tuple("stardict", "Tagalog", "dict")}) {
        const RunResult r = exportAs(format, table, to);
        EXPECT_EQ(r.code, 0) << to << ": " << r;
    }

    EXPECT_EQ(readBytes(victim), "precious");
    EXPECT_FALSE(fs::exists(fs::symlink_status(madeThroughALink)));
    for (const fs::path& file : {dir() / "phrases.txt", dir() / "words.txt", dir() / "dangling.txt",
                                 dict / "wikabay-tagalog.ifo", dict / "wikabay-tagalog.idx",
                                 dict / "wikabay-tagalog.dict.dz", dict / "wikabay-tagalog.syn"})
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file))) << file;
    EXPECT_TRUE(readBytes(dir() / "phrases.txt")
                    .starts_with("#separator:tab\n#html:false\n#tags column:3\nGood morning.\t"));
    EXPECT_EQ(readBytes(dir() / "dangling.txt"), readBytes(dir() / "phrases.txt"));
    EXPECT_TRUE(contains(readBytes(dir() / "words.txt"), "\nkain\tto eat\t"));
    EXPECT_EQ(readStarDict(dict, "wikabay-tagalog").idx.size(), 9u);
    // What was planted is left as it was, and no temporary is left behind.
    for (const fs::path& link : planted) {
        if (link.extension() == ".part") {
            EXPECT_EQ(fs::read_symlink(link), victim) << link;
        }
    }
    for (const fs::path& folder : {dir(), dict})
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_FALSE(contains(entry.path().filename().string(), ".tmp.")) << entry.path();
}

TEST_F(Export, FailuresSayWhatIsWrongAndWriteNothing) {
    importCsv("Internet", "Name,Description,URL\nKWF,Commission,https://kwf.gov.ph/\n");
    const RunResult other = exportAs("stardict", "Internet", "out");
    EXPECT_TRUE(other.failed()) << other;
    EXPECT_TRUE(contains(other.err, "neither a dictionary")) << other;
    EXPECT_FALSE(fs::exists(dir() / "out"));
    EXPECT_TRUE(exportAs("anki", "Internet", "out.txt").failed());
    EXPECT_FALSE(fs::exists(dir() / "out.txt"));

    const RunResult locked =
        run({"export", "--alias", "Test", "--format", "stardict", "Tagalog", "out"});
    EXPECT_TRUE(locked.failed()) << locked;
    EXPECT_FALSE(fs::exists(dir() / "out"));

    writeBytes(dir() / "afile", "x");
    const RunResult notAFolder = exportAs("stardict", "Tagalog", "afile");
    EXPECT_TRUE(notAFolder.failed()) << notAFolder;
    EXPECT_TRUE(contains(notAFolder.err, "afile")) << notAFolder;
    EXPECT_EQ(readBytes(dir() / "afile"), "x");

    EXPECT_EQ(run({"export", "--alias", "Test", "--format", "stardict", "Tagalog"}).code, 2);
    EXPECT_EQ(run({"export", "--alias", "Test", "--format", "pdf", "Tagalog", "x"}).code, 2);
    EXPECT_EQ(run({"export", "--alias", "Test", "Tagalog", "--format"}).code, 2);
}

} // namespace
} // namespace wk::tools::test
