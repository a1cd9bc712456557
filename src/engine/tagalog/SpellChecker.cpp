#include "engine/tagalog/SpellChecker.h"

#include <hunspell/hunspell.hxx>
#include <unicode/unistr.h>

#include <filesystem>

namespace wk::engine::tagalog {
namespace {

// Hunspell's own time grows quickly with the word's length; no real word is this long.
constexpr size_t kLongestWord = 40;

bool isUtf8(const std::string& encoding) {
    return encoding == "UTF-8" || encoding == "utf-8" || encoding == "UTF8";
}

// UTF-8 to the dictionary's ISO 8859-1, or nothing when a character has no place in it.
bool toLatin1(const std::string& utf8, std::string& out) {
    const icu::UnicodeString s = icu::UnicodeString::fromUTF8(utf8);
    out.clear();
    for (int32_t i = 0; i < s.length();) {
        const UChar32 c = s.char32At(i);
        i += U16_LENGTH(c);
        if (c > 0xFF)
            return false;
        out += static_cast<char>(c);
    }
    return true;
}

std::string fromLatin1(const std::string& latin1) {
    std::string out;
    icu::UnicodeString(latin1.data(), static_cast<int32_t>(latin1.size()), "ISO-8859-1")
        .toUTF8String(out);
    return out;
}

} // namespace

SpellChecker::SpellChecker(const std::string& affFile, const std::string& dicFile) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(affFile, ec) ||
        !std::filesystem::is_regular_file(dicFile, ec))
        return;
    hunspell_ = std::make_unique<Hunspell>(affFile.c_str(), dicFile.c_str());
    encoding_ = hunspell_->get_dict_encoding();
}

SpellChecker::~SpellChecker() = default;

std::vector<std::string> SpellChecker::suggest(const std::string& word) const {
    if (!hunspell_ || word.empty() || word.size() > kLongestWord)
        return {};
    const bool utf8 = isUtf8(encoding_);
    std::string asked = word;
    if (!utf8 && !toLatin1(word, asked))
        return {};
    if (hunspell_->spell(asked))
        return {};
    std::vector<std::string> out;
    for (const std::string& s : hunspell_->suggest(asked))
        out.push_back(utf8 ? s : fromLatin1(s));
    return out;
}

} // namespace wk::engine::tagalog
