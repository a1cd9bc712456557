#pragma once

#include <memory>
#include <string>
#include <vector>

class Hunspell;

namespace wk::engine::tagalog {

/// Spelling suggestions from a Hunspell dictionary, by default the system's Tagalog one
/// (Debian's myspell-tl). Without its files it suggests nothing.
class SpellChecker {
public:
    static constexpr const char* kTagalogAff = "/usr/share/hunspell/tl.aff";
    static constexpr const char* kTagalogDic = "/usr/share/hunspell/tl.dic";

    explicit SpellChecker(const std::string& affFile = kTagalogAff,
                          const std::string& dicFile = kTagalogDic);
    ~SpellChecker();
    SpellChecker(const SpellChecker&) = delete;
    SpellChecker& operator=(const SpellChecker&) = delete;

    /// Whether the dictionary's files could be read.
    bool available() const { return hunspell_ != nullptr; }

    /// The dictionary's suggestions for `word` (UTF-8), best first, in UTF-8; none for a word it
    /// knows, for an empty or over-long word, or one it cannot represent in its own encoding.
    std::vector<std::string> suggest(const std::string& word) const;

private:
    std::unique_ptr<Hunspell> hunspell_;
    std::string encoding_;
};

} // namespace wk::engine::tagalog
