#pragma once

// The dictionary and the phrase book as StarDict dictionaries (StarDictWriter.h), for
// GoldenDict-ng, sdcv and KOReader. No Qt here.

#include "ExportSource.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace wk::tools {

/// The article of a dictionary entry: the headword, the verb forms, the English meaning, the
/// definition in Tagalog, the examples and the notes, as simple HTML with every text escaped and
/// line breaks kept; empty fields are left out.
std::string dictionaryArticle(const DictionaryEntry& e);

/// The article of an expression: the Tagalog and the topic.
std::string phraseArticle(const Phrase& p);

/// The words that lead to a dictionary entry besides its headword: its verb forms, the words
/// of its English meaning but for the commonest (to, the, a, of, ...) and bare numbers, and
/// the spellings of the headword and verb forms in lower case, without stress marks and without
/// ñ where they differ.
std::vector<std::string> dictionarySynonyms(const DictionaryEntry& e);

/// The words that lead to an expression besides its English: the English without its closing
/// punctuation, and the Tagalog with and without it.
std::vector<std::string> phraseSynonyms(const Phrase& p);

/// Writes `source` as a StarDict dictionary into `folder`, its files named after the table
/// (wikabay-tagalog.ifo, ...). A dictionary's spelling `variants` (variant, headword) lead to
/// every entry whose headword is that headword, stress marks and letter case aside. Says on
/// `messages` what was written, and how many headwords were changed to suit the format or left
/// out for being empty. Raises std::runtime_error or EngineError.
void exportStarDict(const ExportSource& source,
                    const std::vector<std::pair<std::string, std::string>>& variants,
                    const std::filesystem::path& folder, std::ostream& messages);

/// Reads table `table` of alias `alias` through session `session` and, for a dictionary, the
/// alias's table Variants when it has one, and writes them as above.
void exportStarDict(const std::string& session, const std::string& alias, const std::string& table,
                    const std::filesystem::path& folder, std::ostream& messages);

} // namespace wk::tools
