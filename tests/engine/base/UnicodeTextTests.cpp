// The engine's upper-casing is the simple, one-to-one Unicode case mapping, as the dictionary's
// search edit does it one character at a time: "straße" becomes "STRAßE", never "STRASSE".

#include "EngineFixture.h"

#include "engine/base/Sqlite.h"
#include "engine/base/UnicodeText.h"
#include "engine/search/SearchGrams.h"
#include "engine/storage/Database.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFiles.h"

#include <sqlite3.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace wk::engine::test {
namespace {

std::string utf8Of(UChar32 c) {
    std::string out;
    icu::UnicodeString(c).toUTF8String(out);
    return out;
}

// UnicodeData's simple uppercase mapping of every character of valid UTF-8 text.
std::string simpleUpper(const std::string& text) {
    const icu::UnicodeString s = icu::UnicodeString::fromUTF8(text);
    std::string out;
    for (int32_t i = 0; i < s.length();) {
        const UChar32 c = s.char32At(i);
        out += utf8Of(u_toupper(c));
        i += U16_LENGTH(c);
    }
    return out;
}

// ICU's full case mapping without a locale, which the engine used before.
std::string fullUpper(const std::string& text) {
    icu::UnicodeString s = icu::UnicodeString::fromUTF8(text);
    s.toUpper(icu::Locale::getRoot());
    std::string out;
    s.toUTF8String(out);
    return out;
}

TEST(UnicodeText, UpperMapsOneCharacterForOneAndOtherLettersAsBefore) {
    const std::pair<const char*, const char*> oneForOne[] = {
        {"straße", "STRAßE"}, // ß has no simple capital: it stays
        {"Straße", "STRAßE"},
        {"ß", "ß"},
        {"\uFB01le", "\uFB01LE"}, // the ligature ﬁ stays, the rest in capitals
        {"\uFB01sh", "\uFB01SH"},
        {"\u0149", "\u0149"}, // ŉ
        {"\u0390", "\u0390"}, // ΐ
        {"\u03B0", "\u03B0"}, // ΰ
        {"\u01F0", "\u01F0"}, // ǰ
        {"\u0587", "\u0587"}, // Armenian ligature ech yiwn
        {"\u1E96", "\u1E96"}, // ẖ
        {"\u1F80", "\u1F88"}, // ᾀ: its simple capital, where the full one is two characters
        {"\u1FB3", "\u1FBC"}, // ᾳ
        {"\u1FF3", "\u1FFC"}, // ῳ
        {"\uFB00\uFB02\uFB03\uFB04\uFB05\uFB06", "\uFB00\uFB02\uFB03\uFB04\uFB05\uFB06"},
    };
    for (const auto& [text, upper] : oneForOne) {
        EXPECT_EQ(toUpperUtf8(text), upper) << text;
        EXPECT_EQ(utf8Length(toUpperUtf8(text)), utf8Length(text)) << text;
    }
    // Every other letter maps as it did with the full case mapping.
    const std::pair<const char*, const char*> asBefore[] = {
        {"niño", "NIÑO"},
        {"piña", "PIÑA"},
        {"bayán", "BAYÁN"},
        {"café", "CAFÉ"},
        {"über", "ÜBER"},
        {"Malacañang", "MALACAÑANG"},
        {"\u01C6", "\u01C4"}, // ǆ → Ǆ
        {"\u01C5", "\u01C4"}, // ǅ → Ǆ
        {"\u01C9", "\u01C7"}, // ǉ → Ǉ
        {"σοφία", "ΣΟΦΊΑ"},
        {"ς", "Σ"},
        {"ΣΟΦΌΣ", "ΣΟΦΌΣ"},
        {"\u0345", "\u0399"}, // combining ypogegrammeni → Ι
        {"привет, мир", "ПРИВЕТ, МИР"},
        {"ёж", "ЁЖ"},
        {"ıi", "II"},
        {"İstanbul", "İSTANBUL"},
        {"e\u0301", "E\u0301"},
        {"ẞ", "ẞ"},
        {"\xF0\x90\x90\xA8", "\xF0\x90\x90\x80"}, // Deseret 𐐨 → 𐐀, beyond U+FFFF
        {"😀ok", "😀OK"},
        {"50% a_b", "50% A_B"},
        {"", ""},
    };
    for (const auto& [text, upper] : asBefore) {
        EXPECT_EQ(toUpperUtf8(text), upper) << text;
        EXPECT_EQ(toUpperUtf8(text), fullUpper(text)) << text;
    }
    EXPECT_EQ(toUpperUtf8(std::string("nul\0ang", 7)), std::string("NUL\0ANG", 7));
}

TEST(UnicodeText, EveryCharacterTakesItsSimpleCapital) {
    size_t differ = 0;
    for (UChar32 c = 1; c < 0x110000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const std::string ch = utf8Of(c);
        // Alone and among others, in the fast path (below U+10000) and out of it.
        for (const std::string& text :
             {ch, "a" + ch + "\xCE\xA3" + ch + "s", "\xF0\x9F\x98\x80" + ch + "\xC3\xB1"}) {
            const std::string upper = toUpperUtf8(text);
            ASSERT_EQ(upper, simpleUpper(text)) << "U+" << std::hex << c;
            ASSERT_EQ(utf8Length(upper), utf8Length(text)) << "U+" << std::hex << c;
        }
        // Where the full capital is one character, it is the simple one: nothing else changed.
        const std::string full = fullUpper(ch);
        if (utf8Length(full) == 1)
            ASSERT_EQ(toUpperUtf8(ch), full) << "U+" << std::hex << c;
        else
            ++differ;
    }
    // ß, ŉ, ǰ, ΐ, ΰ, և, ẖ to ẚ, the Greek with iota below or breathing, the ligatures ﬀ to ﬆ and
    // ﬓ to ﬗ: some hundred characters in all.
    EXPECT_GT(differ, 90u);
    EXPECT_LT(differ, 120u);
}

TEST(UnicodeText, InvalidUtf8BecomesReplacementCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"\xFF", "\xEF\xBF\xBD"},
        {"ab\xC3", "AB\xEF\xBF\xBD"},
        {"\xED\xA0\x80x", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDX"},
        {"stra\xC3\x9F\xFE", "STRA\xC3\x9F\xEF\xBF\xBD"},
        {"n\xC3\xB1\xFE", "N\xC3\x91\xEF\xBF\xBD"},
    };
    for (const auto& [text, upper] : cases) {
        EXPECT_EQ(toUpperUtf8(text), upper);
        EXPECT_TRUE(search::validUtf8(toUpperUtf8(text)));
    }
}

