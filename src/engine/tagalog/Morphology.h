#pragma once

// Finds the roots an inflected Tagalog word may come from, so that a learner who types "kinain",
// "kumakain" or "nagluto" is led to the entries of "kain" and "luto".

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wk::engine::tagalog {

/// One way a word may have been formed from a root.
struct RootCandidate {
    std::string root; ///< lower case, e.g. "kain"
    std::string how;  ///< a short English description of the formation, e.g. "-in- completed",
                      ///< "mag-, reduplicated", "pinag-, -an (o became u)"
};

/// The candidate roots of `word` by rule, most likely first, each root once, never the word
/// itself. `word` is lower case; accents are already removed (ñ may occur); a hyphen may occur.
///
/// The analysis peels off, in any order, prefixes (mag-, nag-, pag-, ma-, na-, pa-, ka-, i-,
/// ipa-, ipag-, ini-, ika-, maka-, naka-, makapag-, makipag-, pinag-, mang- and their kin, a
/// hyphen after one of them included), the infixes -um- and -in-, the suffixes -in, -an, -hin,
/// -han, -nin and -nan, and the reduplicated first syllable, and undoes the sound changes that hide
/// a root: o became u before a suffix (inumin: inom), d became r between vowels (binayaran: bayad,
/// dumarating: dating), a vowel dropped before a suffix (buksan: bukas, bilhin: bili), the nasal of
/// maN- that took the root's first sound (mamili: pili or bili, manahi: tahi), and the roots that
/// begin with pa- beside their ma- verbs (makinig: pakinig). Irregular forms (kunin: kuha) come
/// from a list. Rules over-generate on purpose; rootsAmong keeps the real entries.
///
/// Candidates have two syllables or more, or at least four sounds when of one syllable ("ng"
/// counts as one sound): the short words of one syllable are particles, which take no affixes. At
/// most five steps are combined and the search visits a bounded number of forms, so the work stays
/// small for any input. A word with characters other than letters, hyphens and apostrophes (digits,
/// spaces, punctuation), or longer than 64 bytes, has no candidates; so has the empty word.
std::vector<RootCandidate> candidateRoots(std::string_view word);

/// candidateRoots filtered to the roots for which `isHeadword` holds (a real entry of the
/// dictionary), in the same order.
std::vector<RootCandidate> rootsAmong(std::string_view word,
                                      const std::function<bool(std::string_view)>& isHeadword);

} // namespace wk::engine::tagalog
