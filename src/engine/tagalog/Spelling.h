#pragma once

#include <string>
#include <string_view>
#include <vector>

/// How the learner's lookup compares Tagalog spellings: without regard to letter case or to the
/// stress marks that dictionaries and teachers write (acute, grave and circumflex accents on
/// vowels: "salámat", "batà", "tayô"), with ñ a letter of its own that a looser comparison takes
/// for n. Every function takes and gives UTF-8 and never fails: ill-formed bytes become U+FFFD.
namespace wk::engine::tagalog {

/// Lower case, stress marks removed, ñ kept: "Báhay" gives "bahay", "NIÑO" gives "niño".
std::string plainSpelling(std::string_view text);

/// plainSpelling with ñ taken for n: "Niño" gives "nino".
std::string looseSpelling(std::string_view text);

/// Lower case with the stress marks kept: "SALÁMAT" gives "salámat".
std::string markedSpelling(std::string_view text);

/// Whether the text carries a stress mark ("salámat").
bool hasStressMarks(std::string_view text);

/// The words of an English meaning, in lower case, in order, each once: runs of letters, digits
/// and apostrophes ("to eat; to dine (formal)" gives to, eat, dine, formal).
std::vector<std::string> englishWords(std::string_view meaning);

} // namespace wk::engine::tagalog