TEST(UnicodeText, SearchableTextKeepsTheSharpS) {
    EXPECT_EQ(search::searchableText("Straße"), "STRAßE");
    EXPECT_EQ(search::searchableText("\uFB01sh"), "\uFB01SH");
    const std::vector<search::Gram> grams = search::gramsOf(search::searchableText("Straße"));
    EXPECT_TRUE(std::binary_search(grams.begin(), grams.end(), search::gramOf("A\xC3\x9F")));
    EXPECT_FALSE(std::binary_search(grams.begin(), grams.end(), search::gramOf("SSE")));
    EXPECT_TRUE(search::valueMatches(search::planPattern("%STRAßE%"), "Straße"));
    EXPECT_FALSE(search::valueMatches(search::planPattern("%STRASSE%"), "Straße"));
}

class UpperFunctionTest : public EngineTest {};

TEST_F(UpperFunctionTest, TheConnectionsUpperMapsOneForOne) {
    Session session("Upper");
    SqliteDb& db = requireTableFiles(session.database(kAlias), "The test").connection();
    SqliteStatement st(db, "SELECT Upper(?1), Upper(NULL)", "upper");
    const std::pair<const char*, const char*> cases[] = {
        {"Straße", "STRAßE"}, {"\uFB01sh", "\uFB01SH"}, {"\u0149", "\u0149"}, {"\u0390", "\u0390"},
        {"niño", "NIÑO"},     {"\u01C6", "\u01C4"},     {"σοφία", "ΣΟΦΊΑ"},   {"привет", "ПРИВЕТ"},
    };
    for (const auto& [text, upper] : cases) {
        st.reset();
        st.bindTextOrNull(1, text);
        ASSERT_TRUE(st.step());
        EXPECT_EQ(st.columnText(0), upper) << text;
        EXPECT_TRUE(st.columnIsNull(1));
    }
}

} // namespace
} // namespace wk::engine::test
