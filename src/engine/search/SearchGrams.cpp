#include "engine/search/SearchGrams.h"

#include "engine/base/AsciiText.h"
#include "engine/base/UnicodeText.h"
#include "engine/search/PieceFind.h"

#include <algorithm>
#include <cstring>

namespace wk::engine::search {
namespace {

// Longer patterns are left to SQLite, which refuses patterns beyond its own limit.
constexpr size_t kMaxPattern = 1000;
// Each bridge costs a few reads of the index per block and field.
constexpr size_t kMaxBridges = 4;

} // namespace

Gram gramOf(std::string_view bytes) {
    Gram g = static_cast<Gram>(bytes.size()) << 24;
    for (size_t i = 0; i < bytes.size() && i < 3; ++i)
        g |= Gram{static_cast<unsigned char>(bytes[i])} << (16 - 8 * i);
    return g;
}

std::string searchableText(std::string_view value) {
    std::string text = toUpperUtf8(value);
    if (const size_t nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    asciiUpperInPlace(text);
    return text;
}

std::vector<Gram> gramsOf(std::string_view text) {
    std::vector<Gram> grams;
    grams.reserve(text.size() * 3 + 1);
    forEachGram(text, [&](Gram g) { grams.push_back(g); });
    std::sort(grams.begin(), grams.end());
    grams.erase(std::unique(grams.begin(), grams.end()), grams.end());
    return grams;
}

bool validUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        std::uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        for (size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        // Overlong forms, UTF-16 surrogates and code points beyond U+10FFFF are not UTF-8.
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

PatternPlan planPattern(std::string_view pattern) {
    PatternPlan plan;
    if (pattern.size() > kMaxPattern || pattern.find('\0') != std::string_view::npos ||
        !validUtf8(pattern))
        return plan;
    plan.usable = true;
    std::string p(pattern);
    asciiUpperInPlace(p);
    plan.folded = p;
    // The literal runs between wildcards; a match holds each run as it stands.
    std::vector<std::string_view> runs;
    const std::string_view all(p);
    size_t lastEnd = std::string_view::npos; // where the previous run ended
    for (size_t i = 0; i < all.size();) {
        if (all[i] == '%' || all[i] == '_') {
            ++i;
            continue;
        }
        const size_t end = all.find_first_of("%_", i);
        const std::string_view run =
            all.substr(i, end == std::string_view::npos ? all.size() - i : end - i);
        if (lastEnd != std::string_view::npos && lastEnd + 1 == i && all[lastEnd] == '_' &&
            plan.bridges.size() < kMaxBridges) {
            const std::string_view before = runs.back();
            plan.bridges.push_back(
                {std::string(before.substr(before.size() - std::min<size_t>(2, before.size()))),
                 std::string(run.substr(0, std::min<size_t>(2, run.size())))});
        }
        runs.push_back(run);
        lastEnd = end;
        i = end == std::string_view::npos ? all.size() : end;
    }
    const auto asciiLiteral = [](char c) {
        return static_cast<unsigned char>(c) < 0x80 && c != '%' && c != '_';
    };
    plan.bridgeSettles = p.size() == 5 && p[0] == '%' && asciiLiteral(p[1]) && p[2] == '_' &&
                         asciiLiteral(p[3]) && p[4] == '%';
    for (std::string_view run : runs) {
        if (run.size() <= 3)
            plan.grams.push_back(gramOf(run));
        else
            for (size_t i = 0; i + 3 <= run.size(); ++i)
                plan.grams.push_back(gramOf(run.substr(i, 3)));
    }
    std::sort(plan.grams.begin(), plan.grams.end());
    plan.grams.erase(std::unique(plan.grams.begin(), plan.grams.end()), plan.grams.end());
    plan.piecesOnly =
        p.size() >= 2 && p.front() == '%' && p.back() == '%' && p.find('_') == std::string::npos;
    if (plan.piecesOnly)
        for (std::string_view run : runs)
            plan.pieces.emplace_back(run);
    const bool onlyPercent = !p.empty() && p.find_first_not_of('%') == std::string::npos;
    if (runs.empty()) {
        plan.lengthOnly = static_cast<size_t>(std::count(p.begin(), p.end(), '_'));
        plan.lengthAtLeast = p.find('%') != std::string::npos;
    }
    if (plan.grams.empty()) {
        // Only `%` signs, or `%` signs and one `_`: every field that is not NULL matches, as an
        // indexed field is never an empty text (SearchIndex.h).
        plan.grams.push_back(kPresent);
        plan.exact = onlyPercent || (std::count(p.begin(), p.end(), '_') == 1 &&
                                     std::count(p.begin(), p.end(), '%') > 0);
        return plan;
    }
    // `%c_%` with c an ASCII character: c is followed by a character exactly when the text has a
    // two-byte gram that begins with c (the byte after an ASCII character starts a character).
    if (p.size() == 4 && p[0] == '%' && asciiLiteral(p[1]) && p[2] == '_' && p[3] == '%') {
        plan.anyAfter = p[1];
        plan.exact = true;
        return plan;
    }
    // `%RUN%`: a field matches exactly when its text holds RUN, that is when it has RUN's gram.
    // The run is whole UTF-8 characters, so a byte match in valid UTF-8 text is a character match.
    plan.exact = runs.size() == 1 && runs[0].size() <= 3 && p.front() == '%' && p.back() == '%' &&
                 p.find('_') == std::string::npos;
    return plan;
}

namespace {

// Greedy matching that goes back to the last `%` on a mismatch; `_` and going back both step over
// whole characters, so literal bytes are always compared from a character's start. With
// `FoldText`, the text is ASCII and its small letters are compared as capitals.
template <bool FoldText> bool matches(std::string_view folded, std::string_view text) {
    auto at = [&](size_t i) {
        const char c = text[i];
        return FoldText ? asciiUpper(c) : c;
    };
    auto charLength = [&](size_t i) {
        size_t end = i + 1;
        while (!FoldText && end < text.size() &&
               (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            ++end;
        return end - i;
    };
    // After a `%` comes a literal byte, or `%` or `_` (which any position meets), or nothing. The
    // first position from `from` where the text can go on with it (the text's end when none): a
    // literal byte starts a character in the pattern, so it is found only at a character's start.
    auto nextStart = [&](size_t from, size_t afterStar) {
        if (afterStar >= folded.size() || folded[afterStar] == '%' || folded[afterStar] == '_' ||
            from >= text.size())
            return from;
        const char c = folded[afterStar];
        const char* begin = text.data() + from;
        const size_t left = text.size() - from;
        const void* found = std::memchr(begin, c, left);
        size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - begin) : left;
        if (FoldText && c >= 'A' && c <= 'Z' && end > 0) {
            const void* small = std::memchr(begin, c + ('a' - 'A'), end);
            if (small)
                end = static_cast<size_t>(static_cast<const char*>(small) - begin);
        }
        return from + end;
    };
    size_t p = 0, t = 0;
    size_t starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < folded.size() && folded[p] == '%') {
            starP = ++p;
            starT = t = nextStart(t, starP);
        } else if (p < folded.size() && folded[p] == '_') {
            ++p;
            t += charLength(t);
        } else if (p < folded.size() && folded[p] == at(t)) {
            ++p;
            ++t;
        } else if (starP != std::string_view::npos) {
            p = starP;
            starT = nextStart(starT + charLength(starT), starP);
            t = starT;
        } else {
            return false;
        }
    }
    while (p < folded.size() && folded[p] == '%')
        ++p;
    return p == folded.size();
}

} // namespace

bool likeMatches(std::string_view folded, std::string_view text) {
    return matches<false>(folded, text);
}

std::optional<bool> matchesByLength(const PatternPlan& plan, size_t bytes) {
    // A text of `bytes` bytes has at most that many characters, and at least a quarter of it.
    const size_t n = *plan.lengthOnly;
    const size_t fewest = (bytes + 3) / 4;
    if (bytes < n)
        return false;
    if (plan.lengthAtLeast)
        return fewest >= n ? std::optional<bool>(true) : std::nullopt;
    if (fewest > n)
        return false;
    return n == 0 ? std::optional<bool>(bytes == 0) : std::nullopt;
}

bool textMatches(const PatternPlan& plan, std::string_view text) {
    if (plan.lengthOnly) {
        const std::optional<bool> known = matchesByLength(plan, text.size());
        return known ? *known
                     : (plan.lengthAtLeast ? utf8Length(text) >= *plan.lengthOnly
                                           : utf8Length(text) == *plan.lengthOnly);
    }
    if (!plan.piecesOnly)
        return matches<false>(plan.folded, text);
    // Each piece found first after the one before: text and pieces are whole UTF-8 characters,
    // so a byte match is a character match.
    size_t at = 0;
    for (const std::string& piece : plan.pieces) {
        at = findPiece(text, piece, at);
        if (at == std::string_view::npos)
            return false;
        at += piece.size();
    }
    return true;
}

bool valueMatches(const PatternPlan& plan, std::string_view value) {
    // Like reads no further than a NUL character; upper-casing leaves it where it is.
    if (const size_t nul = value.find('\0'); nul != std::string_view::npos)
        value = value.substr(0, nul);
    const bool ascii = std::all_of(value.begin(), value.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? matches<true>(plan.folded, value)
                 : matches<false>(plan.folded, searchableText(value));
}

} // namespace wk::engine::search
