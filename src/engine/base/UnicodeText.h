#pragma once

#include <string>
#include <string_view>

namespace wk::engine {

/// Upper-cases UTF-8 text with the simple, one-to-one Unicode case mapping (UnicodeData's simple
/// uppercase mapping, ICU's u_toupper), one character at a time and without a locale, as the
/// dictionary's search edit does it: "ñ" becomes "Ñ", "á" becomes "Á", "ǆ" becomes "Ǆ", and a
/// character without a simple capital stays itself, so "straße" becomes "STRAßE" (never
/// "STRASSE") and the ligature "ﬁ" stays "ﬁ". Every character gives exactly one character.
/// Text whose characters lie below U+10000 takes a fast path. Invalid UTF-8 never fails: bad
/// bytes become U+FFFD.
std::string toUpperUtf8(std::string_view text);

/// The number of characters (code points) in UTF-8 text.
size_t utf8Length(std::string_view text);

} // namespace wk::engine
