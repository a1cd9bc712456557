#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wk::engine::search {

/// One to three bytes of a field's searchable text, packed as `(length << 24) | bytes` with the
/// first byte highest. `kPresent` stands for "the field is not NULL": every non-NULL field has it,
/// an empty text included.
using Gram = std::uint32_t;
inline constexpr Gram kPresent = 0;

/// The gram of one to three bytes.
Gram gramOf(std::string_view bytes);

/// The text that `Upper(value) like pattern` compares with the pattern: the value upper-cased as
/// the engine's `Upper` does it, with any ASCII small letter left over in capitals (like ignores
/// ASCII case), cut at the first NUL character (like reads no further). The result is valid UTF-8.
std::string searchableText(std::string_view value);

/// Calls `emit` for every gram of a searchable text, `kPresent` first, a gram as often as it
/// occurs.
template <typename Emit> void forEachGram(std::string_view text, Emit&& emit) {
    emit(kPresent);
    const auto* b = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const Gram one = (Gram{1} << 24) | (Gram{b[i]} << 16);
        emit(one);
        if (i + 1 < n) {
            const Gram two = (Gram{2} << 24) | (Gram{b[i]} << 16) | (Gram{b[i + 1]} << 8);
            emit(two);
            if (i + 2 < n)
                emit((Gram{3} << 24) | (two & 0xFFFF00u) | Gram{b[i + 2]});
        }
    }
}

/// Every distinct gram of a searchable text, sorted.
std::vector<Gram> gramsOf(std::string_view text);

/// What the grams of a field can tell about `Upper(field) like pattern` (SQLite's like: `%` any
/// run of characters, `_` one character, ASCII letters of either case alike, no escape
/// character).
struct PatternPlan {
    /// False when the grams cannot help: the pattern is not valid UTF-8, holds a NUL character
    /// or is very long. The statement is then run as written.
    bool usable = false;
    /// A matching field holds every one of these grams.
    std::vector<Gram> grams;
    /// True when the converse holds too, so that no field needs a check: the pattern is one run
    /// of one to three bytes between `%` signs (`%ANG%`), or only `%` signs.
    bool exact = false;
    /// The pattern with ASCII letters in capitals, for `likeMatches`.
    std::string folded;

    /// One `_` between two literal runs (`BA_AY`): a matching field holds the last one or two
    /// bytes of the run before (`left`), one character, then the first one or two bytes of the run
    /// after (`right`). When that character is ASCII, its text holds `left + x + right` for a
    /// byte x below 0x80; otherwise `left` followed by a byte of 0x80 or above. The first few
    /// such places of the pattern, for narrowing the records to check.
    struct Bridge {
        std::string left;
        std::string right;
    };
    std::vector<Bridge> bridges;
    /// When the pattern is literal pieces between `%` signs and nothing else (`%NANG%`,
    /// `%PAG%AN%`), the pieces in order: a text matches when it holds them one after another, which
    /// a substring search finds faster than `likeMatches`.
    std::vector<std::string> pieces;
    bool piecesOnly = false;
    /// For the pattern `%c_%` with c an ASCII character, c: a field matches exactly when it has
    /// some two-byte gram beginning with c. `grams` then holds c's gram, and `exact` is true.
    std::optional<char> anyAfter;
    /// For a pattern of `_` and `%` signs only, the number of `_` signs: a text matches when it
    /// has that many characters, or at least that many when `%` is there too (`lengthAtLeast`).
    std::optional<size_t> lengthOnly;
    bool lengthAtLeast = false;
    /// True when the pattern is `%l_r%` with l and r ASCII characters (one bridge): a field whose
    /// text holds `l x r` for an ASCII x surely matches, and only the fields where l is followed
    /// by a byte of 0x80 or above need a check.
    bool bridgeSettles = false;
};

PatternPlan planPattern(std::string_view pattern);

/// Whether a searchable text matches a folded pattern as SQLite's like matches them: `%` any run
/// of characters, `_` exactly one character, everything else itself. Both are valid UTF-8.
bool likeMatches(std::string_view folded, std::string_view text);

/// For a plan with `lengthOnly`, whether a text of `bytes` bytes matches, when its length in bytes
/// tells (a character takes one to four bytes); none when only its characters can tell.
std::optional<bool> matchesByLength(const PatternPlan& plan, size_t bytes);

/// Whether a searchable text matches the plan's pattern (as likeMatches on `plan.folded`).
bool textMatches(const PatternPlan& plan, std::string_view text);

/// Whether `Upper(value) like pattern` holds for a stored (non-NULL) value, `plan` being the
/// pattern's plan: likeMatches on the value's searchable text, without making that text when the
/// value is plain ASCII.
bool valueMatches(const PatternPlan& plan, std::string_view value);

/// Whether `text` is well-formed UTF-8.
bool validUtf8(std::string_view text);

} // namespace wk::engine::search
