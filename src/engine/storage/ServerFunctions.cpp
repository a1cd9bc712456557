#include "engine/storage/ServerFunctions.h"

#include "engine/search/UnicodeText.h"
#include "engine/server/PgText.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace wk::engine {
namespace {

// Appends code point `cp` as UTF-8.
void appendUtf8(std::string& out, UChar32 cp) {
    char buf[4];
    int32_t n = 0;
    U8_APPEND_UNSAFE(buf, n, cp);
    out.append(buf, static_cast<size_t>(n));
}

bool isSurrogate(UChar32 cp) {
    return cp >= 0xD800 && cp <= 0xDFFF;
}

// A bracket expression of the server's regular expressions for the code points that `in` takes.
template <typename Pred> std::string regexClass(Pred in) {
    auto escaped = [](UChar32 cp) {
        static const char* hex = "0123456789ABCDEF";
        std::string s = "\\U";
        for (int shift = 28; shift >= 0; shift -= 4)
            s += hex[(cp >> shift) & 0xF];
        return s;
    };
    std::string out = "[";
    for (UChar32 cp = 1; cp <= 0x10FFFF; ++cp) {
        if (isSurrogate(cp) || !in(cp))
            continue;
        UChar32 last = cp;
        while (last < 0x10FFFF && !isSurrogate(last + 1) && in(last + 1))
            ++last;
        out += escaped(cp);
        if (last > cp)
            out += "-" + escaped(last);
        cp = last;
    }
    return out + "]";
}

std::string function(const std::string& name, const std::string& body, bool strict = true) {
    return "CREATE OR REPLACE FUNCTION " + name + "(text) RETURNS text LANGUAGE sql IMMUTABLE " +
           (strict ? "STRICT " : "") + "PARALLEL SAFE AS $wk$ SELECT " + body + " $wk$";
}

} // namespace

std::vector<std::string> postgresFunctionsSql() {
    // The upper-case mapping in three parts, by the character mapped: ASCII, the rest of
    // Latin-1, and the others. translate() compares each character of its text with every
    // character of its list, so a text pays for a part only when it holds one of its letters,
    // and ASCII letters are left to upper().
    std::string upperFrom[3];
    std::string upperTo[3];
    std::vector<bool> mapped(0x110000, false);
    std::string lowerFrom;
    std::string lowerTo;
    for (UChar32 cp = 1; cp <= 0x10FFFF; ++cp) {
        if (isSurrogate(cp))
            continue;
        std::string c;
        appendUtf8(c, cp);
        const std::string upper = toUpperUtf8(c);
        if (upper != c) {
            const int part = cp < 0x80 ? 0 : cp < 0x100 ? 1 : 2;
            mapped[static_cast<size_t>(cp)] = true;
            upperFrom[part] += c;
            upperTo[part] += upper;
        }
        // U+0130 lowers to two characters; the replace before the translate does it.
        const UChar32 lower = u_tolower(cp);
        if (lower != cp && cp != 0x130) {
            lowerFrom += c;
            appendUtf8(lowerTo, lower);
        }
    }
    // A capital sigma is final (ς) after a cased letter, case-ignorable ones between, unless a
    // cased letter follows the same way. A character both cased and case-ignorable counts as the
    // latter.
    const std::string ignorable =
        regexClass([](UChar32 cp) { return u_hasBinaryProperty(cp, UCHAR_CASE_IGNORABLE); });
    const std::string cased = regexClass([](UChar32 cp) {
        return u_hasBinaryProperty(cp, UCHAR_CASED) &&
               !u_hasBinaryProperty(cp, UCHAR_CASE_IGNORABLE);
    });
    const std::string finalSigma =
        "(?<=" + cased + ignorable + "*)\u03A3(?!" + ignorable + "*" + cased + ")";
    const std::string dotted = "replace($1, '\u0130', 'i\u0307')";
    const std::string sigma = "CASE WHEN strpos($1, '\u03A3') > 0 THEN regexp_replace(" + dotted +
                              ", " + pgLiteral(finalSigma) + ", '\u03C2', 'g') ELSE " + dotted +
                              " END";
    auto upperPart = [&](int part, const std::string& text) {
        return "translate(" + text + ", " + pgLiteral(upperFrom[part]) + ", " +
               pgLiteral(upperTo[part]) + ")";
    };
    const std::string latin = regexClass(
        [&](UChar32 cp) { return cp >= 0x80 && cp < 0x100 && mapped[static_cast<size_t>(cp)]; });
    const std::string others =
        regexClass([&](UChar32 cp) { return cp >= 0x100 && mapped[static_cast<size_t>(cp)]; });
    // upper() under the C collation changes ASCII letters only, and at once.
    const std::string ascii = "upper($1 COLLATE \"C\")";
    const std::string withLatin = "CASE WHEN $1 ~ " + pgLiteral(latin) + " THEN " +
                                  upperPart(1, ascii) + " ELSE " + ascii + " END";
    // Not STRICT, so that the server can put the body in place of each call (NULL gives NULL
    // all the same).
    return {function("wk_upper",
                     "CASE WHEN $1 ~ " + pgLiteral(others) + " THEN " + upperPart(2, withLatin) +
                         " ELSE " + withLatin + " END",
                     false),
            function("wk_lower", "translate(" + sigma + ", " + pgLiteral(lowerFrom) + ", " +
                                     pgLiteral(lowerTo) + ")"),
            function("wk_ascii_upper",
                     "translate($1, 'abcdefghijklmnopqrstuvwxyz', 'ABCDEFGHIJKLMNOPQRSTUVWXYZ')")};
}

} // namespace wk::engine
