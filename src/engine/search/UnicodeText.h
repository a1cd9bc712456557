#pragma once

#include <string>
#include <string_view>

namespace wk::engine {

/// Upper-cases UTF-8 text with full Unicode case mapping ("ñ" becomes "Ñ", "á" becomes "Á").
/// Text whose characters lie below U+10000 and map to one character each takes a fast path.
/// Invalid UTF-8 never fails: bad bytes become U+FFFD.
std::string toUpperUtf8(std::string_view text);

/// The number of characters (code points) in UTF-8 text.
size_t utf8Length(std::string_view text);

} // namespace wk::engine
