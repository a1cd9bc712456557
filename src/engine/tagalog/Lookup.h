#pragma once

#include "engine/tagalog/LookupIndex.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wk::engine {
class Database;
class TableFiles;
struct FileTable;
} // namespace wk::engine

namespace wk::engine::tagalog {

class SpellChecker;

/// The dictionary's fields, in the order a LookupEntry gives them.
inline constexpr const char* kDictionaryFields[] = {
    "Tagalo", "ActiveVerb", "PassiveVerb", "English", "L2Definition", "Examples", "Notes"};

/// How an entry answers a looked-up word, best first; the lookup ranks its entries in this order.
enum class MatchKind {
    Headword,       ///< the headword, letter case aside
    Variant,        ///< the entry of a listed common or older spelling ("kumusta" for "kamusta")
    VerbForm,       ///< the word is one of the entry's own verb forms
    Root,           ///< the root of the word taken as an inflected form ("kain" for "kinain"),
                    ///< the homographs that have verb forms first
    AccentFree,     ///< the headword without stress marks, or without the tilde of ñ
    HeadwordPrefix, ///< a headword that begins with the word
    EnglishWord,    ///< every word of it is a whole word of the English meaning
    OtherField      ///< the text occurs in another searched field (as the dictionary's search)
};

/// One entry found, with how it matched ("root of KINAIN").
struct LookupEntry {
    std::int64_t row = 0;
    std::vector<std::string> fields; ///< as kDictionaryFields; a missing field reads as ""
    MatchKind match = MatchKind::OtherField;
    std::string how;
};

/// A headword the learner may have meant, and why ("root of KINAIN", "spelling").
struct Suggestion {
    std::string headword;
    std::string why;
};

/// The learner's lookup over a dictionary table: a word (as typed: any letter case, stress marks
/// or none, an inflected verb, an informal spelling) gives its entries ranked by how they match
/// (MatchKind), ties in table order, each entry once at its best rank.
///
/// Roots come from the morphology rules (Morphology.h) checked against the headwords; variants
/// from the alias's table `Variants` (fields variant and headword), when there is one; spelling
/// suggestions from the system's Tagalog Hunspell dictionary, when installed, filtered to
/// headwords. Nothing here changes a table.
class Lookup {
public:
    /// Over `table` of `db` (the table is attached and checked as every dataset's is). Raises
    /// EngineError when the table cannot be opened or is not a dictionary, InvalidArgument when
    /// `db` is an alias on a server.
    Lookup(Database& db, const std::string& table = "Tagalog",
           const std::string& variantsTable = "Variants");
    ~Lookup();
    Lookup(const Lookup&) = delete;
    Lookup& operator=(const Lookup&) = delete;

    /// The first `limit` entries for `word`, best first.
    std::vector<LookupEntry> find(std::string_view word, size_t limit);

    /// Whether suggest may end with guesses of the spelling checker.
    enum class Guesses { Included, Left };

    /// Up to `limit` headwords the learner may have meant by `word`, best first: the headword
    /// spelled with or without the stress marks typed, the entries of a variant spelling, the
    /// roots of the word taken as an inflected form, the headwords that match without the tilde
    /// of ñ, then (unless left out) spelling suggestions. A headword spelled as the word is
    /// (letter case aside, stress marks not) is never suggested.
    std::vector<Suggestion> suggest(std::string_view word, size_t limit,
                                    Guesses guesses = Guesses::Included);

    /// The learner's answer for `word` when it is not itself a headword: the first of suggest
    /// without the spelling checker's guesses ("kain", "root of KINAIN"); none for a headword,
    /// or when there is no such answer.
    std::optional<Suggestion> answer(std::string_view word);

    /// The keys the lookup reads (from the table file when they are in step there).
    const LookupKeys& keys() const { return *keys_; }

private:
    struct Found;
    void addRows(Found& found, const std::vector<std::int64_t>& rows, MatchKind kind,
                 const std::string& how, size_t limit) const;
    std::vector<std::int64_t> otherFieldRows(const std::string& text, size_t limit);
    std::vector<std::string> fetch(std::int64_t row);
    /// `rows`, the homographs of one root, those with verb forms first.
    std::vector<std::int64_t> verbsFirst(std::vector<std::int64_t> rows);
    const std::map<std::string, std::vector<std::string>>& variants();
    std::vector<std::pair<std::string, std::string>> rootsOf(const std::string& plain) const;

    TableFiles& db_;
    const FileTable& table_;
    std::string variantsTable_;
    std::unique_ptr<LookupKeys> keys_;
    std::optional<std::map<std::string, std::vector<std::string>>> variants_;
    std::unique_ptr<SpellChecker> spelling_;
};

} // namespace wk::engine::tagalog
