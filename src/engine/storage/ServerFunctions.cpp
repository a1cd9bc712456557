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

std::string function(const std::string& name, const std::string& body) {
    return "CREATE OR REPLACE FUNCTION " + name +
           "(text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $wk$ SELECT " +
           body + " $wk$";
}

} // namespace

std::vector<std::string> postgresFunctionsSql() {
    std::string upperFrom;
    std::string upperTo;
    std::string lowerFrom;
    std::string lowerTo;
    for (UChar32 cp = 1; cp <= 0x10FFFF; ++cp) {
        if (isSurrogate(cp))
            continue;
        std::string c;
        appendUtf8(c, cp);
        const std::string upper = toUpperUtf8(c);
        if (upper != c) {
            upperFrom += c;
            upperTo += upper;
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
    return {function("wk_upper",
                     "translate($1, " + pgLiteral(upperFrom) + ", " + pgLiteral(upperTo) + ")"),
            function("wk_lower", "translate(" + sigma + ", " + pgLiteral(lowerFrom) + ", " +
                                     pgLiteral(lowerTo) + ")"),
            function("wk_ascii_upper",
                     "translate($1, 'abcdefghijklmnopqrstuvwxyz', 'ABCDEFGHIJKLMNOPQRSTUVWXYZ')")};
}

} // namespace wk::engine
