#include "engine/storage/ServerFunctions.h"

#include "engine/base/UnicodeText.h"
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

// A one-to-one case mapping in three parts, by the character mapped: ASCII, the rest of
// Latin-1, and the others. translate() compares each character of its text with every character
// of its list, so a text pays for a part only when it holds one of its letters, and ASCII
// letters are left to upper() or lower() under the C collation, which change them only, at once.
struct CaseMapping {
    // Latin-1 beyond ASCII, and the others; ASCII needs no list.
    std::string from[2];
    std::string to[2];
    std::vector<bool> mapped = std::vector<bool>(0x110000, false);

    void add(UChar32 cp, const std::string& to8) {
        if (cp < 0x80)
            return;
        const int part = cp < 0x100 ? 0 : 1;
        mapped[static_cast<size_t>(cp)] = true;
        appendUtf8(from[part], cp);
        to[part] += to8;
    }

    // The mapping of `text` (an expression of $1 that maps no other letters), tested on $1.
    std::string of(const std::string& text, const char* asciiFunction) const {
        auto part = [&](int p, const std::string& t) {
            return "translate(" + t + ", " + pgLiteral(from[p]) + ", " + pgLiteral(to[p]) + ")";
        };
        auto holds = [&](UChar32 first, UChar32 last) {
            return "$1 ~ " + pgLiteral(regexClass([&](UChar32 cp) {
                       return cp >= first && cp <= last && mapped[static_cast<size_t>(cp)];
                   }));
        };
        const std::string ascii = std::string(asciiFunction) + "((" + text + ") COLLATE \"C\")";
        const std::string latin = "CASE WHEN " + holds(0x80, 0xFF) + " THEN " + part(0, ascii) +
                                  " ELSE " + ascii + " END";
        return "CASE WHEN " + holds(0x100, 0x10FFFF) + " THEN " + part(1, latin) + " ELSE " +
               latin + " END";
    }
};

} // namespace

std::vector<std::string> postgresFunctionsSql() {
    CaseMapping upper;
    CaseMapping lower;
    for (UChar32 cp = 1; cp <= 0x10FFFF; ++cp) {
        if (isSurrogate(cp))
            continue;
        std::string c;
        appendUtf8(c, cp);
        const std::string up = toUpperUtf8(c);
        if (up != c)
            upper.add(cp, up);
        // U+0130 lowers to two characters; the replace before the translate does it.
        const UChar32 low = u_tolower(cp);
        if (low != cp && cp != 0x130) {
            std::string low8;
            appendUtf8(low8, low);
            lower.add(cp, low8);
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
    // Not STRICT, so that the server can put the body in place of each call (NULL gives NULL
    // all the same).
    return {function("wk_upper", upper.of("$1", "upper"), false),
            function("wk_lower", lower.of(sigma, "lower"), false),
            function("wk_ascii_upper", "upper($1 COLLATE \"C\")")};
}

} // namespace wk::engine
