#pragma once

// The records that the admin tool's exports for other programs read: the dictionary (fields
// Tagalo, ActiveVerb, PassiveVerb, English, L2Definition, Examples, Notes), the phrase book
// (English, Tagalog, Group) and the spelling variants (variant, headword). No Qt here.

#include <iosfwd>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace wk::engine {
class Table;
}

namespace wk::tools {

/// One entry of the dictionary.
struct DictionaryEntry {
    std::string headword; ///< Tagalo
    std::string activeVerb;
    std::string passiveVerb;
    std::string english;
    std::string definition; ///< L2Definition: the meaning told in Tagalog
    std::string examples;   ///< one "Tagalog — English" per line
    std::string notes;
};

/// One expression of the phrase book.
struct Phrase {
    std::string english;
    std::string tagalog;
    std::string topic; ///< Group
};

/// A table of the alias read as the dictionary or as the phrase book, recognised by its fields
/// (letter case ignored): the dictionary has Tagalo and English, the phrase book English,
/// Tagalog and Group. Fields the dictionary lacks besides those two read as empty.
class ExportSource {
public:
    enum class Kind { Dictionary, PhraseBook };

    /// Opens table `table` of alias `alias` through session `session`. Raises EngineError when
    /// it cannot be read, std::runtime_error when it is neither kind.
    ExportSource(const std::string& session, const std::string& alias, const std::string& table);
    ~ExportSource();

    Kind kind() const { return kind_; }
    /// The table's name without a file extension, as in "Tagalog".
    const std::string& name() const { return name_; }
    long long count() const;
    DictionaryEntry entry(long long record) const;
    Phrase phrase(long long record) const;

private:
    std::string field(long long record, int index) const;

    std::unique_ptr<engine::Table> table_;
    Kind kind_ = Kind::Dictionary;
    std::string name_;
    std::vector<int> fields_; // the field of each member, in order; -1 when missing
};

/// The spelling variants of table `table` as (variant, headword) pairs. A missing table gives
/// none; one that cannot be read, or lacks the fields, gives none and a line on `warnings`.
std::vector<std::pair<std::string, std::string>>
readVariants(const std::string& session, const std::string& alias, std::ostream& warnings,
             const std::string& table = "Variants");

} // namespace wk::tools
