#include "engine/tagalog/Spelling.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>

namespace wk::engine::tagalog {
namespace {

bool isStressMark(UChar32 c) {
    return c == 0x0300 || c == 0x0301 || c == 0x0302; // grave, acute, circumflex
}

// Lower case, decomposed, stress marks dropped (unless `keepStress`), composed again; ñ is n with
// U+0303, which stays unless `tildeToo`.
std::string fold(std::string_view text, bool tildeToo, bool keepStress = false) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    const icu::UnicodeString source = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    if (U_FAILURE(status))
        return std::string(text);
    const icu::UnicodeString decomposed = nfd->normalize(source, status);
    icu::UnicodeString kept;
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        i += U16_LENGTH(c);
        if ((isStressMark(c) && !keepStress) || (tildeToo && c == 0x0303))
            continue;
        kept.append(u_tolower(c));
    }
    icu::UnicodeString composed = nfc->normalize(kept, status);
    std::string out;
    (U_FAILURE(status) ? kept : composed).toUTF8String(out);
    return out;
}

} // namespace

std::string plainSpelling(std::string_view text) {
    return fold(text, false);
}

std::string looseSpelling(std::string_view text) {
    return fold(text, true);
}

std::string markedSpelling(std::string_view text) {
    return fold(text, false, true);
}

bool hasStressMarks(std::string_view text) {
    return fold(text, false) != fold(text, false, true);
}

std::vector<std::string> englishWords(std::string_view meaning) {
    const icu::UnicodeString s = icu::UnicodeString::fromUTF8(
        icu::StringPiece(meaning.data(), static_cast<int32_t>(meaning.size())));
    std::vector<std::string> words;
    icu::UnicodeString word;
    const auto flush = [&] {
        std::string w;
        word.toUTF8String(w);
        word.remove();
        while (!w.empty() && w.back() == '\'')
            w.pop_back();
        while (!w.empty() && w.front() == '\'')
            w.erase(w.begin());
        if (!w.empty() && std::find(words.begin(), words.end(), w) == words.end())
            words.push_back(std::move(w));
    };
    for (int32_t i = 0; i < s.length();) {
        const UChar32 c = s.char32At(i);
        i += U16_LENGTH(c);
        if (u_isalnum(c) || c == '\'' || c == 0x2019)
            word.append(c == 0x2019 ? UChar32('\'') : u_tolower(c));
        else
            flush();
    }
    flush();
    return words;
}

} // namespace wk::engine::tagalog
